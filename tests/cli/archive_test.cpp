// Web archives: the WARC framing, gzip members, and the HTTP responses in
// them, read whole, broken and in every variant crawlers write.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cli/archive/http_response.h"
#include "cli/archive/inflate.h"
#include "cli/archive/warc_reader.h"
#include "tests/cli/warc_writing.h"

namespace brevanto::archive {
namespace {

using namespace std::string_literals;

using testing::compress;
using testing::http;
using testing::record;
using testing::response;

// A piece of an archive: its bytes, and the page it gives (none when
// `body` is empty, or when damage elsewhere loses it).
struct Piece {
  std::string bytes;
  std::string url;
  std::string body;
  bool lost = false;
};

Piece page(int n, const std::string& eol = "\r\n") {
  const std::string url = "http://example.com/" + std::to_string(n);
  const std::string body = "<html><body><p>page " + std::to_string(n) + "</p></body></html>";
  return {response(url, http("Content-Type: text/html\r\n", body), eol), url, body};
}
Piece other(const std::string& bytes) {
  return {bytes, "", ""};
}
Piece gz(Piece piece) {
  piece.bytes = compress(piece.bytes);
  return piece;
}
Piece lost(Piece piece) {
  piece.lost = true;
  return piece;
}
Piece with(Piece piece, const std::string& bytes) {
  piece.bytes = bytes;
  return piece;
}

struct Read {
  std::vector<ArchivePage> pages;
  std::vector<ArchiveWarning> warnings;
  ArchiveCounts counts;
};

Read readArchive(const std::string& bytes, uint64_t limit = kDefaultRecordLimit) {
  Read read;
  std::FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  if (file == nullptr) return read;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fflush(file);
  std::rewind(file);
  WarcReader reader;
  reader.setRecordLimit(limit);
  std::string error;
  EXPECT_EQ(reader.open(fileno(file), error), ArchiveOpen::kOpened) << error;
  ArchivePage page;
  while (reader.next(page)) read.pages.push_back(page);
  read.warnings = reader.takeWarnings();
  read.counts = reader.counts();
  std::fclose(file);
  return read;
}

TEST(WarcReader, Framings) {
  const std::string fragment = page(2).bytes;
  const struct {
    const char* name;
    std::vector<Piece> pieces;
    uint64_t skipped;
    uint64_t damaged;
    std::vector<std::pair<size_t, const char*>> warnings;  // piece, part of the message
  } cases[] = {
      {"every kind of record",
       {other(record("warcinfo", "software: test\r\n")), other(record("request", "GET / HTTP/1.1\r\n\r\n")),
        page(1), other(record("metadata", "outlinks: x\r\n")),
        other(response("http://example.com/a.png", http("Content-Type: image/png\r\n", "\x89PNG"))),
        other(record("revisit", http("Content-Type: text/html\r\n", ""))),
        other(response("http://example.com/moved",
                       http("Content-Type: text/html\r\n", "<p>moved", "301 Moved"))),
        other(record("response", "dns answer", "Content-Type: text/dns\r\n")), page(2)},
       7,
       0,
       {}},
      {"line ends of LF alone",
       {page(1, "\n"), other(record("request", "GET /\n\n", "", "\n")), page(2, "\n")},
       1,
       0,
       {}},
      {"WARC/1.1 and a URI in angle brackets",
       {{"WARC/1.1\r\nWARC-Type: response\r\nWARC-Target-URI: <http://example.com/x>\r\nContent-Length: "
         "27\r\n\r\n"
         "HTTP/1.1 200 OK\r\n\r\n<p>x</p>\r\n\r\n",
         "http://example.com/x", "<p>x</p>"}},
       0,
       0,
       {}},
      {"one gzip member per record",
       {gz(other(record("warcinfo", "x"))), gz(page(1)), gz(other(record("request", "GET /\r\n\r\n"))),
        gz(page(2))},
       2,
       0,
       {}},
      {"the whole file one gzip member",
       {gz(with(page(1), record("warcinfo", "x") + page(1).bytes))},
       1,
       0,
       {}},
      {"a damaged gzip member in the middle",
       {gz(page(1)), lost(with(page(2), compress(page(2).bytes).replace(20, 12, "garbage here"))),
        gz(page(3))},
       0,
       1,
       {{1, "gzip member is damaged"}}},
      {"a gzip member cut in the middle",
       {gz(page(1)), lost(with(page(2), compress(page(2).bytes).substr(0, 40))), gz(page(3))},
       0,
       1,
       {{1, "gzip member is damaged"}}},
      {"bytes between gzip members",
       {gz(page(1)), other("not gzip at all"), gz(page(3))},
       0,
       1,
       {{1, "not a gzip member"}}},
      {"a gzip file cut short",
       {gz(page(1)), lost(with(page(2), compress(page(2).bytes).substr(0, 40)))},
       0,
       1,
       {{1, "breaks off"}}},
      {"a record cut short",
       {page(1), lost(with(page(2), fragment.substr(0, fragment.size() - 30)))},
       0,
       1,
       {{1, "breaks off at the end"}}},
      {"a header cut short",
       {page(1), lost(with(page(2), fragment.substr(0, 40)))},
       0,
       1,
       {{1, "in its header"}}},
      {"a Content-Length too short",
       {lost(with(page(1),
                  "WARC/1.0\r\nWARC-Type: response\r\nContent-Length: 5\r\n\r\nHTTP/1.1 200 "
                  "OK\r\n\r\n<p>a\r\n\r\n")),
        page(2)},
       0,
       1,
       {{0, "does not end where its Content-Length says"}}},
      {"a Content-Length too long eats the next record",
       {lost(with(page(1),
                  "WARC/1.0\r\nWARC-Type: response\r\nContent-Length: 60\r\n\r\nHTTP/1.1 200 "
                  "OK\r\n\r\n<p>a\r\n\r\n")),
        lost(page(2)), page(3)},
       0,
       1,
       {{0, "does not end where"}}},
      {"no Content-Length",
       {lost(with(page(1), "WARC/1.0\r\nWARC-Type: response\r\n\r\n<p>a\r\n\r\n")), page(2)},
       0,
       1,
       {{0, "no valid Content-Length"}}},
      {"a Content-Length that is not a number",
       {lost(with(page(1), "WARC/1.0\r\nContent-Length: 99999999999999999999999\r\n\r\n<p>a\r\n\r\n")),
        page(2)},
       0,
       1,
       {{0, "no valid Content-Length"}}},
      {"bytes that start no record",
       {page(1), other("garbage\r\nmore garbage\r\n"), page(2)},
       0,
       1,
       {{1, "no WARC record starts here"}}},
      {"blank lines between records", {page(1), other("\r\n\r\n\n"), page(2)}, 0, 0, {}},
  };
  for (const auto& c : cases) {
    std::string bytes;
    std::vector<uint64_t> offsets;
    for (const Piece& piece : c.pieces) {
      offsets.push_back(bytes.size());
      bytes += piece.bytes;
    }
    const Read read = readArchive(bytes);
    size_t next = 0;
    for (size_t i = 0; i < c.pieces.size(); ++i) {
      const Piece& piece = c.pieces[i];
      if (piece.body.empty() || piece.lost) continue;
      ASSERT_LT(next, read.pages.size()) << c.name << ": page of piece " << i << " missing";
      const ArchivePage& got = read.pages[next++];
      EXPECT_EQ(got.url, piece.url) << c.name;
      EXPECT_EQ(got.body, piece.body) << c.name;
      EXPECT_EQ(got.offset, offsets[i]) << c.name;
      EXPECT_TRUE(got.warnings.empty()) << c.name << ": " << got.warnings.front();
    }
    EXPECT_EQ(next, read.pages.size()) << c.name << ": more pages than expected";
    EXPECT_EQ(read.counts.pages, read.pages.size()) << c.name;
    EXPECT_EQ(read.counts.skipped, c.skipped) << c.name;
    EXPECT_EQ(read.counts.damaged, c.damaged) << c.name;
    ASSERT_EQ(read.warnings.size(), c.warnings.size())
        << c.name << ": " << (read.warnings.empty() ? "" : read.warnings[0].message);
    for (size_t i = 0; i < c.warnings.size(); ++i) {
      EXPECT_EQ(read.warnings[i].offset, offsets[c.warnings[i].first]) << c.name;
      EXPECT_NE(read.warnings[i].message.find(c.warnings[i].second), std::string::npos)
          << c.name << ": " << read.warnings[i].message;
    }
  }
}

// What a response record gives the page: its body decoded, its charset,
// and what was wrong with it.
TEST(WarcReader, ResponsesAsPages) {
  const std::string html = "<!DOCTYPE html><p>caf\xC3\xA9</p>";
  const struct {
    const char* name;
    std::string http;
    std::string body;  // empty: no page
    std::string label;
    const char* warning;  // part of the page's (or else the archive's) one warning; null: none
  } cases[] = {
      {"plain", http("Content-Type: text/html; charset=utf-8\r\n", html), html, "utf-8", nullptr},
      {"quoted charset, XHTML", http("Content-Type: application/xhtml+XML;Charset=\"Shift_JIS\"\r\n", html),
       html, "Shift_JIS", nullptr},
      {"folded Content-Type", http("Content-Type: text/html;\r\n charset=koi8-r\r\n", html), html, "koi8-r",
       nullptr},
      {"sniffed without Content-Type", http("", "\n  " + html), "\n  " + html, "", nullptr},
      {"not sniffed as HTML", http("", "plain words"), "", "", nullptr},
      {"chunked, with extensions and trailers",
       http("Content-Type: text/html\r\nTransfer-Encoding: chunked\r\n",
            "5;name=value\r\n<!DOC\r\n16\r\nTYPE html><p>caf\xC3\xA9</p>\r\n0\r\nExpires: never\r\n\r\n"),
       html, "", nullptr},
      {"chunked with LF alone",
       http("Content-Type: text/html\r\nTransfer-Encoding: chunked\r\n",
            "5\n<!DOC\n16\nTYPE html><p>caf\xC3\xA9</p>\n0\n\n"),
       html, "", nullptr},
      {"chunked, cut short",
       http("Content-Type: text/html\r\nTransfer-Encoding: chunked\r\n", "5\r\n<!DOC\r\n1a\r\nTYPE"),
       "<!DOCTYPE", "", "ends inside a chunk"},
      {"chunked in the header only", http("Content-Type: text/html\r\nTransfer-Encoding: chunked\r\n", html),
       html, "", "not chunked"},
      {"gzip", http("Content-Type: text/html\r\nContent-Encoding: gzip\r\n", compress(html)), html, "",
       nullptr},
      {"chunked gzip",
       http("Content-Type: text/html\r\nContent-Encoding: x-gzip\r\nTransfer-Encoding: chunked\r\n",
            [&] {
              const std::string z = compress(html);
              char size[16];
              std::snprintf(size, sizeof size, "%zx", z.size());
              return std::string(size) + "\r\n" + z + "\r\n0\r\n\r\n";
            }()),
       html, "", nullptr},
      {"deflate as zlib",
       http("Content-Type: text/html\r\nContent-Encoding: deflate\r\n", compress(html, 15)), html, "",
       nullptr},
      {"deflate bare", http("Content-Type: text/html\r\nContent-Encoding: deflate\r\n", compress(html, -15)),
       html, "", nullptr},
      {"gzip, cut short",
       http("Content-Type: text/html\r\nContent-Encoding: gzip\r\n", compress(html + html).substr(0, 30)),
       "*", "", "breaks off"},
      {"gzip in the header only", http("Content-Type: text/html\r\nContent-Encoding: gzip\r\n", html), html,
       "", "marked gzip but is not"},
      {"unknown coding", http("Content-Type: text/html\r\nContent-Encoding: br\r\n", "\x0b\x02\x80"), "", "",
       "content coding 'br'"},
      {"longer than its Content-Length", http("Content-Type: text/html\r\nContent-Length: 5\r\n", html),
       "<!DOC", "", "longer than its Content-Length"},
      {"shorter than its Content-Length", http("Content-Type: text/html\r\nContent-Length: 500\r\n", html),
       html, "", "before its Content-Length"},
      {"not found", http("Content-Type: text/html\r\n", html, "404 Not Found"), "", "", nullptr},
      {"no status line", "<p>just markup</p>", "", "", nullptr},
      {"bad status code", http("Content-Type: text/html\r\n", html, "2000 OK"), "", "", nullptr},
      {"status without reason", "HTTP/1.0 200\r\nContent-Type: text/html\r\n\r\n" + html, html, "", nullptr},
  };
  for (const auto& c : cases) {
    const Read read = readArchive(response("http://example.com/", c.http));
    std::vector<std::string> warnings;
    for (const ArchiveWarning& warning : read.warnings) warnings.push_back(warning.message);
    if (c.body.empty()) {
      EXPECT_TRUE(read.pages.empty()) << c.name;
      EXPECT_EQ(read.counts.skipped + read.counts.damaged, 1u) << c.name;
    } else {
      ASSERT_EQ(read.pages.size(), 1u) << c.name;
      const ArchivePage& got = read.pages[0];
      if (c.body != "*") {
        EXPECT_EQ(got.body, c.body) << c.name;
      }
      EXPECT_FALSE(got.body.empty()) << c.name;
      EXPECT_EQ(got.transportLabel, c.label) << c.name;
      EXPECT_EQ(got.recordId, "<urn:uuid:response>") << c.name;
      warnings.insert(warnings.end(), got.warnings.begin(), got.warnings.end());
    }
    ASSERT_EQ(warnings.size(), c.warning == nullptr ? 0u : 1u)
        << c.name << ": " << (warnings.empty() ? "" : warnings[0]);
    if (c.warning != nullptr) {
      EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << c.name << ": " << warnings[0];
    }
  }
}

// Memory stays within the limit: a record or a body beyond it is passed
// over with a warning, and the records around it are read.
TEST(WarcReader, RecordLimit) {
  const std::string big(10000, 'x');
  const std::string bomb = compress(std::string(1 << 20, '<'));
  const std::string bytes = page(1).bytes +
                            response("http://example.com/big", http("Content-Type: text/html\r\n", big)) +
                            response("http://example.com/bomb",
                                     http("Content-Type: text/html\r\nContent-Encoding: gzip\r\n", bomb)) +
                            page(2).bytes;
  const Read read = readArchive(bytes, 8192);
  ASSERT_EQ(read.pages.size(), 2u);
  EXPECT_EQ(read.pages[1].url, "http://example.com/2");
  ASSERT_EQ(read.warnings.size(), 2u);
  EXPECT_NE(read.warnings[0].message.find("more than the limit of 8192"), std::string::npos)
      << read.warnings[0].message;
  EXPECT_NE(read.warnings[1].message.find("decodes to more than 8192"), std::string::npos)
      << read.warnings[1].message;
}

// What is no archive is told from its first bytes, and those bytes are
// handed back: with what is left to read, the caller has the whole input.
TEST(WarcReader, WhatIsNotAnArchive) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"a page", "<!DOCTYPE html><p>x"},
      {"a gzipped page", compress("<!DOCTYPE html><p>x")},
      {"almost a record", "WARC/x"},
      {"a page longer than a read", "<!DOCTYPE html>" + std::string(200000, 'x')},
  };
  for (const auto& c : cases) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fwrite(c.bytes.data(), 1, c.bytes.size(), file);
    std::fflush(file);
    std::rewind(file);
    WarcReader reader;
    std::string error;
    EXPECT_EQ(reader.open(fileno(file), error), ArchiveOpen::kNotArchive) << c.name;
    EXPECT_NE(error.find("not a WARC archive"), std::string::npos) << c.name;
    std::string whole = reader.takeBytesRead();
    EXPECT_EQ(whole.empty(), c.bytes.empty()) << c.name;
    char buffer[4096];
    for (ssize_t got; (got = ::read(fileno(file), buffer, sizeof buffer)) > 0;)
      whole.append(buffer, static_cast<size_t>(got));
    EXPECT_TRUE(whole == c.bytes) << c.name;
    std::fclose(file);
  }
  WarcReader reader;
  std::string error;
  EXPECT_EQ(reader.open("/nonexistent/a.warc", error), ArchiveOpen::kCannotRead);
  EXPECT_EQ(error, "No such file or directory");
}

TEST(WarcReader, SourceAndWarningText) {
  ArchivePage page;
  page.offset = 1234;
  page.recordId = "<urn:uuid:1>";
  EXPECT_EQ(archiveSource("crawl.warc.gz", page), "crawl.warc.gz:1234 <urn:uuid:1>");
  EXPECT_EQ(archiveWarningText("crawl.warc", {77, "the record breaks off"}),
            "crawl.warc:77: the record breaks off");
}

}  // namespace
}  // namespace brevanto::archive
