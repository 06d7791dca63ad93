// The folder picker, opened from the options dialog's "&Search folder" and
// driven from outside; its history lives in Kelvata's profile file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/settings/extraction_settings.h"
// The common controls header needs windows.h before it.
// clang-format off
#include "tests/gui/gui_driver.h"
#include <commctrl.h>
// clang-format on

#include "tool/resource.h"

namespace {

using gui::Kelvata;

const char kRoot[] = "C:\\brevanto-picker";
const char kHistoryRoot[] = "C:\\brevanto-history";
const char kSection[] = "FolderHistory";

void makeFolder(const std::string& path) {
  CreateDirectoryA(path.c_str(), nullptr);
}

void removeTree(const std::string& path) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        removeTree(child);
      else
        DeleteFileA(child.c_str());
    } while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryA(path.c_str());
}

std::string entryKey(int index) {
  char key[16];
  std::snprintf(key, sizeof key, "Folder%04d", index);
  return key;
}

// Entries of a combo box of another process: only the wide variant crosses.
std::vector<std::string> comboEntries(HWND combo) {
  std::vector<std::string> entries;
  int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t wide[1024] = {};
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
    char narrow[2048] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    entries.emplace_back(narrow);
  }
  return entries;
}

BOOL CALLBACK findListView(HWND window, LPARAM found) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) != "SysListView32") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

class FolderPicker : public ::testing::Test {
 protected:
  void SetUp() override {
    gui::deleteSettings();
    gui::deleteProfile();
    removeTree(kRoot);
    makeFolder(kRoot);
    makeFolder(std::string(kRoot) + "\\alpha");
    makeFolder(std::string(kRoot) + "\\alpha\\beta");
    makeFolder(std::string(kRoot) + "\\gamma");
    // A file that the picker must not list.
    HANDLE file = CreateFileA((std::string(kRoot) + "\\note.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    gui::writeString("FixedFolder", kRoot);
  }
  void TearDown() override {
    gui::deleteSettings();
    gui::deleteProfile();
    removeTree(kRoot);
    removeTree(kHistoryRoot);
  }

  // Opens the picker from the options dialog and finds its parts.
  bool openPicker() {
    gui::click(GetDlgItem(app.dialog, IDC_SEARCH_FOLDER));
    picker = app.waitForDialog("Select Folder");
    if (picker == nullptr) return false;
    box = gui::findChild(picker, IDC_FOLDER_HISTORY);
    okButton = gui::findChild(picker, IDC_PICKER_OK);
    listView = nullptr;
    gui::waitUntil([&] {
      EnumChildWindows(picker, findListView, reinterpret_cast<LPARAM>(&listView));
      return listView != nullptr;
    });
    return box != nullptr && okButton != nullptr && listView != nullptr;
  }
  bool boxShows(const std::string& expected) {
    return gui::waitUntil([&] { return gui::windowText(box) == expected; }, 5000);
  }
  bool pickerClosed() {
    return gui::waitUntil([&] { return !IsWindow(picker); });
  }
  HWND folderEdit() const { return GetDlgItem(app.dialog, IDC_FOLDER_PATH); }
  // Each folder browsed gets a list view of its own.
  bool listShows(int items) {
    return gui::waitUntil(
        [&] {
          listView = nullptr;
          EnumChildWindows(picker, findListView, reinterpret_cast<LPARAM>(&listView));
          return listView != nullptr && SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0) == items;
        },
        5000);
  }

  Kelvata app;
  HWND picker = nullptr;
  HWND box = nullptr;
  HWND okButton = nullptr;
  HWND listView = nullptr;
};

TEST_F(FolderPicker, ShowsFoldersOnlyAndBrowsingFillsTheBoxAndTheChoiceReachesTheSettings) {
  ASSERT_TRUE(app.start());
  // An unsaved change of another control survives the pick.
  SendMessageA(GetDlgItem(app.dialog, IDC_OPEN_AFTER_PROCESS), BM_CLICK, 0, 0);
  ASSERT_TRUE(openPicker());
  EXPECT_EQ(GetWindow(picker, GW_OWNER), app.dialog);
  EXPECT_FALSE(IsWindowEnabled(app.dialog));
  // No profile file: an empty history, and the box shows the folder browsed.
  EXPECT_TRUE(boxShows(kRoot));
  EXPECT_EQ(SendMessageA(box, CB_GETCOUNT, 0, 0), 0);
  // Folders only: alpha and gamma, not note.txt.
  EXPECT_TRUE(listShows(2));
  // The system's own file-name and type fields and OK button are gone; ours replace them.
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(picker, IDOK)));
  EXPECT_TRUE(IsWindowVisible(okButton));
  HWND typeBox = GetDlgItem(picker, 1136);
  if (typeBox != nullptr) {
    EXPECT_FALSE(IsWindowEnabled(typeBox));
  }
  // The full-size structure brings the places bar, tall enough for all its buttons.
  HWND places = GetDlgItem(picker, 1184);
  ASSERT_NE(places, nullptr);
  int needed = static_cast<int>(SendMessageA(places, TB_BUTTONCOUNT, 0, 0)) *
                   HIWORD(SendMessageA(places, TB_GETBUTTONSIZE, 0, 0)) +
               2;
  EXPECT_GT(needed, 2);
  EXPECT_TRUE(gui::waitUntil(
      [&] {
        RECT bar;
        GetWindowRect(places, &bar);
        return bar.bottom - bar.top >= needed;
      },
      3000));
  gui::settle(300);
  gui::screenshot("folder-picker");

  // Into the list: its first entry is selected with Home, which names it in the box.
  gui::bringToFront(picker);
  RECT list;
  GetClientRect(listView, &list);
  gui::clickAt(listView, list.right - 10, list.bottom - 10);
  gui::pressKey(VK_HOME);
  EXPECT_TRUE(boxShows(std::string(kRoot) + "\\alpha"));
  // Enter opens it: the box shows the folder now browsed, and its one subfolder is listed.
  gui::pressKey(VK_RETURN);
  EXPECT_TRUE(listShows(1));
  EXPECT_TRUE(boxShows(std::string(kRoot) + "\\alpha"));
  gui::pressKey(VK_HOME);
  EXPECT_TRUE(boxShows(std::string(kRoot) + "\\alpha\\beta"));

  gui::click(okButton);
  ASSERT_TRUE(pickerClosed());
  EXPECT_EQ(gui::windowText(folderEdit()), std::string(kRoot) + "\\alpha\\beta");
  EXPECT_TRUE(gui::checked(GetDlgItem(app.dialog, IDC_OPEN_AFTER_PROCESS)));
  EXPECT_TRUE(IsWindowEnabled(app.dialog));
  // The first confirmation makes the section with the entry and the last text.
  EXPECT_EQ(gui::profileValue(kSection, "Folder0000"), std::string(kRoot) + "\\alpha\\beta");
  EXPECT_EQ(gui::profileValue(kSection, "Folder0001"), "");
  EXPECT_EQ(gui::profileValue(kSection, "Folder"), std::string(kRoot) + "\\alpha\\beta");

  gui::click(GetDlgItem(app.dialog, IDOK));
  ASSERT_TRUE(app.waitForExit());
  // Stored as chosen; the server's reader completes it.
  EXPECT_EQ(gui::readString("FixedFolder"), std::string(kRoot) + "\\alpha\\beta");
  EXPECT_EQ(gui::readDword("FolderSelection"), 0u);
  EXPECT_EQ(gui::readDword("DispAfterProcess"), 1u);
  // What the extraction server reads at its next call.
  EXPECT_EQ(brevanto::ExtractionSettings().fixedFolder(), std::string(kRoot) + "\\alpha\\beta\\");
}

TEST_F(FolderPicker, ConfirmingPutsTheFolderOnTopWithoutDuplicateAndStoresOverStaleKeys) {
  gui::setProfileValue(kSection, "Folder0000", (std::string(kRoot) + "\\gamma").c_str());
  gui::setProfileValue(kSection, "Folder0001", "C:\\BREVANTO-PICKER\\ALPHA");
  gui::setProfileValue(kSection, "Folder0002", "C:\\brevanto-no-such-folder");
  gui::setProfileValue(kSection, "Folder0003", kRoot);
  gui::setProfileValue(kSection, "Folder0005", "C:\\after-a-gap");
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(openPicker());
  // A folder that no longer exists is skipped; the entries after the gap are not read.
  EXPECT_EQ(comboEntries(box),
            (std::vector<std::string>{std::string(kRoot) + "\\gamma", "C:\\BREVANTO-PICKER\\ALPHA", kRoot}));

  // A typed folder that is there in another letter case moves to the top.
  gui::setText(box, "c:\\brevanto-picker\\alpha");
  gui::click(okButton);
  ASSERT_TRUE(pickerClosed());
  // The picker returns the folder it checked, not the one it browsed last.
  EXPECT_EQ(gui::windowText(folderEdit()), "c:\\brevanto-picker\\alpha");
  EXPECT_EQ(gui::profileValue(kSection, "Folder0000"), "c:\\brevanto-picker\\alpha");
  EXPECT_EQ(gui::profileValue(kSection, "Folder0001"), std::string(kRoot) + "\\gamma");
  EXPECT_EQ(gui::profileValue(kSection, "Folder0002"), kRoot);
  EXPECT_EQ(gui::profileValue(kSection, "Folder0003"), "");
  EXPECT_EQ(gui::profileValue(kSection, "Folder0005"), "C:\\after-a-gap");
  EXPECT_EQ(gui::profileValue(kSection, "Folder"), "c:\\brevanto-picker\\alpha");

  // Cancelling a second picker of the same run stores nothing and changes nothing.
  ASSERT_TRUE(openPicker());
  EXPECT_EQ(comboEntries(box).size(), 3u);
  // Later layouts give the keyboard to the history box.
  auto inBox = [&] {
    HWND focus = gui::focusOf(picker);
    return focus != nullptr && (focus == box || GetParent(focus) == box);
  };
  EXPECT_TRUE(inBox());
  // Resizing lays the picker out again, which hands the keyboard back to the
  // history box, and our OK button follows the system's hidden one.
  gui::bringToFront(picker);
  RECT list;
  GetClientRect(listView, &list);
  gui::clickAt(listView, list.right - 10, list.bottom - 10);
  ASSERT_TRUE(gui::waitUntil([&] { return gui::focusOf(picker) == listView; }, 3000));
  RECT frame;
  GetWindowRect(picker, &frame);
  SetWindowPos(picker, nullptr, 0, 0, frame.right - frame.left + 80, frame.bottom - frame.top + 60,
               SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(gui::waitUntil(inBox, 3000));
  RECT ours, theirs;
  GetWindowRect(okButton, &ours);
  GetWindowRect(GetDlgItem(picker, IDOK), &theirs);
  EXPECT_TRUE(EqualRect(&ours, &theirs));
  EXPECT_TRUE(IsWindowVisible(box));
  gui::setText(box, std::string(kRoot).c_str());
  gui::click(GetDlgItem(picker, IDCANCEL));
  ASSERT_TRUE(pickerClosed());
  EXPECT_EQ(gui::windowText(folderEdit()), "c:\\brevanto-picker\\alpha");
  EXPECT_EQ(gui::profileValue(kSection, "Folder0000"), "c:\\brevanto-picker\\alpha");
  EXPECT_EQ(gui::profileValue(kSection, "Folder"), "c:\\brevanto-picker\\alpha");
  gui::click(GetDlgItem(app.dialog, IDCANCEL));
  EXPECT_TRUE(app.waitForExit());
  EXPECT_FALSE(gui::readString("FixedFolder") != std::string(kRoot));
}

TEST_F(FolderPicker, TheFiftyFirstEntryDropsTheOldestAndStaleKeysGoUpToTheFirstGap) {
  makeFolder(kHistoryRoot);
  for (int i = 0; i < 52; ++i) {
    char folder[64];
    std::snprintf(folder, sizeof folder, "%s\\d%02d", kHistoryRoot, i);
    makeFolder(folder);
    gui::setProfileValue(kSection, entryKey(i).c_str(), folder);
  }
  gui::setProfileValue(kSection, "Folder0053", "C:\\after-a-gap");
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(openPicker());
  std::vector<std::string> entries = comboEntries(box);
  ASSERT_EQ(entries.size(), 50u);
  EXPECT_EQ(entries.back(), std::string(kHistoryRoot) + "\\d49");

  // Each drop-down makes room for 20 entries.
  gui::bringToFront(picker);
  gui::pressWith(VK_MENU, VK_DOWN);
  HWND dropped = nullptr;
  ASSERT_TRUE(gui::waitUntil(
      [&] {
        dropped = FindWindowA("ComboLBox", nullptr);
        while (dropped != nullptr && !IsWindowVisible(dropped))
          dropped = FindWindowExA(nullptr, dropped, "ComboLBox", nullptr);
        return dropped != nullptr;
      },
      3000));
  RECT droppedRect;
  GetClientRect(dropped, &droppedRect);
  EXPECT_EQ(droppedRect.bottom / SendMessageA(box, CB_GETITEMHEIGHT, 0, 0), 20);
  gui::pressWith(VK_MENU, VK_UP);
  ASSERT_TRUE(gui::waitUntil([&] { return !IsWindowVisible(dropped); }, 3000));

  gui::setText(box, kRoot);
  gui::click(okButton);
  ASSERT_TRUE(pickerClosed());
  EXPECT_EQ(gui::profileValue(kSection, "Folder0000"), kRoot);
  EXPECT_EQ(gui::profileValue(kSection, "Folder0001"), std::string(kHistoryRoot) + "\\d00");
  EXPECT_EQ(gui::profileValue(kSection, "Folder0049"), std::string(kHistoryRoot) + "\\d48");
  EXPECT_EQ(gui::profileValue(kSection, "Folder0050"), "");
  EXPECT_EQ(gui::profileValue(kSection, "Folder0051"), "");
  EXPECT_EQ(gui::profileValue(kSection, "Folder0053"), "C:\\after-a-gap");
  gui::click(GetDlgItem(app.dialog, IDCANCEL));
  EXPECT_TRUE(app.waitForExit());
}

TEST_F(FolderPicker, AFolderThatIsNotThereIsRefusedWithItsTextAndNothingIsStored) {
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(openPicker());
  for (const char* typed : {"C:\\brevanto-no-such-folder", ""}) {
    gui::setText(box, typed);
    gui::click(okButton);
    HWND message = app.waitForMessageBox();
    ASSERT_NE(message, nullptr) << typed;
    EXPECT_EQ(gui::messageText(message), std::string("The folder '") + typed + "' isn't accessible.");
    EXPECT_EQ(gui::windowText(message), "Kelvata");
    EXPECT_EQ(GetWindow(message, GW_OWNER), picker);
    if (*typed != '\0') gui::screenshot("folder-picker-not-accessible");
    PostMessageA(message, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(gui::waitUntil([&] { return !IsWindow(message); }));
    EXPECT_TRUE(IsWindowVisible(picker));
  }
  EXPECT_FALSE(gui::profileExists());
  gui::click(GetDlgItem(picker, IDCANCEL));
  ASSERT_TRUE(pickerClosed());
  EXPECT_EQ(gui::windowText(folderEdit()), std::string(kRoot) + "\\");
  EXPECT_FALSE(gui::profileExists());
  gui::click(GetDlgItem(app.dialog, IDCANCEL));
  EXPECT_TRUE(app.waitForExit());
}

TEST_F(FolderPicker, PickingAHistoryEntryBrowsesThatFolder) {
  gui::setProfileValue(kSection, "Folder0000", (std::string(kRoot) + "\\gamma").c_str());
  gui::setProfileValue(kSection, "Folder0001", (std::string(kRoot) + "\\alpha").c_str());
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(openPicker());
  EXPECT_TRUE(boxShows(kRoot));
  gui::bringToFront(picker);
  HWND focus = gui::focusOf(picker);
  ASSERT_TRUE(focus == box || GetParent(focus) == box);
  // Open the list, take the second entry, confirm it.
  gui::pressWith(VK_MENU, VK_DOWN);
  gui::settle();
  gui::pressKeys({VK_DOWN, VK_DOWN, VK_RETURN});
  EXPECT_TRUE(listShows(1));
  EXPECT_TRUE(boxShows(std::string(kRoot) + "\\alpha"));
  gui::click(okButton);
  ASSERT_TRUE(pickerClosed());
  EXPECT_EQ(gui::windowText(folderEdit()), std::string(kRoot) + "\\alpha");
  gui::click(GetDlgItem(app.dialog, IDCANCEL));
  EXPECT_TRUE(app.waitForExit());
}

}  // namespace
