// The text of a node of the parser's tree, for the loader's parts that read
// one: the serializer, and the title and URL.
#pragma once

#include <myhtml/api.h>

#include <cstddef>
#include <string_view>

namespace brevanto::cli {

// The node's character data (a text or a comment); empty for an element.
// A view of the parser's tree: valid until the tree is cleaned.
inline std::string_view textOf(myhtml_tree_node_t* node) {
  size_t length = 0;
  const char* text = myhtml_node_text(node, &length);
  return text == nullptr ? std::string_view() : std::string_view(text, length);
}

}  // namespace brevanto::cli
