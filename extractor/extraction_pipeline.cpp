#include "extractor/extraction_pipeline.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace brevanto {

ExtractionPipeline::ExtractionPipeline() = default;

// Nodes live in nodeStore_ and texts in textStore_, so destruction frees them
// without walking the tree, whatever its depth.
ExtractionPipeline::~ExtractionPipeline() = default;

int ExtractionPipeline::analyze(const char* markup) {
  clearTags();
  clearTree();
  bodyTextLength = bodyPlainLength = bodyLinkTextLength = 0;
  // Offsets are 32-bit: a longer body is analysed up to that limit.
  size_t length = markup == nullptr ? 0 : std::strlen(markup);
  length = std::min<size_t>(length, std::numeric_limits<int32_t>::max() - 1);
  if (markup != nullptr) scanMarkup(markup, markup + length);
  matchTags();
  buildTree();
  collectText(markup);
  for (HtmlNode* child : root.children) measureLinks(child);
  pruneTree(&root);
  dropInlineLeaves(&root);
  collapseChains(&root);
  if (HtmlNode* body = findBody(&root)) {
    scoreTree(body, bodyTextLength, bodyPlainLength, bodyLinkTextLength);
  }
  return 0;
}

}  // namespace brevanto
