// brevanto-extract as a user runs it: pages of our own in, text files out,
// with the errors, refusals and exit statuses a script can rely on.
#include <gtest/gtest.h>
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
  int status = -1;
  std::string out;
  std::string err;
};

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
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
             const std::string& shellPrefix = "") {
    write(dir_ / "stdin", input);
    std::string command =
        "cd " + quote((dir_ / "work").string()) + " && " + shellPrefix + " exec " + quote(BREVANTO_EXTRACT);
    for (const std::string& arg : args) command += " " + quote(arg);
    command += " <" + quote((dir_ / "stdin").string()) + " >" + quote((dir_ / "stdout").string()) + " 2>" +
               quote((dir_ / "stderr").string());
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = read(dir_ / "stdout");
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

  fs::path dir_;
};

const std::string kArticle =
    "<html><head><title>Tide: times/heights?</title>"
    "<link rel=canonical href=\"https://example.org/tide\"></head><body>"
    "<div><a href=/>Home</a> <a href=/x>More</a></div>"
    "<div><p>High water at six in the morning.</p>\n<p>Low water just after noon.</p></div></body></html>";

TEST_F(ExtractTest, PagesGiveTheirExpectedText) {
  const fs::path pages = fs::path(BREVANTO_SOURCE_DIR) / "tests" / "pages";
  int count = 0;
  for (const auto& entry : fs::directory_iterator(pages)) {
    SCOPED_TRACE(entry.path().filename().string());
    const Result r = run({"-o", "-", (entry.path() / "source.html").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, read(entry.path() / "expected.txt"));
    ++count;
  }
  EXPECT_GE(count, 6);
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
  ExtractionPipeline p;
  p.analyze(markup.c_str());
  const std::string expected = ExtractionPipeline::formatTextFile(
      p.selectContent(&p.root, p.minParagraphs, p.minPlainShare), "U", "T");
  Result r = run({"--markup", "--title", "T", "--url", "U", "-o", "-", "body.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, expected);
  EXPECT_TRUE(contains(r.out, "caf\xE9 ? one\r\ntwo \r\nthree\r\n")) << "checks the analysis itself";

  // Without options: no title, and the file's own URL.
  r = run({"--markup", "-o", "-", "body.html"});
  EXPECT_TRUE(contains(r.out, "\r\nurl : file://" + fs::canonical(work("body.html")).string() + "\r\n"));
  EXPECT_TRUE(contains(r.out, "\r\ntitle : \r\n"));

  // Empty markup: the system's own message, and no file.
  write(work("empty.html"), "");
  r = run({"--markup", "empty.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "empty.html: Sorry! cannot get content!")) << r.err;
  EXPECT_EQ(filesIn(work()), (std::vector<std::string>{"body.html", "empty.html"}));
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

TEST_F(ExtractTest, ManyPagesInOneRun) {
  write(work("a.html"), kArticle);
  write(work("b.html"), "<title>Second</title><div><p>one</p><p>two</p></div>");
  write(work("same.html"), kArticle);
  fs::create_directories(work("folder.html"));
  Result r = run({"a.html", "missing.html", "folder.html", "b.html", "same.html", "--force"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Tide_ times_heights_.txt\nSecond.txt\n");
  EXPECT_TRUE(contains(r.err, "missing.html: cannot read: No such file or directory")) << r.err;
  EXPECT_TRUE(contains(r.err, "folder.html: cannot read: Is a directory")) << r.err;
  // Even with --force, a run never replaces what it wrote itself.
  EXPECT_TRUE(contains(r.err, "same.html: 'Tide_ times_heights_.txt' was already written")) << r.err;
  EXPECT_TRUE(contains(r.err, "brevanto-extract: 2 of 5 pages written, 3 failed\n")) << r.err;
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

  r = run({"--name-from-input", "-d", ".", "a.html", "same.html", "-"}, kArticle);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "a.txt\nsame.txt\nstdin.txt\n");
  EXPECT_TRUE(contains(r.err, "brevanto-extract: 3 pages written\n"));
  EXPECT_TRUE(contains(read(work("stdin.txt")), "\r\nurl : https://example.org/tide\r\n"));
}

TEST_F(ExtractTest, EncodingsAsABrowserReadsThem) {
  const std::string cyrillic1251 =
      "<title>\xCD\xEE\xE2\xEE\xF1\xF2\xE8</title><div><p>\xE0</p><p>\xE1</p></div>";
  write(work("ru.html"), cyrillic1251);
  // Not UTF-8 and no meta tag: windows-1252.
  Result r = run({"-o", "-", "ru.html"});
  EXPECT_TRUE(contains(r.out, "title : \xC3\x8D\xC3\xAE\xC3\xA2\xC3\xAE\xC3\xB1\xC3\xB2\xC3\xA8\r\n"))
      << r.out;
  r = run({"-o", "-", "--encoding", "windows-1251", "ru.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "title : \xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8\r\n"))
      << r.out;
  // The label wins over the page's meta tag.
  write(work("meta.html"), "<meta charset=koi8-r>" + cyrillic1251);
  r = run({"-o", "-", "--encoding=cp1251", "meta.html"});
  EXPECT_TRUE(contains(r.out, "title : \xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8\r\n"))
      << r.out;

  r = run({"--encoding", "utf-8", "ru.html"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "ru.html: not valid utf-8 (byte 7)")) << r.err;
  EXPECT_EQ(filesIn(work()), (std::vector<std::string>{"meta.html", "ru.html"}));
}

TEST_F(ExtractTest, UsageErrorsExitWithTwo) {
  write(work("a.html"), kArticle);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--bogus", "a.html"},
                                             {"-o", "x.txt", "a.html", "a.html"},
                                             {"-o", "x.txt", "-d", ".", "a.html"},
                                             {"--encoding", "no-such-charset", "a.html"},
                                             {"--markup", "--encoding", "utf-8", "a.html"},
                                             {"-", "-"},
                                             {"a.html", "--title"},
                                             {"--force=yes", "a.html"}}) {
    const Result r = run(args);
    EXPECT_EQ(r.status, 2) << args.front();
    EXPECT_TRUE(contains(r.err, "Try 'brevanto-extract --help'")) << r.err;
  }
  EXPECT_EQ(filesIn(work()), std::vector<std::string>{"a.html"});
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
  const Result r = run({"--dump-tags", "--dump-tree", "a.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("0 ", 0), 0u);
  EXPECT_TRUE(contains(r.out, " body\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "(root)"));
  EXPECT_EQ(filesIn(work()), std::vector<std::string>{"a.html"}) << "dumps write no file";
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
}

}  // namespace
}  // namespace brevanto
