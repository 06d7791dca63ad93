// The one walk over a node tree that every stage uses. It follows the links
// the nodes already have (first child, next sibling, parent), so it needs no
// stack: no depth of markup can exhaust memory or the call stack.
#pragma once

#include "extractor/parse/html_tag.h"

namespace brevanto {

// Visits `top` and its subtree in document order. `enter(node)` runs when the
// walk reaches a node and returns whether to go into its children;
// `leave(node)` runs once the walk is done with a node it went into, after
// all of its children. `enter` may change the node's children list, `leave`
// may change it too; neither may unlink the node itself.
// `Node` is HtmlNode, or const HtmlNode for a walk that changes nothing.
template <typename Node, typename Enter, typename Leave>
void walkTree(Node* top, Enter enter, Leave leave) {
  Node* node = top;
  bool goInto = enter(node);
  for (;;) {
    if (goInto && node->firstChild != nullptr) {
      node = node->firstChild;
      goInto = enter(node);
      continue;
    }
    if (goInto) leave(node);
    // Up to the nearest node with a next sibling; every node passed on the
    // way was gone into, and is now done.
    while (node != top && node->nextSibling == nullptr) {
      node = node->parent;
      leave(node);
    }
    if (node == top) return;
    node = node->nextSibling;
    goInto = enter(node);
  }
}

// Visits `top` and its subtree in document order; `visit(node)` returns
// whether to go into the node's children.
template <typename Node, typename Visit>
void walkTree(Node* top, Visit visit) {
  walkTree(top, visit, [](Node*) {});
}

}  // namespace brevanto
