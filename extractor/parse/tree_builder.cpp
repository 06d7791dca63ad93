// Builds the element tree from the matched tags by index jumps. The walk
// keeps no stack: the node it is inside and the nodes' parent links say
// where it is, so any depth of markup goes through.
#include <vector>

#include "extractor/parse/parse.h"

namespace brevanto {

namespace {

// Where the walk goes on after the element that starts at `tag`: past its end
// tag when that tag closes it, else at the tag that ended it, which may start
// the next element.
int32_t nextAfter(const std::vector<HtmlTag>& tags, const HtmlTag& tag) {
  if (tag.partner == tag.index) return tag.index + 1;
  const HtmlTag& end = tags[tag.partner];
  const int32_t next =
      tag.nameKey == end.nameKey && tag.isOpen && end.isClose ? tag.partner + 1 : tag.partner;
  // Partners of open tags lie after them; the walk never goes back, so that
  // it visits each tag once.
  return next > tag.index ? next : tag.index + 1;
}

// Appends a node for `tag` to the children of `parent`, after `lastChild`.
HtmlNode* appendChild(std::vector<HtmlNode>& nodes, HtmlNode* parent, HtmlNode* lastChild, HtmlTag* tag) {
  HtmlNode& node = nodes.emplace_back();
  node.parent = parent;
  node.tag = tag;
  (lastChild == nullptr ? parent->firstChild : lastChild->nextSibling) = &node;
  return &node;
}

}  // namespace

void buildTree(std::vector<HtmlTag>& tags, std::vector<HtmlNode>& nodes, HtmlNode& root) {
  root = HtmlNode{};
  nodes.clear();
  if (tags.empty()) return;
  // The walk visits each tag once and makes at most one node there, so the
  // store never grows past this and its nodes never move.
  nodes.reserve(tags.size());
  const int32_t count = static_cast<int32_t>(tags.size());

  // The walk is inside `level`, whose extent runs from its tag to its partner
  // (the root's spans every tag), and looks at the tag `next` next. Every tag
  // before `next` is placed: each open one has its node, under the innermost
  // element whose extent holds it. `lastChild` is level's last child so far.
  HtmlNode* level = &root;
  HtmlNode* lastChild = nullptr;
  int32_t next = 0;
  for (;;) {
    const int32_t levelEnd = level == &root ? count : level->tag->partner;
    if (next >= levelEnd) {
      if (level == &root) break;
      // The level is complete; its parent goes on after it.
      next = nextAfter(tags, *level->tag);
      lastChild = level;
      level = level->parent;
      continue;
    }
    HtmlTag& tag = tags[next];
    if (tag.partner < levelEnd) {
      if (!tag.isOpen) {
        ++next;
        continue;
      }
      level = appendChild(nodes, level, lastChild, &tag);
      lastChild = nullptr;
      next = tag.index + 1;
      continue;
    }
    // The element reaches or passes its parent's end: it becomes an empty
    // leaf whose content falls to the parent, and the tag where it ended is
    // closed off too. The parent keeps its extent; its walk skips past that
    // tag now that it is closed.
    HtmlTag& extentEnd = tags[tag.partner];
    const bool extentEndWasStartTag = extentEnd.isOpen && !extentEnd.isClose;
    const int32_t extentEndsOwnEnd = extentEnd.partner;
    tag.makeSelfContained();
    lastChild = appendChild(nodes, level, lastChild, &tag);
    extentEnd.makeSelfContained();
    // When that tag was a start tag, the end tag it was paired with would now
    // close nothing and be skipped by every walk, leaving its raw markup in
    // the parent's text: it becomes self-contained like any unmatched end tag.
    if (extentEndWasStartTag && extentEndsOwnEnd != extentEnd.index && extentEndsOwnEnd >= 0) {
      HtmlTag& pairedEnd = tags[extentEndsOwnEnd];
      if (pairedEnd.partner == extentEnd.index && !pairedEnd.isOpen) pairedEnd.makeSelfContained();
    }
    ++next;
  }
}

}  // namespace brevanto
