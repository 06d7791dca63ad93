// Inputs that fuzzing and the adversarial set turned up, reduced to small
// markup of our own.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "extractor/extraction_pipeline.h"
#include "tests/support/pipeline_checks.h"

namespace brevanto {
namespace {

TEST(HostileInput, NestedLinkTextSaturatesInsteadOfWrapping) {
  // Each link counts the text of every link inside it, so 30,000 nested links
  // of 10 bytes sum to about 4.5 billion: past 32 bits.
  constexpr int kLinks = 30000;
  std::string markup = "<BODY><DIV><P>plain words</P>";
  for (int i = 0; i < kLinks; ++i) markup += "<A href=x>link text ";
  for (int i = 0; i < kLinks; ++i) markup += "</A>";
  markup += "</DIV></BODY>";
  ExtractionPipeline p;
  p.analyze(markup.c_str());
  testing::expectTagInvariants(p, markup);
  testing::expectTreeInvariants(p);

  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  const HtmlTag& outerLink = p.tags[4];
  ASSERT_EQ(p.nameOf(outerLink), "A") << p.dumpTags().substr(0, 400);
  EXPECT_EQ(outerLink.textLength, 10 * kLinks);
  EXPECT_EQ(outerLink.linkTextLength, kMax);
  const HtmlTag& innermost = p.tags[static_cast<size_t>(3 + kLinks)];
  ASSERT_EQ(p.nameOf(innermost), "A");
  EXPECT_EQ(innermost.linkTextLength, 10) << "a link without links inside counts its own text";
  for (const HtmlTag& tag : p.tags) ASSERT_GE(tag.linkTextLength, 0) << "tag " << tag.index;
  EXPECT_EQ(p.body.linkTextLength, kMax);
  EXPECT_EQ(p.body.plainLength, 0);
  EXPECT_EQ(p.sharesOf(p.tags[0]).plainShare, 0.0);

  const std::vector<ContentChoice> content = p.chooseContent();
  ASSERT_EQ(content.size(), 1u);
  ASSERT_NE(content[0].node, nullptr);
}

}  // namespace
}  // namespace brevanto
