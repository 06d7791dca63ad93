// The tests' one way into the steps of an analysis, which the pipeline keeps
// private: running a stage alone, and the pure functions of the text and
// selection stages.
#pragma once

#include <optional>
#include <string>

#include "extractor/extraction_pipeline.h"

namespace brevanto::testing {

class PipelineSteps {
 public:
  // Scans `markup`, which must outlive the tags, and matches the tags.
  static MatchResult scanAndMatch(ExtractionPipeline& p, const std::string& markup) {
    p.clearTags();
    p.scanMarkup(markup.data(), markup.data() + markup.size());
    return p.matchTags();
  }
  static void scan(ExtractionPipeline& p, const char* begin, const char* end) {
    p.clearTags();
    p.scanMarkup(begin, end);
  }
  static MatchResult matchTags(ExtractionPipeline& p) { return p.matchTags(); }
  static BuildResult buildTree(ExtractionPipeline& p) { return p.buildTree(); }
  static void collectText(ExtractionPipeline& p, const char* markup) { p.collectText(markup); }

  static std::optional<std::string> decodeEntities(const char* bytes, size_t length) {
    return ExtractionPipeline::decodeEntities(bytes, length);
  }
  static char entityChar(const char* entity, size_t length) {
    return ExtractionPipeline::entityChar(entity, length);
  }
  static void cleanLinesInPlace(std::string& text, size_t from) {
    ExtractionPipeline::cleanLinesInPlace(text, from);
  }

  static double percentOf(int x, int y) { return ExtractionPipeline::percentOf(x, y); }
  static double nodeScore(const ElementShares& shares) { return ExtractionPipeline::nodeScore(shares); }
  static ContentList collectContentNodes(ExtractionPipeline& p, int leastParagraphs, double leastShare) {
    return p.collectContentNodes(&p.root, leastParagraphs, leastShare);
  }
  static HtmlNode* bestScoredNode(const ExtractionPipeline& p, HtmlNode* node) {
    return p.bestScoredNode(node);
  }
};

}  // namespace brevanto::testing
