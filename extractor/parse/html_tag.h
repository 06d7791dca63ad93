// One tag of the body markup, and one element of the tree built from the tags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "extractor/parse/html_element_table.h"

namespace brevanto {

// The longest markup an analysis reads: offsets are 32-bit, and the offset
// just past the last tag must fit one too.
inline constexpr size_t kMostMarkupBytes = std::numeric_limits<int32_t>::max() - 1;

// A page holds millions of tags, so a tag is kept small: offsets and indices
// in 32 bits, the element's table row instead of its name, flags in bits. The
// name as written is read again from the markup where it is shown.
struct HtmlTag {
  HtmlTag() : isOpen(false), isClose(false), hasContent(true), isScored(false), isChrome(false) {}

  int32_t index = -1;  // position in the pipeline's `tags`
  // Index of the tag at which this element's extent ends: the end tag it pairs
  // with, itself when self-contained, or the tag that ends an element whose
  // optional end tag was left out. -1 only before matching.
  int32_t partner = -1;
  int32_t startOffset = -1;  // offset of the "<" from the first byte of the markup
  int32_t endOffset = -1;    // offset of the ">"
  // The text of the element's whole subtree, or null when it has none (a
  // collected text is never empty). Not owned: a range of the pipeline's text
  // store, shared with the ancestors' texts; not NUL-terminated.
  const char* text = nullptr;
  int32_t textLength = 0;
  // Bytes of link text in the subtree: the text lengths of every A element in
  // it, the element itself included, at most the largest int32_t. Where the
  // rules count visible bytes, only those.
  int32_t linkTextLength = 0;
  // One word that the stages use in turn, so that the modern analysis costs
  // no more memory per tag than the classic one. Which member is live
  // depends on the stage the analysis has reached:
  union {
    // scanner, matcher, tree: equal for names that are equal without regard
    // to ASCII case; the row for names of the table, a number past the
    // table's rows for the others.
    int32_t nameKey = -1;
    // chrome, where the rules mark it: the P start tags before this tag.
    int32_t paragraphsBefore;
    // text and every stage after it: the bytes of the text that show, those
    // above the blank; set only where the rules count visible bytes.
    int32_t visibleLength;
  };
  ElementRow row = 0;   // the element's row in the table the analysis runs on
  bool isOpen : 1;      // the tag opens an element
  bool isClose : 1;     // the tag closes one: an end tag, or self-contained
  bool hasContent : 1;  // false when matching or tree building gave up the extent
  bool isScored : 1;    // the element is the body or below it, and has shares
  bool isChrome : 1;    // page furniture, left out of every text

  // Its own partner, open and close, with no content: what an unmatched tag
  // becomes, and an element whose extent was given up.
  void makeSelfContained() {
    partner = index;
    isOpen = isClose = true;
    hasContent = false;
  }
};
static_assert(sizeof(HtmlTag) <= 40, "a tag is paid for once per tag of the page");

// One element of the tree. The children of a node, in document order, are the
// chain from `firstChild` along `nextSibling`. Nodes live in their pipeline's
// node store until the next analysis: removing a node from the tree is
// unlinking it.
struct HtmlNode {
  HtmlNode* parent = nullptr;       // not owned; null for the root
  HtmlNode* firstChild = nullptr;   // not owned; null for a leaf
  HtmlNode* nextSibling = nullptr;  // not owned; null for the last child
  HtmlTag* tag = nullptr;           // not owned (the pipeline's `tags` own it); null for the root

  bool isLeaf() const { return firstChild == nullptr; }
};

}  // namespace brevanto
