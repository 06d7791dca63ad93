// Pairs start and end tags, and decides where unmatched elements end.
#include <vector>

#include "extractor/extraction_pipeline.h"

namespace brevanto {

void ExtractionPipeline::makeSelfContained(HtmlTag& tag) {
  tag.partner = tag.index;
  tag.isOpen = tag.isClose = 1;
  tag.hasContent = 0;
}

int ExtractionPipeline::matchTags() {
  if (tags.empty()) return -1;
  const int count = static_cast<int>(tags.size());

  // Pass 1: an end tag closes the nearest open element of its name and every
  // element opened after that one, which stays unmatched. The open elements
  // of each name are kept apart so that finding that element, and finding
  // none, costs no walk down the stack.
  std::vector<int> open;  // indices of start tags still open, innermost last
  std::vector<std::vector<int>> openByName(HtmlElementTable::kRowCount + otherNames_.size());
  for (HtmlTag& tag : tags) {
    if (tag.isOpen && tag.isClose) {
      tag.partner = tag.index;
    } else if (tag.isOpen) {
      openByName[tag.nameKey].push_back(static_cast<int>(open.size()));
      open.push_back(tag.index);
    } else {
      std::vector<int>& sameName = openByName[tag.nameKey];
      if (sameName.empty()) continue;
      const size_t depth = static_cast<size_t>(sameName.back());
      HtmlTag& start = tags[open[depth]];
      start.partner = tag.index;
      tag.partner = start.index;
      while (open.size() > depth) {
        openByName[tags[open.back()].nameKey].pop_back();
        open.pop_back();
      }
    }
  }

  // For each tag, the next tag of a block-level element after it, or -1.
  std::vector<int> nextBlock(tags.size());
  for (int i = count - 1, next = -1; i >= 0; --i) {
    nextBlock[i] = next;
    if (tags[i].element->level == kLevelBlock) next = i;
  }

  // Pass 2: what an unmatched tag becomes depends on its end tag rule.
  for (HtmlTag& tag : tags) {
    if (tag.partner != -1) continue;
    switch (tag.element->endTag) {
      case kEndTagForbidden:
        tag.partner = tag.index;
        tag.isOpen = tag.isClose = 1;
        break;
      case kEndTagOptional:
        if (tag.isOpen) {
          // An optional end tag that was left out ends the element at the next
          // block-level tag; that tag keeps its own partner.
          const int next = nextBlock[tag.index];
          tag.partner = next >= 0 ? next : count - 1;
          break;
        }
        makeSelfContained(tag);
        break;
      default:
        makeSelfContained(tag);
        break;
    }
  }
  return 1;
}

}  // namespace brevanto
