// The parsed body written back as markup, as the Windows browser hands over
// an element's outer markup: what the analysis reads.
#pragma once

#include <string>
#include <vector>

#include "extractor/parse/html_element_table.h"

struct myhtml_tree;       // one parsed document
struct myhtml_tree_node;  // one node of it

namespace brevanto::cli {

// Text and attribute values come out escaped, void elements without an end
// tag, the contents of raw-text elements as they are, and a line break
// before each block-level element that does not start a line already: the
// analysis keeps those line breaks, so that blocks become lines of their
// own. The walk follows the tree's links, not the call stack, so any depth
// goes through.
class MarkupSerializer {
 public:
  // Lines break before the block-level elements of the element table of
  // `analysis`. Comments stay for the classic analysis, which reads them by
  // the Windows rule; the modern one gets none: the parser has read them
  // already, and they hold no text.
  MarkupSerializer(myhtml_tree* tree, Analysis analysis);

  // Appends the outer markup of `top` to `out`; true when the subtree holds
  // text that a browser shows.
  bool appendOuterMarkup(myhtml_tree_node* top, std::string& out) const;

 private:
  myhtml_tree* tree_;  // not owned: names the tags of every document parsed into it
  // By the parser's tag id: whether the analysis' element table calls the
  // element block-level.
  std::vector<bool> blockLevel_;
  bool keepComments_;
};

}  // namespace brevanto::cli
