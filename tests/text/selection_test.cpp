#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "extractor/extraction_pipeline.h"
#include "tests/support/pipeline_checks.h"

namespace brevanto {
namespace {

// The classic analysis of a markup, and the nodes it chose.
struct Selected {
  std::string markup;
  ExtractionPipeline p;
  std::vector<HtmlNode*> content;
  explicit Selected(std::string m) : markup(std::move(m)) {
    p.analyze(markup.c_str());
    testing::expectTreeInvariants(p);
    choose();
  }
  void choose() {
    content.clear();
    for (const ContentChoice& choice : p.chooseContent()) content.push_back(choice.node);
  }
  double score(int index) const { return nodeScore(p.sharesOf(p.tags.at(index)), p.rules); }
  // Names and indices of the selected nodes, e.g. "DIV#3 DIV#9".
  std::string picked() const {
    std::string out;
    for (const HtmlNode* node : content) {
      if (!out.empty()) out += ' ';
      out += node == nullptr ? "(null)"
                             : std::string(p.nameOf(*node->tag)) + "#" + std::to_string(node->tag->index);
    }
    return out;
  }
};

std::string paragraphs(const std::string& word, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += "<P>" + word + " " + std::to_string(i) + "</P>";
  return out;
}

const std::string kMenu =
    "<DIV><UL><LI><A href=/a>Home page</A></LI><LI><A href=/b>World news</A></LI>"
    "<LI><A href=/c>Sports and more</A></LI></UL></DIV>";

TEST(ContentSelection, BodyWithParagraphsIsTheContent) {
  Selected s("<BODY>" + paragraphs("text", 2) + "</BODY>");
  EXPECT_EQ(s.picked(), "BODY#0");
  EXPECT_EQ(s.score(0), 10000.0) << "a body without links scores 100 x 100";
}

TEST(ContentSelection, ArticleBesideAMenu) {
  // 3 paragraphs of article text beside a menu of links and a footer.
  Selected s("<BODY>" + kMenu + "<DIV>" + paragraphs("The article says a good deal here", 3) +
             "</DIV><DIV>Footer words (c) 2026 and a <A href=/x>link</A></DIV></BODY>");
  ASSERT_EQ(s.content.size(), 1u);
  const HtmlTag* article = s.content[0]->tag;
  EXPECT_EQ(s.p.nameOf(*article), "DIV");
  EXPECT_GE(s.p.sharesOf(*article).plainShare, 40.0);
  EXPECT_EQ(std::string(article->text, article->textLength).substr(0, 16), "The article says");

  // A DIV with a single P has no P child once collapsed, so it never
  // qualifies; it is taken as the best-scored node instead.
  Selected one("<BODY>" + kMenu + "<DIV><P>Only one paragraph of text, long enough.</P></DIV></BODY>");
  EXPECT_EQ(one.p.dumpContent(one.p.chooseContent()), "analysis classic\ncontent #17 DIV: best score\n")
      << one.p.dumpTree();
  EXPECT_TRUE(one.content[0]->isLeaf());
}

TEST(ContentSelection, SiblingsAndNestedQualifiers) {
  // Two qualifying siblings are both listed in document order; a qualifying
  // DIV inside a qualifying DIV is hidden by it.
  Selected s("<BODY>" + kMenu + "<DIV>" + paragraphs("first article body", 2) + "</DIV><DIV>" +
             paragraphs("second part", 2) + "<DIV>" + paragraphs("nested part", 2) + "</DIV></DIV></BODY>");
  ASSERT_EQ(s.content.size(), 2u) << s.p.dumpTree();
  EXPECT_LT(s.content[0]->tag->index, s.content[1]->tag->index);
  EXPECT_EQ(std::string(s.content[0]->tag->text, 20), "first article body 0");
  EXPECT_EQ(std::string(s.content[1]->tag->text, 13), "second part 0");
}

TEST(ContentSelection, FallbacksAndTies) {
  // All link text: no plain share anywhere, every score 0, and the tie goes
  // to the last node of the depth-first walk.
  Selected links("<BODY><DIV><A href=1>one</A><A href=2>two</A></DIV><DIV><A href=3>three</A></DIV></BODY>");
  EXPECT_EQ(links.p.body.plainLength, 0);
  ASSERT_EQ(links.content.size(), 1u);
  EXPECT_EQ(links.picked(), "DIV#7") << links.p.dumpTree();

  // No text at all: everything is pruned, and the one entry is null.
  Selected empty("<BODY><DIV><IMG src=x></DIV></BODY>");
  EXPECT_TRUE(empty.p.root.isLeaf());
  EXPECT_EQ(empty.picked(), "(null)");
  Selected nothing("");
  EXPECT_EQ(nothing.picked(), "(null)");

  // Without a BODY nothing is scored; the last node met wins the tie at 0.
  Selected bodyless("<DIV>" + paragraphs("x", 1) + "</DIV><DIV>y<B>z</B></DIV>");
  EXPECT_EQ(bodyless.picked(), "DIV#4");
  EXPECT_EQ(bodyless.score(0), 0.0);

  // Equal best scores: the later sibling wins over the earlier one, and a
  // descendant over its ancestor.
  Selected tie("<BODY><DIV>abc</DIV><DIV>xyz</DIV><A href=q>link text</A></BODY>");
  EXPECT_EQ(tie.score(1), 1000.0) << tie.p.dumpTree();
  EXPECT_EQ(tie.score(3), 1000.0);
  EXPECT_EQ(tie.picked(), "DIV#3");
  // Scores follow from the lengths: giving a node the body's lengths makes
  // it tie with the body, and the last of the tied nodes wins.
  Selected nested("<BODY><DIV>a<DIV>x</DIV><DIV>y</DIV></DIV><DIV>g</DIV></BODY>");
  HtmlNode* body = nested.p.root.firstChild;
  const std::vector<HtmlNode*> top = testing::childrenOf(body);
  ASSERT_EQ(top.size(), 2u) << nested.p.dumpTree();
  const std::vector<HtmlNode*> inner = testing::childrenOf(top[0]);
  ASSERT_EQ(inner.size(), 2u);
  auto copyLengths = [](const HtmlNode* from, HtmlNode* to) {
    to->tag->textLength = from->tag->textLength;
    to->tag->linkTextLength = from->tag->linkTextLength;
  };
  EXPECT_EQ(nested.picked(), "BODY#0");
  copyLengths(body, inner[0]);
  nested.choose();
  EXPECT_EQ(nested.content.front(), inner[0]);
  copyLengths(body, inner[1]);
  nested.choose();
  EXPECT_EQ(nested.content.front(), inner[1]);
}

TEST(ContentSelection, LinkTextAndScores) {
  // Nested links count once per enclosing A. A tag that lost its extent is
  // a leaf: the text after it falls to its parent, and so do the links there.
  Selected s(
      "<BODY><DIV>ab<A href=1>cd<A href=2>ef</A></A></DIV><DIV>x<B>y<A href=3>zz</A></I></DIV></BODY>");
  EXPECT_EQ(s.p.tags[3].linkTextLength, 2) << s.p.dumpTags();
  EXPECT_EQ(s.p.tags[2].linkTextLength, 6) << "own text 4, plus the inner link's 2";
  EXPECT_EQ(s.p.tags[1].linkTextLength, 6);
  EXPECT_FALSE(s.p.tags[8].hasContent);
  EXPECT_EQ(s.p.tags[8].linkTextLength, 0);
  EXPECT_EQ(s.p.tags[7].linkTextLength, 2);
  EXPECT_EQ(testing::textOf(s.p, 7), "xyzz");
  EXPECT_EQ(s.p.body.linkTextLength, 8);
  EXPECT_EQ(s.p.body.textLength, 10);
  EXPECT_EQ(s.p.body.plainLength, 2);
  EXPECT_EQ(s.score(0), 100.0) << "a body with some link text scores 100";
}

TEST(ContentSelection, SharesOfTheBodysFigures) {
  // Nothing of nothing is 0 %, something of nothing 100 %.
  HtmlTag tag;
  tag.isScored = true;
  tag.textLength = 1;
  struct Case {
    int32_t linkTextLength;
    BodyFigures body;  // text, plain, link
    ElementShares shares;
  };
  const Case cases[] = {
      {0, {3, 3, 0}, {100.0 / 3, 100.0 / 3, 0}},
      {0, {0, 0, 0}, {100, 100, 0}},
      {1, {2, 1, 0}, {50, 0, 100}},
      {1, {2, 1, 4}, {50, 0, 25}},
  };
  for (const Case& c : cases) {
    tag.linkTextLength = c.linkTextLength;
    const ElementShares shares = sharesOf(tag, c.body, Rules::classic());
    EXPECT_DOUBLE_EQ(shares.textShare, c.shares.textShare);
    EXPECT_DOUBLE_EQ(shares.plainShare, c.shares.plainShare);
    EXPECT_DOUBLE_EQ(shares.linkShare, c.shares.linkShare);
  }
  tag.isScored = false;
  EXPECT_EQ(sharesOf(tag, {3, 3, 0}, Rules::classic()).textShare, 0.0) << "only scored elements have shares";
}

TEST(ContentSelection, NodeScoreAtItsEdges) {
  // Text share times plain share below 0.001 scores nothing; from a link
  // share of 1 % on, the product is divided by it.
  const double belowThreshold = std::nextafter(0.001, 0.0);
  struct Case {
    ElementShares shares;  // text, plain, link
    double score;
  };
  const Case cases[] = {
      {{1.0, 0.001, 0.0}, 0.001},  {{1.0, belowThreshold, 0.0}, 0.0},
      {{0.001, 1.0, 2.0}, 0.0005}, {{0.01, 0.05, 0.0}, 0.0},
      {{20, 25, 0.5}, 500},        {{20, 25, 0.999}, 500},
      {{20, 25, 1.0}, 500},        {{20, 25, 10}, 50},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nodeScore(c.shares, Rules::classic()), c.score)
        << c.shares.textShare << " x " << c.shares.plainShare << " / " << c.shares.linkShare;
  }
}

TEST(ContentSelection, PruningDropAndCollapse) {
  // Empty and non-rendering elements go, inline leaves go, single-child
  // chains collapse into their top node.
  Selected s(
      "<BODY><DIV><DIV><TABLE><TR><TD><P>a</P></TD></TR></TABLE></DIV></DIV>"
      "<SPAN>s</SPAN><B><I>bi</I></B><DIV><HR><P>b</P><P>c</P></DIV><!-- c --></BODY>");
  const std::vector<HtmlNode*> body = testing::childrenOf(s.p.root.firstChild);
  ASSERT_EQ(body.size(), 2u) << s.p.dumpTree();
  EXPECT_EQ(s.p.nameOf(*body[0]->tag), "DIV");
  EXPECT_TRUE(body[0]->isLeaf()) << "the chain down to P collapsed into the DIV";
  EXPECT_EQ(testing::childrenOf(body[1]).size(), 2u);
  EXPECT_EQ(s.picked(), "DIV#19") << "two P children and a third of the plain text";
}

}  // namespace
}  // namespace brevanto
