// Extract end to end: a VBScript run by cscript creates the object by its
// ProgID and calls Extract against the stand-in browser; this test program is
// the separate process that drives the Save As dialog and the message boxes
// and checks the file, the registry and the references left behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extractor/extraction_pipeline.h"
#include "tests/win32/wine_support.h"

namespace brevanto::testing {
namespace {

const char kSettingsKey[] = "SOFTWARE\\Brevanto\\TextExtraction";
const char kSaveAsCaption[] = "Save As";
const char kCaption[] = "infomation";
constexpr int kFileNameCombo = 0x47C;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1
constexpr int kFilterCombo = 0x470;    // cmb1
constexpr int kReadOnlyBox = 0x410;    // chx1
constexpr DWORD kWindowTimeout = 20000;

const char kArticle[] =
    "<BODY><DIV><A href=\"/\">Home</A> <A href=\"/news\">News</A></DIV>"
    "<DIV><H1>Quiet harbour</H1><P>The boats came in before the storm, one after another.</P>"
    "<P>By evening the quay was full and the nets were drying on every rail.</P></DIV></BODY>";
const char kOtherArticle[] =
    "<BODY><DIV><P>This is the second window's page.</P><P>It must never be saved.</P></DIV></BODY>";

// The bytes that the engine and the writer make of a markup, computed in
// this process.
std::string expectedFile(const std::string& markup, const std::string& url, const std::string& title) {
  ExtractionPipeline pipeline;
  pipeline.analyze(markup.c_str());
  const ContentList content = pipeline.selectContent(&pipeline.root, 2, 5.0);
  return ExtractionPipeline::formatTextFile(content, url, title);
}

std::string vbsQuote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

bool hasFileNameBox(HWND dialog) {
  return findChild(dialog, kFileNameCombo) != nullptr || findChild(dialog, kFileNameEdit) != nullptr;
}

class Extract : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(runProcess("regsvr32 /s " + winPath(BREVANTO_DLL)), 0);
    ASSERT_EQ(runProcess("regsvr32 /s " + winPath(BREVANTO_STANDIN_DLL)), 0);
    // Text files open with the probe, which records how it was started.
    writeStringValue(HKEY_CLASSES_ROOT, ".txt", nullptr, "BrevantoProbe.Text");
    writeStringValue(HKEY_CLASSES_ROOT, "BrevantoProbe.Text\\shell\\open\\command", nullptr,
                     "\"" + winPath(BREVANTO_VIEWER_PROBE) + "\" \"%1\"");
  }

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = winPath(BREVANTO_TEST_DIR) + "\\" + info->name();
    runProcess("cmd /c rmdir /s /q \"" + dir_ + "\"");
    ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << dir_;
    deleteKey(HKEY_LOCAL_MACHINE, kSettingsKey);
    SetEnvironmentVariableA("BREVANTO_STANDIN_CONFIG", (dir_ + "\\standin.txt").c_str());
    SetEnvironmentVariableA("BREVANTO_STANDIN_LOG", (dir_ + "\\standin.log").c_str());
    SetEnvironmentVariableA("BREVANTO_VIEWER_LOG", (dir_ + "\\viewer.log").c_str());
  }

  void TearDown() override {
    if (process_ != nullptr) finishProcess(process_, 1000);
    deleteKey(HKEY_LOCAL_MACHINE, kSettingsKey);
  }

  // Writes a page's markup to a file of the test folder; its path.
  std::string page(const std::string& name, const std::string& markup) {
    const std::string path = dir_ + "\\" + name;
    writeFile(path, markup);
    return path;
  }

  void browsers(const std::string& config) { writeFile(dir_ + "\\standin.txt", config); }

  // Runs `calls`, VBScript lines with the object in `o`, in cscript.
  void start(const std::string& calls) {
    const std::string script = dir_ + "\\extract.vbs";
    writeFile(script, "Set o = CreateObject(\"Brevanto.TextExtraction\")\r\n" + calls + "\r\n");
    process_ = startProcess("cscript //nologo \"" + script + "\"");
    ASSERT_NE(process_, nullptr);
  }

  void startExtract(const std::string& url, const std::string& title) {
    start("o.Extract " + vbsQuote(url) + ", " + vbsQuote(title));
  }

  HWND waitForSaveAs() {
    HWND dialog = nullptr;
    waitUntil(
        [&] {
          dialog = findDialog(kSaveAsCaption);
          return dialog != nullptr && hasFileNameBox(dialog);
        },
        kWindowTimeout);
    return dialog != nullptr && hasFileNameBox(dialog) ? dialog : nullptr;
  }

  HWND waitForMessage(const char* caption = kCaption) {
    HWND box = nullptr;
    waitUntil([&] { return (box = findDialog(caption)) != nullptr && messageText(box) != ""; },
              kWindowTimeout);
    return box;
  }

  static HWND fileNameBox(HWND dialog) {
    HWND box = findChild(dialog, kFileNameCombo);
    return box != nullptr ? box : findChild(dialog, kFileNameEdit);
  }

  // Types `path` as the file name and confirms.
  static void saveAs(HWND dialog, const std::string& path) {
    SendMessageA(fileNameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    press(dialog, IDOK);
  }
  // Posted: the click may open a modal box.
  static void press(HWND dialog, int button) { PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0); }

  static HWND standinWindow(const char* name) {
    return FindWindowA("BrevantoStandinBrowser", (std::string("stand-in ") + name).c_str());
  }

  // Waits for cscript to end and checks that it ended well and that every
  // reference on the browser's objects was released.
  void finish() {
    const int code = finishProcess(process_, kWindowTimeout);
    process_ = nullptr;
    EXPECT_EQ(code, 0) << "cscript failed or hung";
    EXPECT_EQ(readFile(dir_ + "\\standin.log"), "outstanding 0\n");
  }

  // Waits for cscript to end while watching for any dialog; true when none
  // appeared.
  bool finishSilently() {
    bool silent = true;
    waitUntil(
        [&] {
          if (findDialog(kSaveAsCaption) != nullptr || findDialog(kCaption) != nullptr) silent = false;
          return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
        },
        kWindowTimeout);
    finish();
    return silent;
  }

  std::string randomFolder() { return readStringValue(HKEY_LOCAL_MACHINE, kSettingsKey, "RandomFolder"); }

  std::string dir_;  // the test's own folder, as a Windows path
  HANDLE process_ = nullptr;  // owned: the running cscript
};

TEST_F(Extract, SavesTheFirstOfTwoEqualPagesThroughTheSaveAsDialog) {
  const std::string url = "http://example.com/harbour?day=3";
  const std::string title = "Harbour news";
  browsers("folder Files\nbrowser One\nurl http://example.com/other\ntitle Other\nmarkup " +
           page("other.html", kOtherArticle) + "\nbrowser Two\nurl " + url + "\ntitle " + title +
           "\nmarkup " + page("article.html", kArticle) + "\nbrowser Three\nurl " + url + "\ntitle " +
           title + "\nmarkup " + page("second.html", kOtherArticle) + "\n");
  startExtract(url, title);
  HWND dialog = waitForSaveAs();
  ASSERT_NE(dialog, nullptr);

  // Owned by the browser that shows the page, which is disabled meanwhile.
  HWND owner = standinWindow("Two");
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
  EXPECT_FALSE(IsWindowEnabled(owner));
  // With no settings the proposal is the title in c:\.
  EXPECT_EQ(windowText(fileNameBox(dialog)), "Harbour news.txt");
  HWND filter = findChild(dialog, kFilterCombo);
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(SendMessageW(filter, CB_GETCOUNT, 0, 0), 2);
  std::vector<std::wstring> filters;
  for (int i = 0; i < 2; ++i) {
    wchar_t text[128] = {};
    SendMessageW(filter, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    filters.emplace_back(text);
  }
  EXPECT_EQ(filters, (std::vector<std::wstring>{L"text file(*.txt)", L"all files(*.*)"}));
  HWND readOnly = findChild(dialog, kReadOnlyBox);
  EXPECT_TRUE(readOnly == nullptr || !IsWindowVisible(readOnly));
  screenshot("save-as-dialog");

  // A name typed without extension gets ".txt".
  saveAs(dialog, dir_ + "\\saved");
  finish();
  const std::string written = readFile(dir_ + "\\saved.txt");
  EXPECT_EQ(written, expectedFile(kArticle, url, title));
  EXPECT_EQ(written.rfind("\r\nurl : " + url + "\r\n\r\ntitle : " + title + "\r\n\r\n", 0), 0u);
  EXPECT_NE(written.find("nets were drying"), std::string::npos);
  EXPECT_EQ(written.find("second window"), std::string::npos);
  // FolderSelection 0 (absent) stores nothing.
  EXPECT_EQ(randomFolder(), "<absent>");
}

}  // namespace
}  // namespace brevanto::testing
