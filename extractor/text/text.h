// Text: the element tree in, every element's text out.
//
//   chrome    marks the page's furniture, whose text no element gets
//             (where the rules mark chrome)
//   text      gives every element the text of its whole subtree, one range
//             of a text store shared with its ancestors' texts
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "extractor/parse/html_tag.h"
#include "extractor/rules.h"

namespace brevanto {

// The line break of a BR in a text, and the only line break that cleaning a
// text for the output file splits on.
inline constexpr std::string_view kLineBreak = "\r\n";

// Marks every element of the tree under `root` that is page furniture: by
// its element (always, or outside any section) unless it holds most of the
// page's paragraphs; by its kind, by being hidden, or by the words of its
// class and id names, unless it holds most of the page's visible text (or,
// for names, most of its paragraphs). Which of these apply the rules say. A
// marked element's subtree gets no text, so its ancestors' texts and link
// counts leave it out, and pruning drops it. `markup` is the one the tags
// were scanned from.
void markChrome(std::vector<HtmlTag>& tags, HtmlNode& root, const char* markup, const Rules& rules);
// Whether markChrome marked any of `tags`: a page with furniture is no bare
// document.
bool holdsChrome(const std::vector<HtmlTag>& tags);

// A byte store of fixed capacity for the texts of one analysis. Its bytes
// never move, so the ranges that tags hold stay valid until the next reset.
class TextStore {
 public:
  // Empties the store, with room for `capacity` bytes.
  void reset(size_t capacity);
  // Appends the bytes when they fit; when they do not, appends nothing and
  // the store is overflowed until the next reset.
  void append(const char* bytes, size_t length);
  // Room for `length` bytes at the end, which the caller writes and then
  // keeps with grow; null, and the store overflowed, when they do not fit.
  char* room(size_t length);
  // Keeps `length` bytes written into the room, `visible` of them visible.
  void grow(size_t length, int32_t visible);
  void push_back(char c) { append(&c, 1); }
  const char* end() const { return bytes_.get() + size_; }
  bool overflowed() const { return overflowed_; }
  // Visible bytes appended since the reset, when counting them.
  int32_t visibleCount() const { return visible_; }
  void countVisible(bool counts) { countsVisible_ = counts; }

 private:
  std::unique_ptr<char[]> bytes_;  // owned
  size_t capacity_ = 0;
  size_t size_ = 0;
  bool countsVisible_ = false;
  bool overflowed_ = false;
  int32_t visible_ = 0;  // never past the capacity, which fits an offset
};

// Gives the tag of every node under `root` the text of its whole subtree:
// its own character data with entities decoded, its children's texts in
// order, a line break for each BR child; chrome is left out. Where the rules
// say so, the text reads as a browser shows it: white space collapsed,
// blocks on lines of their own, characters that show nothing and the
// content of elements that render none left out. Where the rules count
// visible bytes, each tag's visibleLength counts those of its text.
// The texts are written into `store`. False when they did not fit it, which
// a markup of at most kMostMarkupBytes never makes happen.
bool collectText(std::vector<HtmlTag>& tags, HtmlNode& root, const char* markup, size_t markupLength,
                 const Rules& rules, TextStore& store);

// The length of the tag's text as the shares count it: every byte, or the
// visible bytes where the rules say so, since the indentation of markup is
// not content.
inline int32_t countedLength(const HtmlTag& tag, const Rules& rules) {
  return rules.countsVisibleBytes ? tag.visibleLength : tag.textLength;
}

}  // namespace brevanto
