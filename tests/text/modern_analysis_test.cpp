// The rules of the modern analysis, each on the smallest markup that shows
// it. Whole pages for each rule are page cases in tests/pages.
#include <gtest/gtest.h>

#include <string>

#include "extractor/extraction_pipeline.h"
#include "extractor/output/output.h"
#include "extractor/page_text.h"
#include "tests/support/pipeline_checks.h"

namespace brevanto {
namespace {

const std::string kArticle =
    "<P>The council met on Tuesday evening to settle the budget.</P>"
    "<P>Most of the money goes to the schools and the roads this year.</P>";

// The body's text after a modern analysis of `body` (the markup inside BODY).
std::string modernBodyText(const std::string& body) {
  const std::string markup = "<BODY>" + body + "</BODY>";
  ExtractionPipeline p(Analysis::kModern);
  p.analyze(markup.c_str());
  testing::expectTagInvariants(p, markup);
  testing::expectTreeInvariants(p);
  return testing::textOf(p, 0);
}

TEST(ModernAnalysis, ChromeIsLeftOutOfEveryText) {
  struct Case {
    std::string body;
    bool chrome;  // whether the word "FURNITURE" is left out
  };
  const Case cases[] = {
      {"<NAV><A href=/>FURNITURE</A></NAV>", true},
      {"<ASIDE>FURNITURE</ASIDE>", true},
      {"<HEADER>FURNITURE</HEADER>", true},
      {"<ARTICLE><HEADER><H1>FURNITURE</H1></HEADER>" + kArticle + "</ARTICLE>", false},
      {"<MAIN><DIV><FOOTER>FURNITURE</FOOTER></DIV></MAIN><FOOTER>other</FOOTER>", false},
      {"<SECTION></SECTION><FOOTER>FURNITURE</FOOTER>", true},
      {"<SVG><SVG>x</SVG><TEXT>FURNITURE</TEXT></SVG>after", true},
      {"<TEMPLATE><TEMPLATE>x</TEMPLATE>FURNITURE</TEMPLATE>", true},
      {"<CANVAS>FURNITURE</CANVAS>", true},
      {"<DIV class=\"site-menu\">FURNITURE</DIV>", true},
      {"<DIV class='topMenuBox'>FURNITURE</DIV>", true},
      {"<UL id=comments>FURNITURE</UL>", true},
      {"<DIV class=\"sidebar\" id=\"sidebar-2\">FURNITURE</DIV>", true},
      {"<DIV\nclass=share>FURNITURE</DIV>", true},
      {"<DIV class=\"sidebar post\">FURNITURE</DIV>", false},
      {"<DIV class=\"ad\" id=\"article-1\">FURNITURE</DIV>", false},
      {"<DIV class=\"adverb heading navigational\">FURNITURE</DIV>", false},
      {"<DIV class=\"menu-\">FURNITURE</DIV>", true},
      {"<DIV data-class=\"menu\">FURNITURE</DIV>", false},
      // An element that wraps most of the paragraphs wraps the article,
      // whatever it is called.
      {"<DIV class=ad-layer>FURNITURE" + kArticle + "</DIV><P>Last words of the page.</P>", false},
      {"<DIV class=ad-layer>FURNITURE<P>one</P></DIV>" + kArticle, true},
      // No names, kind or style make furniture of the element that holds
      // most of the page's visible text; furniture by its element is what it
      // says it is.
      {"<DIV class=comments>FURNITURE, comments that are most of the page</DIV>", false},
      {"<DIV class=menu><FORM>FURNITURE, a form that is most of the page</FORM></DIV>", false},
      {"<NAV>FURNITURE, the text of a page that is a menu and little else</NAV>", true},
      // Forms, buttons and hidden elements are furniture.
      {"<FORM><P>FURNITURE</P></FORM>" + kArticle, true},
      {"<FORM>FURNITURE" + kArticle + "</FORM>", false},
      {"<BUTTON>FURNITURE</BUTTON>" + kArticle, true},
      {"<DIV hidden>FURNITURE</DIV>" + kArticle, true},
      {"<DIV style=\"color: red; DISPLAY : none !important\">FURNITURE</DIV>" + kArticle, true},
      {"<P style='visibility:hidden'>FURNITURE</P>" + kArticle, true},
      {"<DIV style=\"display:block\" class=hidden>FURNITURE</DIV>" + kArticle, false},
      {"<DIV style=display:none>FURNITURE" + kArticle + "</DIV>", false},
      // An aside named as the article with two paragraphs is the article; an
      // aside, or another element, holding most of the paragraphs wraps it.
      {"<ASIDE class=blogPost>FURNITURE" + kArticle + "</ASIDE>" + kArticle + kArticle, false},
      {"<ASIDE class=related>FURNITURE" + kArticle + "</ASIDE>" + kArticle + kArticle, true},
      {"<ASIDE class=blogPost>FURNITURE<P>one</P></ASIDE>" + kArticle, true},
      {"<FOOTER class=content-footer>FURNITURE" + kArticle + "</FOOTER>" + kArticle + kArticle, true},
      {"<ASIDE>FURNITURE" + kArticle + "</ASIDE><P>Last words of the page.</P>", false},
      // A class name that ends in "layout" lays out the page; "widget" inside
      // a box named as content is a builder's box.
      {"<DIV class=\"c-fixed-sidebar-layout\">FURNITURE</DIV>", false},
      {"<DIV class=\"pageSidebarLayout\">FURNITURE</DIV>", false},
      {"<DIV class=\"layout-sidebar\">FURNITURE</DIV>", true},
      {"<DIV class=\"grid-layout sidebar\">FURNITURE</DIV>", true},
      {"<DIV class=text-editor><DIV class=sb-widget-container>FURNITURE</DIV></DIV>", false},
      {"<DIV class=box><DIV class=sb-widget-container>FURNITURE</DIV></DIV>", true},
      {"<DIV class=text-editor><DIV class=\"widget nav\">FURNITURE</DIV></DIV>", true},
      {"<DIV class=text-editor><DIV><DIV class=widget>FURNITURE</DIV></DIV></DIV>", true},
      // The role an element declares says what it is, in every language;
      // of a list of roles the first one known counts.
      {"<DIV role=navigation>FURNITURE</DIV>", true},
      {"<TABLE role=\"presentation COMPLEMENTARY\"><TR><TD>FURNITURE</TD></TR></TABLE>", true},
      {"<DIV role=dialog>FURNITURE</DIV>", true},
      {"<DIV role=main class=sidebar>FURNITURE</DIV>", false},
      {"<DIV role=\"article banner\">FURNITURE</DIV>", false},
      {"<DIV role=button>FURNITURE</DIV>", false},
      // Pages name their boxes in their own languages, with or without
      // accents; a character beyond ASCII is part of its word.
      {"<DIV class=\"bloque-publicidad\">FURNITURE</DIV>", true},
      {"<SECTION id=kommentare>FURNITURE</SECTION>", true},
      {"<DIV class=\"zone publicit\xC3\xA9\">FURNITURE</DIV>", true},
      {"<DIV class=\"men\xC3\xBC-oben\">FURNITURE</DIV>", true},
      {"<DIV class=\"reklama-leader\">FURNITURE</DIV>", true},
      {"<DIV class=\"sidebar artikel-inhalt\">FURNITURE</DIV>", false},
      {"<DIV class=\"sidebar mat\xC3\xA9ria\">FURNITURE</DIV>", false},
      {"<DIV class=\"nav\xC5\xA1t\xC4\x9Bvy\">FURNITURE</DIV>", false},
  };
  // Around each case, more of the page's text than the furniture holds.
  const std::string around = "<DIV>Other words of the page.</DIV>";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    const std::string text = modernBodyText(c.body + around);
    EXPECT_EQ(text.find("FURNITURE") == std::string::npos, c.chrome) << text;
  }
  // The body and the document element are never chrome.
  EXPECT_EQ(modernBodyText("<HTML class=nav><P>words</P></HTML>"), "words");
  const std::string markup = "<BODY class=\"sidebar\">words</BODY>";
  ExtractionPipeline p(Analysis::kModern);
  p.analyze(markup.c_str());
  EXPECT_EQ(testing::textOf(p, 0), "words");
}

TEST(ModernAnalysis, SharesCountVisibleBytes) {
  // Indentation and line breaks of the markup are not content: every length
  // that the shares compare counts the bytes above the blank, links too.
  const std::string markup =
      "<BODY>\n  <DIV>\n    <P> a  b </P>\n\t<P>c&nbsp;d</P>\n  </DIV>\n  <A href=x> l i </A>\n</BODY>";
  ExtractionPipeline modern(Analysis::kModern);
  modern.analyze(markup.c_str());
  EXPECT_EQ(modern.body.textLength, 6);
  EXPECT_EQ(modern.body.linkTextLength, 2);
  EXPECT_EQ(modern.body.plainLength, 4);
  EXPECT_EQ(modern.tags[0].textLength, static_cast<int>(testing::textOf(modern, 0).size()));
  EXPECT_DOUBLE_EQ(modern.sharesOf(modern.tags[2]).plainShare, 50.0);
  EXPECT_NE(modern.dumpTree().find("BODY #0 text=13 visible=6 link=2 "), std::string::npos)
      << modern.dumpTree();

  ExtractionPipeline classic;
  classic.analyze(markup.c_str());
  EXPECT_EQ(classic.body.textLength, classic.tags[0].textLength);
  EXPECT_EQ(classic.body.linkTextLength, 5);
  EXPECT_EQ(classic.dumpTree().find("visible="), std::string::npos);

  // An element of white space only is pruned: it shows nothing.
  ExtractionPipeline blank(Analysis::kModern);
  blank.analyze("<BODY><DIV>\n \t</DIV><P>x</P><P>y</P></BODY>");
  EXPECT_EQ(testing::childrenOf(blank.root.firstChild).size(), 2u) << blank.dumpTree();
}

TEST(ModernAnalysis, EveryChosenElementSaysWhy) {
  const std::string menu =
      "<UL><LI><A href=/a>Home page</A></LI><LI><A href=/b>World news</A></LI>"
      "<LI><A href=/c>Sports and more</A></LI></UL>";
  const std::string longParagraph =
      "<P>A long paragraph of the same article follows the lead, and it holds a good share of the "
      "words of the page.</P>";
  const std::string shortNotes = "<DIV><P>A short note up top.</P><P>Another short note.</P></DIV>";
  auto brokenLines = [](int count) {
    std::string lines;
    for (int i = 0; i < count; ++i) {
      lines += (i > 0 ? "<BR>" : "") + std::string("Line ") + std::to_string(i) +
               " of the walk, long enough to count as a block of its own text.";
    }
    return lines;
  };
  std::string teasers;
  for (int i = 0; i < 5; ++i) {
    teasers +=
        "<ARTICLE><H3>Another story</H3><P>A teaser of another story, of some length, to read next time "
        "around.</P></ARTICLE>";
  }
  struct Case {
    const char* what;
    std::string body;
    const char* chosen;  // dumpContent after the analysis line
  };
  const Case cases[] = {
      {"paragraphs", menu + "<DIV>" + kArticle + "</DIV>", "content #15 DIV: paragraphs\n"},
      {"the next post beside the chosen one, not the linked heading or the paragraph between",
       menu + "<DIV><DIV>" + kArticle + "</DIV><H2><A href=/m>More</A></H2>" + longParagraph +
           "<DIV><H3>Next post</H3>" + longParagraph + "</DIV></DIV>",
       "content #16 DIV: paragraphs\ncontent #28 DIV: sibling\n"},
      {"chosen siblings with a headline and words between them, without links, are their parent",
       menu + "<DIV><DIV>" + kArticle + "</DIV><H2>More</H2>" + longParagraph + "<DIV><H3>Next post</H3>" +
           longParagraph + "</DIV></DIV>",
       "content #15 DIV: parent\n"},
      {"no sibling that is a list of links, or holds too little of the text",
       menu + "<DIV><DIV>" + kArticle +
           "</DIV><P><A href=/r>Read the next story, it is long</A> now</P>"
           "<DIV><H3>N</H3><P>Hi</P></DIV></DIV>",
       "content #16 DIV: paragraphs\n"},
      {"no sibling that is too much links: a list of them, however long",
       menu + "<DIV><DIV>" + kArticle +
           "</DIV><DIV><H3>Next</H3><P>The next block has words of its own, and <A href=/n>a link that runs "
           "about as long as they do</A>.</P></DIV></DIV>",
       "content #16 DIV: paragraphs\n"},
      {"no sibling without a P: a block of another kind",
       menu + "<DIV><DIV>" + kArticle +
           "</DIV><DIV><H3>Another heading</H3><DIV>A block of words without a paragraph, long enough to "
           "count as much as the article does.</DIV></DIV></DIV>",
       "content #16 DIV: paragraphs\n"},
      {"a sibling taken with a chosen element inside it is written once, whole",
       menu + "<DIV><DIV>" + kArticle + "</DIV><DIV><H3>More</H3>" + longParagraph + "<DIV>" + kArticle +
           "</DIV></DIV></DIV>",
       "content #16 DIV: paragraphs\ncontent #22 DIV: sibling\n"},
      {"a list of links inside the chosen element is left out",
       menu + "<DIV><P>First paragraph of the story, long enough.</P><UL><LI><A href=/1>Related one</A></LI>"
              "<LI><A href=/2>Related two</A></LI></UL><P>Second paragraph, with <A href=/3>a link</A> in "
              "it.</P></DIV>",
       "content #15 DIV: paragraphs\n  without #18 UL: links\n"},
      {"best score", menu + "<DIV>Text without any paragraph, yet the most of the page</DIV>",
       "content #15 DIV: best score\n"},
      {"a choice that holds little gives way to the element its blocks vote for: lines joined by breaks",
       menu + shortNotes + "<DIV>" + brokenLines(4) + "</DIV>", "content #21 DIV: votes\n"},
      {"with it come its siblings of nearly as many votes, not a box beside them",
       menu + shortNotes + "<DIV><DIV>" + brokenLines(3) + "</DIV><DIV>" + brokenLines(4) +
           "</DIV><DIV><A href=/s>Subscribe</A> today.</DIV></DIV>",
       "content #22 DIV: voted sibling\ncontent #26 DIV: votes\n"},
      {"the text of an article votes for it alone, not for a list of teasers",
       menu +
           "<ARTICLE><H1>The headline</H1><P>One long paragraph of the article that runs on and on. One long "
           "paragraph of the article that runs on and on. One long paragraph of the article that runs on and "
           "on.</P><P><A href=/s>Share</A></P></ARTICLE><DIV>" +
           teasers + "</DIV>",
       "content #15 ARTICLE: paragraphs\n  without #20 P: links\n"},
      {"a small block far from the largest is left out",
       menu + "<DIV>" + kArticle + longParagraph + longParagraph +
           "</DIV><DIV><DIV><P>A comment far below.</P><P>Another one, short.</P></DIV><DIV>By a "
           "reader</DIV></DIV>",
       "content #15 DIV: paragraphs\n"},
      {"a text chosen twice is written once",
       menu + "<DIV>" + kArticle + "</DIV><SECTION><DIV>" + kArticle + "</DIV></SECTION>",
       "content #15 DIV: paragraphs\n"},
      {"a body without links whose text is spread thin",
       "<DIV><P>Puzzle one</P><P>Puzzle two</P></DIV><TABLE><TR><TD>across words and clues</TD></TR></TABLE>"
       "<TABLE><TR><TD>down words and clues</TD></TR></TABLE><TABLE><TR><TD>the answers</TD></TR></TABLE>",
       "content #0 BODY: document\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string markup = "<BODY>" + c.body + "</BODY>";
    ExtractionPipeline p(Analysis::kModern);
    p.analyze(markup.c_str());
    EXPECT_EQ(p.dumpContent(p.chooseContent()), std::string("analysis modern\n") + c.chosen) << p.dumpTree();
  }
  // The classic analysis keeps to its two reasons.
  // The markup outlives the analysis: the tags point into it.
  const std::string pair =
      "<BODY>" + menu + "<DIV><DIV>" + kArticle + "</DIV>" + longParagraph + "</DIV></BODY>";
  ExtractionPipeline classic;
  classic.analyze(pair.c_str());
  EXPECT_EQ(classic.dumpContent(classic.chooseContent()), "analysis classic\ncontent #16 DIV: paragraphs\n");
  ExtractionPipeline empty(Analysis::kModern);
  empty.analyze("");
  EXPECT_EQ(empty.dumpContent(empty.chooseContent()), "analysis modern\ncontent (none)\n");
}

TEST(ModernAnalysis, BlocksOfTextMeasureAlikeInEveryScript) {
  // A page whose first choice holds little, an article of four long lines
  // and a list of eight short ones: a line shorter than a sentence is no
  // block of text in any script, however many bytes its letters take, and
  // the list is left out; a line of a sentence is one, in the scripts
  // written without spaces too, and the list is written.
  struct Case {
    std::string articleLine;
    std::string listLine;
    bool listWritten;
  };
  const std::string latin =
      "The fishermen came back to the harbour at dawn and sold the whole catch before noon.";
  const std::string cyrillic = "Рыбаки вернулись в порт на рассвете, и весь улов продали ещё до полудня.";
  const std::string arabic = "عاد الصيادون إلى الميناء عند الفجر وباعوا كل ما اصطادوه قبل الظهر.";
  const std::string japanese = "漁師たちは夜明けに港へ戻り、昼前には魚をすべて売り切った。";
  const Case cases[] = {
      {latin, "Tuesday: closed all day", false},
      {latin, "The shop is closed all day on Tuesday.", true},
      {cyrillic, "Вторник: закрыто весь день", false},
      {cyrillic, "Во вторник магазин закрыт весь день.", true},
      {arabic, "الثلاثاء مغلق طوال اليوم", false},
      {arabic, "يغلق المتجر طوال يوم الثلاثاء من كل أسبوع.", true},
      {japanese, "火曜日：休み", false},
      {japanese, "火曜日は一日中お店が休みです。", true},
  };
  auto lines = [](const std::string& line, int count) {
    std::string joined;
    for (int i = 0; i < count; ++i) joined += (i > 0 ? "<BR>" : "") + line;
    return joined;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.listLine);
    const std::string markup =
        "<BODY><UL><LI><A href=/a>Home page</A></LI><LI><A href=/b>World news</A></LI>"
        "<LI><A href=/c>Sports and more</A></LI></UL>"
        "<DIV><P>A short note up top, a line long.</P><P>Another short note beside it.</P></DIV><DIV>" +
        lines(c.articleLine, 4) + "</DIV><DIV>" + lines(c.listLine, 8) + "</DIV></BODY>";
    ExtractionPipeline p(Analysis::kModern);
    p.analyze(markup.c_str());
    const std::vector<ContentChoice> chosen = p.chooseContent();
    const std::string text = formatTextFile(chosen, "u", "t").file;
    EXPECT_EQ(text.find(c.listLine) != std::string::npos, c.listWritten) << p.dumpContent(chosen);
    if (!c.listWritten) {
      EXPECT_NE(text.find(c.articleLine), std::string::npos) << p.dumpContent(chosen);
    }
  }
}

TEST(ModernAnalysis, ListsLeftOutGiveWayToALineBreak) {
  const std::string markup =
      "<BODY><DIV><P>Before the list.</P><UL><LI><A href=/a>one</A><LI><A href=/b>two</A></UL>"
      "<P>After the list.</P><DIV><A href=/c>three</A> <A href=/d>four</A></DIV></DIV></BODY>";
  ExtractionPipeline p(Analysis::kModern);
  p.analyze(markup.c_str());
  const std::vector<ContentChoice> chosen = p.chooseContent();
  ASSERT_EQ(chosen.size(), 1u) << p.dumpContent(chosen);
  EXPECT_EQ(chosen[0].leftOut.size(), 2u) << p.dumpContent(chosen);
  EXPECT_EQ(formatTextFile(chosen, "u", "t").file,
            "\r\nurl : u\r\n\r\ntitle : t\r\n\r\nBefore the list.\r\nAfter the list.\r\n\r\n");
}

TEST(ModernAnalysis, TheAnalysisSetsItsTextsApartInEveryFormat) {
  // Two posts, each of one line break: the classic analysis joins them as
  // the Windows server does and the modern one sets them apart, whichever
  // line ends and first line the file has.
  const std::string post = "<DIV><H3>Post</H3><P>" + kArticle + "</P><P>More words of the post.</P></DIV>";
  const std::string markup = "<BODY><DIV>" + post + post + "</DIV></BODY>";
  for (const Analysis analysis : {Analysis::kClassic, Analysis::kModern}) {
    ExtractionPipeline p(analysis);
    p.analyze(markup.c_str());
    const std::vector<ContentChoice> chosen = p.chooseContent();
    for (const TextFileFormat format : {windowsTextFile(), lfTextFile()}) {
      TextFileFormat joined = format;
      joined.setsTextsApart = false;
      TextFileFormat apart = format;
      apart.setsTextsApart = true;
      const std::string expected =
          formatTextFile(chosen, "u", "t", analysis == Analysis::kModern ? apart : joined).file;
      EXPECT_EQ(extractPageText(markup, "u", "t", analysis, format).file, expected) << p.rules.name;
      EXPECT_NE(formatTextFile(chosen, "u", "t", joined).file, formatTextFile(chosen, "u", "t", apart).file)
          << "the page tells the two ways apart";
    }
  }
}

TEST(ModernAnalysis, ChosenShareSaysHowLittleOfThePageIsWritten) {
  const std::string menu =
      "<DIV><A href=/a>Home page</A> <A href=/b>World news</A> <A href=/c>Sports</A> "
      "<A href=/d>Weather and traffic</A> <A href=/e>Letters to the editor</A></DIV>";
  struct Case {
    const char* what;
    std::string body;
    double share;         // of the body's visible bytes, in percent
    const char* warning;  // part of the warning; null: none
  };
  const Case cases[] = {
      {"the whole body", "<P>aaaa</P><P>bbbb</P>", 100.0, nullptr},
      {"half of it", "<DIV><P>aaaa</P><P>bbbb</P></DIV><DIV>cccccccc</DIV>", 50.0, nullptr},
      {"less the list it leaves out",
       "<DIV><P>aaaa</P><P>bbbb</P><UL><LI><A href=x>llll</A></LI></UL></DIV><DIV>cccccccccccc</DIV>",
       100.0 * 8 / 24, nullptr},
      {"a few words beside many links", "<DIV><P>aaaa</P><P>bbbb</P></DIV>" + menu + menu, 100.0 * 8 / 124,
       "only 6.4 % of the page's visible text"},
      {"nothing", "", 100.0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string markup = "<BODY>" + c.body + "</BODY>";
    ExtractionPipeline p(Analysis::kModern);
    p.analyze(markup.c_str());
    EXPECT_NEAR(chosenShareOf(p.chooseContent(), p.body, p.rules), c.share, 1e-9) << p.dumpTree();
    const std::string warning = littleTextWarning(extractPageText(markup, "u", "t", Analysis::kModern));
    EXPECT_EQ(warning.empty(), c.warning == nullptr) << warning;
    if (c.warning != nullptr) {
      EXPECT_NE(warning.find(c.warning), std::string::npos) << warning;
    }
  }
  // The classic analysis does not reconsider its choice, and says nothing.
  const std::string few = "<BODY><DIV><P>aaaa</P><P>bbbb</P></DIV>" + menu + menu + "</BODY>";
  EXPECT_EQ(littleTextWarning(extractPageText(few, "u", "t", Analysis::kClassic)), "");
}

}  // namespace
}  // namespace brevanto
