// The output file's bytes, the path functions behind the proposed file name,
// and saving: complete or not at all, never at the cost of an existing file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "extractor/extraction_pipeline.h"
#include "extractor/output/file_names.h"
#include "extractor/output/output.h"
#include "extractor/output/path_functions.h"
#include "platform/output_file.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#endif

namespace brevanto {
namespace {

namespace fs = std::filesystem;
using namespace windows_paths;

// A content node whose tag holds `text`; the node refers to the tag.
struct TextNode {
  explicit TextNode(const std::string& content) : text(content) {
    tag.text = text.empty() ? nullptr : text.data();
    tag.textLength = static_cast<int32_t>(text.size());
    node.tag = &tag;
  }
  TextNode(const TextNode&) = delete;
  TextNode& operator=(const TextNode&) = delete;
  std::string text;
  HtmlTag tag;
  HtmlNode node;
};

// The nodes chosen whole, in order.
std::vector<ContentChoice> chosen(const std::vector<HtmlNode*>& nodes) {
  std::vector<ContentChoice> choices;
  for (HtmlNode* node : nodes) choices.push_back({node, ContentReason::kParagraphs, {}});
  return choices;
}

const std::string kHeader = "\r\nurl : http://example.org/a?b=1\r\n\r\ntitle : A: title/with?signs\r\n\r\n";

std::string format(const std::vector<HtmlNode*>& nodes) {
  const PageText page = formatTextFile(chosen(nodes), "http://example.org/a?b=1", "A: title/with?signs");
  EXPECT_EQ(page.file.substr(0, page.headerLength), kHeader);
  return page.file;
}

TEST(TextFileFormat, HeaderThenEachCleanedTextThenLineBreak) {
  // Three lines with a blank middle one: the blank line goes, each kept line
  // ends in CR LF, and the writer adds one more.
  TextNode threeLines("first\r\n  \r\nthird");
  EXPECT_EQ(format({&threeLines.node}), kHeader + "first\r\nthird\r\n\r\n");

  // A single CR LF is not enough to split: the text stays as it was, blank
  // line and all, and the writer's CR LF follows it.
  TextNode oneBreak("a\r\n");
  EXPECT_EQ(format({&oneBreak.node}), kHeader + "a\r\n\r\n");
  TextNode noBreak("just one line");
  EXPECT_EQ(format({&noBreak.node}), kHeader + "just one line\r\n");

  // Null entries and nodes without text write nothing at all; the others keep
  // their order. LF alone is no line break for the cleaning.
  TextNode empty("");
  TextNode lf("x\n\ny");
  HtmlNode noTag;
  EXPECT_EQ(format({nullptr, &noBreak.node, &empty.node, &noTag, &lf.node, nullptr, &threeLines.node}),
            kHeader + "just one line\r\nx\n\ny\r\nfirst\r\nthird\r\n\r\n");

  // A page without text: the header only. Empty URL and title still have
  // their lines.
  EXPECT_EQ(format({nullptr}), kHeader);
  EXPECT_EQ(formatTextFile({}, "", "").file, "\r\nurl : \r\n\r\ntitle : \r\n\r\n");
}

TEST(TextFileFormat, CleanLines) {
  // A text is cleaned alike whether it is written whole or with lists left
  // out of it (here a list without text, which leaves nothing out).
  TextNode nothing("");
  auto clean = [&nothing](const std::string& text) {
    std::string cleaned;
    appendCleanLines(text, cleaned);
    TextNode node(text);
    std::vector<ContentChoice> choices = chosen({&node.node});
    const PageText whole = formatTextFile(choices, "u", "t");
    choices[0].leftOut.push_back(&nothing.node);
    EXPECT_EQ(formatTextFile(choices, "u", "t").file, whole.file) << text;
    if (!text.empty()) {
      EXPECT_EQ(whole.file.substr(whole.headerLength), cleaned + "\r\n") << text;
    }
    return cleaned;
  };
  EXPECT_EQ(clean("a\r\n  \r\nb"), "a\r\nb\r\n");
  EXPECT_EQ(clean("a\r\nb"), "a\r\nb") << "one pair is not enough";
  EXPECT_EQ(clean("a\r\n\r\n"), "a\r\n");
  EXPECT_EQ(clean("  \r\n\r\n"), "");
  EXPECT_EQ(clean("\t\r\n\r\nx"), "\t\r\nx\r\n") << "a tab is not blank";
  EXPECT_EQ(clean(" a \r\n\r\n b "), " a \r\n b \r\n") << "lines are copied whole";
  EXPECT_EQ(clean("a\r\r\n\nb\r\nc"), "a\r\r\n\nb\r\nc\r\n") << "CR and LF alone split nothing";
  EXPECT_EQ(clean(""), "");
}

TEST(TextFileFormat, TheServersFileJoinsTextsTheOthersSetThemApart) {
  // The same chosen texts in the Windows server's file, which keeps a text
  // of one line break or none as it is, so that it runs into the next, and in
  // a file that cleans every text alike and sets two texts apart by an empty
  // line, where a text that shows nothing writes nothing.
  const struct {
    std::vector<std::string> texts;
    std::string server;
    std::string apart;
  } cases[] = {
      {{"one line"}, "one line\r\n", "one line\r\n"},
      {{"a\r\nb\r\n\r\nc"}, "a\r\nb\r\nc\r\n\r\n", "a\r\nb\r\nc\r\n"},
      {{"a\r\nb", "c"}, "a\r\nb\r\nc\r\n", "a\r\nb\r\n\r\nc\r\n"},
      {{"a\r\n  ", "b\r\n\r\nc", "d"}, "a\r\n  \r\nb\r\nc\r\n\r\nd\r\n", "a\r\n\r\nb\r\nc\r\n\r\nd\r\n"},
      {{"  \r\n", "x"}, "  \r\n\r\nx\r\n", "x\r\n"},
  };
  TextNode nothing("");
  for (const auto& c : cases) {
    std::vector<std::unique_ptr<TextNode>> nodes;
    std::vector<HtmlNode*> order;
    for (const std::string& text : c.texts) {
      nodes.push_back(std::make_unique<TextNode>(text));
      order.push_back(&nodes.back()->node);
    }
    for (const bool apart : {false, true}) {
      const TextFileFormat format = {LineEnd::kCrLf, true, apart};
      std::vector<ContentChoice> choices = chosen(order);
      const PageText whole = formatTextFile(choices, "u", "t", format);
      EXPECT_EQ(whole.file.substr(whole.headerLength), apart ? c.apart : c.server)
          << apart << " " << c.texts[0];
      // A text with a list left out of it is cleaned alike.
      for (ContentChoice& choice : choices) choice.leftOut.push_back(&nothing.node);
      EXPECT_EQ(formatTextFile(choices, "u", "t", format).file, whole.file) << apart;
    }
  }
}

TEST(TextFileFormat, LineEndsAndTheFirstLineAreTheFormats) {
  // The same text in both formats: LF ends every line of the LF file,
  // whatever ended it in the text, and its header starts the file.
  TextNode lines("one\r\n\r\ntwo\r\nthree\r\r\n");
  TextNode lone("a\nb\rc");
  const struct {
    TextFileFormat format;
    std::string header;
    std::string text;
  } cases[] = {
      {windowsTextFile(), "\r\nurl : u\r\n\r\ntitle : t\r\n\r\n", "one\r\ntwo\r\nthree\r\r\n\r\na\nb\rc\r\n"},
      {lfTextFile(), "url : u\n\ntitle : t\n\n", "one\ntwo\nthree\n\na\nb\rc\n"},
  };
  for (const auto& c : cases) {
    const PageText page = formatTextFile(chosen({&lines.node, &lone.node}), "u", "t", c.format);
    EXPECT_EQ(page.file.substr(0, page.headerLength), c.header);
    EXPECT_EQ(page.file.substr(page.headerLength), c.text);
  }
}

TEST(TextFileFormat, SelectedContentOfAnAnalysedPage) {
  const std::string markup =
      "<BODY><DIV><A href=x>Home</A></DIV><DIV>\r\n<P>One &amp; two</P>\r\n\r\n<P>three<BR>four</P>\r\n"
      "</DIV></BODY>";
  ExtractionPipeline p;
  p.analyze(markup.c_str());
  EXPECT_EQ(formatTextFile(p.chooseContent(), "u", "t").file,
            "\r\nurl : u\r\n\r\ntitle : t\r\n\r\nOne & two\r\nthree\r\nfour\r\n\r\n");
}

TEST(PathFunctions, ProposedNameFromTitle) {
  EXPECT_EQ(defaultFileName("C:\\Notes 1.2: summary.txt"), "C:\\Notes 1_2_ summary.txt");
  // An empty title: ".txt" has no dot after its first character, so all of
  // it is the stem.
  EXPECT_EQ(defaultFileName("C:\\.txt"), "C:\\_txt.txt");
  // A backslash in the title splits it: what precedes it is folder.
  EXPECT_EQ(defaultFileName("C:\\a\\b.txt"), "C:\\a\\b.txt");
  EXPECT_EQ(defaultFileName("C:\\a<b>c/d*e|f\"g?h.txt"), "C:\\a_b_c_d_e_f_g_h.txt");
  EXPECT_EQ(defaultFileName("title.txt"), "title.txt");
  EXPECT_EQ(defaultFileName(nullptr), std::nullopt);
  EXPECT_EQ(defaultFileName(""), std::nullopt);
}

TEST(PathFunctions, PartsOfAPath) {
  EXPECT_EQ(folderOf("C:\\dir\\file.txt"), "C:\\dir\\");
  EXPECT_EQ(folderOf("C:\\"), "C:\\");
  EXPECT_EQ(folderOf("file.txt"), std::nullopt);
  EXPECT_EQ(folderOf(nullptr), std::nullopt);

  EXPECT_EQ(fileStemOf("C:\\dir\\archive.tar.gz"), "archive.tar");
  EXPECT_EQ(fileStemOf("C:\\dir\\.profile"), ".profile");
  EXPECT_EQ(fileStemOf("C:\\dir\\README"), "README");
  EXPECT_EQ(fileStemOf("name.txt"), "name") << "no backslash: the whole path is the name";
  EXPECT_EQ(fileStemOf("C:\\dir.d\\name"), "name") << "a dot in the folder is no extension";

  EXPECT_EQ(fileExtensionOf("C:\\dir\\archive.tar.gz"), ".gz");
  EXPECT_EQ(fileExtensionOf("C:\\dir\\.profile"), ".profile");
  EXPECT_EQ(fileExtensionOf("C:\\dir.d\\name"), std::nullopt);
  EXPECT_EQ(fileExtensionOf("C:\\dir\\name."), ".");

  EXPECT_EQ(file_names::replaceUnsafe("a.b:c\\d"), "a_b_c_d");
  EXPECT_EQ(file_names::replaceUnsafe("keep 'these' & #1 (ok)"), "keep 'these' & #1 (ok)");
  EXPECT_EQ(file_names::replaceUnsafe(""), "");

  EXPECT_EQ(concatStrings("a", nullptr, "c"), "ac");
  EXPECT_EQ(concatStrings(nullptr, "", nullptr), std::nullopt);
  EXPECT_EQ(concatStrings("", "", "x"), "x");
}

// A name made without a dialog is one path component that says something
// about the page, whatever the title holds.
TEST(PathFunctions, NameFromTitleIsOnePathComponent) {
  const std::string e = "\xC3\xA9";  // é, two bytes
  std::string manyE;
  for (int i = 0; i < 130; ++i) manyE += e;
  const struct {
    std::string title;
    std::string suffix;
    std::string name;
  } cases[] = {
      {"Notes 1.2: summary", ".txt", "Notes 1_2_ summary.txt"},  // as the Save As proposal
      {"../../etc/passwd", ".txt", "______etc_passwd.txt"},
      {"C:\\Windows\\x", ".txt", "C__Windows_x.txt"},
      {"tab\there\nand\r\nthere", ".txt", "tab here and  there.txt"},
      {"bell\x07 del\x7F c1\xC2\x85 nbsp\xC2\xA0", ".txt", "bell_ del_ c1_ nbsp\xC2\xA0.txt"},
      {"-rf --help", ".txt", "_rf --help.txt"},  // never an option to the next command
      // Bidirectional controls reorder what is shown; other marks stay.
      {"a\xE2\x80\xAEtxt.exe", ".txt", "a_txt_exe.txt"},
      {"\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\xAA\xE2\x80\xAD\xE2\x81\xA6\xE2\x81\xA9x", ".txt", "______x.txt"},
      {"dash\xE2\x80\x94zwj\xE2\x80\x8D\xE2\x81\xA5", ".txt",
       "dash\xE2\x80\x94zwj\xE2\x80\x8D\xE2\x81\xA5.txt"},
      {std::string(300, 'x'), ".txt", std::string(251, 'x') + ".txt"},
      {std::string(300, 'x'), " (12).txt", std::string(246, 'x') + " (12).txt"},
      {manyE, ".txt", manyE.substr(0, 250) + ".txt"},  // never half a character
      {"word " + std::string(260, ' '), ".txt", "word.txt"},
      {"", ".txt", ""},  // nothing that names the page
      {"...", ".txt", ""},
      {" / ? ", ".txt", ""},
  };
  for (const auto& c : cases) {
    const std::string name = file_names::nameFromTitle(c.title, c.suffix);
    EXPECT_EQ(name, c.name) << c.title;
    EXPECT_LE(name.size(), file_names::kMaxComponentBytes);
  }
  // A file's own stem keeps its dots, but never leads with one.
  EXPECT_EQ(file_names::pathComponent("cpe-bbc.co.uk_news_07", ".txt"), "cpe-bbc.co.uk_news_07.txt");
  EXPECT_EQ(file_names::pathComponent(".hidden", ".txt"), "_hidden.txt");
  EXPECT_EQ(file_names::pathComponent("..", ".txt"), "_..txt");
  EXPECT_EQ(file_names::pathComponent("a/b\\c", ".txt"), "a_b_c.txt");
}

// A fresh empty folder for one test, removed afterwards.
class WriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() / (std::string("brevanto-output-") + info->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string pathOf(const std::string& name) const { return (folder_ / name).string(); }
  static std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  static void write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  size_t entries() const {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder_)) ++count;
    return count;
  }

  fs::path folder_;
};

TEST_F(WriteTest, WritesTheFormattedBytesAndReplacesAnOldFile) {
  TextNode a("line one\r\n\r\nline two\r\n");
  const std::string path = pathOf("out.txt");
  write(path, std::string(10000, 'x'));
  EXPECT_EQ(writeTextFile(path.c_str(), chosen({&a.node}), false, "http://u/", "T"), kWritten);
  EXPECT_EQ(read(path), formatTextFile(chosen({&a.node}), "http://u/", "T").file);
  EXPECT_EQ(entries(), 1u) << "no temporary file is left beside it";

#ifndef _WIN32
  // A name as long as a name may be (Windows limits the whole path instead).
  const std::string longest = pathOf(std::string(251, 'n') + ".txt");
  EXPECT_EQ(writeTextFile(longest.c_str(), chosen({&a.node}), false, "http://u/", "T"), kWritten);
  EXPECT_EQ(read(longest), read(path));
  fs::remove(longest);
#endif

  EXPECT_EQ(writeTextFile(path.c_str(), chosen({nullptr}), false, nullptr, nullptr), kWritten);
  EXPECT_EQ(read(path), "\r\nurl : \r\n\r\ntitle : \r\n\r\n");
  EXPECT_EQ(writeTextFile(nullptr, chosen({nullptr}), false, "u", "t"), kNothingToWrite);
}

TEST_F(WriteTest, MissingFolderIsReportedAndCreatesNothing) {
  TextNode a("text");
  const std::string path = pathOf("missing") + "/out.txt";
  EXPECT_EQ(writeTextFile(path.c_str(), chosen({&a.node}), true, "u", "t"), kCannotCreate);
  EXPECT_EQ(entries(), 0u);
  // A folder where the file should be is not replaced either.
  fs::create_directories(pathOf("dir.txt"));
  EXPECT_EQ(writeTextFile(pathOf("dir.txt").c_str(), chosen({&a.node}), false, "u", "t"), kCannotCreate);
  EXPECT_TRUE(fs::is_directory(pathOf("dir.txt")));
}

TEST_F(WriteTest, AnExistingFileIsKeptWhenReplacingIsNotAllowed) {
  const std::string path = pathOf("keep.txt");
  write(path, "old");
  const platform::SaveOutcome outcome = platform::saveFile(path.c_str(), "new", 3, false);
  EXPECT_EQ(outcome.status, platform::SaveStatus::kExists);
  EXPECT_FALSE(outcome.reason.empty());
  EXPECT_EQ(read(path), "old");
  EXPECT_EQ(entries(), 1u);

  const std::string fresh = pathOf("fresh.txt");
  EXPECT_EQ(platform::saveFile(fresh.c_str(), "new", 3, false).status, platform::SaveStatus::kSaved);
  EXPECT_EQ(read(fresh), "new");
  EXPECT_EQ(entries(), 2u);
}

#ifdef _WIN32
// A file held open without delete sharing cannot be replaced: the save must
// fail, keep the old file and remove its temporary one.
TEST_F(WriteTest, AFileThatCannotBeReplacedIsKept) {
  const std::string path = pathOf("held.txt");
  write(path, "the old text");
  TextNode a("new text");
  {
    std::ifstream held(path, std::ios::binary);
    ASSERT_TRUE(held.is_open());
    EXPECT_EQ(writeTextFile(path.c_str(), chosen({&a.node}), true, "u", "t"), kCannotWrite);
  }
  EXPECT_EQ(read(path), "the old text");
  EXPECT_EQ(entries(), 1u);
  EXPECT_EQ(writeTextFile(path.c_str(), chosen({&a.node}), false, "u", "t"), kWritten);
  EXPECT_EQ(read(path), formatTextFile(chosen({&a.node}), "u", "t").file);
}
#else
// A file size limit makes every write past it fail as a full disk would.
TEST_F(WriteTest, AFailedWriteKeepsTheOldFileAndLeavesNoPartialOne) {
  const std::string path = pathOf("page.txt");
  write(path, "the old text");
  TextNode big(std::string(64 * 1024, 'a'));
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 4096;
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const WriteResult result = writeTextFile(path.c_str(), chosen({&big.node}), true, "u", "t");
  const platform::SaveOutcome direct =
      platform::saveFile(pathOf("new.txt").c_str(), big.text.data(), big.text.size(), true);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(result, kCannotWrite);
  EXPECT_EQ(read(path), "the old text");
  EXPECT_EQ(direct.status, platform::SaveStatus::kCannotWrite);
  EXPECT_FALSE(direct.reason.empty());
  EXPECT_EQ(entries(), 1u) << "neither a partial file nor a temporary one is left";
}

// The written file is opened with its viewer by its bare name, in its own
// folder; a viewer that cannot be started is told, and the file is kept.
TEST_F(WriteTest, TheWrittenFileIsOpenedByNameInItsFolder) {
  const fs::path viewers = fs::temp_directory_path() / "brevanto-output-viewers";
  fs::remove_all(viewers);
  fs::create_directories(viewers / "none");
  const fs::path seen = viewers / "seen";
  std::ofstream(viewers / "xdg-open")
      << "#!/bin/sh\nprintf '%s|%s\\n' \"$PWD\" \"$1\" > " << seen.string() << ".tmp && /bin/mv "
      << seen.string() << ".tmp " << seen.string() << "\n";
  fs::permissions(viewers / "xdg-open", fs::perms::owner_all);
  const std::string oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  TextNode a("text");
  const std::string path = pathOf("page.txt");

  setenv("PATH", viewers.c_str(), 1);
  const WriteResult opened = writeTextFile(path.c_str(), chosen({&a.node}), true, "u", "t");
  setenv("PATH", (viewers / "none").c_str(), 1);
  const WriteResult notOpened = writeTextFile(path.c_str(), chosen({&a.node}), true, "u", "t");
  setenv("PATH", oldPath.c_str(), 1);

  EXPECT_EQ(opened, kWritten);
  EXPECT_EQ(notOpened, kWrittenNotOpened);
  EXPECT_EQ(read(path), formatTextFile(chosen({&a.node}), "u", "t").file);
  // The viewer runs on its own; it has said where it ran by the deadline.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!fs::exists(seen) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  EXPECT_EQ(read(seen.string()), fs::canonical(folder_).string() + "|page.txt\n");
  EXPECT_FALSE(openWrittenFile(pathOf("").c_str())) << "a folder names no file to open";
  fs::remove_all(viewers);
}
#endif

}  // namespace
}  // namespace brevanto
