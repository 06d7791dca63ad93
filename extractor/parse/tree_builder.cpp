// Builds the element tree from the matched tags by index jumps, with an
// explicit stack instead of one call per nesting level, so that any depth of
// markup goes through.
#include <algorithm>
#include <vector>

#include "extractor/extraction_pipeline.h"

namespace brevanto {

void ExtractionPipeline::clearTree() {
  root.children.clear();
  root.children.shrink_to_fit();
  root.parent = nullptr;
  root.tag = nullptr;
  nodeStore_.clear();
}

HtmlNode* ExtractionPipeline::newNode(HtmlNode* parent, HtmlTag* tag) {
  HtmlNode& node = nodeStore_.emplace_back();
  node.parent = parent;
  node.tag = tag;
  parent->children.push_back(&node);
  return &node;
}

namespace {

// Where the walk of a level goes on after the element that starts at `tag`:
// past its end tag when that tag closes it, else at the tag that ended it.
int nextAfter(const std::vector<HtmlTag>& tags, const HtmlTag& tag) {
  if (tag.partner == tag.index) return tag.index + 1;
  const HtmlTag& end = tags[tag.partner];
  const int next = (tag.nameKey == end.nameKey && tag.isOpen && end.isClose) ? tag.partner + 1 : tag.partner;
  // Partners of open tags lie after them; never walk back.
  return std::max(next, tag.index + 1);
}

}  // namespace

int ExtractionPipeline::buildTree() {
  clearTree();
  if (tags.empty()) return -2;
  const int count = static_cast<int>(tags.size());
  for (int i = 0; i < count;) {
    HtmlTag& tag = tags[i];
    if (!tag.isOpen) {
      ++i;
      continue;
    }
    buildChildren(i, newNode(&root, &tag), &tag);
    i = nextAfter(tags, tag);
  }
  return 0;
}

void ExtractionPipeline::buildChildren(int first, HtmlNode* node, HtmlTag* tag) {
  struct Level {
    HtmlNode* node;
    int begin;  // index of the level's opening tag
    int end;    // its partner when the level was entered
    int next;   // the tag to look at next
  };
  std::vector<Level> levels;
  levels.push_back({node, tag->index, tag->partner, first + 1});
  while (!levels.empty()) {
    Level& level = levels.back();
    if (!(level.begin < level.next && level.next < level.end)) {
      levels.pop_back();
      if (!levels.empty()) levels.back().next = nextAfter(tags, tags[levels.back().next]);
      continue;
    }
    HtmlTag& r = tags[level.next];
    if (r.partner < level.end) {
      if (!r.isOpen) {
        ++level.next;
        continue;
      }
      // The parent resumes after this child when the child's level is done.
      HtmlNode* child = newNode(level.node, &r);
      levels.push_back({child, r.index, r.partner, r.index + 1});
      continue;
    }
    // The element reaches or passes its parent's end: it becomes an empty
    // leaf, and the tag where it ended is closed off too.
    HtmlTag& s = tags[r.partner];
    const bool sWasStartTag = s.isOpen && !s.isClose;
    const int sOldPartner = s.partner;
    makeSelfContained(r);
    newNode(level.node, &r);
    makeSelfContained(s);
    // When that tag was a start tag, the end tag it was paired with would now
    // close nothing and be skipped by every walk, leaving its raw markup in
    // the parent's text: it becomes self-contained like any unmatched end tag.
    if (sWasStartTag && sOldPartner != s.index && sOldPartner >= 0) {
      HtmlTag& pairedEnd = tags[sOldPartner];
      if (pairedEnd.partner == s.index && !pairedEnd.isOpen) makeSelfContained(pairedEnd);
    }
    ++level.next;
  }
}

}  // namespace brevanto
