// Loading a page as a browser does: the text it decodes to, the serialized
// body, and the title and URL the page gives.
#include "cli/page_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace brevanto::cli {
namespace {

using namespace std::string_literals;

LoadedPage load(const std::string& bytes, const std::string& label = "", const std::string& transport = "") {
  PageLoader loader;
  LoadedPage page;
  EXPECT_EQ(loader.load(bytes, label, transport, page), LoadStatus::kLoaded) << page.error;
  return page;
}

TEST(PageLoader, DecodesEveryPageToUtf8) {
  EXPECT_EQ(load("<title>x</title><p>caf\xE9").markup, "<body>\r\n<p>caf\xC3\xA9</p></body>");
  EXPECT_EQ(load("<p>caf\xE9").encoding, "windows-1252");
  EXPECT_EQ(load("<meta charset=koi8-r><p>\xD4\xC5\xCB\xD3\xD4").markup,
            "<body>\r\n<p>\xD1\x82\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82</p></body>");
  EXPECT_EQ(load("<p>caf\xC3\xA9", "windows-1252").markup, "<body>\r\n<p>caf\xC3\x83\xC2\xA9</p></body>");
  // The label a page was served with outranks its own meta.
  EXPECT_EQ(load("<meta charset=utf-8><p>\xD4\xC5\xCB\xD3\xD4", "", "koi8-r").markup,
            "<body>\r\n<p>\xD1\x82\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82</p></body>");
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

// A <meta> beyond the prescan's 1024 bytes that the parser meets decides
// where the encoding was only guessed: the page is read again in it. Where
// anything else decided, or the bytes are UTF-8, it is too late.
TEST(PageLoader, ALateMetaOverrulesAGuessOnly) {
  const std::string scripts = "<script>var consent = '" + std::string(1100, 'x') + "';</script>";
  const std::string koi8 = "<p>\xD4\xC5\xCB\xD3\xD4";  // "тескт" in KOI8-R
  const std::string koi8Text = "<p>\xD1\x82\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82";
  const struct {
    std::string bytes;
    const char* user;
    const char* transport;
    const char* encoding;
    std::string text;  // in the markup handed over
  } cases[] = {
      // UTF-8 with one stray byte would be guessed windows-1252.
      {scripts + "<meta charset=utf-8><p>caf\xC3\xA9 \xA9", "", "", "UTF-8",
       "<p>caf\xC3\xA9 \xEF\xBF\xBD</p>"},
      {scripts + "<META CHARSET=koi8-r>" + koi8, "", "", "KOI8-R", koi8Text},
      {scripts + "<meta http-equiv=Content-Type content='text/html; CHARSET=koi8-r'>" + koi8, "", "",
       "KOI8-R", koi8Text},
      {scripts + "<body>" + koi8 + "<meta charset=koi8-r>", "", "", "KOI8-R", koi8Text},
      // The first meta that declares one decides.
      {scripts + "<meta name=x><meta charset=koi8-r><meta charset=utf-8>" + koi8, "", "", "KOI8-R", koi8Text},
      // What only looks like a meta is no meta.
      {scripts + "<script>document.write('<meta charset=koi8-r>')</script><!-- <meta charset=koi8-r> -->" +
           koi8,
       "", "", "windows-1252", "<p>\xC3\x94\xC3\x85\xC3\x8B\xC3\x93\xC3\x94</p>"},
      // Too late where something else decided.
      {scripts + "<meta charset=windows-1252><p>caf\xC3\xA9", "", "", "UTF-8", "<p>caf\xC3\xA9</p>"},
      {"<meta charset=koi8-r>" + scripts + "<meta charset=utf-8>" + koi8, "", "", "KOI8-R", koi8Text},
      {scripts + "<meta charset=utf-8>" + koi8, "koi8-r", "", "KOI8-R", koi8Text},
      {scripts + "<meta charset=utf-8>" + koi8, "", "koi8-r", "KOI8-R", koi8Text},
  };
  for (const auto& c : cases) {
    const LoadedPage page = load(c.bytes, c.user, c.transport);
    EXPECT_EQ(page.encoding, c.encoding) << c.bytes.substr(scripts.size());
    EXPECT_NE(page.markup.find(c.text), std::string::npos) << c.bytes.substr(scripts.size()) << "\n"
                                                           << page.markup;
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
  // Binary data that reads like UTF-16 says how to read it.
  LoadedPage page;
  EXPECT_EQ(loader.load("<\0p\0>\0x\0<\0/\0p\0>\0"s, "", page), LoadStatus::kNotText);
  EXPECT_EQ(page.error,
            "not a web page: binary data (it reads like UTF-16 without a byte-order mark: try --encoding "
            "utf-16le)");
  EXPECT_EQ(loader.load("<\0p\0>\0x\0"s, "utf-16le", page), LoadStatus::kLoaded) << page.error;
}

// A title without its end tag takes the rest of the page, and a browser
// shows nothing. Where the body is left without text, the title ends at
// its next markup, as in the browsers such pages were written for; where
// the body holds text, the page stays as a browser reads it.
TEST(PageLoader, ATitleWithoutItsEndTagEndsAtItsNextMarkup) {
  const struct {
    std::string bytes;
    LoadStatus status;
    const char* title;
    const char* markup;
  } cases[] = {
      {"<title>Ferry\nnews<link rel=x><script>var a;</script><body><p>text", LoadStatus::kLoaded,
       "Ferry news", "<body>\r\n<p>text</p></body>"},
      {"<title>a</title><TITLE>b<!-- c --><p>text", LoadStatus::kLoaded, "a", "<body>\r\n<p>text</p></body>"},
      {"<title>Only a title, & nothing after it", LoadStatus::kNoText, "Only a title, & nothing after it",
       ""},
      {"<title>Tips</titles> and tricks<p>text", LoadStatus::kLoaded, "Tips",
       "<body>and tricks\r\n<p>text</p></body>"},
      // A title that ends is no runaway, whatever it holds.
      {"<title>a <b>bold</b> title</TITLE >\n<body> ", LoadStatus::kNoText, "a <b>bold</b> title", ""},
      {"<body><p>shown</p><title>x<p>y", LoadStatus::kLoaded, "x<p>y",
       "<body>\r\n<p>shown</p><title>x&lt;p&gt;y</title></body>"},
  };
  PageLoader loader;
  for (const auto& c : cases) {
    LoadedPage page;
    EXPECT_EQ(loader.load(c.bytes, "", page), c.status) << c.bytes;
    EXPECT_EQ(page.title, c.title) << c.bytes;
    if (c.status == LoadStatus::kLoaded) {
      EXPECT_EQ(page.markup, c.markup) << c.bytes;
    }
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
