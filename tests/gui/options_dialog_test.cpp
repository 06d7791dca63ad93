// The options dialog, driven from outside as a person would use it.
#include <gtest/gtest.h>

// The common controls header needs windows.h before it.
// clang-format off
#include "tests/gui/gui_driver.h"
#include <commctrl.h>
// clang-format on

#include "tool/resource.h"

namespace {

using gui::Kelvata;

class OptionsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    gui::deleteSettings();
    gui::deleteProfile();
  }
  void TearDown() override {
    gui::deleteSettings();
    gui::deleteProfile();
  }
  HWND item(int id) const { return GetDlgItem(app.dialog, id); }

  Kelvata app;
};

TEST_F(OptionsDialog, OpensWithTheDefaultsWhenNothingIsStoredAndExitWritesNothing) {
  ASSERT_TRUE(app.start());
  EXPECT_TRUE(gui::checked(item(IDC_FIXED_FOLDER_OPTION)));
  EXPECT_FALSE(gui::checked(item(IDC_RANDOM_FOLDER_OPTION)));
  EXPECT_EQ(gui::windowText(item(IDC_FOLDER_PATH)), "c:\\");
  EXPECT_FALSE(gui::checked(item(IDC_OPEN_AFTER_PROCESS)));
  EXPECT_TRUE(IsWindowEnabled(item(IDC_FOLDER_PATH)));
  EXPECT_TRUE(IsWindowEnabled(item(IDC_SEARCH_FOLDER)));
  EXPECT_EQ(gui::windowText(item(IDOK)), "&OK");
  EXPECT_EQ(gui::windowText(item(IDCANCEL)), "&Exit");

  gui::click(item(IDC_OPEN_AFTER_PROCESS));
  gui::click(item(IDCANCEL));
  ASSERT_TRUE(app.waitForExit());
  EXPECT_FALSE(gui::readDword("FolderSelection"));
  EXPECT_FALSE(gui::readDword("DispAfterProcess"));
  EXPECT_FALSE(gui::readString("FixedFolder"));
}

TEST_F(OptionsDialog, NeitherOptionSelectedStoresMinusOneAndKeepsTheFixedFolder) {
  gui::writeDword("FolderSelection", 2);
  gui::writeString("FixedFolder", "D:\\Keep");
  gui::writeDword("DispAfterProcess", 7);
  ASSERT_TRUE(app.start());
  EXPECT_FALSE(gui::checked(item(IDC_FIXED_FOLDER_OPTION)));
  EXPECT_FALSE(gui::checked(item(IDC_RANDOM_FOLDER_OPTION)));
  EXPECT_TRUE(IsWindowEnabled(item(IDC_FOLDER_PATH)));
  EXPECT_TRUE(IsWindowEnabled(item(IDC_SEARCH_FOLDER)));
  EXPECT_EQ(gui::windowText(item(IDC_FOLDER_PATH)), "D:\\Keep\\");
  EXPECT_TRUE(gui::checked(item(IDC_OPEN_AFTER_PROCESS)));

  gui::click(item(IDOK));
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(gui::readDword("FolderSelection"), 0xFFFFFFFFu);
  EXPECT_EQ(gui::readString("FixedFolder"), "D:\\Keep");
  EXPECT_EQ(gui::readDword("DispAfterProcess"), 1u);
}

TEST_F(OptionsDialog, TheRandomOptionDisablesTheFolderControlsAndOkLeavesTheFixedFolder) {
  ASSERT_TRUE(app.start());
  SendMessageA(item(IDC_RANDOM_FOLDER_OPTION), BM_CLICK, 0, 0);
  EXPECT_TRUE(gui::checked(item(IDC_RANDOM_FOLDER_OPTION)));
  EXPECT_FALSE(gui::checked(item(IDC_FIXED_FOLDER_OPTION)));
  EXPECT_FALSE(IsWindowEnabled(item(IDC_FOLDER_PATH)));
  EXPECT_FALSE(IsWindowEnabled(item(IDC_SEARCH_FOLDER)));
  gui::settle(300);
  gui::screenshot("options-random-folder");

  SendMessageA(item(IDC_FIXED_FOLDER_OPTION), BM_CLICK, 0, 0);
  EXPECT_TRUE(IsWindowEnabled(item(IDC_FOLDER_PATH)));
  EXPECT_TRUE(IsWindowEnabled(item(IDC_SEARCH_FOLDER)));

  // Whatever the edit shows, the random option does not store it.
  gui::setText(item(IDC_FOLDER_PATH), "E:\\Elsewhere");
  SendMessageA(item(IDC_RANDOM_FOLDER_OPTION), BM_CLICK, 0, 0);
  SendMessageA(item(IDC_OPEN_AFTER_PROCESS), BM_CLICK, 0, 0);
  gui::click(item(IDOK));
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(gui::readDword("FolderSelection"), 1u);
  EXPECT_EQ(gui::readDword("DispAfterProcess"), 1u);
  EXPECT_FALSE(gui::readString("FixedFolder"));
}

TEST_F(OptionsDialog, OkWithTheFixedOptionStoresTheFolderAsShownAndExitLeavesEverything) {
  gui::writeDword("FolderSelection", 1);
  gui::writeString("FixedFolder", "C:\\Texts");
  ASSERT_TRUE(app.start());
  EXPECT_TRUE(gui::checked(item(IDC_RANDOM_FOLDER_OPTION)));
  EXPECT_EQ(gui::windowText(item(IDC_FOLDER_PATH)), "C:\\Texts\\");
  SendMessageA(item(IDC_FIXED_FOLDER_OPTION), BM_CLICK, 0, 0);
  gui::screenshot("options-fixed-folder");
  gui::click(item(IDCANCEL));
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(gui::readDword("FolderSelection"), 1u);
  EXPECT_EQ(gui::readString("FixedFolder"), "C:\\Texts");
  EXPECT_FALSE(gui::readDword("DispAfterProcess"));

  Kelvata again;
  ASSERT_TRUE(again.start());
  SendMessageA(GetDlgItem(again.dialog, IDC_FIXED_FOLDER_OPTION), BM_CLICK, 0, 0);
  gui::click(GetDlgItem(again.dialog, IDOK));
  ASSERT_TRUE(again.waitForExit());
  EXPECT_EQ(gui::readDword("FolderSelection"), 0u);
  EXPECT_EQ(gui::readString("FixedFolder"), "C:\\Texts\\");
  EXPECT_EQ(gui::readDword("DispAfterProcess"), 0u);
}

TEST_F(OptionsDialog, TheCloseButtonAndTheSystemMenuCloseWriteNothing) {
  gui::writeDword("FolderSelection", 0);
  for (UINT close : {static_cast<UINT>(WM_CLOSE), static_cast<UINT>(WM_SYSCOMMAND)}) {
    Kelvata run;
    ASSERT_TRUE(run.start());
    SendMessageA(GetDlgItem(run.dialog, IDC_RANDOM_FOLDER_OPTION), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(run.dialog, IDC_OPEN_AFTER_PROCESS), BM_CLICK, 0, 0);
    if (close == WM_CLOSE)
      PostMessageA(run.dialog, WM_CLOSE, 0, 0);
    else
      PostMessageA(run.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(run.waitForExit());
    EXPECT_EQ(gui::readDword("FolderSelection"), 0u);
    EXPECT_FALSE(gui::readDword("DispAfterProcess"));
    EXPECT_FALSE(gui::readString("FixedFolder"));
  }
}

TEST_F(OptionsDialog, ToolTipsAreSetForTheThreeButtons) {
  ASSERT_TRUE(app.start());
  HWND tips = nullptr;
  gui::waitUntil([&] {
    tips = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr);
    while (tips != nullptr && GetWindow(tips, GW_OWNER) != app.dialog)
      tips = FindWindowExA(nullptr, tips, TOOLTIPS_CLASSA, nullptr);
    return tips != nullptr;
  });
  ASSERT_NE(tips, nullptr);
  EXPECT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageA(tips, TTM_GETMAXTIPWIDTH, 0, 0), 32767);
  EXPECT_NE(GetWindowLongA(tips, GWL_STYLE) & TTS_ALWAYSTIP, 0);
  gui::click(item(IDCANCEL));
  EXPECT_TRUE(app.waitForExit());
}

TEST_F(OptionsDialog, EnterAndEscapeDoNothingAndTheFolderEditOnlyMovesTheCaret) {
  gui::writeString("FixedFolder", "C:\\Texts");
  ASSERT_TRUE(app.start());
  gui::bringToFront(app.dialog);

  // On the first control, then on the default button, reached with Tab.
  gui::pressKeys({VK_RETURN, VK_ESCAPE});
  ASSERT_TRUE(app.running());
  HWND edit = item(IDC_FOLDER_PATH);
  // Tab cannot leave the folder edit, so the default button is reached backwards.
  auto tabTo = [&](HWND target, bool backwards) {
    for (int i = 0; i < 10 && gui::focusOf(app.dialog) != target; ++i) {
      if (backwards)
        gui::pressWith(VK_SHIFT, VK_TAB);
      else
        gui::pressKey(VK_TAB);
    }
    return gui::focusOf(app.dialog) == target;
  };
  ASSERT_TRUE(tabTo(item(IDOK), true));
  gui::pressKeys({VK_RETURN, VK_ESCAPE});
  gui::settle();
  ASSERT_TRUE(app.running());
  EXPECT_TRUE(IsWindowVisible(app.dialog));
  EXPECT_FALSE(gui::readDword("FolderSelection"));

  ASSERT_TRUE(tabTo(edit, false));
  // The caret moves, and only with Left and Right.
  auto caret = [&] {
    DWORD selection = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
    return LOWORD(selection) == HIWORD(selection) ? static_cast<int>(LOWORD(selection)) : -1;
  };
  gui::pressKeys({VK_RIGHT, VK_RIGHT});
  int atEnd = caret();
  EXPECT_EQ(atEnd, 9);  // after "C:\Texts\"
  gui::pressKeys({VK_LEFT, VK_LEFT});
  EXPECT_EQ(caret(), atEnd - 2);
  gui::pressKey(VK_RIGHT);
  EXPECT_EQ(caret(), atEnd - 1);
  gui::typeText("abc");
  gui::pressKeys({VK_BACK, VK_DELETE, VK_HOME, VK_END, VK_TAB, VK_RETURN, VK_ESCAPE});
  EXPECT_EQ(gui::windowText(edit), "C:\\Texts\\");
  EXPECT_EQ(caret(), atEnd - 1);
  EXPECT_EQ(gui::focusOf(app.dialog), edit);
  ASSERT_TRUE(app.running());

  // The mnemonics work from the edit: Alt+L, Alt+F, Alt+V, then Alt+O saves.
  gui::pressWith(VK_MENU, 'L');
  EXPECT_TRUE(gui::waitUntil([&] { return gui::checked(item(IDC_RANDOM_FOLDER_OPTION)); }, 3000));
  EXPECT_FALSE(IsWindowEnabled(edit));
  gui::pressWith(VK_MENU, 'F');
  EXPECT_TRUE(gui::waitUntil([&] { return gui::checked(item(IDC_FIXED_FOLDER_OPTION)); }, 3000));
  EXPECT_TRUE(IsWindowEnabled(edit));
  bool viewBefore = gui::checked(item(IDC_OPEN_AFTER_PROCESS));
  gui::pressWith(VK_MENU, 'V');
  EXPECT_TRUE(gui::waitUntil([&] { return gui::checked(item(IDC_OPEN_AFTER_PROCESS)) != viewBefore; }, 3000));
  EXPECT_FALSE(gui::readDword("FolderSelection"));
  gui::pressWith(VK_MENU, 'O');
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(gui::readDword("FolderSelection"), 0u);
  EXPECT_EQ(gui::readString("FixedFolder"), "C:\\Texts\\");
  EXPECT_EQ(gui::readDword("DispAfterProcess"), viewBefore ? 0u : 1u);
}

TEST_F(OptionsDialog, AnEmptyFixedFolderIsRefusedAndTheDialogStays) {
  gui::writeDword("DispAfterProcess", 1);
  ASSERT_TRUE(app.start());
  // What the edit's context menu would do: its text is cleared.
  gui::setText(item(IDC_FOLDER_PATH), "");
  gui::click(item(IDOK));
  HWND box = app.waitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(gui::messageText(box), "Fixed folder is empty! Please reselect it...");
  EXPECT_EQ(gui::windowText(box), "Kelvata");
  EXPECT_EQ(GetWindow(box, GW_OWNER), app.dialog);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(gui::waitUntil([&] { return !IsWindow(box); }));
  gui::settle();
  EXPECT_TRUE(app.running());
  EXPECT_TRUE(IsWindowVisible(app.dialog));
  EXPECT_FALSE(gui::readDword("FolderSelection"));
  EXPECT_FALSE(gui::readString("FixedFolder"));

  // A folder put back is saved.
  gui::setText(item(IDC_FOLDER_PATH), "D:\\Back");
  gui::click(item(IDOK));
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(gui::readString("FixedFolder"), "D:\\Back");
}

TEST_F(OptionsDialog, SettingsThatCannotBeWrittenAreReportedAndTheDialogStays) {
  // No lasting key can be made under a volatile one: every write fails.
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brevanto");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brevanto");
  HKEY parent = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brevanto", 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &parent, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(parent);

  ASSERT_TRUE(app.start());
  gui::click(item(IDOK));
  HWND box = app.waitForMessageBox();
  ASSERT_NE(box, nullptr);
  EXPECT_NE(gui::messageText(box).find("could not be saved"), std::string::npos);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(gui::waitUntil([&] { return !IsWindow(box); }));
  gui::settle();
  EXPECT_TRUE(app.running());
  EXPECT_FALSE(gui::readDword("FolderSelection"));

  gui::click(item(IDCANCEL));
  EXPECT_TRUE(app.waitForExit());
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brevanto");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brevanto");
}

TEST_F(OptionsDialog, TheSystemMenuEndsWithTheAboutEntryThatOpensTheAboutBox) {
  ASSERT_TRUE(app.start());
  gui::bringToFront(app.dialog);
  // Alt+Space opens the system menu; Up wraps to its last item.
  gui::pressWith(VK_MENU, VK_SPACE);
  HWND menu = nullptr;
  ASSERT_TRUE(gui::waitUntil(
      [&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr && IsWindowVisible(menu); }, 3000));
  gui::settle(300);
  gui::screenshot("options-system-menu");
  gui::pressKey(VK_UP);
  gui::pressKey(VK_RETURN);
  HWND about = app.waitForDialog("About Kelvata", 5000);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(GetWindow(about, GW_OWNER), app.dialog);
  EXPECT_FALSE(IsWindowEnabled(app.dialog));
  gui::screenshot("about-box");
  gui::click(GetDlgItem(about, IDOK));
  ASSERT_TRUE(gui::waitUntil([&] { return !IsWindow(about); }));
  EXPECT_TRUE(IsWindowEnabled(app.dialog));

  // The command is recognised with its low four bits masked off.
  PostMessageA(app.dialog, WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3, 0);
  about = app.waitForDialog("About Kelvata", 5000);
  ASSERT_NE(about, nullptr);
  PostMessageA(about, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(gui::waitUntil([&] { return !IsWindow(about); }));
  EXPECT_TRUE(app.running());
  gui::click(item(IDCANCEL));
  EXPECT_TRUE(app.waitForExit());
  EXPECT_FALSE(gui::readDword("FolderSelection"));
}

}  // namespace
