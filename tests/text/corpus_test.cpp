// Every page of the shared corpus of real pages, whole and cut down to its
// body element, goes through the analysis and the selection, keeping every
// invariant. The corpus sits beside the project; without it the test is
// skipped.
#include "tests/support/corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "extractor/extraction_pipeline.h"
#include "extractor/output/output.h"
#include "tests/support/pipeline_checks.h"

namespace brevanto {
namespace {

namespace fs = std::filesystem;
using testing::bodyOf;
using testing::corpusPages;
using testing::readFile;

void checkAnalysis(const std::string& markup, Analysis analysis) {
  ExtractionPipeline p(analysis);
  p.analyze(markup.c_str());
  testing::expectTagInvariants(p, markup);
  testing::expectTreeInvariants(p);
  std::vector<const HtmlNode*> content;
  for (const ContentChoice& choice : p.chooseContent()) content.push_back(choice.node);
  ASSERT_FALSE(content.empty());
  // Every selected node is a node of the final tree.
  std::vector<const HtmlNode*> inTree;
  for (std::vector<const HtmlNode*> pending{&p.root}; !pending.empty();) {
    const HtmlNode* node = pending.back();
    pending.pop_back();
    inTree.push_back(node);
    for (const HtmlNode* child : testing::childrenOf(node)) pending.push_back(child);
  }
  for (const HtmlNode* node : content) {
    if (node == nullptr) continue;
    EXPECT_NE(std::find(inTree.begin(), inTree.end(), node), inTree.end());
    // No text is written twice: no chosen node lies inside another.
    for (const HtmlNode* above = node->parent; above != nullptr; above = above->parent) {
      EXPECT_EQ(std::find(content.begin(), content.end(), above), content.end());
    }
    // Cleaned texts of several lines hold no blank line.
    const std::string text(node->tag->text, static_cast<size_t>(node->tag->textLength));
    std::string cleaned;
    appendCleanLines(text, cleaned);
    if (cleaned != text) {
      EXPECT_EQ(cleaned.find("\r\n\r\n"), std::string::npos);
      EXPECT_NE(cleaned.substr(0, 2), "\r\n");
    }
  }
}

TEST(Corpus, EveryPageWholeAndBodyOnly) {
  if (!fs::is_directory(corpusPages())) GTEST_SKIP() << "no corpus at " << corpusPages();
  int pages = 0;
  for (const auto& entry : fs::directory_iterator(corpusPages())) {
    if (entry.path().extension() != ".html") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string page = readFile(entry.path());
    const std::string body = bodyOf(page);
    for (const Analysis analysis : {Analysis::kClassic, Analysis::kModern}) {
      checkAnalysis(page, analysis);
      checkAnalysis(body, analysis);
    }
    // Analysing the body alone finds a BODY with text on every page that
    // has a body element with words in it.
    ExtractionPipeline p;
    p.analyze(body.c_str());
    if (body.size() < page.size()) {
      EXPECT_GT(p.body.textLength, 0);
    }
    ++pages;
  }
  EXPECT_GT(pages, 0);
}

}  // namespace
}  // namespace brevanto
