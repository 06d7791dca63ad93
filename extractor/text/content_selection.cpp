// Measures link text, prunes the tree down to text-bearing block structure,
// scores every element of the body against the whole body, and picks the
// elements that carry the article. Every walk follows the tree's own links,
// so no depth of markup can exhaust the call stack.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "extractor/extraction_pipeline.h"
#include "extractor/parse/tree_walk.h"

namespace brevanto {
namespace {

// ---- Tunables of the modern analysis.

// A sibling of a chosen element, of the same element, is taken when it
// reads like more of the article (the next post of a page of posts): at
// least this share of the body's non-link text, in percent, the same share a
// content node needs, so that a teaser line is not mistaken for a post...
constexpr double kSiblingLeastPlainShare = 5.0;
// ...and at most this much of its text in links: a paragraph with a few
// links is article text, a block that is a quarter links is a list of them.
constexpr double kSiblingMostLinkDensity = 0.25;
// A body with links in less than this share of its text is a document, not a
// page with furniture (a letter, a manual, a page of puzzles in tables)...
constexpr double kDocumentMostLinkDensity = 0.01;
// ...and when the chosen elements hold less than this share of its non-link
// text, in percent, the text is spread over many blocks, none of which is
// the article alone: the whole body is the content.
constexpr double kDocumentLeastCoveredShare = 50.0;
// Inside a chosen element, a block whose text is at least this much links is
// a list of them (related stories, tags, share buttons, link cards) and is
// left out of what is written; a paragraph with links in it is far below.
constexpr double kLinkListLeastDensity = 0.7;

// Nested links count once per enclosing link, so a few megabytes of nested
// links add up past 32 bits: the figure stops at the largest int instead of
// wrapping to a negative length. The figures are never negative, so the
// order of the sums does not change the result.
void addLinkText(int32_t& sum, int32_t more) {
  sum = more > std::numeric_limits<int32_t>::max() - sum ? std::numeric_limits<int32_t>::max() : sum + more;
}

// Unlinks the children of `node` for which `drops` holds.
template <typename Drops>
void dropChildren(HtmlNode* node, Drops drops) {
  for (HtmlNode** link = &node->firstChild; *link != nullptr;) {
    if (drops(*link)) {
      *link = (*link)->nextSibling;
    } else {
      link = &(*link)->nextSibling;
    }
  }
}

// Unlinks `node` from its parent's children.
void unlink(HtmlNode* node) {
  if (node->parent == nullptr) return;
  dropChildren(node->parent, [node](const HtmlNode* child) { return child == node; });
}

}  // namespace

void ExtractionPipeline::measureLinks(HtmlNode* node) {
  // A tag whose extent was given up is not measured, and neither is its
  // subtree; its figure stays 0 in its parent's sum.
  walkTree(
      node,
      [this](HtmlNode* n) {
        HtmlTag& tag = *n->tag;
        if (!tag.hasContent) return false;
        if (tag.row == anchorRow_) addLinkText(tag.linkTextLength, countedLength(tag));
        return true;
      },
      [node](HtmlNode* n) {
        if (n != node) addLinkText(n->parent->tag->linkTextLength, n->tag->linkTextLength);
      });
}

void ExtractionPipeline::pruneTree(HtmlNode* node) {
  // Texts were collected before: a removed node's text stays part of its
  // ancestors' texts.
  auto drops = [this](const HtmlNode* n) {
    const HtmlTag& tag = *n->tag;
    const HtmlElementInfo& element = elements[tag.row];
    return countedLength(tag) <= 0 || element.isEmpty != 0 || element.rendersContent == 0;
  };
  if (node->tag != nullptr && drops(node)) {
    unlink(node);
    return;
  }
  walkTree(node, [&](HtmlNode* n) {
    dropChildren(n, drops);
    return true;
  });
}

void ExtractionPipeline::dropInlineLeaves(HtmlNode* node) {
  // An inline element that is, or has become, a leaf goes; any element that
  // keeps a child stays.
  auto drops = [this](const HtmlNode* n) {
    return n->isLeaf() && n->tag != nullptr && elements[n->tag->row].level == kLevelInline;
  };
  walkTree(
      node, [](HtmlNode*) { return true; }, [&](HtmlNode* n) { dropChildren(n, drops); });
  if (drops(node)) unlink(node);
}

void ExtractionPipeline::collapseChains(HtmlNode* node) {
  // A tagged node with a single child takes over that child's children: a
  // cell that holds one paragraph becomes one node. The node keeps its own
  // tag, text and figures.
  walkTree(
      node, [](HtmlNode*) { return true; },
      [](HtmlNode* n) {
        HtmlNode* only = n->firstChild;
        if (n->tag == nullptr || only == nullptr || only->nextSibling != nullptr) return;
        n->firstChild = only->firstChild;
        only->firstChild = nullptr;
        for (HtmlNode* child = n->firstChild; child != nullptr; child = child->nextSibling) child->parent = n;
      });
}

HtmlNode* ExtractionPipeline::findBody(HtmlNode* rootNode) {
  for (HtmlNode* child = rootNode->firstChild; child != nullptr; child = child->nextSibling) {
    if (child->tag->row != bodyRow_) continue;
    bodyTextLength = countedLength(*child->tag);
    bodyLinkTextLength = child->tag->linkTextLength;
    bodyPlainLength = std::max(bodyTextLength - bodyLinkTextLength, 0);
    return child;
  }
  return nullptr;
}

void ExtractionPipeline::scoreTree(HtmlNode* node) {
  // The shares follow from the lengths and the body's figures, so nothing
  // more is kept than which elements have them.
  walkTree(node, [](HtmlNode* n) {
    n->tag->isScored = true;
    return true;
  });
}

double ExtractionPipeline::percentOf(int x, int y) {
  if (x == 0) return 0.0;
  if (y == 0) return 100.0;
  return static_cast<double>(x) / static_cast<double>(y) * 100.0;
}

ElementShares ExtractionPipeline::sharesOf(const HtmlTag& tag) const {
  if (!tag.isScored) return {};
  const int32_t length = countedLength(tag);
  return {percentOf(length, bodyTextLength),
          percentOf(std::max(length - tag.linkTextLength, 0), bodyPlainLength),
          percentOf(tag.linkTextLength, bodyLinkTextLength)};
}

double ExtractionPipeline::nodeScore(const ElementShares& shares) {
  // Below this product the element holds next to nothing of the body's text.
  constexpr double kLeastProduct = 0.001;
  const double product = shares.textShare * shares.plainShare;
  if (product < kLeastProduct) return 0.0;
  // A link share under 1 % would multiply the score instead of lowering it.
  return shares.linkShare >= 1.0 ? product / shares.linkShare : product;
}

double ExtractionPipeline::scoreOf(const HtmlTag& tag) const {
  return nodeScore(sharesOf(tag));
}

ContentList ExtractionPipeline::collectContentNodes(HtmlNode* node, int leastParagraphs,
                                                    double leastShare) const {
  // A qualifying node hides every qualifying node below it.
  ContentList found;
  if (node == nullptr) return found;
  walkTree(node, [&](HtmlNode* n) {
    if (n->isLeaf()) return false;
    int paragraphs = 0;
    for (const HtmlNode* child = n->firstChild; child != nullptr; child = child->nextSibling) {
      paragraphs += child->tag->row == paragraphRow_ ? 1 : 0;
    }
    if (n->tag != nullptr && paragraphs >= leastParagraphs && sharesOf(*n->tag).plainShare >= leastShare) {
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
  double bestScore = 0;
  if (node == nullptr) return best;
  walkTree(node, [&](HtmlNode* n) {
    if (n->tag == nullptr) return true;
    const double score = scoreOf(*n->tag);
    if (best == nullptr || score >= bestScore) {
      best = n;
      bestScore = score;
    }
    return true;
  });
  return best;
}

double ExtractionPipeline::linkDensity(const HtmlTag& tag) const {
  const int32_t length = countedLength(tag);
  return length > 0 ? static_cast<double>(tag.linkTextLength) / length : 1.0;
}

void ExtractionPipeline::addParagraphSiblings(std::vector<ContentChoice>& chosen, HtmlNode* rootNode) const {
  if (chosen.size() == 1 && chosen.front().node == nullptr) return;
  auto isParagraph = [this](const HtmlNode* n) { return n->tag->row == paragraphRow_; };
  // A sibling of another element is not more of the same: the header of an
  // article beside its body, a list beside a post.
  auto readsLikeArticle = [&](const HtmlNode* n, ElementRow chosenRow) {
    bool paragraphs = isParagraph(n);
    for (const HtmlNode* child = n->firstChild; child != nullptr && !paragraphs; child = child->nextSibling) {
      paragraphs = isParagraph(child);
    }
    return n->tag->row == chosenRow && paragraphs &&
           sharesOf(*n->tag).plainShare >= kSiblingLeastPlainShare &&
           linkDensity(*n->tag) <= kSiblingMostLinkDensity;
  };
  std::unordered_map<const HtmlNode*, ContentReason> taken;
  for (const ContentChoice& choice : chosen) taken.emplace(choice.node, choice.reason);
  // Each parent's children are looked at once for each element chosen
  // among them, however many of its children were chosen.
  std::set<std::pair<const HtmlNode*, ElementRow>> looked;
  for (const ContentChoice& choice : chosen) {
    const HtmlNode* parent = choice.node->parent;
    if (parent == nullptr || parent->tag == nullptr ||
        !looked.emplace(parent, choice.node->tag->row).second) {
      continue;
    }
    for (const HtmlNode* sibling = parent->firstChild; sibling != nullptr; sibling = sibling->nextSibling) {
      if (readsLikeArticle(sibling, choice.node->tag->row)) taken.emplace(sibling, ContentReason::kSibling);
    }
  }
  // In document order, and none inside another: a sibling taken for one
  // chosen node may hold another chosen node.
  chosen.clear();
  walkTree(rootNode, [&](HtmlNode* node) {
    const auto found = taken.find(node);
    if (found == taken.end()) return true;
    chosen.push_back({node, found->second, {}});
    return false;
  });
}

void ExtractionPipeline::takeDocumentIfSpread(std::vector<ContentChoice>& chosen, HtmlNode* rootNode) const {
  HtmlNode* body = nullptr;
  for (HtmlNode* child = rootNode->firstChild; child != nullptr && body == nullptr;
       child = child->nextSibling) {
    if (child->tag->row == bodyRow_) body = child;
  }
  if (body == nullptr || bodyTextLength <= 0) return;
  double covered = 0;
  for (const ContentChoice& choice : chosen) {
    if (choice.node != nullptr) covered += sharesOf(*choice.node->tag).plainShare;
  }
  const double bodyLinkDensity = static_cast<double>(bodyLinkTextLength) / bodyTextLength;
  if (covered < kDocumentLeastCoveredShare && bodyLinkDensity < kDocumentMostLinkDensity) {
    chosen.assign(1, {body, ContentReason::kDocument, {}});
  }
}

std::vector<ContentChoice> ExtractionPipeline::chooseContent(HtmlNode* rootNode, int leastParagraphs,
                                                             double leastShare) const {
  std::vector<ContentChoice> chosen;
  for (HtmlNode* node : collectContentNodes(rootNode, leastParagraphs, leastShare)) {
    chosen.push_back({node, ContentReason::kParagraphs, {}});
  }
  if (chosen.empty()) chosen.push_back({bestScoredNode(rootNode), ContentReason::kBestScore, {}});
  if (analysis == Analysis::kModern && rootNode != nullptr) {
    addParagraphSiblings(chosen, rootNode);
    takeDocumentIfSpread(chosen, rootNode);
    leaveOutLinkLists(chosen);
  }
  return chosen;
}

void ExtractionPipeline::leaveOutLinkLists(std::vector<ContentChoice>& chosen) const {
  for (ContentChoice& choice : chosen) {
    if (choice.node == nullptr) continue;
    walkTree(choice.node, [&](HtmlNode* node) {
      if (node == choice.node || linkDensity(*node->tag) < kLinkListLeastDensity) return true;
      choice.leftOut.push_back(node);
      return false;
    });
  }
}

ContentList ExtractionPipeline::selectContent(HtmlNode* rootNode, int leastParagraphs,
                                              double leastShare) const {
  ContentList content;
  for (const ContentChoice& choice : chooseContent(rootNode, leastParagraphs, leastShare)) {
    content.push_back(choice.node);
  }
  return content;
}

}  // namespace brevanto
