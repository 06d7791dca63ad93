// Parsing: the body markup in, its tags and the element tree over them out.
//
//   scanner   markup -> tags in document order, each with its offsets, row,
//             name key and open/close flags
//   matcher   tags -> every tag with a partner
//   tree      matched tags -> element nodes under a root
//
// Text is not tokenized: it stays in the markup, and the text stage cuts it
// out between the tags' offsets, so the markup must stay unchanged and alive
// for as long as the tags are used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "extractor/parse/html_tag.h"

namespace brevanto {

// Finds the tags of a markup. One scanner serves analysis after analysis.
class TagScanner {
 public:
  // Names are looked up in `elements` (not owned: outlives the scanner).
  // With `anySpaceEndsName`, tab, CR, LF and form feed end a tag's name as
  // the blank does; without it such a tag names no element. With
  // `commentsEndAtArrow`, a comment ends only at "-->" or "--!>"; without it
  // at the first ">" after the first "--" inside it.
  TagScanner(const HtmlElementTable& elements, bool anySpaceEndsName, bool commentsEndAtArrow);

  // Replaces `tags` with every tag of the markup from `begin` to `end`, in
  // document order, each with its offsets from `begin`, row, name key and
  // open/close flags; partners are -1. The markup must be at most
  // kMostMarkupBytes long.
  void scan(const char* begin, const char* end, std::vector<HtmlTag>& tags);
  // The name keys of the last scan run from 0 up to this.
  int32_t nameKeyCount() const;

 private:
  // Adds the tag from `lt` to `gt`, when the text between them names one.
  void addTag(const char* lt, const char* gt, const char* base, std::vector<HtmlTag>& tags);
  int32_t nameKeyOf(std::string_view name, ElementRow row);

  struct FoldedHash {
    size_t operator()(std::string_view name) const;
  };
  struct FoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const;
  };

  const HtmlElementTable& elements_;  // not owned: outlives the scanner
  const bool anySpaceEndsName_;
  const bool commentsEndAtArrow_;
  bool inRawText_ = false;  // while the scan is inside a skip-content element
  // Keys of the names outside the element table, without regard to case. The
  // names are views of the markup of the last scan.
  std::unordered_map<std::string_view, int32_t, FoldedHash, FoldedEqual> otherNames_;
};

// Gives every tag a partner: a start tag and its end tag point at each
// other; a self-contained tag (comment, empty element, unmatched tag) points
// at itself and is open and close; a start tag whose optional end tag was
// left out points at the tag that ends it. `nameKeyCount` is the scanner's.
void matchTags(std::vector<HtmlTag>& tags, const HtmlElementTable& elements, int32_t nameKeyCount);

// Makes `root` the root of the element tree over the matched `tags`: its
// children are the top-level elements, and a node's children are the
// elements inside its extent (from its tag to its partner), in document
// order. An element that runs past its parent's end is an empty leaf. The
// nodes live in `nodes`, which is replaced.
void buildTree(std::vector<HtmlTag>& tags, std::vector<HtmlNode>& nodes, HtmlNode& root);

// The element name of `tag` as written in `markup` (letter case kept),
// without "/" and attributes; "!" for comments and declarations; read as the
// scanner read it.
std::string_view tagName(const char* markup, const HtmlTag& tag, bool anySpaceEndsName);

// One line per tag: index, partner, start and end offsets, flags (O open,
// C close, N no content, or "-"), name. A stable dump for tests and for
// looking at a page.
std::string dumpTags(const std::vector<HtmlTag>& tags, const char* markup, bool anySpaceEndsName);
// Appends `bytes` of the markup with every control and other non-printable
// byte, and "\", written as \xHH, so that a name in a dump stays on its line.
void appendPrintable(std::string& out, std::string_view bytes);

}  // namespace brevanto
