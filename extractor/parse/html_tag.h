// One tag of the body markup, and one element of the tree built from the tags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "extractor/parse/html_element_table.h"

namespace brevanto {

struct HtmlTag {
  int32_t index = -1;        // position in the pipeline's `tags`
  // Index of the tag at which this element's extent ends: the end tag it pairs
  // with, itself when self-contained, or the tag that ends an element whose
  // optional end tag was left out. -1 only before matching.
  int32_t partner = -1;
  int32_t startOffset = -1;  // offset of the "<" from the first byte of the markup
  int32_t endOffset = -1;    // offset of the ">"
  // Element name as written (letter case kept), without "/" and attributes;
  // "!" for comments and declarations. Not owned: bytes of the markup, which
  // outlives the analysis.
  std::string_view name;
  int32_t isOpen = 0;
  int32_t isClose = 0;
  int32_t hasContent = 1;  // 0 when matching or tree building gave up the extent
  // The text of the element's whole subtree, or null when it has none (a
  // collected text is never empty). Not owned: a range of the pipeline's text
  // store, shared with the ancestors' texts; not NUL-terminated.
  const char* text = nullptr;
  int32_t textLength = 0;
  int32_t linkTextLength = 0;
  double textShare = 0;
  double plainShare = 0;
  double linkShare = 0;
  double score = 0;
  // Not owned: the element row of `name`, looked up once when the tag is made.
  const HtmlElementInfo* element = nullptr;
  // Equal for equal names compared without regard to ASCII case.
  int32_t nameKey = -1;
  // Where `text` lies while the texts are being built: a buffer of the text
  // store and the offset in it.
  int32_t textBuffer = -1;
  size_t textOffset = 0;

  std::string_view textView() const { return {text, static_cast<size_t>(textLength)}; }
};

struct HtmlNode {
  HtmlNode* parent = nullptr;  // not owned; null for the root
  // Children in document order; empty when there are none. The nodes are not
  // owned here: every node lives in its pipeline's node store until the next
  // clearTree, so removing a node from the tree is unlinking it.
  std::vector<HtmlNode*> children;
  HtmlTag* tag = nullptr;  // not owned (the pipeline's `tags` own it); null for the root
};

}  // namespace brevanto
