// Measures link text, prunes the tree down to text-bearing block structure,
// scores every element of the body against the whole body, and picks the
// elements that carry the article. Every walk keeps its own stack, so no
// depth of markup can exhaust the call stack.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "extractor/extraction_pipeline.h"

namespace brevanto {
namespace {

bool nameIs(const HtmlTag* tag, std::string_view upper) {
  if (tag == nullptr || tag->name.size() != upper.size()) return false;
  for (size_t i = 0; i < upper.size(); ++i) {
    char c = tag->name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

// Visits `top` and its descendants children first; `finish(node)` runs once
// all of a node's children are finished, and may change its children list.
template <typename Finish>
void postOrder(HtmlNode* top, Finish finish) {
  struct Level {
    HtmlNode* node;
    size_t nextChild;
  };
  std::vector<Level> levels{{top, 0}};
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.nextChild < level.node->children.size()) {
      HtmlNode* child = level.node->children[level.nextChild++];
      levels.push_back({child, 0});
      continue;
    }
    HtmlNode* node = level.node;
    levels.pop_back();
    finish(node);
  }
}

// Visits `top` and its descendants in document order; `visit(node)` returns
// false to leave the node's subtree out.
template <typename Visit>
void preOrder(HtmlNode* top, Visit visit) {
  std::vector<HtmlNode*> pending{top};
  while (!pending.empty()) {
    HtmlNode* node = pending.back();
    pending.pop_back();
    if (!visit(node)) continue;
    for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) pending.push_back(*it);
  }
}

// Nested links count once per enclosing link, so a few megabytes of nested
// links add up past 32 bits: the figure stops at the largest int instead of
// wrapping to a negative length.
void addLinkText(int32_t& sum, int32_t more) {
  sum = more > std::numeric_limits<int32_t>::max() - sum ? std::numeric_limits<int32_t>::max() : sum + more;
}

int plainLength(const HtmlTag& tag) { return std::max(tag.textLength - tag.linkTextLength, 0); }

}  // namespace

void ExtractionPipeline::measureLinks(HtmlNode* node) {
  // A tag whose extent was given up is not measured, and neither is its
  // subtree; its figure stays 0 in its parent's sum.
  if (node->tag != nullptr && node->tag->hasContent == 0) return;
  struct Level {
    HtmlNode* node;
    size_t nextChild;
  };
  std::vector<Level> levels{{node, 0}};
  if (nameIs(node->tag, "A")) addLinkText(node->tag->linkTextLength, node->tag->textLength);
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.nextChild < level.node->children.size()) {
      HtmlNode* child = level.node->children[level.nextChild++];
      if (child->tag->hasContent == 0) continue;
      if (nameIs(child->tag, "A")) addLinkText(child->tag->linkTextLength, child->tag->textLength);
      levels.push_back({child, 0});
      continue;
    }
    HtmlNode* done = level.node;
    levels.pop_back();
    if (!levels.empty() && levels.back().node->tag != nullptr) {
      addLinkText(levels.back().node->tag->linkTextLength, done->tag->linkTextLength);
    }
  }
}

void ExtractionPipeline::pruneTree(HtmlNode* node) {
  // Texts were collected before: a removed node's text stays part of its
  // ancestors' texts.
  auto keeps = [](const HtmlNode* n) {
    const HtmlTag* tag = n->tag;
    if (tag->textLength <= 0) return false;
    return tag->element->isEmpty == 0 && tag->element->rendersContent != 0;
  };
  if (node->tag != nullptr && !keeps(node)) {
    HtmlNode* parent = node->parent;
    if (parent != nullptr) {
      auto& siblings = parent->children;
      siblings.erase(std::find(siblings.begin(), siblings.end(), node));
    }
    return;
  }
  preOrder(node, [&](HtmlNode* n) {
    auto& children = n->children;
    size_t kept = 0;
    for (HtmlNode* child : children) {
      if (keeps(child)) children[kept++] = child;
    }
    children.resize(kept);
    if (kept == 0) children.shrink_to_fit();
    return true;
  });
}

void ExtractionPipeline::dropInlineLeaves(HtmlNode* node) {
  // An inline element that is, or has become, a leaf goes; any element that
  // keeps a child stays.
  auto drops = [](const HtmlNode* n) {
    return n->children.empty() && n->tag != nullptr && n->tag->element->level == kLevelInline;
  };
  postOrder(node, [&](HtmlNode* n) {
    auto& children = n->children;
    size_t kept = 0;
    for (HtmlNode* child : children) {
      if (!drops(child)) children[kept++] = child;
    }
    children.resize(kept);
    if (kept == 0) children.shrink_to_fit();
  });
  if (drops(node) && node->parent != nullptr) {
    auto& siblings = node->parent->children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
  }
}

void ExtractionPipeline::collapseChains(HtmlNode* node) {
  // A tagged node with a single child takes over that child's children: a
  // cell that holds one paragraph becomes one node. The node keeps its own
  // tag, text and figures.
  postOrder(node, [](HtmlNode* n) {
    if (n->tag == nullptr || n->children.size() != 1) return;
    HtmlNode* only = n->children.front();
    n->children = std::move(only->children);
    only->children.clear();
    only->children.shrink_to_fit();
    for (HtmlNode* child : n->children) child->parent = n;
  });
}

HtmlNode* ExtractionPipeline::findBody(HtmlNode* rootNode) {
  for (HtmlNode* child : rootNode->children) {
    if (!nameIs(child->tag, "BODY")) continue;
    bodyTextLength = child->tag->textLength;
    bodyLinkTextLength = child->tag->linkTextLength;
    bodyPlainLength = std::max(bodyTextLength - bodyLinkTextLength, 0);
    return child;
  }
  return nullptr;
}

double ExtractionPipeline::percentOf(int x, int y) {
  if (x == 0) return 0.0;
  if (y == 0) return 100.0;
  return static_cast<double>(x) / static_cast<double>(y) * 100.0;
}

void ExtractionPipeline::scoreTree(HtmlNode* node, int bodyText, int bodyPlain, int bodyLink) {
  preOrder(node, [&](HtmlNode* n) {
    if (HtmlTag* tag = n->tag) {
      tag->textShare = percentOf(tag->textLength, bodyText);
      tag->plainShare = percentOf(plainLength(*tag), bodyPlain);
      tag->linkShare = percentOf(tag->linkTextLength, bodyLink);
      tag->score = nodeScore(*tag);
    }
    return true;
  });
}

double ExtractionPipeline::nodeScore(const HtmlTag& tag) {
  const double product = tag.textShare * tag.plainShare;
  if (product < 0.001) return 0.0;
  return tag.linkShare >= 1.0 ? product / tag.linkShare : product;
}

ContentList ExtractionPipeline::collectContentNodes(HtmlNode* node, int leastParagraphs,
                                                    double leastShare) const {
  // A qualifying node hides every qualifying node below it.
  ContentList found;
  if (node == nullptr) return found;
  preOrder(node, [&](HtmlNode* n) {
    if (n->children.empty()) return false;
    int paragraphs = 0;
    for (const HtmlNode* child : n->children) paragraphs += nameIs(child->tag, "P") ? 1 : 0;
    if (n->tag != nullptr && paragraphs >= leastParagraphs && n->tag->plainShare >= leastShare) {
      found.push_back(n);
      return false;
    }
    return true;
  });
  return found;
}

HtmlNode* ExtractionPipeline::bestScoredNode(HtmlNode* node) const {
  // Ties go to the node met last in document order: a descendant over its
  // ancestor, a later sibling's subtree over an earlier one's.
  HtmlNode* best = nullptr;
  if (node == nullptr) return best;
  preOrder(node, [&](HtmlNode* n) {
    if (n->tag != nullptr && (best == nullptr || n->tag->score >= best->tag->score)) best = n;
    return true;
  });
  return best;
}

ContentList ExtractionPipeline::selectContent(HtmlNode* rootNode, int leastParagraphs,
                                              double leastShare) const {
  ContentList content = collectContentNodes(rootNode, leastParagraphs, leastShare);
  if (content.empty()) content.push_back(bestScoredNode(rootNode));
  return content;
}

}  // namespace brevanto
