// Extract end to end: a VBScript run by cscript creates the object by its
// ProgID and calls Extract against the stand-in browser; this test program is
// the separate process that drives the Save As dialog and the message boxes
// and checks the file, the registry and the references left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "extractor/extraction_pipeline.h"
#include "extractor/output/output.h"
#include "tests/win32/wine_support.h"

namespace brevanto::testing {
namespace {

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
  return formatTextFile(pipeline.chooseContent(), url, title).file;
}

std::string vbsQuote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// The pixels of a 32 x 32 square: taken from the screen at `origin`, or an
// icon drawn on `background`.
std::vector<COLORREF> squareOf(HDC source, POINT origin) {
  std::vector<COLORREF> pixels;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) pixels.push_back(GetPixel(source, origin.x + x, origin.y + y));
  }
  return pixels;
}

std::vector<COLORREF> drawnIcon(LPCSTR id, COLORREF background) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
  HGDIOBJ old = SelectObject(memory, bitmap);
  HBRUSH brush = CreateSolidBrush(background);
  RECT all = {0, 0, 32, 32};
  FillRect(memory, &all, brush);
  DrawIcon(memory, 0, 0, LoadIconA(nullptr, id));
  std::vector<COLORREF> pixels = squareOf(memory, POINT{0, 0});
  SelectObject(memory, old);
  DeleteObject(brush);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

size_t differences(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
  size_t count = 0;
  for (size_t i = 0; i < a.size(); ++i) count += a[i] != b[i] ? 1 : 0;
  return count;
}

// True when the icon that the box shows on screen looks like the system's
// information icon more than like any other message icon. (Icon handles do
// not compare across processes: the pixels do.)
bool showsInformationIcon(HWND box) {
  HWND icon = nullptr;
  for (int id : {0x14, 0x440}) {
    if (icon == nullptr) icon = GetDlgItem(box, id);
  }
  if (icon == nullptr) return false;
  RECT rect = {};
  GetWindowRect(icon, &rect);
  HDC screen = GetDC(nullptr);
  const std::vector<COLORREF> shown = squareOf(screen, POINT{rect.left, rect.top});
  ReleaseDC(nullptr, screen);
  const COLORREF background = shown.front();
  const size_t information =
      differences(shown, drawnIcon(reinterpret_cast<LPCSTR>(IDI_INFORMATION), background));
  for (LPCSTR other : {IDI_WARNING, IDI_ERROR, IDI_QUESTION, IDI_APPLICATION}) {
    if (differences(shown, drawnIcon(reinterpret_cast<LPCSTR>(other), background)) <= information)
      return false;
  }
  return information < 32 * 32 / 10;
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
    writeString(HKEY_CLASSES_ROOT, ".txt", nullptr, "BrevantoProbe.Text");
    writeString(HKEY_CLASSES_ROOT, "BrevantoProbe.Text\\shell\\open\\command", nullptr,
                "\"" + winPath(BREVANTO_VIEWER_PROBE) + "\" \"%1\"");
  }

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = winPath(BREVANTO_TEST_DIR) + "\\" + info->name();
    runProcess("cmd /c rmdir /s /q \"" + dir_ + "\"");
    ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr)) << dir_;
    deleteSettings();
    SetEnvironmentVariableA("BREVANTO_STANDIN_CONFIG", (dir_ + "\\standin.cfg").c_str());
    SetEnvironmentVariableA("BREVANTO_STANDIN_LOG", (dir_ + "\\standin.log").c_str());
    SetEnvironmentVariableA("BREVANTO_VIEWER_LOG", (dir_ + "\\viewer.log").c_str());
  }

  void TearDown() override {
    if (process_ != nullptr) finishProcess(process_, 1000);
    deleteSettings();
  }

  // Writes a page's markup to a file of the test folder; its path.
  std::string page(const std::string& name, const std::string& markup) {
    const std::string path = dir_ + "\\" + name;
    writeFile(path, markup);
    return path;
  }

  void browsers(const std::string& config) { writeFile(dir_ + "\\standin.cfg", config); }

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

  // Waits for the server's message box and checks what each of them must
  // be: this text, the information icon and, as its owner, the stand-in
  // browser window of that name (none for null). The caption is how it is
  // found. The box, or null when none came.
  HWND expectMessage(const char* text, const char* ownerName) {
    HWND box = nullptr;
    waitUntil([&] { return (box = findDialog(kCaption)) != nullptr && messageText(box) != ""; },
              kWindowTimeout);
    EXPECT_NE(box, nullptr) << text;
    if (box == nullptr) return nullptr;
    EXPECT_EQ(messageText(box), text);
    // The box can be found before it has painted its icon on the screen.
    EXPECT_TRUE(waitUntil([&] { return showsInformationIcon(box); }, kWindowTimeout)) << text;
    EXPECT_EQ(GetWindow(box, GW_OWNER), ownerName != nullptr ? standinWindow(ownerName) : nullptr) << text;
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
    const std::string log = readFile(dir_ + "\\standin.log");
    EXPECT_EQ(log.substr(0, log.find('\n') + 1), "outstanding 0\n");
    const size_t trace = log.find("\ntrace ");
    trace_ = trace == std::string::npos ? std::string() : log.substr(trace + 7);
    if (!trace_.empty() && trace_.back() == '\n') trace_.pop_back();
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

  std::string randomFolder() { return readString("RandomFolder").value_or("<absent>"); }

  std::string dir_;           // the test's own folder, as a Windows path
  std::string trace_;         // the calls the last run made on the stand-in
  HANDLE process_ = nullptr;  // owned: the running cscript
};

TEST_F(Extract, SavesTheFirstOfTwoEqualPagesThroughTheSaveAsDialog) {
  const std::string url = "http://example.com/harbour?day=3";
  const std::string title = "Harbour news";
  // A document without URL or title is passed over.
  browsers("folder Files\nbrowser Blank\nno-url\nno-title\nmarkup " + page("blank.html", kOtherArticle) +
           "\nbrowser One\nurl http://example.com/other\ntitle Other\nmarkup " +
           page("other.html", kOtherArticle) + "\nbrowser Two\nurl " + url + "\ntitle " + title +
           "\nmarkup " + page("article.html", kArticle) + "\nbrowser Three\nurl " + url + "\ntitle " + title +
           "\nmarkup " + page("second.html", kOtherArticle) + "\n");
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
  // The search stops at the first match; its body is read once.
  EXPECT_EQ(trace_.substr(trace_.find(" item3 ")),
            " item3 qi-browser hwnd document qi-document url title body outer");
  const std::string written = readFile(dir_ + "\\saved.txt");
  EXPECT_EQ(written, expectedFile(kArticle, url, title));
  EXPECT_EQ(written.rfind("\r\nurl : " + url + "\r\n\r\ntitle : " + title + "\r\n\r\n", 0), 0u);
  EXPECT_NE(written.find("nets were drying"), std::string::npos);
  EXPECT_EQ(written.find("second window"), std::string::npos);
  // FolderSelection 0 (absent) stores nothing.
  EXPECT_EQ(randomFolder(), "<absent>");
}

TEST_F(Extract, NoMatchingPageShowsTheLookupMessageOwnedByTheLastBrowserExamined) {
  // A URL differing in letter case, a title with a trailing space, a
  // document without a title: none matches.
  browsers("browser One\nurl http://Example.com/a\ntitle Page\nmarkup " + page("a.html", kArticle) +
           "\nfolder Files\nbrowser Two\nurl http://example.com/a\ntitle Page \nmarkup " +
           page("b.html", kArticle) + "\nplain\nbrowser Three\nurl http://example.com/a\nno-title\nmarkup " +
           page("c.html", kArticle) + "\nplain\n");
  start("o.extract \"http://example.com/a\", \"Page\"");
  HWND box = expectMessage("Sorry, cannot get content!", "Three");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(findDialog(kSaveAsCaption), nullptr);
  screenshot("message-no-page");
  press(box, IDOK);
  finish();
  // Every window is examined in order; the window handle is read before the
  // document, and both strings are read even when the URL already differs.
  EXPECT_EQ(trace_,
            "count item0 qi-browser hwnd document qi-document url title"
            " item1 qi-browser hwnd document qi-document"
            " item2 qi-browser hwnd document qi-document url title"
            " item3 qi-browser"
            " item4 qi-browser hwnd document qi-document url title"
            " item5 qi-browser");

  // With no browser at all the box has no owner.
  browsers("plain\nplain\n");
  start("o.Extract \"http://example.com/a\", \"Page\"");
  box = expectMessage("Sorry, cannot get content!", nullptr);
  ASSERT_NE(box, nullptr);
  press(box, IDOK);
  finish();
}

TEST_F(Extract, EmptyBodyMarkupShowsThePipelineMessageAndAbsentMarkupNothing) {
  browsers(
      "browser Empty\nurl u:empty\ntitle E\nmarkup " + page("empty.html", "") +
      "\nbrowser Absent\nurl u:absent\ntitle A\nno-markup\nbrowser NoBody\nurl u:nobody\ntitle N\nno-body\n");
  start("o.EXTRACT \"u:empty\", \"E\"");
  HWND box = expectMessage("Sorry! cannot get content!", "Empty");
  ASSERT_NE(box, nullptr);
  press(box, IDOK);
  finish();

  start("o.Extract \"u:absent\", \"A\"\r\no.Extract \"u:nobody\", \"N\"");
  EXPECT_TRUE(finishSilently());
  EXPECT_FALSE(fileExists("C:\\A.txt"));
  EXPECT_FALSE(fileExists("C:\\N.txt"));
}

TEST_F(Extract, MarkupWithoutTextStillSavesTheHeader) {
  const std::string markup = "<BODY><IMG src=\"a.png\"><SCRIPT>var x = 1;</SCRIPT></BODY>";
  browsers("browser One\nurl u:bare\ntitle Bare\nmarkup " + page("bare.html", markup) + "\n");
  startExtract("u:bare", "Bare");
  HWND dialog = waitForSaveAs();
  ASSERT_NE(dialog, nullptr);
  saveAs(dialog, dir_ + "\\bare.txt");
  finish();
  const std::string written = readFile(dir_ + "\\bare.txt");
  EXPECT_EQ(written, expectedFile(markup, "u:bare", "Bare"));
  EXPECT_EQ(written.rfind("\r\nurl : u:bare\r\n\r\ntitle : Bare\r\n\r\n", 0), 0u);
  EXPECT_EQ(written.find("var x"), std::string::npos);
}

TEST_F(Extract, CancellingWritesNothingAndKeepsTheRememberedFolder) {
  const std::string remembered = dir_ + "\\remembered\\";
  CreateDirectoryA(remembered.c_str(), nullptr);
  writeDword("FolderSelection", 1);
  writeString("RandomFolder", remembered);
  browsers("browser One\nurl u:1\ntitle Kept\nmarkup " + page("a.html", kArticle) + "\n");
  // Two calls in one script, with the name in two more spellings.
  start("o.extract \"u:1\", \"Kept\"\r\no.EXTRACT \"u:1\", \"Kept\"");
  for (int call = 0; call < 2; ++call) {
    HWND dialog = waitForSaveAs();
    ASSERT_NE(dialog, nullptr) << "call " << call;
    press(dialog, IDCANCEL);
    waitUntil([&] { return !IsWindow(dialog); }, kWindowTimeout);
  }
  EXPECT_TRUE(finishSilently());
  EXPECT_FALSE(fileExists(remembered + "Kept.txt"));
  EXPECT_EQ(randomFolder(), remembered);
}

TEST_F(Extract, FolderSelectionDecidesTheProposalAndTheLastSavedFolderIsRemembered) {
  const std::string fixed = dir_ + "\\fixed";
  const std::string other = dir_ + "\\other";
  CreateDirectoryA(fixed.c_str(), nullptr);
  CreateDirectoryA(other.c_str(), nullptr);
  browsers("browser One\nurl u:1\ntitle Notes\nmarkup " + page("a.html", kArticle) + "\n");

  // 0: the fixed folder, completed with its "\"; accepting the proposal
  // saves there. Nothing is remembered.
  writeDword("FolderSelection", 0);
  writeString("FixedFolder", fixed);
  startExtract("u:1", "Notes");
  HWND dialog = waitForSaveAs();
  ASSERT_NE(dialog, nullptr);
  press(dialog, IDOK);
  finish();
  EXPECT_TRUE(fileExists(fixed + "\\Notes.txt"));
  EXPECT_EQ(randomFolder(), "<absent>");

  // 1: the remembered folder; saving elsewhere remembers that folder.
  writeDword("FolderSelection", 1);
  writeString("RandomFolder", fixed);
  startExtract("u:1", "Notes");
  dialog = waitForSaveAs();
  ASSERT_NE(dialog, nullptr);
  saveAs(dialog, other + "\\elsewhere.txt");
  finish();
  EXPECT_TRUE(fileExists(other + "\\elsewhere.txt"));
  EXPECT_EQ(randomFolder(), other + "\\");
  // ...and the next call proposes it.
  startExtract("u:1", "Notes");
  dialog = waitForSaveAs();
  ASSERT_NE(dialog, nullptr);
  press(dialog, IDOK);
  finish();
  EXPECT_TRUE(fileExists(other + "\\Notes.txt"));
  EXPECT_EQ(randomFolder(), other + "\\");

  // 2: neither folder: "C:\", and nothing is stored.
  const std::string inRoot = "C:\\Brevanto folder selection two.txt";
  DeleteFileA(inRoot.c_str());
  writeDword("FolderSelection", 2);
  startExtract("u:1", "Notes");
  dialog = waitForSaveAs();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(windowText(fileNameBox(dialog)), "Notes.txt");
  saveAs(dialog, "Brevanto folder selection two.txt");
  finish();
  EXPECT_TRUE(fileExists(inRoot));
  DeleteFileA(inRoot.c_str());
  EXPECT_EQ(randomFolder(), other + "\\");
}

TEST_F(Extract, TitlesAreMadeSafeForTheProposalAndKeptInTheHeader) {
  writeString("FixedFolder", dir_ + "\\");
  CreateDirectoryA((dir_ + "\\Part one").c_str(), nullptr);
  const std::string title = "Part one\\Q: why? v1.2";
  browsers("browser One\nurl u:1\ntitle " + title + "\nmarkup " + page("a.html", kArticle) +
           "\nbrowser Long\nurl u:2\ntitle " + std::string(300, 'x') + "\nmarkup " +
           page("b.html", kArticle) + "\n");
  startExtract("u:1", title);
  HWND dialog = waitForSaveAs();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(windowText(fileNameBox(dialog)), "Q_ why_ v1_2.txt");
  // The backslash made a folder of what precedes it.
  press(dialog, IDOK);
  finish();
  const std::string written = readFile(dir_ + "\\Part one\\Q_ why_ v1_2.txt");
  EXPECT_NE(written.find("\r\ntitle : " + title + "\r\n"), std::string::npos) << written;

  // A proposal longer than the dialog's buffer is cut to 259 characters.
  writeString("FixedFolder", "c:\\");
  startExtract("u:2", std::string(300, 'x'));
  dialog = waitForSaveAs();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(windowText(fileNameBox(dialog)), std::string(259 - 3, 'x'));
  press(dialog, IDCANCEL);
  finish();
}

TEST_F(Extract, ArgumentsReachTheLookupAsAnsiText) {
  // Numbers are coerced to their text, also from a variable passed by
  // reference.
  browsers("browser Numbers\nurl 42\ntitle 7\nmarkup " + page("n.html", kArticle) + "\n");
  start("n = 42\r\no.Extract n, 7");
  HWND dialog = waitForSaveAs();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), standinWindow("Numbers"));
  EXPECT_EQ(windowText(fileNameBox(dialog)), "7.txt");
  press(dialog, IDCANCEL);
  finish();
}

TEST_F(Extract, APageTitledOutsideTheCodePageIsFound) {
  // The document's omega has no ANSI form; the caller's title went through
  // the same conversion on its way in, which gave it a stand-in character.
  char ansi[64] = {};
  WideCharToMultiByte(CP_ACP, 0, L"Omega \u03A9 page", -1, ansi, sizeof(ansi), nullptr, nullptr);
  browsers("browser One\nurl u:1\ntitle Omega \xCE\xA9 page\nmarkup " + page("a.html", kArticle) + "\n");
  start("o.Extract \"u:1\", " + vbsQuote(ansi));
  HWND dialog = waitForSaveAs();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), standinWindow("One"));
  press(dialog, IDCANCEL);
  finish();
}

TEST_F(Extract, TheWrittenFileOpensInItsFolderWhenAsked) {
  writeDword("DispAfterProcess", 7);
  browsers("browser One\nurl u:1\ntitle Shown\nmarkup " + page("a.html", kArticle) + "\n");
  startExtract("u:1", "Shown");
  HWND dialog = waitForSaveAs();
  ASSERT_NE(dialog, nullptr);
  saveAs(dialog, dir_ + "\\shown.txt");
  finish();
  // The viewer writes two lines once it runs.
  ASSERT_TRUE(waitUntil(
      [&] {
        const std::string text = readFile(dir_ + "\\viewer.log");
        return std::count(text.begin(), text.end(), '\n') == 2;
      },
      kWindowTimeout));
  const std::string log = readFile(dir_ + "\\viewer.log");
  const size_t lineEnd = log.find('\n');
  ASSERT_NE(lineEnd, std::string::npos);
  // It is given the bare file name, not the path.
  EXPECT_EQ(log.substr(0, lineEnd).substr(lineEnd >= 11 ? lineEnd - 11 : 0), "\"shown.txt\"") << log;
  // The viewer runs in the file's folder.
  EXPECT_EQ(_stricmp(log.substr(lineEnd + 1, log.size() - lineEnd - 2).c_str(), dir_.c_str()), 0) << log;
}

TEST_F(Extract, AFailedSaveIsReportedAndKeepsTheExistingFile) {
  writeDword("FolderSelection", 1);
  writeString("RandomFolder", "c:\\");
  browsers("browser One\nurl u:1\ntitle Locked\nmarkup " + page("a.html", kArticle) + "\n");
  const std::string locked = dir_ + "\\locked.txt";
  writeFile(locked, "earlier text");
  // Held open without sharing: the save cannot create it.
  HANDLE held = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  startExtract("u:1", "Locked");
  HWND dialog = waitForSaveAs();
  ASSERT_NE(dialog, nullptr);
  saveAs(dialog, locked);
  // The overwrite prompt first.
  HWND prompt = nullptr;
  ASSERT_TRUE(waitUntil([&] { return (prompt = findDialogWithControl(IDYES)) != nullptr; }, kWindowTimeout));
  press(prompt, IDYES);
  HWND box = expectMessage("Sorry, cannot save the text file!", "One");
  ASSERT_NE(box, nullptr);
  screenshot("message-cannot-save");
  press(box, IDOK);
  finish();
  CloseHandle(held);
  EXPECT_EQ(readFile(locked), "earlier text");
  // Nothing was saved, so the remembered folder stays.
  EXPECT_EQ(randomFolder(), "c:\\");
}

}  // namespace
}  // namespace brevanto::testing
