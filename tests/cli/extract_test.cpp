// brevanto-extract as a user runs it: pages of our own in, text files out,
// with the errors, refusals and exit statuses a script can rely on.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "extractor/extraction_pipeline.h"
#include "extractor/output/output.h"
#include "tests/support/page_cases.h"

namespace brevanto {
namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct Result {
  int status = -1;  // the exit status, or 128 + the signal that ended the program
  std::string out;
  std::string err;
};

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string page(const std::string& title, const std::string& body = "<p>one</p><p>two</p>") {
  return "<html><head><title>" + title + "</title></head><body><div>" + body + "</div></body></html>";
}

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / (std::string("brevanto-cli-") + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "work");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the program in the work folder. `shellPrefix` goes before it in
  // the shell command (settings for the run); `input` is its standard input.
  Result run(const std::vector<std::string>& args, const std::string& input = "",
             const std::string& shellPrefix = "", const std::string& output = "") {
    write(dir_ / "stdin", input);
    std::string command =
        "cd " + quote((dir_ / "work").string()) + " && " + shellPrefix + " exec " + quote(BREVANTO_EXTRACT);
    for (const std::string& arg : args) command += " " + quote(arg);
    command += " <" + quote((dir_ / "stdin").string()) + " >" +
               quote(output.empty() ? (dir_ / "stdout").string() : output) + " 2>" +
               quote((dir_ / "stderr").string());
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
    result.out = output.empty() ? read(dir_ / "stdout") : "";
    result.err = read(dir_ / "stderr");
    return result;
  }

  fs::path work(const std::string& name = "") const { return dir_ / "work" / name; }
  std::vector<std::string> filesIn(const fs::path& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Every file below the test's folder, as paths relative to it.
  std::vector<std::string> allFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir_ / "work")) {
      if (!entry.is_directory()) names.push_back(fs::relative(entry.path(), dir_ / "work").string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

const std::string kArticle =
    "<html><head><title>Tide: times/heights?</title>"
    "<link rel=canonical href=\"https://example.org/tide\"></head><body>"
    "<div><a href=/>Home</a> <a href=/x>More</a></div>"
    "<div><p>High water at six in the morning.</p>\n<p>Low water just after noon.</p></div></body></html>";

// A page case is source.html, given with the options of its arguments.txt,
// with the file written for it by each analysis (see
// tests/support/page_cases.h), or expected-error.txt, the cause the program
// gives for refusing it.
TEST_F(ExtractTest, PagesGiveTheirExpectedText) {
  int count = 0;
  for (const fs::path& folder : testing::pageCaseFolders()) {
    SCOPED_TRACE(folder.filename().string());
    for (const Analysis analysis : {Analysis::kModern, Analysis::kClassic}) {
      std::vector<std::string> args = testing::pageCaseArguments(folder);
      args.insert(args.end(), {"-o", "-", (folder / "source.html").string()});
      if (analysis == Analysis::kClassic) args.insert(args.begin(), "--classic");
      const Result r = run(args);
      if (fs::exists(folder / "expected-error.txt")) {
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(contains(r.err, "source.html: " + read(folder / "expected-error.txt"))) << r.err;
        EXPECT_EQ(r.out, "");
      } else {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, read(testing::expectedTextOf(folder, analysis))) << args[0];
      }
    }
    ++count;
  }
  EXPECT_GE(count, 9);
  // The README's page: the article, and none of the menus around it.
  const Result r = run({"-o", "-", (fs::path(BREVANTO_SOURCE_DIR) / "examples" / "article.html").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "title : Bringing an old rowing boat back to the water | The Harbour Log\r\n"));
  EXPECT_TRUE(contains(r.out, "slid off the slipway"));
  for (const char* boilerplate : {"Subscribe", "Most read", "Privacy", "Advertisement", "Copy link"}) {
    EXPECT_FALSE(contains(r.out, boilerplate)) << boilerplate;
  }
}

TEST_F(ExtractTest, MarkupInputIsAnalysedByteForByte) {
  // Bytes that loading would change: a CR LF, an undecoded entity, a byte
  // that is not UTF-8, upper-case tags.
  const std::string markup =
      "<BODY><DIV>menu</DIV><DIV>\r\n<P>caf\xE9 &eacute; "
      "one</P>\r\n<P>two&nbsp;<BR>three</P>\r\n</DIV></BODY>";
  write(work("body.html"), markup);
  // --classic writes what the Windows server writes for these bytes.
  ExtractionPipeline server;
  server.analyze(markup.c_str());
  const std::string expected = formatTextFile(server.chooseContent(), "U", "T").file;
  Result r = run({"--classic", "--markup", "--title", "T", "--url", "U", "-o", "-", "body.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, expected);
  EXPECT_TRUE(contains(r.out, "caf\xE9 ? one\r\ntwo \r\nthree\r\n")) << "checks the analysis itself";
  ExtractionPipeline modern(Analysis::kModern);
  modern.analyze(markup.c_str());
  r = run({"--markup", "--title", "T", "--url", "U", "-o", "-", "body.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, formatTextFile(modern.chooseContent(), "U", "T").file);

  // Without options: no title, and the file's own URL.
  r = run({"--markup", "-o", "-", "body.html"});
  EXPECT_TRUE(contains(r.out, "\r\nurl : file://" + fs::canonical(work("body.html")).string() + "\r\n"));
  EXPECT_TRUE(contains(r.out, "\r\ntitle : \r\n"));

  // The analysis reads up to a NUL byte, and says so.
  write(work("nul.html"), markup + std::string(1, '\0') + "<P>after the NUL</P>");
  r = run({"--classic", "--markup", "--title", "T", "--url", "U", "-o", "-", "nul.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, expected);
  EXPECT_TRUE(contains(r.err, "nul.html: warning: the markup ends at the NUL byte at offset " +
                                  std::to_string(markup.size()) + ";"))
      << r.err;
}

TEST_F(ExtractTest, FileNamesFollowTheTitleAndNeverOverwriteUnasked) {
  write(work("tide.html"), kArticle);
  Result r = run({"tide.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Tide_ times_heights_.txt\n");
  const std::string text = read(work("Tide_ times_heights_.txt"));
  EXPECT_EQ(text.rfind("\r\nurl : https://example.org/tide\r\n\r\ntitle : Tide: times/heights?\r\n\r\n", 0),
            0u);
  EXPECT_TRUE(contains(text, "High water at six in the morning."));
  EXPECT_FALSE(contains(text, "Home"));

  write(work("Tide_ times_heights_.txt"), "old");
  r = run({"tide.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "tide.html: 'Tide_ times_heights_.txt' exists; use --force")) << r.err;
  EXPECT_EQ(read(work("Tide_ times_heights_.txt")), "old");
  r = run({"--force", "tide.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read(work("Tide_ times_heights_.txt")), text);

  fs::create_directories(work("out"));
  r = run({"--name-from-input", "-d", "out", "tide.html", "--title", "Other", "--url", "http://u/"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "out/tide.txt\n");
  EXPECT_EQ(read(work("out/tide.txt")).rfind("\r\nurl : http://u/\r\n\r\ntitle : Other\r\n\r\n", 0), 0u);

  r = run({"-o", "named.txt", "tide.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read(work("named.txt")), text);

  r = run({"-d", "missing", "tide.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "tide.html: cannot create 'missing/Tide_ times_heights_.txt': No such file"))
      << r.err;
  EXPECT_FALSE(fs::exists(work("missing")));
}

std::string repeat(const std::string& unit, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += unit;
  return text;
}

// Whatever the title, the file it names is one entry of -d: every file
// written lies in that folder, and nothing is written anywhere else.
TEST_F(ExtractTest, HostileTitlesNameOneFileInsideTheFolder) {
  // A title that is an absolute path into the test's folder, outside -d.
  std::string outside = (dir_ / "work" / "ABS\\x").string();
  std::string outsideName = outside + ".txt";
  for (size_t i = 0; i + 4 < outsideName.size(); ++i) {
    if (outsideName[i] == '/' || outsideName[i] == '\\' || outsideName[i] == '.') outsideName[i] = '_';
  }
  const struct {
    std::string input;
    std::string title;
    std::string name;
  } cases[] = {
      {"up.html", "../../escaped\\x", "______escaped_x.txt"},
      {"absolute.html", outside, outsideName},
      {"dotdot.html", "..", "dotdot.txt"},  // no usable title: the input's name
      {"dot.html", ".", "dot.txt"},
      {"untitled.html", "", "untitled.txt"},
      {"hidden.html", ".hidden", "_hidden.txt"},
      {"controls.html",
       "a&#1;b&#x7F;c\xC2\x85"
       "d",
       "a_b_c_d.txt"},
      {"long.html", std::string(300, 'x'), std::string(251, 'x') + ".txt"},  // 255 bytes at most
      // Cut before a character, never inside it.
      {"accents.html", repeat("\xC3\xA9", 130), repeat("\xC3\xA9", 125) + ".txt"},
  };
  std::vector<std::string> args = {"-d", "deep/out"};
  std::vector<std::string> expected;
  fs::create_directories(work("deep/out"));
  for (const auto& c : cases) {
    write(work(c.input), page(c.title));
    args.push_back(c.input);
    expected.push_back(c.input);
    expected.push_back("deep/out/" + c.name);
  }
  const Result r = run(args);
  EXPECT_EQ(r.status, 0) << r.err;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(allFiles(), expected);
}

// A batch never fails on a name: pages without a usable title are named
// after their input, and a name the run has written gets a number.
TEST_F(ExtractTest, ABatchNamesEveryPage) {
  write(work("a.html"), kArticle);
  write(work("same.html"), kArticle);
  write(work("untitled.html"), page(""));
  write(work("Second.html"), page("Second"));
  write(work("b.html"), page("Second"));
  write(work("c.html"), page("Second (2)"));
  fs::create_directories(work("sub"));
  write(work("sub/untitled.html"), page("  "));
  fs::create_directories(work("folder.html"));
  write(work("Tide_ times_heights_ (3).txt"), "existed before the run");
  Result r = run({"a.html", "missing.html", "folder.html", "untitled.html", "same.html", "sub/untitled.html",
                  "Second.html", "b.html", "c.html", "same.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "Tide_ times_heights_.txt\nuntitled.txt\nTide_ times_heights_ (2).txt\nuntitled (2).txt\n"
            "Second.txt\nSecond (2).txt\nSecond (2) (2).txt\n");
  EXPECT_TRUE(contains(r.err, "missing.html: cannot read: No such file or directory")) << r.err;
  EXPECT_TRUE(contains(r.err, "folder.html: cannot read: Is a directory")) << r.err;
  // A file that existed before the run is still never replaced unasked.
  EXPECT_TRUE(contains(r.err, "same.html: 'Tide_ times_heights_ (3).txt' exists; use --force")) << r.err;
  EXPECT_EQ(read(work("Tide_ times_heights_ (3).txt")), "existed before the run");
  EXPECT_TRUE(contains(r.err, "brevanto-extract: 7 of 10 pages written, 3 failed\n")) << r.err;
  EXPECT_FALSE(contains(r.err, "\033[")) << "no progress line when standard error is not a terminal";

  // On a terminal, a progress line that every message first clears.
  if (std::system("command -v script >/dev/null") == 0) {
    fs::create_directories(work("tty"));
    const std::string command =
        "cd " + quote(work().string()) + " && script -qec " +
        quote(std::string(BREVANTO_EXTRACT) + " --name-from-input -d tty a.html missing.html") +
        " /dev/null </dev/null >" + quote((dir_ / "tty.log").string());
    ASSERT_EQ(std::system(command.c_str()), 256) << "exit status 1 passed through";
    const std::string screen = read(dir_ / "tty.log");
    EXPECT_TRUE(contains(screen, "\r\033[K[1/2] a.html\r\033[Ktty/a.txt")) << screen;
    EXPECT_TRUE(contains(screen, "[2/2] missing.html\r\033[Kbrevanto-extract: missing.html: cannot read"))
        << screen;
  }

  fs::create_directories(work("in"));
  r = run({"--name-from-input", "-din", "a.html", "same.html", "-", "sub/untitled.html", "untitled.html"},
          kArticle);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "in/a.txt\nin/same.txt\nin/stdin.txt\nin/untitled.txt\nin/untitled (2).txt\n");
  EXPECT_TRUE(contains(r.err, "brevanto-extract: 5 pages written\n"));
  EXPECT_TRUE(contains(read(work("in/stdin.txt")), "\r\nurl : https://example.org/tide\r\n"));
}

TEST_F(ExtractTest, EncodingsAsABrowserReadsThem) {
  const std::string cyrillic1251 =
      "<title>\xCD\xEE\xE2\xEE\xF1\xF2\xE8</title><div><p>\xE0</p><p>\xE1</p></div>";
  const std::string novosti = "title : \xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8\r\n";
  write(work("ru.html"), cyrillic1251);
  // Not UTF-8 and no meta tag: windows-1252.
  Result r = run({"-o", "-", "ru.html"});
  EXPECT_TRUE(contains(r.out, "title : \xC3\x8D\xC3\xAE\xC3\xA2\xC3\xAE\xC3\xB1\xC3\xB2\xC3\xA8\r\n"))
      << r.out;
  r = run({"-o", "-", "--encoding", "windows-1251", "ru.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, novosti)) << r.out;
  // The label wins over the page's meta tag.
  write(work("meta.html"), "<meta charset=koi8-r>" + cyrillic1251);
  r = run({"-o", "-", "--encoding=cp1251", "meta.html"});
  EXPECT_TRUE(contains(r.out, novosti)) << r.out;

  // Bytes the label does not encode read as U+FFFD, not as a refusal.
  r = run({"-o", "-", "--encoding", "utf-8", "ru.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "title : \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD")) << r.out;

  // Two-byte and four-byte encodings, with a label and declared.
  write(work("ja.html"),
        "<title>\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67</title><p>x");
  r = run({"-o", "-", "--encoding", "shift_jis", "ja.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, u8"title : 日本語のテキスト\r\n")) << r.out;
  write(work("zh.html"), "<meta charset=gb2312><title>\xD6\xD0\xCE\xC4\x94\x39\xFC\x36</title><p>x");
  r = run({"-o", "-", "zh.html"});
  EXPECT_TRUE(contains(r.out, u8"title : 中文😀\r\n")) << r.out;
}

TEST_F(ExtractTest, OptionsAsGnuToolsReadThem) {
  write(work("a.html"), kArticle);
  fs::create_directories(work("d"));
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"-dd", "a.html"},
                                             {"-fd", "d", "a.html"},
                                             {"--directory=d", "-f", "a.html"},
                                             {"a.html", "--dir", "d", "-f"},
                                             {"-f", "-d", "d", "--", "a.html"}}) {
    const Result r = run(args);
    EXPECT_EQ(r.status, 0) << args.front() << r.err;
    EXPECT_EQ(r.out, "d/Tide_ times_heights_.txt\n") << args.front();
  }
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--bogus", "a.html"},
                                             {"-x", "a.html"},
                                             {"-o", "x.txt", "a.html", "a.html"},
                                             {"-o", "x.txt", "-d", ".", "a.html"},
                                             {"-o", "x.txt", "--name-from-input", "a.html"},
                                             {"--dump-tree", "-o", "x.txt", "a.html"},
                                             {"--dump-tags", "-d", ".", "a.html"},
                                             {"--encoding=", "a.html"},
                                             {"--encoding", "no-such-charset", "a.html"},
                                             {"--markup", "--encoding", "utf-8", "a.html"},
                                             {"-d", "", "a.html"},
                                             {"-", "-"},
                                             {"a.html", "--title"},
                                             {"--force=yes", "a.html"}}) {
    const Result r = run(args);
    EXPECT_EQ(r.status, 2) << args.front();
    EXPECT_TRUE(contains(r.err, "Try 'brevanto-extract --help'")) << r.err;
  }
  EXPECT_EQ(filesIn(work()), (std::vector<std::string>{"a.html", "d"}));
  Result r = run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(contains(r.out, "Usage: brevanto-extract"));
  r = run({"--version"});
  EXPECT_EQ(r.out, "brevanto-extract 1.0\n");
  // No page named and standard input not a terminal: the page comes from it.
  r = run({"-o", "-"}, kArticle);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "Low water just after noon."));
}

TEST_F(ExtractTest, DumpsPrintTheAnalysis) {
  write(work("a.html"), kArticle);
  write(work("b.html"), page("B"));
  Result r = run({"--dump-tags", "--dump-tree", "a.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("0 ", 0), 0u);
  EXPECT_TRUE(contains(r.out, " body\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "(root)"));
  // The tree says which analysis ran and why each part was chosen.
  EXPECT_TRUE(contains(r.out, "\nanalysis modern\ncontent #7 div: paragraphs\n0 (root)\n")) << r.out;
  EXPECT_TRUE(contains(r.out, " visible=")) << r.out;
  r = run({"--classic", "--dump-tree", "a.html"});
  EXPECT_EQ(r.out.rfind("analysis classic\ncontent #7 div: paragraphs\n0 (root)\n", 0), 0u) << r.out;
  EXPECT_FALSE(contains(r.out, " visible=")) << r.out;
  // Several pages: each dump under a heading that names its page.
  r = run({"--dump-tree", "a.html", "b.html"});
  EXPECT_EQ(r.out.rfind("==> a.html <==\n", 0), 0u) << r.out;
  EXPECT_TRUE(contains(r.out, "\n\n==> b.html <==\n")) << r.out;
  EXPECT_EQ(filesIn(work()), (std::vector<std::string>{"a.html", "b.html"})) << "dumps write no file";
}

// An input without a body to analyse is an error that names it; a page
// whose selection holds no text is still written, with a warning.
TEST_F(ExtractTest, NothingToAnalyseIsNoSuccess) {
  const struct {
    std::string name;
    std::string bytes;
    std::string error;  // empty when the page is written
  } cases[] = {
      {"empty.html", "", "empty.html: Sorry! cannot get content!"},
      {"binary.html",
       std::string("\x7F"
                   "ELF\x02\x01\x01\0\0\0",
                   10),
       "binary.html: not a web page: binary data"},
      {"blank.html", "<title>Blank</title><body>\n<img src=a.png><script>x()</script>",
       "blank.html: the page's body holds no text"},
      // All of the text is furniture.
      {"menu.html", "<title>Menu</title><body><nav><a href=/>Home</a> <a href=/a>About</a></nav>",
       "menu.html: warning: no text was selected; the file holds the header only"},
  };
  std::vector<std::string> args;
  for (const auto& c : cases) {
    write(work(c.name), c.bytes);
    args.push_back(c.name);
  }
  args.push_back("/bin/ls");
  Result r = run(args);
  EXPECT_EQ(r.status, 1);
  for (const auto& c : cases) EXPECT_TRUE(contains(r.err, c.error)) << c.error << "\n" << r.err;
  EXPECT_TRUE(contains(r.err, "/bin/ls: not a web page: binary data")) << r.err;
  EXPECT_TRUE(contains(r.err, "brevanto-extract: 1 of 5 pages written, 4 failed\n")) << r.err;
  EXPECT_EQ(r.out, "Menu.txt\n");

  // The list of written files that cannot be written is a failure too.
  write(work("a.html"), kArticle);
  r = run({"-d", "out", "a.html"}, "", "mkdir out;", "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "cannot write to standard output: No space left on device")) << r.err;
  r = run({"-o", "-", "a.html"}, "", "", "/dev/full");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ExtractTest, TitlesAsABrowsersDocumentGivesThem) {
  write(work("a.html"),
        "<title>\n\tTwo \r\n  lines\t</title><body><svg><title>Icon</title></svg><p>one</p><p>two</p>");
  write(work("svg.html"), "<body><svg><title>Icon</title></svg><div><p>one</p><p>two</p></div>");
  Result r = run({"a.html", "svg.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Two lines.txt\nsvg.txt\n");
  EXPECT_TRUE(contains(read(work("Two lines.txt")), "\r\ntitle : Two lines\r\n\r\n"));
  r = run({"-o", "-", "--title", " A\ttitle\n\nin parts ", "a.html"});
  EXPECT_TRUE(contains(r.out, "\r\ntitle : A title in parts\r\n\r\n")) << r.out;
}

TEST_F(ExtractTest, AFullDiskKeepsTheOldFile) {
  // A file size limit of one block fails the write as a full disk does.
  std::string big = "<title>Big</title><div>";
  for (int i = 0; i < 200; ++i) big += "<p>A line of the long article, number " + std::to_string(i) + ".</p>";
  write(work("big.html"), big + "</div>");
  write(work("Big.txt"), "the old text");
  const Result r = run({"--force", "big.html"}, "", "trap '' XFSZ; ulimit -f 1;");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "big.html: cannot write 'Big.txt': File too large")) << r.err;
  EXPECT_EQ(read(work("Big.txt")), "the old text");
  EXPECT_EQ(filesIn(work()), (std::vector<std::string>{"Big.txt", "big.html"})) << "no temporary file left";
}

// Replacing respects what stands under the name: a link leads to the file
// that is replaced, a FIFO (as a device) is written through, a mode stays.
TEST_F(ExtractTest, WritingRespectsWhatIsThere) {
  write(work("a.html"), kArticle);
  fs::create_directories(work("target"));
  write(work("target/real.txt"), "old");
  fs::permissions(work("target/real.txt"), fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("target/real.txt", work("link.txt"));
  fs::create_symlink("target/new.txt", work("dangling.txt"));
  ASSERT_EQ(::mkfifo(work("fifo.txt").c_str(), 0600), 0);

  Result r = run({"-o", "link.txt", "a.html"});
  EXPECT_EQ(r.status, 1) << "a link is there: not replaced unasked";
  r = run({"-f", "-o", "link.txt", "a.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(work("link.txt")));
  EXPECT_TRUE(contains(read(work("target/real.txt")), "High water"));
  EXPECT_EQ(fs::status(work("target/real.txt")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  r = run({"-f", "-o", "dangling.txt", "a.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(work("dangling.txt")));
  EXPECT_TRUE(contains(read(work("target/new.txt")), "High water"));
  EXPECT_EQ(filesIn(work("target")), (std::vector<std::string>{"new.txt", "real.txt"}))
      << "no temporary file";

  // A reader on the FIFO gets the text; the FIFO stays one.
  std::thread reader([&] { write(dir_ / "from-fifo", read(work("fifo.txt"))); });
  r = run({"-f", "-o", "fifo.txt", "a.html"});
  reader.join();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_fifo(work("fifo.txt")));
  EXPECT_TRUE(contains(read(dir_ / "from-fifo"), "High water"));
}

// Interrupted during a save, the program removes its unfinished file and
// ends by the signal, as the shell expects (status 130).
TEST_F(ExtractTest, AnInterruptedSaveLeavesNoTemporaryFile) {
  std::string big = "<title>Big</title><div>";
  const std::string paragraph = "<p>" + std::string(4000, 'w') + "</p>";
  while (big.size() < size_t{40} * 1000 * 1000) big += paragraph;
  write(work("big.html"), big);
  write(work("Big.txt"), "the old text");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(work().c_str()) != 0) ::_exit(127);
    ::execl(BREVANTO_EXTRACT, BREVANTO_EXTRACT, "-f", "big.html", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Wait for the temporary file beside the target, then interrupt.
  bool seen = false;
  for (int i = 0; i < 200000 && !seen; ++i) {
    for (const auto& entry : fs::directory_iterator(work()))
      seen = seen || entry.path().filename().string()[0] == '.';
    if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  ::kill(child, SIGINT);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(seen);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  for (const auto& name : filesIn(work())) EXPECT_NE(name[0], '.') << name;
  const std::string left = read(work("Big.txt"));
  const size_t whole = (big.size() / paragraph.size()) * (paragraph.size() - 5);  // each text, a line
  EXPECT_TRUE(left == "the old text" || left.size() > whole) << "old or whole, never cut: " << left.size();
}

TEST_F(ExtractTest, OpenStartsTheViewerOnlyAfterAWrite) {
  // A stand-in viewer that records where it ran and what it was given.
  fs::create_directories(dir_ / "bin");
  const fs::path log = dir_ / "viewer.log";
  write(dir_ / "bin" / "xdg-open", "#!/bin/sh\necho \"$PWD|$*\" >> " + quote(log.string()) + "\n");
  fs::permissions(dir_ / "bin" / "xdg-open", fs::perms::owner_all);
  const std::string path = "PATH=" + quote((dir_ / "bin").string()) + ":\"$PATH\"";
  write(work("a.html"), kArticle);
  fs::create_directories(work("out"));
  Result r = run({"--open", "-d", "out", "a.html"}, "", path);
  EXPECT_EQ(r.status, 0) << r.err;
  // The viewer runs detached: wait for it.
  for (int i = 0; i < 200 && !fs::exists(log); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(read(log), fs::canonical(work("out")).string() + "|Tide_ times_heights_.txt\n");

  // A refused save starts nothing.
  r = run({"--open", "-d", "out", "a.html"}, "", path);
  EXPECT_EQ(r.status, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(read(log), fs::canonical(work("out")).string() + "|Tide_ times_heights_.txt\n");

  // Without a viewer the files are written, and the user is told once.
  r = run({"--open", "-f", "-d", "out", "a.html", "a.html"}, "", "PATH=/nonexistent");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "out/Tide_ times_heights_.txt\nout/Tide_ times_heights_ (2).txt\n");
  EXPECT_TRUE(
      contains(r.err, "warning: --open: no viewer (xdg-open) could be started\nbrevanto-extract: 2 pages"))
      << r.err;
}

}  // namespace
}  // namespace brevanto
