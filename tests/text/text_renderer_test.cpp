#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "extractor/extraction_pipeline.h"
#include "extractor/text/text.h"
#include "tests/support/pipeline_checks.h"

namespace brevanto {
namespace {

using testing::textOf;

// Analyses `markup` and returns the text of the tag at `index`; the markup is
// kept alive by the caller's pipeline holder.
struct Rendered {
  std::string markup;
  ExtractionPipeline p;
  explicit Rendered(std::string m, const Rules& rules = Rules::classic()) : markup(std::move(m)), p(rules) {
    p.analyze(markup.c_str());
    testing::expectTreeInvariants(p);
  }
  std::string text(int index) const { return textOf(p, index); }
};

TEST(TextRenderer, LineBreaksComeOnlyFromBrAndTheMarkup) {
  EXPECT_EQ(Rendered("<DIV>one<BR>two</DIV>").text(0), "one\r\ntwo");
  EXPECT_EQ(Rendered("<DIV>one<br/>two</DIV>").text(0), "one\r\ntwo");
  EXPECT_EQ(Rendered("<DIV>one<Br >two<BR><BR></DIV>").text(0), "one\r\ntwo\r\n\r\n");
  EXPECT_EQ(Rendered("<DIV><P>a</P><P>b</P><TD>c</TD><LI>d</LI><H1>e</H1></DIV>").text(0), "abcde");
  EXPECT_EQ(Rendered("<DIV>a  b\r\n\tc <P> d </P></DIV>").text(0), "a  b\r\n\tc  d ");
  // A BR with children stands as a line break; its own text stays its own.
  Rendered br("<DIV>a<BR>x<B>y</B></BR>b</DIV>");
  EXPECT_EQ(br.text(0), "a\r\nb");
  EXPECT_EQ(br.text(1), "xy");
}

TEST(TextRenderer, Entities) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"Fish &amp; Chips", "Fish & Chips"},
      {"&GT;", ">"},
      {"&lt;&Lt;", "<<"},
      {"a&nbsp;b", "a b"},
      {"&quot;q&QUOT;", "\"q\""},
      {"&copy; 2026", "@ 2026"},
      {"&#169;", "?"},
      {"&eacute;t&eacute;", "?t?"},
      {"&amp;lt;", "&lt;"},
      {"Q&A; more", "Q? more"},
      {"a & b; c", "a ? c"},
      {"salt & pepper", "salt & pepper"},
      {"x & y & z; w", "x ? w"},
      {"a;b&c", "a;b&c"},
      {"&amp;&amp; &end", "&& &end"},
      {"&NbSp;x", " x"},
      {"&ampx;", "?"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Rendered(std::string("<DIV>") + c.in + "</DIV>").text(0), c.out) << c.in;
  }
  // A segment ends at the next tag: an "&" never pairs with a ";" beyond it.
  EXPECT_EQ(Rendered("<DIV>a &amp<B>x</B>; b</DIV>").text(0), "a &ampx; b");
}

TEST(TextRenderer, ContentThatIsNeverCollected) {
  // Skip-content elements, comments, attributes and empty elements give no
  // text; their surroundings do.
  EXPECT_EQ(Rendered("<DIV>a<SCRIPT>var s='<P>x</P>';</SCRIPT>b</DIV>").text(0), "ab");
  EXPECT_EQ(Rendered("<DIV>a<STYLE>p{}</STYLE><PRE>code</PRE><SELECT><OPTION>o</SELECT>b</DIV>").text(0),
            "ab");
  EXPECT_EQ(Rendered("<DIV>a<NOSCRIPT>n</NOSCRIPT><OBJECT>o</OBJECT>b</DIV>").text(0), "ab");
  EXPECT_EQ(Rendered("<DIV>a<!-- hidden -->b</DIV>").text(0), "ab");
  EXPECT_EQ(Rendered("<DIV>a<IMG alt=\"pic\"><INPUT value=v>b</DIV>").text(0), "ab");
  // An element outside the table that holds only text loses it; with a child
  // inside, the text around the child and the child's text reach the parent.
  EXPECT_EQ(Rendered("<DIV>a<NOBR>lost</NOBR>b</DIV>").text(0), "ab");
  EXPECT_EQ(Rendered("<DIV>a<NOBR>x<B>y</B>z</NOBR>b</DIV>").text(0), "axyzb");
  // A tag that lost its extent gives its content to the parent.
  EXPECT_EQ(Rendered("<DIV>a<B>b<I>c</B>d</I>e</DIV>").text(0), "abcde");
}

TEST(TextRenderer, EveryAncestorHoldsItsSubtreesText) {
  Rendered r("<BODY>1<DIV>2<P>3<A href=x>4</A>5</P>6</DIV>7</BODY>");
  EXPECT_EQ(r.text(0), "1234567");
  EXPECT_EQ(r.text(1), "23456");
  EXPECT_EQ(r.text(2), "345");
  EXPECT_EQ(r.text(3), "4");
  EXPECT_EQ(r.p.tags[0].textLength, 7);
}

// Text as a browser shows it. Each case gives the text of one tag under the
// modern rules and names the switch it holds by, if any: with that switch
// off, the text is another.
struct LaidOutCase {
  const char* markup;
  int tag;
  const char* text;
  bool Rules::*rule;
};

void expectLaidOut(const LaidOutCase& c) {
  SCOPED_TRACE(c.markup);
  const Rendered modern(c.markup, Rules::modern());
  EXPECT_EQ(modern.text(c.tag), c.text);
  EXPECT_EQ(modern.p.tags[static_cast<size_t>(c.tag)].textLength, static_cast<int>(std::strlen(c.text)));
  if (c.rule == nullptr) return;
  Rules without = Rules::modern();
  without.*c.rule = false;
  EXPECT_NE(Rendered(c.markup, without).text(c.tag), c.text) << "holds without its switch";
}

TEST(TextRenderer, WhiteSpaceCollapsesAsABrowserLaysItOut) {
  constexpr bool Rules::*kCollapses = &Rules::collapsesWhiteSpace;
  const LaidOutCase cases[] = {
      {"<DIV>a  b\r\n\tc\f d</DIV>", 0, "a b c d", kCollapses},
      {"<DIV>\r\n  one\r\n    two\r\n</DIV>", 0, "one two", kCollapses},
      {"<DIV> a <B> b </B> c </DIV>", 0, "a b c", kCollapses},
      {"<DIV> a <B> b </B> c </DIV>", 1, "b", kCollapses},
      {"<DIV>a<B>  </B>b</DIV>", 0, "a b", kCollapses},
      // No blank at either end of a line.
      {"<DIV>a \r\n<BR>\r\n b</DIV>", 0, "a\r\nb", kCollapses},
      {"<DIV>a<BR><BR>b<BR></DIV>", 0, "a\r\n\r\nb", nullptr},
      // Elements that keep their white space keep it, inside their children
      // too; a non-breaking space is no white space.
      {"<DIV>a <PRE>  x\r\n   y </PRE> b</DIV>", 0, "a\r\n  x\r\n   y \r\nb", kCollapses},
      {"<PRE><B>a  b</B>\r\n\tc</PRE>", 0, "a  b\r\n\tc", nullptr},
      {"<DIV>x  <TEXTAREA> a\r\n b</TEXTAREA>  y</DIV>", 0, "x  a\r\n b y", kCollapses},
      {"<DIV>a&nbsp;  &nbsp;b</DIV>", 0, "a   b", kCollapses},
      // A formula reads as one line of its tokens, without its source: only
      // the tokens' white space shows.
      {"<P>area <MATH>\r\n <MI>\xCF\x80</MI>\r\n <MSUP><MI>r</MI><MN>2</MN></MSUP>\r\n"
       " <ANNOTATION encoding=x>{\\displaystyle \\pi r^{2}}</ANNOTATION>\r\n</MATH> ok</P>",
       0, "area \xCF\x80r2 ok", kCollapses},
      {"<P><MATH> <MTEXT>if  and only if</MTEXT>\r\n <MI>x</MI> </MATH></P>", 0, "if and only ifx",
       kCollapses},
      {"<P>x<ANNOTATION-XML encoding=y><CI>r</CI></ANNOTATION-XML>y</P>", 0, "xy", nullptr},
      // An inline element left out separates the words around it.
      {"<DIV>a<SVG>icon</SVG>b<SVG></SVG>c</DIV>", 0, "a bc", kCollapses},
      // A line end of the source between two characters of the scripts
      // written without spaces joins them, blanks beside it included, across
      // tags too; Hangul, other scripts and blanks without a line end keep
      // their blank.
      {"<P>\xE6\x97\xA5\xE6\x9C\xAC\r\n\xE8\xAA\x9E</P>", 0, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
       kCollapses},
      {"<P>\xE6\xB8\xAF <B>\n  \xE5\x8F\xA3</B></P>", 0, "\xE6\xB8\xAF\xE5\x8F\xA3", kCollapses},
      {"<P>\xEF\xBC\x88\xE6\xB3\xA8\xEF\xBC\x89\n\xEF\xBC\x88\xE6\x9C\xAC\xEF\xBC\x89</P>", 0,
       "\xEF\xBC\x88\xE6\xB3\xA8\xEF\xBC\x89\xEF\xBC\x88\xE6\x9C\xAC\xEF\xBC\x89", kCollapses},
      {"<P>\xED\x95\x9C\xEA\xB5\xAD\n\xEC\x96\xB4</P>", 0, "\xED\x95\x9C\xEA\xB5\xAD \xEC\x96\xB4",
       kCollapses},
      {"<P>\xE6\x97\xA5\xE6\x9C\xAC\nJapan \xD0\xB4\n\xE6\x97\xA5</P>", 0,
       "\xE6\x97\xA5\xE6\x9C\xAC Japan \xD0\xB4 \xE6\x97\xA5", kCollapses},
      {"<P>\xE6\x97\xA5\xE6\x9C\xAC  \xE8\xAA\x9E</P>", 0, "\xE6\x97\xA5\xE6\x9C\xAC \xE8\xAA\x9E",
       kCollapses},
      {"<P>\xE6\x97\xA5<SVG>x</SVG>\n\xE8\xAA\x9E</P>", 0, "\xE6\x97\xA5 \xE8\xAA\x9E", kCollapses},
  };
  for (const LaidOutCase& c : cases) expectLaidOut(c);
}

TEST(TextRenderer, BlocksStandOnLinesOfTheirOwn) {
  constexpr bool Rules::*kBlocks = &Rules::blocksBreakLines;
  const LaidOutCase cases[] = {
      {"<DIV><P>a</P><P>b</P>c<UL><LI>d</LI><LI>e</LI></UL></DIV>", 0, "a\r\nb\r\nc\r\nd\r\ne", kBlocks},
      {"<DIV>a<P> b </P>c</DIV>", 1, "b", nullptr},
      {"<DIV><P>a<DIV><P>b</P></DIV></P>c</DIV>", 1, "a\r\nb", kBlocks},
      {"<DIV><DL><DT>term</DT><DD>meaning</DD></DL>said<BLOCKQUOTE>quote</BLOCKQUOTE>after<HR>rule</DIV>", 0,
       "term\r\nmeaning\r\nsaid\r\nquote\r\nafter\r\nrule", kBlocks},
      // Large text and deleted text run on in their line, as a browser shows
      // them.
      {"<DIV>a <BIG>b</BIG> c <DEL>d</DEL> e</DIV>", 0, "a b c d e", nullptr},
      // Furniture left out stands as a line break where it is a block.
      {"<DIV>a<NAV>menu</NAV>b</DIV>", 0, "a\r\nb", kBlocks},
      // What renders no content shows nothing, not even a line break.
      {"<DIV>a<SCRIPT>x</SCRIPT><STYLE>y</STYLE>b</DIV>", 0, "ab", nullptr},
  };
  for (const LaidOutCase& c : cases) expectLaidOut(c);
}

TEST(TextRenderer, WhatShowsNothingIsLeftOut) {
  constexpr bool Rules::*kInvisible = &Rules::dropsInvisibleCharacters;
  const LaidOutCase cases[] = {
      {"<DIV>doc\xC2\xADtrine</DIV>", 0, "doctrine", kInvisible},
      {"<DIV>a\xE2\x80\x8B"
       "b\xE2\x80\x8C"
       "c\xE2\x80\x8D"
       "d\xE2\x81\xA0"
       "e\xEF\xBB\xBF"
       "f</DIV>",
       0, "abcdef", kInvisible},
      {"<DIV>doc&shy;trine "
       "&#173;x&#xAD;y&#8203;z&#x200b;w&#65279;v&ZeroWidthSpace;u&zwj;t&zwnj;s&NoBreak;r</DIV>",
       0, "doctrine xyzwvutsr", kInvisible},
      // Characters that share a first byte with them show, and so does a
      // character cut short.
      {"<DIV>\xC2\xA9 \xE2\x80\x94 \xEF\xBC\x8C &#8212; &#0; &#x;\xE2\x80</DIV>", 0,
       "\xC2\xA9 \xE2\x80\x94 \xEF\xBC\x8C ? ? ?\xE2\x80", nullptr},
      // Ruby text renders no content, whatever it holds.
      {"<DIV><RUBY>\xE6\xBC\xA2<RP>(</RP><RT>kan</RT><RP>)</RP></RUBY> ok</DIV>", 0, "\xE6\xBC\xA2 ok",
       nullptr},
      {"<DIV>a<RT>kan<B>x</B></RT>b</DIV>", 0, "ab", &Rules::unrenderedHoldsNoText},
      {"<DIV>a<!-- x -- y > z -->b</DIV>", 0, "ab", &Rules::commentsEndAtArrow},
  };
  for (const LaidOutCase& c : cases) expectLaidOut(c);
}

TEST(TextRenderer, TheTextStoreTakesAWholeTextOrNone) {
  // A text that does not fit is not cut short: the store keeps what it
  // holds and says it overflowed, until it is reset.
  TextStore store;
  store.reset(4);
  const char* start = store.end();
  store.append("abc", 3);
  EXPECT_FALSE(store.overflowed());
  store.append("de", 2);
  EXPECT_TRUE(store.overflowed());
  EXPECT_EQ(std::string(start, store.end()), "abc");
  store.push_back('d');
  EXPECT_EQ(std::string(start, store.end()), "abcd");
  store.reset(4);
  EXPECT_FALSE(store.overflowed());
}

}  // namespace
}  // namespace brevanto
