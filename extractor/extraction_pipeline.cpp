#include "extractor/extraction_pipeline.h"

#include <algorithm>
#include <cstring>

namespace brevanto {

ExtractionPipeline::ExtractionPipeline(Analysis analysis) : ExtractionPipeline(rulesFor(analysis)) {}

ExtractionPipeline::ExtractionPipeline(const Rules& rulesToRun)
    : rules(rulesToRun), scanner_(*rules.elements, rules.anySpaceEndsName, rules.commentsEndAtArrow) {}

// Nodes live in nodeStore_ and texts in textStore_, so destruction frees them
// without walking the tree, whatever its depth.
ExtractionPipeline::~ExtractionPipeline() = default;

MarkupRead ExtractionPipeline::analyze(const char* markup) {
  markup_ = markup == nullptr ? "" : markup;
  const size_t whole = std::strlen(markup_);
  const size_t length = std::min(whole, kMostMarkupBytes);
  scanner_.scan(markup_, markup_ + length, tags);
  matchTags(tags, *rules.elements, scanner_.nameKeyCount());
  buildTree(tags, nodeStore_, root);
  markChrome(tags, root, markup_, rules);
  const bool textsFit = collectText(tags, root, markup_, length, rules, textStore_);
  measureLinks(root, rules);
  pruneTree(root, rules);
  HtmlNode* bodyNode = findBody(root, rules);
  body = bodyFiguresOf(bodyNode, rules);
  body.hasChrome = holdsChrome(tags);
  if (bodyNode != nullptr) markScored(*bodyNode);
  return length == whole && textsFit ? MarkupRead::kWhole : MarkupRead::kCut;
}

std::vector<ContentChoice> ExtractionPipeline::chooseContent() {
  return brevanto::chooseContent(root, body, rules);
}

}  // namespace brevanto
