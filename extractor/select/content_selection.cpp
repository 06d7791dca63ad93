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

#include "extractor/parse/tree_walk.h"
#include "extractor/select/select.h"
#include "extractor/text/text.h"

namespace brevanto {
namespace {

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

void dropEmpty(HtmlNode& root, const Rules& rules) {
  // Texts were collected before: a removed node's text stays part of its
  // ancestors' texts.
  const HtmlElementTable& elements = *rules.elements;
  auto drops = [&](const HtmlNode* n) {
    const HtmlTag& tag = *n->tag;
    const HtmlElementInfo& element = elements[tag.row];
    return countedLength(tag, rules) <= 0 || element.isEmpty != 0 || element.rendersContent == 0;
  };
  walkTree(&root, [&](HtmlNode* n) {
    dropChildren(n, drops);
    return true;
  });
}

void dropInlineLeaves(HtmlNode& root, const Rules& rules) {
  // An inline element that is, or has become, a leaf goes; any element that
  // keeps a child stays.
  const HtmlElementTable& elements = *rules.elements;
  auto drops = [&](const HtmlNode* n) {
    return n->isLeaf() && n->tag != nullptr && elements[n->tag->row].level == kLevelInline;
  };
  walkTree(
      &root, [](HtmlNode*) { return true; }, [&](HtmlNode* n) { dropChildren(n, drops); });
}

void collapseChains(HtmlNode& root) {
  // A tagged node with a single child takes over that child's children: a
  // cell that holds one paragraph becomes one node. The node keeps its own
  // tag, text and figures.
  walkTree(
      &root, [](HtmlNode*) { return true; },
      [](HtmlNode* n) {
        HtmlNode* only = n->firstChild;
        if (n->tag == nullptr || only == nullptr || only->nextSibling != nullptr) return;
        n->firstChild = only->firstChild;
        only->firstChild = nullptr;
        for (HtmlNode* child = n->firstChild; child != nullptr; child = child->nextSibling) child->parent = n;
      });
}

double percentOf(int x, int y) {
  if (x == 0) return 0.0;
  if (y == 0) return 100.0;
  return static_cast<double>(x) / static_cast<double>(y) * 100.0;
}

// The choice of one analysis' content, over its scored tree.
class Chooser {
 public:
  Chooser(HtmlNode& root, const BodyFigures& body, const Rules& rules)
      : root_(root), body_(body), rules_(rules), paragraphRow_(rules.elements->known().paragraph) {}

  std::vector<ContentChoice> choose() const;

 private:
  double scoreOf(const HtmlTag& tag) const { return nodeScore(sharesOf(tag, body_, rules_), rules_); }
  double linkDensity(const HtmlTag& tag) const {
    const int32_t length = countedLength(tag, rules_);
    return length > 0 ? static_cast<double>(tag.linkTextLength) / length : 1.0;
  }
  // The top-most qualifying nodes in document order; empty stands for none.
  std::vector<HtmlNode*> collectContentNodes() const;
  HtmlNode* bestScoredNode() const;
  // `chosen` with the siblings of each chosen node that are more of the
  // same (the next post of a page of posts), in document order, none inside
  // another.
  void addParagraphSiblings(std::vector<ContentChoice>& chosen) const;
  // The body alone, when `chosen` holds too little of a body without links.
  void takeDocumentIfSpread(std::vector<ContentChoice>& chosen) const;
  // Each chosen node's top-most descendants that are mostly links.
  void leaveOutLinkLists(std::vector<ContentChoice>& chosen) const;

  HtmlNode& root_;           // not owned: the scored tree
  const BodyFigures& body_;  // not owned
  const Rules& rules_;       // not owned
  const ElementRow paragraphRow_;
};

std::vector<HtmlNode*> Chooser::collectContentNodes() const {
  // A qualifying node hides every qualifying node below it.
  std::vector<HtmlNode*> found;
  walkTree(&root_, [&](HtmlNode* n) {
    if (n->isLeaf()) return false;
    int paragraphs = 0;
    for (const HtmlNode* child = n->firstChild; child != nullptr; child = child->nextSibling) {
      paragraphs += child->tag->row == paragraphRow_ ? 1 : 0;
    }
    if (n->tag != nullptr && paragraphs >= rules_.minParagraphs &&
        sharesOf(*n->tag, body_, rules_).plainShare >= rules_.minPlainShare) {
      found.push_back(n);
      return false;
    }
    return true;
  });
  return found;
}

HtmlNode* Chooser::bestScoredNode() const {
  // Ties go to the node met last in document order: a descendant over its
  // ancestor, a later sibling's subtree over an earlier one's.
  HtmlNode* best = nullptr;
  double bestScore = 0;
  walkTree(&root_, [&](HtmlNode* n) {
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

void Chooser::addParagraphSiblings(std::vector<ContentChoice>& chosen) const {
  if (chosen.size() == 1 && chosen.front().node == nullptr) return;
  const SiblingRule& rule = rules_.siblings;
  auto isParagraph = [this](const HtmlNode* n) { return n->tag->row == paragraphRow_; };
  // A sibling of another element is not more of the same: the header of an
  // article beside its body, a list beside a post.
  auto readsLikeArticle = [&](const HtmlNode* n, ElementRow chosenRow) {
    bool paragraphs = isParagraph(n);
    for (const HtmlNode* child = n->firstChild; child != nullptr && !paragraphs; child = child->nextSibling) {
      paragraphs = isParagraph(child);
    }
    return n->tag->row == chosenRow && paragraphs &&
           sharesOf(*n->tag, body_, rules_).plainShare >= rule.leastPlainShare &&
           linkDensity(*n->tag) <= rule.mostLinkDensity;
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
  walkTree(&root_, [&](HtmlNode* node) {
    const auto found = taken.find(node);
    if (found == taken.end()) return true;
    chosen.push_back({node, found->second, {}});
    return false;
  });
}

void Chooser::takeDocumentIfSpread(std::vector<ContentChoice>& chosen) const {
  HtmlNode* body = findBody(root_, rules_);
  if (body == nullptr || body_.textLength <= 0) return;
  double covered = 0;
  for (const ContentChoice& choice : chosen) {
    if (choice.node != nullptr) covered += sharesOf(*choice.node->tag, body_, rules_).plainShare;
  }
  const double bodyLinkDensity = static_cast<double>(body_.linkTextLength) / body_.textLength;
  if (covered < rules_.document.leastCoveredShare && bodyLinkDensity < rules_.document.mostLinkDensity) {
    chosen.assign(1, {body, ContentReason::kDocument, {}});
  }
}

void Chooser::leaveOutLinkLists(std::vector<ContentChoice>& chosen) const {
  for (ContentChoice& choice : chosen) {
    if (choice.node == nullptr) continue;
    walkTree(choice.node, [&](HtmlNode* node) {
      if (node == choice.node || linkDensity(*node->tag) < rules_.linkLists.leastDensity) return true;
      choice.leftOut.push_back(node);
      return false;
    });
  }
}

std::vector<ContentChoice> Chooser::choose() const {
  std::vector<ContentChoice> chosen;
  for (HtmlNode* node : collectContentNodes()) chosen.push_back({node, ContentReason::kParagraphs, {}});
  if (chosen.empty()) chosen.push_back({bestScoredNode(), ContentReason::kBestScore, {}});
  if (rules_.siblings.applies) addParagraphSiblings(chosen);
  if (rules_.document.applies) takeDocumentIfSpread(chosen);
  if (rules_.linkLists.applies) leaveOutLinkLists(chosen);
  return chosen;
}

}  // namespace

void measureLinks(HtmlNode& root, const Rules& rules) {
  const ElementRow anchorRow = rules.elements->known().anchor;
  for (HtmlNode* top = root.firstChild; top != nullptr; top = top->nextSibling) {
    // A tag whose extent was given up is not measured, and neither is its
    // subtree; its figure stays 0 in its parent's sum.
    walkTree(
        top,
        [&](HtmlNode* n) {
          HtmlTag& tag = *n->tag;
          if (!tag.hasContent) return false;
          if (tag.row == anchorRow) addLinkText(tag.linkTextLength, countedLength(tag, rules));
          return true;
        },
        [top](HtmlNode* n) {
          if (n != top) addLinkText(n->parent->tag->linkTextLength, n->tag->linkTextLength);
        });
  }
}

void pruneTree(HtmlNode& root, const Rules& rules) {
  dropEmpty(root, rules);
  dropInlineLeaves(root, rules);
  collapseChains(root);
}

HtmlNode* findBody(HtmlNode& root, const Rules& rules) {
  const ElementRow bodyRow = rules.elements->known().body;
  for (HtmlNode* child = root.firstChild; child != nullptr; child = child->nextSibling) {
    if (child->tag->row == bodyRow) return child;
  }
  return nullptr;
}

BodyFigures bodyFiguresOf(const HtmlNode* body, const Rules& rules) {
  BodyFigures figures;
  if (body == nullptr) return figures;
  figures.textLength = countedLength(*body->tag, rules);
  figures.linkTextLength = body->tag->linkTextLength;
  figures.plainLength = std::max(figures.textLength - figures.linkTextLength, 0);
  return figures;
}

void markScored(HtmlNode& top) {
  // The shares follow from the lengths and the body's figures, so nothing
  // more is kept than which elements have them.
  walkTree(&top, [](HtmlNode* n) {
    n->tag->isScored = true;
    return true;
  });
}

ElementShares sharesOf(const HtmlTag& tag, const BodyFigures& body, const Rules& rules) {
  if (!tag.isScored) return {};
  const int32_t length = countedLength(tag, rules);
  return {percentOf(length, body.textLength),
          percentOf(std::max(length - tag.linkTextLength, 0), body.plainLength),
          percentOf(tag.linkTextLength, body.linkTextLength)};
}

double nodeScore(const ElementShares& shares, const Rules& rules) {
  const double product = shares.textShare * shares.plainShare;
  if (product < rules.leastProduct) return 0.0;
  // A link share under 1 % would multiply the score instead of lowering it.
  return shares.linkShare >= 1.0 ? product / shares.linkShare : product;
}

std::vector<ContentChoice> chooseContent(HtmlNode& root, const BodyFigures& body, const Rules& rules) {
  return Chooser(root, body, rules).choose();
}

}  // namespace brevanto
