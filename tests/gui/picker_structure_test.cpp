// The folder picker inside the test's own process, where messages that carry
// pointers work: both sizes of the open-file structure, the layout over the
// system's fields, and picking a history entry.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "platform/win32/win_app.h"
#include "tool/folder_picker.h"
#include "tool/resource.h"

namespace {

const char kRoot[] = "C:\\brevanto-structure";

// The application object the picker's profile functions need; its profile
// file is named after this test program.
brevanto::CWinApp g_app;

class PickerUnderTest : public brevanto::CFolderPickerDialog {
 public:
  PickerUnderTest(int mode, RunState& run) : CFolderPickerDialog(kRoot, 0, nullptr, run) {
    m_structureMode = mode;
  }
  HWND templateWindow() const { return m_hWnd; }
  DWORD structureSize() const { return m_ofn.lStructSize; }
  int fileNameBoxId() const { return m_fileNameBoxId; }
};

// What the driver thread saw while the picker ran; checked afterwards on the
// test's thread.
struct Seen {
  bool opened = false;
  bool placesBar = false;
  bool fileNameBoxExists = false;
  bool has1148 = false;
  bool fileNameBoxHidden = false;
  bool ownOkShownTheirsHidden = false;
  std::string browsedFromHistory;
  std::string fileNameAfterHistory;
  std::string fileNameBeforeHistory;
};

std::string textOf(HWND window) {
  char buffer[1024] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

bool waitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 300; ++i) {
    if (condition()) return true;
    Sleep(30);
  }
  return false;
}

void drive(PickerUnderTest& picker, Seen& seen) {
  HWND templ = nullptr;
  if (!waitFor([&] {
        templ = picker.templateWindow();
        return templ != nullptr && IsWindowVisible(GetParent(templ));
      }))
    return;
  Sleep(300);
  HWND dialog = GetParent(templ);
  HWND box = GetDlgItem(templ, IDC_FOLDER_HISTORY);
  seen.opened = true;
  seen.placesBar = GetDlgItem(dialog, 1184) != nullptr;
  seen.has1148 = GetDlgItem(dialog, 1148) != nullptr;
  HWND fileNameBox = GetDlgItem(dialog, picker.fileNameBoxId());
  seen.fileNameBoxExists = fileNameBox != nullptr;
  if (fileNameBox != nullptr) {
    RECT rect;
    GetWindowRect(fileNameBox, &rect);
    seen.fileNameBoxHidden = !IsWindowEnabled(fileNameBox) && rect.right - rect.left == 1;
  }
  seen.ownOkShownTheirsHidden =
      IsWindowVisible(GetDlgItem(templ, IDC_PICKER_OK)) && !IsWindowVisible(GetDlgItem(dialog, IDOK));

  // Pick the history's first entry as the drop-down would.
  seen.fileNameBeforeHistory = textOf(fileNameBox);
  SendMessageA(box, CB_SETCURSEL, 0, 0);
  SendMessageA(templ, WM_COMMAND, MAKEWPARAM(IDC_FOLDER_HISTORY, CBN_SELENDOK),
               reinterpret_cast<LPARAM>(box));
  std::string gamma = std::string(kRoot) + "\\gamma";
  waitFor([&] { return textOf(box) == gamma; });
  seen.browsedFromHistory = textOf(box);
  seen.fileNameAfterHistory = textOf(fileNameBox);

  // A typed folder is what comes back.
  SetWindowTextA(box, (std::string(kRoot) + "\\alpha").c_str());
  PostMessageA(GetDlgItem(templ, IDC_PICKER_OK), BM_CLICK, 0, 0);
}

class PickerStructure : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    g_app.initModule(GetModuleHandleA(nullptr));
    DeleteFileA(profile().c_str());
    CreateDirectoryA(kRoot, nullptr);
    CreateDirectoryA((std::string(kRoot) + "\\alpha").c_str(), nullptr);
    CreateDirectoryA((std::string(kRoot) + "\\gamma").c_str(), nullptr);
    g_app.WriteProfileString("FolderHistory", "Folder0000", (std::string(kRoot) + "\\gamma").c_str());
  }
  void TearDown() override {
    DeleteFileA(profile().c_str());
    RemoveDirectoryA((std::string(kRoot) + "\\alpha").c_str());
    RemoveDirectoryA((std::string(kRoot) + "\\gamma").c_str());
    RemoveDirectoryA(kRoot);
  }
  static std::string profile() {
    char directory[MAX_PATH] = {};
    GetWindowsDirectoryA(directory, MAX_PATH);
    return std::string(directory) + "\\" + g_app.profileName();
  }
};

TEST_P(PickerStructure, LaysItsBoxOverTheSystemFieldsAndReturnsTheTypedFolder) {
  const int mode = GetParam();
  brevanto::CFolderPickerDialog::RunState run;
  PickerUnderTest picker(mode, run);
  Seen seen;
  std::thread driver([&] { drive(picker, seen); });
  INT_PTR result = picker.DoModal();
  driver.join();

  ASSERT_TRUE(seen.opened);
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(picker.GetSelectedFolder(), std::string(kRoot) + "\\alpha");
  if (mode == PickerUnderTest::kClassicForm) {
    EXPECT_EQ(picker.structureSize(), static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A));
    EXPECT_FALSE(seen.placesBar);
  } else {
    EXPECT_EQ(picker.structureSize(), static_cast<DWORD>(sizeof(OPENFILENAMEA)));
    EXPECT_TRUE(seen.placesBar);
  }
  EXPECT_EQ(picker.fileNameBoxId(), seen.has1148 ? 1148 : 1152);
  EXPECT_TRUE(seen.fileNameBoxExists);
  EXPECT_TRUE(seen.fileNameBoxHidden);
  EXPECT_TRUE(seen.ownOkShownTheirsHidden);
  // The entry opened its folder, and the system's file-name field got its text back.
  EXPECT_EQ(seen.browsedFromHistory, std::string(kRoot) + "\\gamma");
  EXPECT_EQ(seen.fileNameAfterHistory, seen.fileNameBeforeHistory);
  // Confirmed: the typed folder heads the history.
  EXPECT_EQ(g_app.GetProfileString("FolderHistory", "Folder0000"), std::string(kRoot) + "\\alpha");
  EXPECT_EQ(g_app.GetProfileString("FolderHistory", "Folder0001"), std::string(kRoot) + "\\gamma");
}

INSTANTIATE_TEST_SUITE_P(BothSizes, PickerStructure,
                         ::testing::Values(static_cast<int>(PickerUnderTest::kClassicForm),
                                           static_cast<int>(PickerUnderTest::kExtendedForm)));

}  // namespace
