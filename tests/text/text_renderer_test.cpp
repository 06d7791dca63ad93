#include <gtest/gtest.h>

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
  explicit Rendered(std::string m) : markup(std::move(m)) {
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
