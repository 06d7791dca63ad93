// Loading a page as a browser does: which encoding, the serialized body,
// and the title and URL the page gives.
#include "cli/page_loader.h"

#include <gtest/gtest.h>
#include <myencoding/myosi.h>

#include <string>

namespace brevanto::cli {
namespace {

using namespace std::string_literals;

int encodingOf(const std::string& bytes, const std::string& label = "", size_t* bomLength = nullptr) {
  int encoding = -1;
  size_t bom = 99;
  std::string error;
  EXPECT_TRUE(chooseEncoding(bytes, label, encoding, bom, error)) << error;
  if (bomLength != nullptr) *bomLength = bom;
  return encoding;
}

LoadedPage load(const std::string& bytes, const std::string& label = "") {
  PageLoader loader;
  LoadedPage page;
  EXPECT_EQ(loader.load(bytes, label, page), LoadStatus::kLoaded) << page.error;
  return page;
}

TEST(ChooseEncoding, MarkThenLabelThenMetaThenUtf8ThenWindows1252) {
  const std::string meta1251 = "<meta charset=\"windows-1251\"><p>caf\xC3\xA9";
  size_t bom = 0;
  EXPECT_EQ(encodingOf("\xEF\xBB\xBF" + meta1251, "koi8-r", &bom), MyENCODING_UTF_8);
  EXPECT_EQ(bom, 3u);
  EXPECT_EQ(encodingOf("\xFF\xFE<\0"s, "koi8-r", &bom), MyENCODING_UTF_16LE);
  EXPECT_EQ(bom, 2u);
  EXPECT_EQ(encodingOf("\xFE\xFF\0<"s, "", &bom), MyENCODING_UTF_16BE);
  EXPECT_EQ(encodingOf(meta1251, "koi8-r", &bom), MyENCODING_KOI8_R);
  EXPECT_EQ(bom, 0u);
  EXPECT_EQ(encodingOf(meta1251), MyENCODING_WINDOWS_1251) << "the meta tag wins over valid UTF-8";
  EXPECT_EQ(encodingOf("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"),
            MyENCODING_SHIFT_JIS);
  // ISO-8859-1 and ASCII labels are read as windows-1252; a page cannot
  // declare UTF-16 in bytes that read as ASCII.
  EXPECT_EQ(encodingOf("<meta charset=iso-8859-1>"), MyENCODING_WINDOWS_1252);
  EXPECT_EQ(encodingOf("<meta charset=us-ascii>"), MyENCODING_WINDOWS_1252);
  EXPECT_EQ(encodingOf("<meta charset=utf-16>"), MyENCODING_UTF_8);
  // A meta tag beyond the first 1024 bytes is not seen.
  EXPECT_EQ(encodingOf("<p>" + std::string(1100, 'x') + "<meta charset=koi8-r>"), MyENCODING_UTF_8);
  EXPECT_EQ(encodingOf("<p>caf\xC3\xA9"), MyENCODING_UTF_8);
  EXPECT_EQ(encodingOf("<p>caf\xE9"), MyENCODING_WINDOWS_1252);

  int encoding = -1;
  size_t bomLength = 0;
  std::string error;
  EXPECT_FALSE(chooseEncoding("<p>", "no-such-charset", encoding, bomLength, error));
  EXPECT_NE(error.find("no-such-charset"), std::string::npos);
  EXPECT_TRUE(isKnownEncoding(" Latin1 "));
  EXPECT_FALSE(isKnownEncoding("latin-99"));
}

TEST(IsValidUtf8, RejectsWhatABrowserWouldReplace) {
  EXPECT_TRUE(isValidUtf8(""));
  EXPECT_TRUE(isValidUtf8("plain ascii"));
  EXPECT_TRUE(isValidUtf8("\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_FALSE(isValidUtf8("\xE9t\xE9"));
  EXPECT_EQ(firstInvalidUtf8("ok \xC3\xA9 \xE2\x82"), 6u);
  EXPECT_FALSE(isValidUtf8("\xC3"));              // cut short
  EXPECT_FALSE(isValidUtf8("\xE2\x82"));          // cut short
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(isValidUtf8("\xE0\x80\xAF"));      // overlong
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
  EXPECT_FALSE(isValidUtf8("\xF8\x88\x80\x80\x80"));

  // Each maximal broken run becomes one U+FFFD; valid sequences stay.
  EXPECT_EQ(replaceInvalidUtf8("caf\xE9 \xE2\x82x \xF0\x9F\x98\x80 \xC0\xAF \xE2\x82"),
            "caf\xEF\xBF\xBD \xEF\xBF\xBDx \xF0\x9F\x98\x80 \xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD");
}

TEST(PageLoader, DecodesToUtf8) {
  EXPECT_EQ(load("<title>x</title><p>caf\xE9").markup, "<body><p>caf\xC3\xA9</p></body>");
  EXPECT_EQ(load("<p>caf\xE9").encoding, "windows-1252");
  EXPECT_EQ(load("<meta charset=koi8-r><p>\xD4\xC5\xCB\xD3\xD4").markup,
            "<body><p>\xD1\x82\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82</p></body>");
  EXPECT_EQ(load("\xEF\xBB\xBF<p>caf\xC3\xA9").markup, "<body><p>caf\xC3\xA9</p></body>");
  EXPECT_EQ(load("\xFF\xFE<\0p\0>\0\xE9\0"s).markup, "<body><p>\xC3\xA9</p></body>");
  EXPECT_EQ(load("<p>caf\xC3\xA9", "windows-1252").markup, "<body><p>caf\xC3\x83\xC2\xA9</p></body>");

  PageLoader loader;
  LoadedPage page;
  EXPECT_EQ(loader.load("<p>caf\xE9 ok", "utf-8", page), LoadStatus::kUndecodable);
  EXPECT_NE(page.error.find("utf-8"), std::string::npos) << page.error;
  EXPECT_NE(page.error.find("byte 6"), std::string::npos) << page.error;
  EXPECT_TRUE(page.markup.empty());
  EXPECT_EQ(loader.load("<p>x", "bogus", page), LoadStatus::kUnknownEncoding);
  // The same loader goes on to the next page.
  EXPECT_EQ(loader.load("<p>next", "", page), LoadStatus::kLoaded);
  EXPECT_EQ(page.markup, "<body><p>next</p></body>");

  // A page declared UTF-8 whose bytes are not shows U+FFFD where they were.
  EXPECT_EQ(loader.load("<meta charset=utf-8><p>caf\xE9", "", page), LoadStatus::kLoaded);
  EXPECT_EQ(page.markup, "<body><p>caf\xEF\xBF\xBD</p></body>");
  // Pages after a UTF-16 one parse as well as the first did.
  for (const char* label : {"utf-16le", "utf-16be", ""}) {
    SCOPED_TRACE(label);
    EXPECT_EQ(loader.load("ab", label, page), LoadStatus::kLoaded);
    EXPECT_EQ(loader.load("<p>after", "", page), LoadStatus::kLoaded);
    EXPECT_EQ(page.markup, "<body><p>after</p></body>");
  }
}

TEST(PageLoader, SerializesTheBodyAsBrowsersDo) {
  // Text escaped, attribute values quoted and escaped, implied end tags
  // written, void elements without end tags, raw text as it is.
  const LoadedPage page = load(
      "<html><head><title>t</title></head><BODY Class=main data-x='a\"b<c>&amp;'>"
      "<p>a &amp; b&nbsp;c &lt;d&gt; \"q\"<p>two<br/>lines<img src=x alt=y>"
      "<script>if (a < b && c > d) {}</script><style>p > a {}</style>"
      "<!-- a comment --><textarea><b>&lt;</textarea><ul><li>one<li>two</ul></body></html>");
  EXPECT_EQ(
      page.markup,
      "<body class=\"main\" data-x=\"a&quot;b&lt;c&gt;&amp;\">"
      "<p>a &amp; b&nbsp;c &lt;d&gt; \"q\"</p><p>two<br>lines<img src=\"x\" alt=\"y\">"
      "<script>if (a < b && c > d) {}</script><style>p > a {}</style>"
      "<!-- a comment --><textarea>&lt;b&gt;&lt;</textarea></p><ul><li>one</li><li>two</li></ul></body>");
  // Content after the body's end tag still belongs to the body.
  EXPECT_EQ(load("<body><p>in</p></body><p>after").markup, "<body><p>in</p><p>after</p></body>");
  EXPECT_EQ(load("").markup, "<body></body>");
  // Line ends in text come out as CR LF, whatever the page used; attribute
  // values keep theirs.
  EXPECT_EQ(load("<body title='x\ny'>a\nb\r\nc\rd</body>").markup,
            "<body title=\"x\ny\">a\r\nb\r\nc\r\nd</body>");
  EXPECT_EQ(load("<frameset><frame src=a></frameset>").markup, "<frameset><frame src=\"a\"></frameset>");
}

TEST(PageLoader, DeepNestingGoesThrough) {
  const int depth = 100000;
  std::string html = "<body>";
  for (int i = 0; i < depth; ++i) html += "<span>";
  html += "deep";
  const LoadedPage page = load(html);
  EXPECT_EQ(page.markup.size(),
            std::string("<body>deep</body>").size() + depth * std::string("<span></span>").size());
  EXPECT_NE(page.markup.find("<span>deep</span></span>"), std::string::npos);
}

TEST(PageLoader, TitleAndWhereThePageCameFrom) {
  LoadedPage page = load(
      "<!DOCTYPE html>\r\n<!-- saved from url=(0029)https://example.org/a b?c=(1) -->\r\n"
      "<html><head><title>\n  Two   words\t</title><title>second</title>"
      "<link rel=\"canonical\" href=\"https://example.org/canonical\"></head><body><p>x</p></body></html>");
  EXPECT_EQ(page.title, "Two words");
  EXPECT_EQ(page.url, "https://example.org/a b?c=(1)") << "the count keeps spaces and parentheses";

  page = load(
      "<html><head><link rel=\"stylesheet\" href=\"https://example.org/s.css\">"
      "<link rel=\"Alternate  CANONICAL\" href=\" https://example.org/c \"></head><p>x");
  EXPECT_EQ(page.url, "https://example.org/c");
  EXPECT_EQ(page.title, "");

  // A relative canonical link says nothing without the page's address; a
  // count that runs past the comment takes the first word.
  EXPECT_EQ(load("<link rel=canonical href=/relative><p>x").url, "");
  EXPECT_EQ(load("<!-- saved from url=(0999)http://example.org/x -->").url, "http://example.org/x");
  EXPECT_EQ(load("<body><!-- saved from url=(0020)http://example.org/ --><p>x").url, "http://example.org/");
  EXPECT_EQ(load("<title>caf\xE9 &amp; bar</title>").title, "caf\xC3\xA9 & bar");
}

}  // namespace
}  // namespace brevanto::cli
