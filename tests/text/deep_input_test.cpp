// Inputs that break a recursive or quadratic implementation: a million
// levels of nesting, a million unclosed elements, huge texts and entities.
// They check results, not times: speed is measured by the benchmarks.
#include <gtest/gtest.h>

#include <string>

#include "extractor/extraction_pipeline.h"
#include "tests/support/pipeline_checks.h"

namespace brevanto {
namespace {

constexpr int kDepth = 1000000;

void expectMillionLevels(Analysis analysis, const std::string& markup) {
  ExtractionPipeline p(analysis);
  p.analyze(markup.c_str());
  ASSERT_EQ(p.tags.size(), 2u * kDepth + 2);
  EXPECT_EQ(p.body.textLength, kDepth + 6);
  // Level k holds the words of the levels below it and the bottom line; where
  // blocks stand on lines of their own, a line break follows every word.
  const int lineBreaks = p.rules.blocksBreakLines ? kDepth - 1 : 0;
  EXPECT_EQ(p.tags[1].textLength, kDepth + 6 + 2 * lineBreaks);
  EXPECT_EQ(p.tags[kDepth].textLength, 7);
  EXPECT_EQ(std::string(p.tags[kDepth].text, 7), "wbottom");
  // Each DIV has a single child, so the whole chain collapses into one node.
  ASSERT_NE(p.root.firstChild, nullptr);
  ASSERT_EQ(p.root.firstChild->nextSibling, nullptr);
  const std::vector<ContentChoice> content = p.chooseContent();
  ASSERT_EQ(content.size(), 1u);
  ASSERT_NE(content[0].node, nullptr);
  const std::string dump = p.dumpTree();
  EXPECT_LT(dump.size(), 1000u) << "the collapsed tree is tiny";
}

TEST(DeepInput, MillionLevelsOfNesting) {
  // A word at every level and a line at the bottom.
  std::string markup = "<BODY>";
  markup.reserve(kDepth * 12 + 64);
  for (int i = 0; i < kDepth; ++i) markup += "<DIV>w";
  markup += "bottom";
  for (int i = 0; i < kDepth; ++i) markup += "</DIV>";
  markup += "</BODY>";
  for (const Analysis analysis : {Analysis::kClassic, Analysis::kModern}) {
    SCOPED_TRACE(analysis == Analysis::kClassic ? "classic" : "modern");
    expectMillionLevels(analysis, markup);
  }
}

TEST(DeepInput, MillionLevelsWithoutCollapsing) {
  // Two children per level keep the tree deep through every later walk; in
  // the modern analysis, sections nested as deep, each with a header that
  // is kept and an aside that is not, keep it deep through marking chrome.
  struct Deep {
    Analysis analysis;
    const char* level;
    const char* end;
    int levels;
  };
  const Deep inputs[] = {
      {Analysis::kClassic, "<DIV><P>p</P>", "</DIV>", kDepth / 4},
      {Analysis::kModern, "<DIV><P>p</P>", "</DIV>", kDepth / 4},
      {Analysis::kModern, "<SECTION class=related><HEADER>h</HEADER><ASIDE>a</ASIDE><P>p</P>", "</SECTION>",
       kDepth / 8},
  };
  for (const Deep& deep : inputs) {
    SCOPED_TRACE(deep.level);
    std::string markup = "<BODY>";
    for (int i = 0; i < deep.levels; ++i) markup += deep.level;
    for (int i = 0; i < deep.levels; ++i) markup += deep.end;
    markup += "</BODY>";
    ExtractionPipeline p(deep.analysis);
    p.analyze(markup.c_str());
    testing::expectTreeInvariants(p);
    const std::vector<ContentChoice> content = p.chooseContent();
    ASSERT_EQ(content.size(), 1u);
    ASSERT_NE(content[0].node, nullptr);
    EXPECT_FALSE(p.dumpTree().empty());
    if (deep.analysis == Analysis::kModern) {
      const std::string text = testing::textOf(p, 0);
      EXPECT_EQ(text.find('a'), std::string::npos) << "no aside is kept";
      // The outer half of the sections hold more than half of the
      // paragraphs and are kept, header and all, whatever their class says;
      // the first of the inner half is chrome by its class, with everything
      // inside it.
      if (std::string(deep.level).find("HEADER") != std::string::npos) {
        EXPECT_EQ(p.body.textLength, deep.levels) << "h and p for each of half the levels";
      }
    }
  }
}

TEST(DeepInput, MillionUnclosedOptionalElements) {
  // Every DD ends at the next block-level tag, which is far away: the search
  // for it must not start over for each.
  std::string markup = "<BODY><DL>";
  for (int i = 0; i < kDepth; ++i) markup += "<DD>d";
  markup += "</DL><P>end</P></BODY>";
  const testing::Parsed matched(markup, Rules::classic());
  const int dlEnd = kDepth + 2;
  EXPECT_EQ(matched.tags[2].partner, dlEnd) << "DD is inline: the next block-level tag is </DL>";
  EXPECT_EQ(matched.tags[kDepth + 1].partner, dlEnd);
  // Every DD reaches DL's end, so each becomes an empty leaf and its text
  // falls to DL.
  ExtractionPipeline p;
  p.analyze(markup.c_str());
  EXPECT_EQ(p.tags[2].partner, 2);
  EXPECT_FALSE(p.tags[2].hasContent);
  EXPECT_EQ(p.tags[1].textLength, kDepth);
  EXPECT_EQ(p.body.textLength, kDepth + 3);
  // A million unmatched end tags, each with no open element of its name.
  std::string strays = "<BODY>";
  for (int i = 0; i < kDepth; ++i) strays += "<B></I>";
  strays += "</BODY>";
  p.analyze(strays.c_str());
  EXPECT_EQ(p.tags.back().partner, 0);
}

TEST(DeepInput, HugeTextsAndEntities) {
  // A 20 MB text run with an entity every 100 bytes, and one entity of 1 MB.
  std::string run;
  for (int i = 0; i < 200000; ++i) run += std::string(94, 'x') + "&amp; ";
  std::string entity = "&" + std::string(1 << 20, 'e') + ";";
  const std::string markup = "<BODY><DIV>" + run + "</DIV><DIV>a" + entity + "b</DIV></BODY>";
  ExtractionPipeline p;
  p.analyze(markup.c_str());
  EXPECT_EQ(p.tags[1].textLength, 200000 * 96);
  EXPECT_EQ(testing::textOf(p, 3), "a?b");
  EXPECT_EQ(p.tags[1].text[94], '&');
}

}  // namespace
}  // namespace brevanto
