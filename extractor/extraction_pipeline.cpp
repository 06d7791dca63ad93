#include "extractor/extraction_pipeline.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace brevanto {

ExtractionPipeline::ExtractionPipeline(Analysis analysisToRun)
    : analysis(analysisToRun),
      elements(HtmlElementTable::of(analysisToRun)),
      anchorRow_(knownRow("A")),
      bodyRow_(knownRow("BODY")),
      documentRow_(knownRow("HTML")),
      lineBreakRow_(knownRow("BR")),
      paragraphRow_(knownRow("P")) {}

// Nodes live in nodeStore_ and texts in textStore_, so destruction frees them
// without walking the tree, whatever its depth.
ExtractionPipeline::~ExtractionPipeline() = default;

ElementRow ExtractionPipeline::knownRow(const char* name) const {
  const ElementRow row = elements.rowOf(name, std::strlen(name));
  return row == elements.otherRowNumber() ? kNoRow : row;
}

void ExtractionPipeline::analyze(const char* markup) {
  clearTags();
  clearTree();
  bodyTextLength = bodyPlainLength = bodyLinkTextLength = 0;
  // Offsets are 32-bit: a longer body is analysed up to that limit.
  size_t length = markup == nullptr ? 0 : std::strlen(markup);
  length = std::min<size_t>(length, std::numeric_limits<int32_t>::max() - 1);
  if (markup != nullptr) scanMarkup(markup, markup + length);
  matchTags();
  buildTree();
  if (analysis == Analysis::kModern) markChrome();
  collectText(markup);
  for (HtmlNode* child = root.firstChild; child != nullptr; child = child->nextSibling) measureLinks(child);
  pruneTree(&root);
  dropInlineLeaves(&root);
  collapseChains(&root);
  if (HtmlNode* body = findBody(&root)) scoreTree(body);
}

}  // namespace brevanto
