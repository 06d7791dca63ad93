// Loading a page as a browser does: which encoding, the text it decodes to,
// the serialized body, and the title and URL the page gives.
#include "cli/page_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace brevanto::cli {
namespace {

using namespace std::string_literals;

std::string encodingOf(const std::string& bytes, const std::string& label = "", size_t* bomLength = nullptr) {
  size_t bom = 99;
  std::string error;
  const Encoding* encoding = chooseEncoding(bytes, label, bom, error);
  EXPECT_NE(encoding, nullptr) << error;
  if (bomLength != nullptr) *bomLength = bom;
  return encoding == nullptr ? "" : encoding->name;
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
  EXPECT_EQ(encodingOf("\xEF\xBB\xBF" + meta1251, "koi8-r", &bom), "UTF-8");
  EXPECT_EQ(bom, 3u);
  EXPECT_EQ(encodingOf("\xFF\xFE<\0"s, "koi8-r", &bom), "UTF-16LE");
  EXPECT_EQ(bom, 2u);
  EXPECT_EQ(encodingOf("\xFE\xFF\0<"s, "", &bom), "UTF-16BE");
  EXPECT_EQ(encodingOf(meta1251, " KOI8-r ", &bom), "KOI8-R");
  EXPECT_EQ(bom, 0u);
  EXPECT_EQ(encodingOf("<p>caf\xC3\xA9"), "UTF-8");
  EXPECT_EQ(encodingOf("<p>caf\xE9"), "windows-1252");

  size_t bomLength = 0;
  std::string error;
  EXPECT_EQ(chooseEncoding("<p>", "no-such-charset", bomLength, error), nullptr);
  EXPECT_NE(error.find("no-such-charset"), std::string::npos);
}

TEST(ChooseEncoding, MetaPrescanAsBrowsersRunIt) {
  const struct {
    std::string page;
    std::string encoding;
  } cases[] = {
      {"<meta charset=\"windows-1251\"><p>caf\xC3\xA9", "windows-1251"},  // wins over valid UTF-8
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">", "Shift_JIS"},
      {"<META HTTP-EQUIV=content-type CONTENT='text/html;charset = \"gb2312\"'>", "GBK"},
      // Labels as browsers map them.
      {"<meta charset=\"  LATIN1 \">", "windows-1252"},
      {"<meta charset=iso-8859-1>", "windows-1252"},
      {"<meta charset=us-ascii>", "windows-1252"},
      {"<meta charset=sjis>", "Shift_JIS"},
      {"<meta charset=ks_c_5601-1987>", "EUC-KR"},
      {"<meta charset=x-mac-ukrainian>", "x-mac-cyrillic"},
      // A page cannot declare UTF-16 in bytes that read as ASCII, nor x-user-defined.
      {"<meta charset=utf-16>", "UTF-8"},
      {"<meta charset=x-user-defined><p>caf\xE9", "windows-1252"},
      // A label no browser knows, or a content value without the pragma,
      // says nothing: the next meta decides.
      {"<meta charset=bogus><meta charset=koi8-u>", "KOI8-U"},
      {"<meta content=\"text/html; charset=koi8-r\"><meta charset=big5>", "Big5"},
      // Comments, other tags and their attributes are skipped whole.
      {"<!-- <meta charset=koi8-r> --><p title='<meta charset=koi8-r>'><meta charset=euc-jp>", "EUC-JP"},
      // A meta beyond the first 1024 bytes is not seen.
      {"<p>" + std::string(1100, 'x') + "<meta charset=koi8-r>", "UTF-8"},
  };
  for (const auto& c : cases) EXPECT_EQ(encodingOf(c.page), c.encoding) << c.page;
}

// Real text of every family, read through its label; each expected text is
// the same words in UTF-8.
TEST(Decoding, EveryFamilyReadsItsText) {
  const struct {
    const char* label;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"Shift_JIS", "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67", u8"日本語のテキスト"},
      {"EUC-JP", "\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xA5\xC6\xA5\xAD\xA5\xB9\xA5\xC8", u8"日本語のテキスト"},
      {"ISO-2022-JP",
       "\x1B\x24\x42\x46\x7C\x4B\x5C\x38\x6C\x24\x4E\x25\x46\x25\x2D\x25\x39\x25\x48\x1B\x28\x42",
       u8"日本語のテキスト"},
      {"GBK", "\xD6\xD0\xCE\xC4\xCD\xF8\xD2\xB3", u8"中文网页"},
      {"gb18030", "\xD6\xD0\xCE\xC4\x94\x39\xFC\x36", u8"中文😀"},  // a four-byte sequence
      {"gb2312", "\x94\x39\xFC\x36", u8"😀"},                       // read as GB18030 too
      {"Big5", "\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5", u8"繁體中文"},
      {"EUC-KR", "\xC7\xD1\xB1\xB9\xBE\xEE\x20\x8C\x63", u8"한국어 똠"},  // 똠 only in code page 949
      {"cp1251", "\xCF\xF0\xE8\xE2\xE5\xF2", u8"Привет"},
      {"KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", u8"Привет"},
      {"koi8-u", "\xF5\xCB\xD2\xC1\xA7\xCE\xC1\x20\xAE", u8"Україна ў"},
      {"windows-1250", "\xAF\xF3\xB3\xE6", u8"Żółć"},
      {"latin2", "\xAF\xF3\xB3\xE6", u8"Żółć"},
      {"windows-1256", "\xE3\xD1\xCD\xC8\xC7", u8"مرحبا"},
      {"arabic", "\xE5\xD1\xCD\xC8\xC7", u8"مرحبا"},
      {"windows-1255", "\xF9\xEC\xE5\xED", u8"שלום"},
      {"iso-8859-8-i", "\xF9\xEC\xE5\xED", u8"שלום"},
      {"utf-16le", "\x41\x00\xE9\x00\x3D\xD8\x00\xDE"s, u8"Aé😀"},
      {"UTF-16BE", "\x00\x41\x00\xE9\xD8\x3D\xDE\x00"s, u8"Aé😀"},
      {"latin1", "\x80\xE9", u8"€é"},
      {"ascii", "\x80\xE9", u8"€é"},
      {"x-user-defined", "a\x80\xFF", "a\xEF\x9E\x80\xEF\x9F\xBF"},  // U+F780, U+F7FF
  };
  for (const auto& c : cases) {
    const Encoding* encoding = encodingForLabel(c.label);
    ASSERT_NE(encoding, nullptr) << c.label;
    EXPECT_EQ(decodeToUtf8(c.bytes, *encoding), c.text) << c.label;
  }
}

// What the bytes do not encode becomes U+FFFD, one for each broken
// character, and the markup around it survives.
TEST(Decoding, BrokenBytesBecomeReplacementCharacters) {
  const std::string fffd = u8"\uFFFD";
  const struct {
    const char* label;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"utf-8", "caf\xE9 \xE2\x82x \xF0\x9F\x98\x80 \xC0\xAF",
       "caf" + fffd + " " + fffd + u8"x 😀 " + fffd + fffd},
      {"Shift_JIS", "\x81\xFF<p>\x81<p>",
       fffd + "<p>" + fffd + "<p>"},  // a non-ASCII trail goes with its lead
      {"Shift_JIS", "\x80\xA0", u8"\u0080" + fffd},
      {"gb18030", "\x80\xFF", u8"€" + fffd},
      {"EUC-KR", "\xC7", fffd},  // cut off by the end
      {"windows-1252", "\x81\x9D", u8"\u0081\u009D"},
      {"windows-1253", "\xAA\x81", fffd + u8"\u0081"},
      {"iso-8859-8", "\xBF", fffd},
      {"utf-16le", "\x3D\xD8\x41\x00\x42"s, fffd + "A" + fffd},  // an unpaired surrogate, an odd byte
      {"iso-2022-kr", "\x1B\x24\x29\x43 anything", fffd},
  };
  for (const auto& c : cases) {
    const Encoding* encoding = encodingForLabel(c.label);
    ASSERT_NE(encoding, nullptr) << c.label;
    EXPECT_EQ(decodeToUtf8(c.bytes, *encoding), c.text) << c.label;
  }
  EXPECT_TRUE(isValidUtf8("\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
  for (const char* broken :
       {"\xC3", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80"})
    EXPECT_FALSE(isValidUtf8(broken)) << broken;
  EXPECT_EQ(firstInvalidUtf8("ok \xC3\xA9 \xE2\x82"), 6u);
}

TEST(PageLoader, DecodesEveryPageToUtf8) {
  EXPECT_EQ(load("<title>x</title><p>caf\xE9").markup, "<body>\r\n<p>caf\xC3\xA9</p></body>");
  EXPECT_EQ(load("<p>caf\xE9").encoding, "windows-1252");
  EXPECT_EQ(load("<meta charset=koi8-r><p>\xD4\xC5\xCB\xD3\xD4").markup,
            "<body>\r\n<p>\xD1\x82\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82</p></body>");
  EXPECT_EQ(load("<p>caf\xC3\xA9", "windows-1252").markup, "<body>\r\n<p>caf\xC3\x83\xC2\xA9</p></body>");
  // A given label reads bytes it does not encode as browsers do.
  EXPECT_EQ(load("<p>caf\xE9 ok", "utf-8").markup, "<body>\r\n<p>caf\xEF\xBF\xBD ok</p></body>");
  EXPECT_EQ(load("<meta charset=utf-8><p>caf\xE9").markup, "<body>\r\n<p>caf\xEF\xBF\xBD</p></body>");
  // Text before the head that starts with white space reaches the parser
  // without it: the parser's own dropping leaves the text room it does not
  // have, and what joins it is written past its end (a sanitizer report).
  EXPECT_EQ(load(std::string(16, '\n') + "e<rabcdefghi").markup.rfind("<body>e", 0), 0u);
  // NUL bytes, beyond the first kilobytes, vanish from text as in a browser.
  const std::string late = "<meta charset=utf-8>" + std::string(9000, ' ') + "<p>\0\0b\x90\0\x1B\x82\0"s;
  EXPECT_EQ(load(late).markup, "<body>\r\n<p>b\xEF\xBF\xBD\x1B\xEF\xBF\xBD</p></body>");

  // Every page after a UTF-16 one, or after a failure, parses as the first.
  PageLoader loader;
  LoadedPage page;
  EXPECT_EQ(loader.load("<p>x", "bogus", page), LoadStatus::kUnknownEncoding);
  for (const std::string& before : {"\xFF\xFE<\0p\0>\0\xE9\0"s, "\xFE\xFF\0<\0p\0>\0\xE9"s,
                                    "\x7F"
                                    "ELF\0\0"s}) {
    loader.load(before, "", page);
    EXPECT_EQ(loader.load("<p>after", "", page), LoadStatus::kLoaded);
    EXPECT_EQ(page.markup, "<body>\r\n<p>after</p></body>");
  }
}

TEST(PageLoader, RefusesWhatIsNoPageAndBodiesWithoutText) {
  const struct {
    std::string bytes;
    LoadStatus status;
  } cases[] = {
      {"\x7F"
       "ELF\x02\x01\x01\0\0\0<p>text"s,
       LoadStatus::kNotText},
      {"<p>text\0 in the first kilobytes"s, LoadStatus::kNotText},
      {"<p>text" + std::string(9000, ' ') + "\0 later"s, LoadStatus::kLoaded},
      {"\xFF\xFE<\0p\0>\0x\0"s, LoadStatus::kLoaded},  // UTF-16 holds NUL bytes
      {"", LoadStatus::kNoText},
      {"<title>Only a title</title>", LoadStatus::kNoText},
      {"<body> \r\n\t<img alt=photo><script>var text;</script><style>p{}</style><noscript>on</noscript>",
       LoadStatus::kNoText},
      {"<body><template><p>inert</p></template><iframe>frame</iframe><noscript><p>on</p></noscript>",
       LoadStatus::kNoText},
      {"<body><xmp>shown</xmp>", LoadStatus::kLoaded},
      {"<body><svg><text>drawn</text></svg>", LoadStatus::kLoaded},
  };
  PageLoader loader;
  for (const auto& c : cases) {
    LoadedPage page;
    EXPECT_EQ(loader.load(c.bytes, "", page), c.status) << c.bytes.substr(0, 40);
    EXPECT_EQ(page.error.empty(), c.status == LoadStatus::kLoaded) << page.error;
  }
}

TEST(PageLoader, SerializesTheBodyAsTheWindowsBrowserHandsItOver) {
  // Text escaped, attribute values quoted and escaped, implied end tags
  // written, void elements without end tags, raw text as it is, and a line
  // break before every block-level element that does not start a line.
  const LoadedPage page = load(
      "<html><head><title>t</title></head><BODY Class=main data-x='a\"b<c>&amp;'>"
      "<p>a &amp; b&nbsp;c &lt;d&gt; \"q\"<p>two<br/>lines<img src=x alt=y>"
      "<script>if (a < b && c > d) {}</script><style>p > a {}</style>"
      "<!-- a comment --><textarea><b>&lt;</textarea><ul><li>one<li>two</ul></body></html>");
  EXPECT_EQ(
      page.markup,
      "<body class=\"main\" data-x=\"a&quot;b&lt;c&gt;&amp;\">\r\n"
      "<p>a &amp; b&nbsp;c &lt;d&gt; \"q\"</p>\r\n<p>two<br>lines<img src=\"x\" alt=\"y\">\r\n"
      "<script>if (a < b && c > d) {}</script>\r\n<style>p > a {}</style>"
      "<!-- a comment --><textarea>&lt;b&gt;&lt;</textarea></p>\r\n<ul>\r\n<li>one</li>\r\n<li>two</li></ul>"
      "</body>");
  // A block that starts a line already gets no second break; inline
  // elements and foreign ones get none.
  EXPECT_EQ(
      load("<div>\n<p>a <span>b</span></p><svg><title>s</title></svg><h1>c</h1>").markup,
      "<body>\r\n<div>\r\n<p>a <span>b</span></p><svg><title>s</title></svg>\r\n<h1>c</h1></div></body>");
  // Content after the body's end tag still belongs to the body.
  EXPECT_EQ(load("<body><p>in</p></body><p>after").markup, "<body>\r\n<p>in</p>\r\n<p>after</p></body>");
  // Line ends in text come out as CR LF, whatever the page used; attribute
  // values keep theirs.
  EXPECT_EQ(load("<body title='x\ny'>a\nb\r\nc\rd</body>").markup,
            "<body title=\"x\ny\">a\r\nb\r\nc\r\nd</body>");
  // The modern analysis gets no comments: they hold no text, and its
  // scanner need not know where one ends.
  PageLoader modern(Analysis::kModern);
  LoadedPage uncommented;
  ASSERT_EQ(modern.load("<body><!-- a -- b -- c > d --><p>text<!-- x --></p>", "", uncommented),
            LoadStatus::kLoaded);
  EXPECT_EQ(uncommented.markup, "<body>\r\n<p>text</p></body>");
  // A frameset page's body is its frameset; the text is in its frames.
  PageLoader loader;
  LoadedPage frames;
  EXPECT_EQ(loader.load("<frameset><frame src=a></frameset>", "", frames), LoadStatus::kNoText);
  EXPECT_EQ(frames.markup, "<frameset>\r\n<frame src=\"a\"></frameset>");
}

// However deep the markup nests, the tree stops at a fixed depth, as in a
// browser: the elements beyond it are left out and their text joins the
// deepest element, so that parsing stays linear. Text split by tags the tree
// builder ignores joins one text of its own size, not a square of it.
TEST(PageLoader, DeepNestingStopsAtAFixedDepthAndKeepsTheText) {
  const int depth = 100000;
  std::string html = "<body>";
  for (int i = 0; i < depth; ++i) html += "<div><span>w";
  html += "deep";
  const LoadedPage page = load(html);
  size_t opened = 0;
  for (size_t at = page.markup.find("<div>"); at != std::string::npos; at = page.markup.find("<div>", at + 1))
    ++opened;
  EXPECT_GT(opened, 200u);
  EXPECT_LT(opened, 600u);
  EXPECT_EQ(std::count(page.markup.begin(), page.markup.end(), 'w'), depth);
  EXPECT_NE(page.markup.find(std::string(depth - opened, 'w') + "deep"), std::string::npos);

  std::string split = "<body><p>";
  for (int i = 0; i < depth; ++i) split += "w</x>";
  EXPECT_EQ(load(split).markup, "<body>\r\n<p>" + std::string(depth, 'w') + "</p></body>");
}

// A formatting element left open at the end of its paragraph opens again,
// as a copy, in the next one. Left open under ever new attributes, every
// paragraph would copy all the earlier ones; a cap keeps the copies per
// paragraph few, and the text whole.
TEST(PageLoader, FormattingLeftOpenIsCopiedAFewTimesAtMost) {
  const int paragraphs = 2000;
  std::string html = "<body>";
  for (int i = 0; i < paragraphs; ++i) html += "<p><b id=" + std::to_string(i) + ">x</p>";
  const LoadedPage page = load(html);
  size_t bold = 0;
  for (size_t at = page.markup.find("<b "); at != std::string::npos; at = page.markup.find("<b ", at + 1))
    ++bold;
  EXPECT_GE(bold, static_cast<size_t>(paragraphs));
  EXPECT_LE(bold, static_cast<size_t>(paragraphs) * 10);
  EXPECT_EQ(std::count(page.markup.begin(), page.markup.end(), 'x'), paragraphs);
  // Formatting nested as pages nest it stays whole.
  EXPECT_EQ(load("<p><font><b><i><u><a href=x><em>deep</em></a></u></i></b></font>").markup,
            "<body>\r\n<p><font><b><i><u><a href=\"x\"><em>deep</em></a></u></i></b></font></p></body>");
}

TEST(PageLoader, TitleAndWhereThePageCameFrom) {
  LoadedPage page = load(
      "<!DOCTYPE html>\r\n<!-- saved from url=(0029)https://example.org/a b?c=(1) -->\r\n"
      "<html><head><title>\n  Two \r\n \f words\t</title><title>second</title>"
      "<link rel=\"canonical\" href=\"https://example.org/canonical\"></head><body><p>x</p></body></html>");
  EXPECT_EQ(page.title, "Two words");
  EXPECT_EQ(page.url, "https://example.org/a b?c=(1)") << "the count keeps spaces and parentheses";

  page = load(
      "<html><head><link rel=\"stylesheet\" href=\"https://example.org/s.css\">"
      "<link rel=\"Alternate  CANONICAL\" href=\" https://example.org/c \"></head><p>x");
  EXPECT_EQ(page.url, "https://example.org/c");
  EXPECT_EQ(page.title, "");

  // A drawing's title is not the page's; the page's own comes after it.
  EXPECT_EQ(load("<body><svg><title>Icon</title></svg><p>x").title, "");
  EXPECT_EQ(load("<body><svg><title>Icon</title></svg><title>Page</title><p>x").title, "Page");
  EXPECT_EQ(stripAndCollapseWhitespace("\t a \n\n b\r "), "a b");

  // A relative canonical link says nothing without the page's address; a
  // count that runs past the comment takes the first word.
  EXPECT_EQ(load("<link rel=canonical href=/relative><p>x").url, "");
  EXPECT_EQ(load("<!-- saved from url=(0999)http://example.org/x --><p>x").url, "http://example.org/x");
  EXPECT_EQ(load("<body><!-- saved from url=(0020)http://example.org/ --><p>x").url, "http://example.org/");
  EXPECT_EQ(load("<title>caf\xE9 &amp; bar</title><p>x").title, "caf\xC3\xA9 & bar");
}

}  // namespace
}  // namespace brevanto::cli
