// brevanto-extract as a user runs it: pages of our own in, text files out,
// with the errors, refusals and exit statuses a script can rely on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "extractor/extraction_pipeline.h"
#include "extractor/output/output.h"
#include "tests/cli/extract_run.h"
#include "tests/cli/warc_writing.h"

namespace brevanto {
namespace {

namespace fs = std::filesystem;
using namespace testing;  // NOLINT(google-build-using-namespace): the runs of the program

const std::string kArticle =
    "<html><head><title>Tide: times/heights?</title>"
    "<link rel=canonical href=\"https://example.org/tide\"></head><body>"
    "<div><a href=/>Home</a> <a href=/x>More</a></div>"
    "<div><p>High water at six in the morning.</p>\n<p>Low water just after noon.</p></div></body></html>";

// The page cases of tests/pages run in process (tests/text/page_cases_test);
// here the README's page goes through the program: the article, and none of
// the menus around it.
TEST_F(ExtractTest, TheReadmePageGivesItsArticle) {
  const Result r = run({"-o", "-", (fs::path(BREVANTO_SOURCE_DIR) / "examples" / "article.html").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "title : Bringing an old rowing boat back to the water | The Harbour Log\n"));
  EXPECT_TRUE(contains(r.out, "slid off the slipway"));
  EXPECT_EQ(r.err, "") << "one page written as asked needs no word";
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
  // Line ends: the Windows server's file for its analysis whatever is
  // asked, LF with the header on the first line for the modern one, or CR
  // LF when asked.
  const struct {
    std::vector<std::string> options;
    Analysis analysis;
    TextFileFormat format;
  } lineEnds[] = {
      {{"--classic", "--crlf"}, Analysis::kClassic, windowsTextFile()},
      {{}, Analysis::kModern, lfTextFile()},
      {{"--crlf"}, Analysis::kModern, {LineEnd::kCrLf, false}},
  };
  for (const auto& c : lineEnds) {
    ExtractionPipeline pipeline(c.analysis);
    pipeline.analyze(markup.c_str());
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--markup", "--title", "T", "--url", "U", "-o", "-", "body.html"});
    r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, formatTextFile(pipeline.chooseContent(), "U", "T", c.format).file) << args[0];
  }
  EXPECT_EQ(r.out.rfind("url : U\r\n\r\ntitle : T\r\n\r\n", 0), 0u) << "--crlf: " << r.out;

  // Without options: no title, and the file's own URL.
  r = run({"--markup", "-o", "-", "body.html"});
  EXPECT_EQ(r.out.rfind("url : file://" + fs::canonical(work("body.html")).string() + "\n\ntitle : \n\n", 0),
            0u);

  // The analysis reads up to a NUL byte, and says so.
  write(work("nul.html"), markup + std::string(1, '\0') + "<P>after the NUL</P>");
  r = run({"--classic", "--markup", "--title", "T", "--url", "U", "-o", "-", "nul.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, expected);
  EXPECT_TRUE(contains(r.err, "nul.html: warning: the markup ends at the NUL byte at offset " +
                                  std::to_string(markup.size()) + ";"))
      << r.err;
}

// The JSON formats carry what the text file carries, and what is known of
// the page, as valid JSON whatever the bytes: the text after the header in
// the file's line ends, controls escaped, bytes that are not UTF-8 made
// U+FFFD, no encoding for markup input, the warnings said on the terminal.
TEST_F(ExtractTest, FormatsForPipelines) {
  write(work("tide.html"), kArticle);
  write(work("body.html"), std::string("<BODY><DIV>menu</DIV><DIV>\r\n<P>caf\xE9 &eacute; one</P>\r\n"
                                       "<P>two&nbsp;<BR>three\x01</P>\r\n</DIV></BODY>\0tail",
                                       98));
  write(work("menu.html"), "<title>Menu</title><body><nav><a href=/>Home</a></nav>");
  const std::string tide =
      R"({"url":"https://example.org/tide","title":"Tide: times/heights?",)"
      R"("text":"High water at six in the morning.\nLow water just after noon.\n","analysis":"modern",)"
      R"("encoding":"UTF-8","source":"tide.html","warnings":[]})"
      "\n";
  const std::string body =
      R"({"url":"u\\","title":"a\"b","text":"caf)"
      "\xEF\xBF\xBD"
      R"( ? one\r\ntwo \r\nthree\u0001\r\n\r\n","analysis":"classic","encoding":null,"source":"body.html",)"
      R"("warnings":["the markup ends at the NUL byte at offset 95; what follows it is not analysed"]})"
      "\n";
  const std::string menu =
      R"({"url":"file://)" + fs::canonical(work("menu.html")).string() +
      R"(","title":"Menu","text":"","analysis":"modern","encoding":"UTF-8","source":"menu.html",)"
      R"("warnings":["no text was selected; the file holds the header only"]})"
      "\n";
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"--format", "json", "-o", "-", "tide.html"}, tide},
      {{"--format", "jsonl", "tide.html", "missing.html", "menu.html", "tide.html"}, tide + menu + tide},
      {{"--format", "jsonl", "-o", "-", "--crlf", "tide.html"},
       R"({"url":"https://example.org/tide","title":"Tide: times/heights?",)"
       R"("text":"High water at six in the morning.\r\nLow water just after noon.\r\n","analysis":"modern",)"
       R"("encoding":"UTF-8","source":"tide.html","warnings":[]})"
       "\n"},
      {{"--classic", "--markup", "--format", "json", "--title", "a\"b", "--url", "u\\", "-o", "-",
        "body.html"},
       body},
  };
  for (const auto& c : cases) {
    const Result r = run(c.args);
    EXPECT_EQ(r.out, c.out) << c.args[1];
  }
  // A file each, named as text files are, or one file of JSON Lines.
  fs::create_directories(work("out"));
  Result r = run({"--format", "json", "-d", "out", "tide.html", "tide.html"});
  EXPECT_EQ(r.out, "out/Tide_ times_heights_.json\nout/Tide_ times_heights_ (2).json\n");
  EXPECT_EQ(read(work("out/Tide_ times_heights_ (2).json")), tide);
  r = run({"--format", "jsonl", "-o", "out/all.jsonl", "tide.html", "menu.html"});
  EXPECT_EQ(r.out, "out/all.jsonl\n");
  EXPECT_EQ(read(work("out/all.jsonl")), tide + menu);
  r = run({"--format", "jsonl", "-o", "out/all.jsonl", "tide.html"});
  EXPECT_EQ(r.status, 1) << "not replaced unasked";
  EXPECT_EQ(read(work("out/all.jsonl")), tide + menu);
}

TEST_F(ExtractTest, FileNamesFollowTheTitleAndNeverOverwriteUnasked) {
  write(work("tide.html"), kArticle);
  Result r = run({"tide.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Tide_ times_heights_.txt\n");
  const std::string text = read(work("Tide_ times_heights_.txt"));
  EXPECT_EQ(text.rfind("url : https://example.org/tide\n\ntitle : Tide: times/heights?\n\n", 0), 0u);
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
  EXPECT_EQ(read(work("out/tide.txt")).rfind("url : http://u/\n\ntitle : Other\n\n", 0), 0u);

  r = run({"-o", "named.txt", "tide.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read(work("named.txt")), text);
}

// Mistakes that would fail every page alike are said once, before any page
// is read; names in messages reach the terminal quoted; a run never writes
// over its own input, whatever name leads to it.
TEST_F(ExtractTest, MistakesAreSaidOnceAndSafely) {
  write(work("tide.html"), kArticle);
  write(work("notes.txt"), page("notes"));
  fs::create_symlink("tide.html", work("link.html"));
  fs::create_hard_link(work("tide.html"), work("hard.html"));
  write(work("file"), "");
  const std::string notAPage = "no\033[2J page.html";
  const struct {
    std::vector<std::string> args;
    std::string output;  // where standard output goes; empty: a file
    int status;
    std::string said;  // the whole of standard error, or its first line
  } cases[] = {
      {{"-d", "missing", "tide.html", "tide.html"},
       "",
       1,
       "brevanto-extract: cannot write into 'missing': No such file or directory\n"},
      {{"-d", "file", "tide.html"}, "", 1, "brevanto-extract: cannot write into 'file': Not a directory\n"},
      {{"-o", "-", "tide.html"},
       "/dev/full",
       1,
       "brevanto-extract: tide.html: cannot write to standard output: No space left on device\n"
       "brevanto-extract: 0 of 1 page written, 1 failed\n"},
      {{"-f", "-o", "tide.html", "tide.html"},
       "",
       1,
       "brevanto-extract: tide.html: will not write over 'tide.html': it is an input of this run\n"},
      {{"-f", "-o", "link.html", "tide.html"},
       "",
       1,
       "brevanto-extract: tide.html: will not write over 'link.html': it is an input of this run\n"},
      {{"-f", "-o", "hard.html", "tide.html"},
       "",
       1,
       "brevanto-extract: tide.html: will not write over 'hard.html': it is an input of this run\n"},
      {{"-f", "--format", "jsonl", "-o", "hard.html", "notes.txt", "tide.html"},
       "",
       1,
       "brevanto-extract: will not write over 'hard.html': it is an input of this run\n"},
      {{"-f", "--name-from-input", "-d", ".", "notes.txt"},
       "",
       1,
       "brevanto-extract: notes.txt: will not write over 'notes.txt': it is an input of this run\n"},
      {{notAPage, "a b.html", "it's.html"},
       "",
       1,
       "brevanto-extract: 'no'$'\\033''[2J page.html': cannot read: No such file or directory\n"
       "brevanto-extract: 'a b.html': cannot read: No such file or directory\n"
       "brevanto-extract: \"it's.html\": cannot read: No such file or directory\n"
       "brevanto-extract: 0 of 3 pages written, 3 failed\n"},
  };
  for (const auto& c : cases) {
    const Result r = run(c.args, "", "", c.output);
    EXPECT_EQ(r.status, c.status) << c.said;
    EXPECT_EQ(r.err.substr(0, c.said.size()), c.said);
    EXPECT_EQ(r.err.find('\033'), std::string::npos) << "no raw control reaches the terminal";
  }
  EXPECT_EQ(read(work("tide.html")), kArticle);
  EXPECT_EQ(read(work("notes.txt")), page("notes"));
  EXPECT_EQ(filesIn(work()),
            (std::vector<std::string>{"file", "hard.html", "link.html", "notes.txt", "tide.html"}));

  // Setup, which scripts/extract runs every time, says nothing when it
  // installs nothing.
  const std::string setup = "cd " + quote(BREVANTO_SOURCE_DIR) + " && scripts/setup extract 2>" +
                            quote((dir_ / "setup.err").string()) + " >/dev/null";
  EXPECT_EQ(std::system(setup.c_str()), 0);
  EXPECT_EQ(read(dir_ / "setup.err"), "");
}

// Many workers give what one gives, byte for byte: the same names with
// " (2)" in the pages' order, the same files, the same list, the same
// messages in the same order, the same status. The first page is a FIFO
// that the test fills late with a long page: the pages after it wait for
// its first bytes, which tell a page from an archive, and are then done
// while it is analysed. Archives, plain and gzip, give pages among files.
TEST_F(ExtractTest, ParallelRunsGiveWhatOneWorkerGives) {
  std::string big;
  for (int i = 0; i < 2000; ++i)
    big += "<p>A long paragraph of the first page, number " + std::to_string(i) + ".</p>";
  write(work("big.html"), page("Same", big));
  ASSERT_EQ(::mkfifo(work("late.html").c_str(), 0600), 0);
  write(work("a.html"), page("Same"));
  write(work("b.html"), page("Same", "<p>b one</p><p>b two</p>"));
  write(work("bin.html"), std::string("\x7F"
                                      "ELF\0\0",
                                      6));
  write(work("untitled.html"), page(""));
  write(work("warned.html"), "<title>Menu</title><body><nav><a href=/>Home</a></nav>");
  // An archive of the same pages, a long one first, with records that are
  // no page and one whose length is wrong.
  std::string records;
  for (const std::string name : {"big.html", "a.html", "b.html", "untitled.html", "warned.html", "a.html"}) {
    records += response("https://a.example/" + name, http("Content-Type: text/html\r\n", read(work(name))));
    records += record("metadata", "fetchTimeMs: 1\r\n");
  }
  records.insert(records.find("WARC/1.0", 1),
                 "WARC/1.0\r\nWARC-Type: resource\r\nContent-Length: some\r\n\r\nlost\r\n\r\n");
  write(work("pages.warc"), records);
  std::string members;
  for (size_t at = 0, next = 0; at < records.size(); at = next) {
    next = std::min(records.find("WARC/1.0", at + 1), records.size());
    members += compress(records.substr(at, next - at));
  }
  write(work("pages.warc.gz"), members);
  std::vector<std::string> inputs = {"late.html", "a.html",       "missing.html",  "pages.warc",
                                     "b.html",    "bin.html",     "untitled.html", "warned.html",
                                     "a.html",    "pages.warc.gz"};
  for (int i = 0; i < 12; ++i) inputs.push_back(i % 2 == 0 ? "b.html" : "untitled.html");
  const std::vector<std::vector<std::string>> modes = {
      {"-d", "out"},
      {"--name-from-input", "-d", "out"},
      {"--format", "json", "-d", "out"},
      {"--format", "jsonl", "-o", "out/all.jsonl"},
      {"--format", "jsonl"},
      {"--dump-tree"},
      {"--classic", "-d", "out"},
  };
  for (const auto& mode : modes) {
    std::vector<std::string> args = mode;
    args.insert(args.end(), inputs.begin(), inputs.end());
    Result results[2];
    std::map<std::string, std::string> files[2];
    for (const int one : {1, 0}) {
      fs::remove_all(work("out"));
      fs::create_directories(work("out"));
      std::vector<std::string> jobs = args;
      jobs.insert(jobs.begin(), {"-j", one == 1 ? "1" : "4"});
      // The writer gives up when no reader comes, so that a run that fails
      // early leaves nothing waiting.
      std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        int fd = -1;
        for (int i = 0; i < 2000 && fd < 0; ++i) {
          fd = ::open(work("late.html").c_str(), O_WRONLY | O_NONBLOCK);
          if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (fd < 0) return;
        const std::string bytes = read(work("big.html"));
        ::fcntl(fd, F_SETFL, 0);
        if (::write(fd, bytes.data(), bytes.size()) < 0) ADD_FAILURE() << "the late page was not read";
        ::close(fd);
      });
      results[one] = run(jobs);
      writer.join();
      files[one] = contentsOf(work("out"));
    }
    const std::string label = mode[0] + " " + mode.back();
    EXPECT_EQ(results[0].status, 1) << label << results[0].err;
    EXPECT_EQ(results[0].status, results[1].status) << label;
    EXPECT_EQ(results[0].out, results[1].out) << label;
    EXPECT_EQ(results[0].err, results[1].err) << label;
    EXPECT_TRUE(files[0] == files[1]) << label;
    EXPECT_TRUE(contains(results[0].err, "missing.html: cannot read")) << label;
    EXPECT_TRUE(contains(results[0].err, "pages.warc.gz:")) << label << ": the archive's damage is said";
    EXPECT_GE(results[0].out.size() + files[0].size(), 10u) << label << ": pages were written";
  }
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
  EXPECT_TRUE(contains(read(work("in/stdin.txt")), "url : https://example.org/tide\n"));
}

TEST_F(ExtractTest, EncodingsAsABrowserReadsThem) {
  const std::string cyrillic1251 =
      "<title>\xCD\xEE\xE2\xEE\xF1\xF2\xE8</title><div><p>\xE0</p><p>\xE1</p></div>";
  const std::string novosti = "title : \xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8\n";
  write(work("ru.html"), cyrillic1251);
  // Not UTF-8 and no meta tag: windows-1252.
  Result r = run({"-o", "-", "ru.html"});
  EXPECT_TRUE(contains(r.out, "title : \xC3\x8D\xC3\xAE\xC3\xA2\xC3\xAE\xC3\xB1\xC3\xB2\xC3\xA8\n")) << r.out;
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
  EXPECT_TRUE(contains(r.out, u8"title : 日本語のテキスト\n")) << r.out;
  write(work("zh.html"), "<meta charset=gb2312><title>\xD6\xD0\xCE\xC4\x94\x39\xFC\x36</title><p>x");
  r = run({"-o", "-", "zh.html"});
  EXPECT_TRUE(contains(r.out, u8"title : 中文😀\n")) << r.out;
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
                                             {"--force=yes", "a.html"},
                                             {"-j", "0", "a.html"},
                                             {"--jobs=many", "a.html"},
                                             {"-j", "1025", "a.html"},
                                             {"--format=xml", "a.html"},
                                             {"--format", "jsonl", "-d", "d", "a.html"},
                                             {"--dump-tree", "--format", "json", "a.html"}}) {
    const Result r = run(args);
    EXPECT_EQ(r.status, 2) << args.front();
    EXPECT_TRUE(contains(r.err, "Try 'brevanto-extract --help'")) << r.err;
  }
  // A missing value is named as the user typed its option.
  const struct {
    std::vector<std::string> args;
    std::string message;
  } missingValues[] = {
      {{"a.html", "--directory"}, "option '--directory' needs a value"},
      {{"a.html", "--dir"}, "option '--dir' needs a value"},
      {{"a.html", "-fd"}, "option '-d' needs a value"},
      {{"a.html", "--output"}, "option '--output' needs a value"},
  };
  for (const auto& c : missingValues) {
    const Result r = run(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_TRUE(contains(r.err, "brevanto-extract: " + c.message + "\n")) << r.err;
  }
  EXPECT_EQ(filesIn(work()), (std::vector<std::string>{"a.html", "d"}));
  Result r = run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(contains(r.out, "Usage: brevanto-extract"));
  // What the help says of standard input is what happens at a terminal.
  EXPECT_TRUE(contains(r.out, "read when no PAGE is given and\nstandard input is not a terminal")) << r.out;
  if (std::system("command -v script >/dev/null") == 0) {
    const std::string command = "cd " + quote(work().string()) + " && script -qec " +
                                quote(std::string(BREVANTO_EXTRACT) + " -o -") + " /dev/null </dev/null >" +
                                quote((dir_ / "tty.log").string());
    EXPECT_EQ(std::system(command.c_str()), 2 << 8) << "bad usage";
    EXPECT_TRUE(contains(read(dir_ / "tty.log"), "brevanto-extract: no page given"))
        << read(dir_ / "tty.log");
  }
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
  EXPECT_TRUE(contains(read(work("Two lines.txt")), "\ntitle : Two lines\n\n"));
  r = run({"-o", "-", "--title", " A\ttitle\n\nin parts ", "a.html"});
  EXPECT_TRUE(contains(r.out, "\ntitle : A title in parts\n\n")) << r.out;
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

  // A reader on the FIFO gets the text; the FIFO stays one. It holds no
  // text to lose, so no --force is needed, nor for a device or a pipe.
  std::thread reader([&] { write(dir_ / "from-fifo", read(work("fifo.txt"))); });
  r = run({"-o", "fifo.txt", "a.html"});
  // A reader still waiting for a writer that never came gets its end.
  const int unblock = ::open(work("fifo.txt").c_str(), O_WRONLY | O_NONBLOCK);
  if (unblock >= 0) ::close(unblock);
  reader.join();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_fifo(work("fifo.txt")));
  EXPECT_TRUE(contains(read(dir_ / "from-fifo"), "High water"));
  r = run({"-o", "/dev/null", "a.html"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "/dev/null\n");
  // A pipe as a shell's process substitution names it: /dev/fd/N.
  const std::string piped = "cd " + quote(work().string()) + " && { " + quote(BREVANTO_EXTRACT) +
                            " -o /dev/fd/3 a.html 3>&1 >/dev/null 2>&1; } | cat > " +
                            quote((dir_ / "from-pipe").string());
  EXPECT_EQ(std::system(piped.c_str()), 0);
  EXPECT_TRUE(contains(read(dir_ / "from-pipe"), "High water"));
}

// The status of `child` once it has ended, after a signal it should end
// by; a child that is still running after a while is killed, so that a
// program that ignores the signal fails the test instead of hanging it.
int statusAfter(pid_t child) {
  int status = 0;
  for (int i = 0; i < 2000; ++i) {
    if (::waitpid(child, &status, WNOHANG) == child) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  return status;
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
  const int status = statusAfter(child);
  ASSERT_TRUE(seen);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  for (const auto& name : filesIn(work())) EXPECT_NE(name[0], '.') << name;
  const std::string left = read(work("Big.txt"));
  const size_t whole = (big.size() / paragraph.size()) * (paragraph.size() - 6);  // each text, an LF line
  EXPECT_TRUE(left == "the old text" || left.size() > whole) << "old or whole, never cut: " << left.size();
}

// Interrupted at any moment of a batch, of files or of an archive's pages,
// the program lists every file it completed, says how far it got, and ends
// by the signal. A FIFO that no one fills stops the batch from ending by
// itself.
TEST_F(ExtractTest, AnInterruptedBatchListsWhatItWrote) {
  constexpr int kPages = 120;
  // The pages as files, or in an archive, and then the FIFO.
  std::vector<std::string> files;
  std::string archived;
  for (int i = 0; i < kPages; ++i) {
    files.push_back("p" + std::to_string(i) + ".html");
    write(work(files.back()), page("Page"));
    archived +=
        response("https://a.example/" + files.back(), http("Content-Type: text/html\r\n", page("Page")));
  }
  write(work("pages.warc"), archived);
  const std::vector<std::string> archive = {"pages.warc", "stall.html"};
  files.push_back("stall.html");
  ASSERT_EQ(::mkfifo(work("stall.html").c_str(), 0600), 0);
  // Without archives the run knows how many pages it has.
  const std::string ofTotal = " of " + std::to_string(kPages + 1);
  const struct {
    std::vector<std::string> output;
    int delayMs;
    bool fromArchive = false;
  } cases[] = {
      {{"-j2", "-d", "out"}, 0},
      {{"-j2", "-d", "out"}, 2},
      {{"-j2", "-d", "out"}, 10},
      {{"-j2", "-d", "out"}, 400},
      {{"-j1", "-d", "out"}, 1},
      {{"-j1", "-d", "out"}, 400},
      {{"-j2", "--format", "jsonl", "-o", "out/all.jsonl"}, 400},
      {{"-j1", "--format", "jsonl", "-o", "out/all.jsonl"}, 400},
      {{"-j2", "-d", "out"}, 2, true},
      {{"-j1", "-o", "out/all.jsonl"}, 10, true},
      {{"-j2", "-o", "out/all.jsonl"}, 400, true},
  };
  for (const auto& c : cases) {
    fs::remove_all(work("out"));
    fs::create_directories(work("out"));
    std::vector<std::string> command = {BREVANTO_EXTRACT};
    command.insert(command.end(), c.output.begin(), c.output.end());
    const std::vector<std::string>& inputs = c.fromArchive ? archive : files;
    command.insert(command.end(), inputs.begin(), inputs.end());
    std::vector<char*> argv;
    for (std::string& arg : command) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const int out = ::open((dir_ / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = ::open((dir_ / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (::chdir(work().c_str()) != 0 || out < 0 || err < 0) ::_exit(127);
      ::dup2(out, STDOUT_FILENO);
      ::dup2(err, STDERR_FILENO);
      ::execv(BREVANTO_EXTRACT, argv.data());
      ::_exit(127);
    }
    // Counted from the first page written, so that the signal finds the
    // batch under way.
    for (int i = 0; i < 4000 && fs::is_empty(work("out")); ++i)
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    std::this_thread::sleep_for(std::chrono::milliseconds(c.delayMs));
    ::kill(child, SIGINT);
    const int status = statusAfter(child);
    const std::string label = c.output[0] + " " + c.output[1] + " after " + std::to_string(c.delayMs) +
                              " ms" + (c.fromArchive ? " from an archive" : "");
    // "N of TOTAL pages" for files, "N pages" ("1 page") from an archive.
    const auto interrupted = [&](size_t n) {
      if (!c.fromArchive) return "interrupted after " + std::to_string(n) + ofTotal + " pages\n";
      return "interrupted after " + std::to_string(n) + (n == 1 ? " page\n" : " pages\n");
    };
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << label << " " << status;
    std::vector<std::string> listed;
    std::istringstream lines(read(dir_ / "stdout"));
    for (std::string line; std::getline(lines, line);) listed.push_back(line);
    std::vector<std::string> written;
    for (const std::string& name : filesIn(work("out"))) written.push_back("out/" + name);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, written) << label;
    EXPECT_FALSE(written.empty()) << label;
    const std::string err = read(dir_ / "stderr");
    if (c.output[1] == "-d") {
      EXPECT_TRUE(contains(err, interrupted(listed.size()))) << label << ": " << err;
    } else {
      // The records completed so far, each a whole line, in their file.
      const std::string records = read(work("out/all.jsonl"));
      const size_t count = static_cast<size_t>(std::count(records.begin(), records.end(), '\n'));
      EXPECT_EQ(records.size() - records.rfind("}\n"), 2u) << label;
      EXPECT_TRUE(contains(err, interrupted(count))) << label << ": " << err;
    }
  }
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

  // Without a viewer that starts, the files are written, and the user is
  // told once: none on the path, or one that cannot be run.
  fs::create_directories(dir_ / "broken" / "xdg-open");
  for (const std::string& settings :
       {std::string("PATH=/nonexistent"), "PATH=" + quote((dir_ / "broken").string())}) {
    r = run({"--open", "-f", "-d", "out", "a.html", "a.html"}, "", settings);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "out/Tide_ times_heights_.txt\nout/Tide_ times_heights_ (2).txt\n");
    EXPECT_TRUE(
        contains(r.err, "warning: --open: no viewer (xdg-open) could be started\nbrevanto-extract: 2 pages"))
        << settings << r.err;
  }
}

}  // namespace
}  // namespace brevanto
