// Tree building and its repair rules, checked on the tags and on the tree
// shape before any pruning (buildTree alone) and on the texts afterwards.
#include <gtest/gtest.h>

#include <string>

#include "extractor/extraction_pipeline.h"
#include "extractor/text/text.h"
#include "tests/support/pipeline_checks.h"

namespace brevanto {
namespace {

using testing::expectTagInvariants;
using testing::expectTreeInvariants;
using testing::Parsed;
using testing::textOf;

// The tree as "NAME(children...)" with "#index" after each name, built from
// the tags alone.
std::string shapeOf(const Parsed& p, const HtmlNode* node) {
  std::string out;
  if (node->tag != nullptr) out = std::string(p.nameOf(*node->tag)) + "#" + std::to_string(node->tag->index);
  if (!node->isLeaf()) {
    out += "(";
    for (const HtmlNode* child = node->firstChild; child != nullptr; child = child->nextSibling) {
      out += (child == node->firstChild ? "" : " ") + shapeOf(p, child);
    }
    out += ")";
  }
  return out;
}

// The markup parsed and built into a tree, before any pruning.
struct Built : Parsed {
  explicit Built(std::string text) : Parsed(std::move(text), Rules::classic()) {
    buildTree();
    expectTagInvariants(tags, markup, rules);
  }
  std::string shape() const { return shapeOf(*this, &root); }
};

TEST(TreeBuilder, OptionalEndTagsThatRunToTheParentsEnd) {
  // The first P ends at the second; the second reaches the BODY end tag and
  // becomes an empty leaf whose text falls to BODY.
  Built body("<BODY><P>one<P>two</BODY>");
  EXPECT_EQ(body.shape(), "(BODY#0(P#1 P#2))");
  EXPECT_EQ(body.dumpTags(), "0 3 0 5 O-- BODY\n1 2 6 8 O-- P\n2 2 12 14 OCN P\n3 3 18 24 OCN BODY\n");
  TextStore texts;
  collectText(body.tags, body.root, body.markup.c_str(), body.markup.size(), body.rules, texts);
  EXPECT_EQ(textOf(body.tags, 0), "onetwo");
  EXPECT_EQ(textOf(body.tags, 1), "one");
  EXPECT_EQ(textOf(body.tags, 2), "(null)");

  // The UL end tag is closed off, but UL keeps its extent.
  Built list("<UL><LI>a<LI>b</UL>");
  EXPECT_EQ(list.shape(), "(UL#0(LI#1 LI#2))");
  EXPECT_EQ(list.tags[0].partner, 3);
  EXPECT_EQ(list.tags[1].partner, 2);
  const std::string dump = list.dumpTags();
  EXPECT_EQ(dump.substr(dump.find("2 2")), "2 2 9 12 OCN LI\n3 3 14 18 OCN UL\n");

  // An unclosed P as the last tag is its own partner and a leaf.
  Built tail("<DIV>x</DIV><P>tail");
  EXPECT_EQ(tail.shape(), "(DIV#0 P#2)");
  EXPECT_EQ(tail.tags[2].partner, 2);
}

TEST(TreeBuilder, CrossedAndStrayTags) {
  Built crossed("<B><I>x</B></I>");
  EXPECT_EQ(crossed.shape(), "(B#0(I#1) I#3)");
  EXPECT_FALSE(crossed.tags[1].hasContent);
  EXPECT_FALSE(crossed.tags[3].hasContent);
  EXPECT_TRUE(crossed.tags[3].isOpen && crossed.tags[3].isClose);

  // Comments and unknown elements: leaves, or containers when paired.
  EXPECT_EQ(Built("<DIV><!-- c --><NOBR>a<B>b</B></NOBR></DIV>").shape(), "(DIV#0(!#1 NOBR#2(B#3)))");
}

TEST(TreeBuilder, EndTagOfAClosedOffStartTagIsClosedOffToo) {
  // FONT's P runs to TABLE, past FONT's end: P and TABLE are closed off, and
  // so must be TABLE's end tag, or "</TABLE>" would land in DIV's text.
  const std::string markup =
      "<BODY><DIV><FONT><P>a</FONT><TABLE><TR><TD>b</TD></TR></TABLE>c</DIV><P>one</P><P>two</P></BODY>";
  Built built(markup);
  EXPECT_EQ(built.shape(), "(BODY#0(DIV#1(FONT#2(P#3) TABLE#5 TR#6(TD#7) TABLE#10) P#12 P#14))");
  EXPECT_EQ(built.tags[10].partner, 10);
  EXPECT_FALSE(built.tags[10].hasContent);
  ExtractionPipeline p;
  p.analyze(markup.c_str());
  EXPECT_EQ(textOf(p, 0), "abconetwo");
  EXPECT_EQ(textOf(p, 1), "abc");
  expectTreeInvariants(p);
}

TEST(TreeBuilder, WalkSkipsPastEndTagsAndPartners) {
  // An item ends at the inner list's start tag, so the inner list is its
  // sibling; the inner list's end tag closes off its last item and the walk
  // goes on past it.
  Built lists("<UL><LI>a<UL><LI>b</UL><LI>c</UL>");
  EXPECT_EQ(lists.shape(), "(UL#0(LI#1 UL#2(LI#3) LI#5))");
  EXPECT_EQ(lists.tags[4].partner, 4);
  EXPECT_EQ(lists.tags[2].partner, 4);
  // The element after one that ended at a block-level tag starts at that tag.
  Built blocks("<DIV><P>a<B>b</B><DIV>c</DIV>d</DIV>");
  EXPECT_EQ(blocks.shape(), "(DIV#0(P#1(B#2) DIV#4))");
  EXPECT_EQ(blocks.tags[1].partner, 4);
}

}  // namespace
}  // namespace brevanto
