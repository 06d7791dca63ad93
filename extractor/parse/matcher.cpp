// Pairs start and end tags, and decides where unmatched elements end.
#include <vector>

#include "extractor/parse/parse.h"

namespace brevanto {

void matchTags(std::vector<HtmlTag>& tags, const HtmlElementTable& elements, int32_t nameKeyCount) {
  if (tags.empty()) return;

  // Pass 1: an end tag closes the nearest open element of its name and every
  // element opened after that one, which stays unmatched. Each open element
  // links to the next one down of the same name, so that finding that
  // element, and finding none, costs no walk down the stack.
  struct OpenElement {
    int32_t tag;
    int32_t belowOfSameName;  // position in `open`, or -1
  };
  std::vector<OpenElement> open;                           // innermost last
  std::vector<int32_t> innermostOfName(nameKeyCount, -1);  // position in `open`
  for (HtmlTag& tag : tags) {
    if (tag.isOpen && tag.isClose) {
      tag.partner = tag.index;
    } else if (tag.isOpen) {
      int32_t& innermost = innermostOfName[tag.nameKey];
      open.push_back({tag.index, innermost});
      innermost = static_cast<int32_t>(open.size() - 1);
    } else if (const int32_t depth = innermostOfName[tag.nameKey]; depth >= 0) {
      HtmlTag& start = tags[open[depth].tag];
      start.partner = tag.index;
      tag.partner = start.index;
      while (static_cast<int32_t>(open.size()) > depth) {
        innermostOfName[tags[open.back().tag].nameKey] = open.back().belowOfSameName;
        open.pop_back();
      }
    }
  }

  // Pass 2, from the last tag back, so that the next tag of a block-level
  // element is at hand: what an unmatched tag becomes depends on its end tag
  // rule.
  const int32_t last = static_cast<int32_t>(tags.size() - 1);
  int32_t nextBlock = -1;  // after the tag at hand
  for (int32_t i = last; i >= 0; --i) {
    HtmlTag& tag = tags[i];
    const HtmlElementInfo& element = elements[tag.row];
    if (tag.partner == -1) {
      if (element.endTag == kEndTagForbidden) {
        tag.partner = tag.index;
        tag.isOpen = tag.isClose = true;
      } else if (element.endTag == kEndTagOptional && tag.isOpen) {
        // An optional end tag that was left out ends the element at the next
        // block-level tag; that tag keeps its own partner.
        tag.partner = nextBlock >= 0 ? nextBlock : last;
      } else {
        tag.makeSelfContained();
      }
    }
    if (element.level == kLevelBlock) nextBlock = i;
  }
}

}  // namespace brevanto
