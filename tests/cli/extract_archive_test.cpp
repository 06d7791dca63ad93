// brevanto-extract over web archives: every HTML response is a page, in
// archive order, with the text its page gives as a file; every other record
// is counted, and damage is said where it is.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/cli/extract_run.h"
#include "tests/cli/warc_writing.h"

namespace brevanto {
namespace {

namespace fs = std::filesystem;
using namespace testing;  // NOLINT(google-build-using-namespace): the runs of the program

// "Привет мир" in windows-1251.
const std::string kCyrillic = "\xCF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0";

std::string chunked(const std::string& body) {
  char size[32];
  std::snprintf(size, sizeof size, "%zx\r\n", body.size());
  return size + body + "\r\n0\r\n\r\n";
}

// One record of the test's archive, and the page it holds.
struct Entry {
  std::string record;
  std::string url;
  std::string page;      // the page, as a saved file would hold it; empty when the record gives none
  std::string encoding;  // what the page is read in as a file, for the charset the response names
  std::string said;      // what standard error says of the record after "NAME:OFFSET: "
  std::string warning;   // what was wrong with the response but could be read
};

// Pages and what is no page, in the order a crawler writes them, with a
// record whose length is wrong and a page with nothing to analyse.
std::vector<Entry> entries() {
  const std::string html = "Content-Type: text/html\r\n";
  const std::string one = page("One");
  // The charset the response names outranks the page's own.
  const std::string russian =
      "<meta charset=windows-1252><title>" + kCyrillic + "</title><body><p>" + kCyrillic + "</p>";
  const std::string again = page("One", "<p>again</p><p>and again</p>");
  const std::string untitled = page("", "<p>no title</p><p>here</p>");
  const std::string longer = page("Longer");
  std::string cut = response("https://a.example/cut", http(html, page("Cut")));
  const std::string length = "Content-Length: ";
  const size_t at = cut.find(length) + length.size();
  cut.replace(at, cut.find('\r', at) - at, "20");
  const std::string none;
  const std::string longerBy = "the HTTP body is 11 bytes longer than its Content-Length of " +
                               std::to_string(longer.size()) + "; the rest is left out";
  return {
      {record("warcinfo", "software: test\r\n", "Content-Type: application/warc-fields\r\n"), none, none,
       none, none, none},
      {record("request", "GET /1 HTTP/1.1\r\n\r\n",
              "WARC-Target-URI: https://a.example/1\r\nContent-Type: application/http; msgtype=request\r\n"),
       none, none, none, none, none},
      {response("https://a.example/1", http(html, one)), "https://a.example/1", one, none, none, none},
      {record("metadata", "fetchTimeMs: 1\r\n", "Content-Type: application/warc-fields\r\n"), none, none,
       none, none, none},
      {response("https://a.example/logo.png", http("Content-Type: image/png\r\n", "\x89PNG\r\n")), none, none,
       none, none, none},
      {response("https://a.example/gone", http(html, page("Gone"), "404 Not Found")), none, none, none, none,
       none},
      {response("https://a.example/2", http("Content-Type: text/html; charset=windows-1251\r\n", russian)),
       "https://a.example/2", russian, "windows-1251", none, none},
      {cut, none, none, none, "the record does not end where its Content-Length says; it is passed over",
       none},
      {response("https://a.example/empty", http(html, "")), none, none, none, "Sorry! cannot get content!",
       none},
      {response("https://a.example/3",
                http("Content-Type: text/html\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n",
                     chunked(compress(again)))),
       "https://a.example/3", again, none, none, none},
      {response("https://a.example/4", http(html, untitled)), "https://a.example/4", untitled, none, none,
       none},
      {response(
           "https://a.example/5",
           http(html + "Content-Length: " + std::to_string(longer.size()) + "\r\n", longer + "<p>more</p>")),
       "https://a.example/5", longer, none, none, longerBy},
  };
}

class ArchiveTest : public ExtractTest {
 protected:
  // The archive of entries(), plain or one gzip member per record, and the
  // offset of each record in it.
  std::string archive(bool gzip, std::vector<size_t>& offsets) const {
    std::string bytes;
    for (const Entry& entry : entries()) {
      offsets.push_back(bytes.size());
      bytes += gzip ? compress(entry.record) : entry.record;
    }
    return bytes;
  }

  // What the run gives for the page of `entry` as a file at its URL: the
  // JSON object (its source made `source`) or the text file.
  std::string asFile(const Entry& entry, const std::string& format, const std::string& source = "") {
    write(work("page.html"), entry.page);
    std::vector<std::string> args = {"--format", format, "--url", entry.url, "-o", "-", "page.html"};
    if (!entry.encoding.empty()) args.insert(args.begin(), {"--encoding", entry.encoding});
    std::string out = run(args).out;
    const std::string own = "\"source\":\"page.html\"";
    if (format == "json") out.replace(out.find(own), own.size(), "\"source\":\"" + source + "\"");
    return out;
  }
};

// The JSON Lines of an archive list every HTML response once, in archive
// order, each with the text its page gives as a file and its source; other
// records are counted, damage and failed pages are said at their offsets,
// and the run goes on. The archive is told by its content, whatever its
// name, from a file or from standard input, with any number of jobs.
TEST_F(ArchiveTest, EveryHtmlResponseIsOnePageInArchiveOrder) {
  write(work("other.html"), page("Other"));
  const std::string other = run({"--format", "json", "-o", "-", "other.html"}).out;
  for (const bool gzip : {false, true}) {
    std::vector<size_t> offsets;
    const std::string bytes = archive(gzip, offsets);
    const std::string file = gzip ? "a.warc.gz" : "a.warc";
    write(work(file), bytes);
    write(work("crawl.html"), bytes);
    const struct {
      std::vector<std::string> args;
      std::string input;  // standard input
      std::string name;   // the archive, as the run names it
      std::string first;  // what comes before the archive's pages
    } runs[] = {
        {{file}, "", file, ""},
        {{"-j", "1", file}, "", file, ""},
        {{"-j", "4", file}, "", file, ""},
        {{"crawl.html"}, "", "crawl.html", ""},
        {{"-"}, bytes, "-", ""},
        {{"other.html", file}, "", file, other},
    };
    for (const auto& r : runs) {
      const std::string label = (gzip ? "gzip: " : "plain: ") + r.args.back() + " " + r.args[0];
      std::string out = r.first;
      std::string err;
      const std::string named = r.name == "-" ? "(standard input)" : r.name;
      const std::vector<Entry> all = entries();
      for (size_t i = 0; i < all.size(); ++i) {
        const std::string at = std::to_string(offsets[i]);
        const std::string said = "brevanto-extract: " + named + ":" + at + ": ";
        if (!all[i].page.empty()) {
          std::string object = asFile(all[i], "json", r.name + ":" + at + " <urn:uuid:response>");
          if (!all[i].warning.empty()) {
            object.replace(object.rfind("[]"), 2, "[\"" + all[i].warning + "\"]");
            err += said + "warning: " + all[i].warning + "\n";
          }
          out += object;
        }
        if (!all[i].said.empty()) err += said + all[i].said + "\n";
      }
      err += "brevanto-extract: " + std::string(r.first.empty() ? "5 of 6" : "6 of 7") +
             " pages written, 1 failed; 5 other records skipped, 1 damaged\n";
      const Result got = run(r.args, r.input);
      EXPECT_EQ(got.status, 1) << label;
      EXPECT_EQ(got.out, out) << label;
      EXPECT_EQ(got.err, err) << label;
    }
  }
}

// With a file per page, records are named from their titles, " (2)" in
// archive order, or after the archive when they have none; each file is the
// text its page gives as a file. -o cannot hold an archive's pages but in
// one stream; damage fails the run; a page is a page whatever its name.
TEST_F(ArchiveTest, AFilePerRecordIsNamedFromItsTitle) {
  std::vector<size_t> offsets;
  write(work("crawl.warc"), archive(false, offsets));
  std::map<std::string, std::string> expected;
  std::string listed;
  const char* names[] = {"One.txt",
                         "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80.txt",
                         "One (2).txt", "crawl.txt", "Longer.txt"};
  size_t n = 0;
  for (const Entry& entry : entries()) {
    if (entry.page.empty()) continue;
    expected[names[n]] = asFile(entry, "text");
    listed += std::string("out/") + names[n++] + "\n";
  }
  fs::create_directories(work("out"));
  Result r = run({"-d", "out", "crawl.warc"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.out, listed);
  EXPECT_TRUE(contentsOf(work("out")) == expected) << r.out;

  // -o holds one page, or the JSON Lines of many, which archives make the
  // default.
  write(work("page.warc"), page("Named like an archive"));
  const struct {
    std::vector<std::string> args;
    std::string said;
  } refusals[] = {
      {{"--format", "text", "-o", "all.txt", "crawl.warc"},
       "-o takes exactly one page, and an archive holds many; use -d, or --format jsonl"},
      {{"-o", "all.txt", "page.warc", "page.warc"},
       "-o takes exactly one page; use -d for several, or --format jsonl"},
  };
  for (const auto& refusal : refusals) {
    r = run(refusal.args);
    EXPECT_EQ(r.status, 2) << refusal.said;
    EXPECT_EQ(r.err.rfind("brevanto-extract: " + refusal.said + "\n", 0), 0u) << r.err;
  }
  r = run({"-o", "all.jsonl", "page.warc", "crawl.warc"});
  EXPECT_EQ(r.out, "all.jsonl\n") << r.err;
  // Damage fails a run as a failed page does: a page, then a record whose
  // length is wrong or one that is no page.
  const std::vector<Entry> all = entries();
  const struct {
    std::string bytes;
    int status;
  } endings[] = {{all[2].record + all[7].record, 1}, {all[2].record + all[3].record, 0}};
  for (const auto& ending : endings) {
    write(work("two.warc"), ending.bytes);
    r = run({"two.warc"});
    EXPECT_EQ(r.status, ending.status) << r.err;
    EXPECT_EQ(r.out, asFile(all[2], "json", "two.warc:0 <urn:uuid:response>"));
  }
  r = run({"page.warc"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Named like an archive.txt\n");
}

}  // namespace
}  // namespace brevanto
