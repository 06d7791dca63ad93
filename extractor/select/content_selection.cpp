// Measures link text, prunes the tree down to text-bearing block structure,
// scores every element of the body against the whole body, and picks the
// elements that carry the article. Every walk follows the tree's own links,
// so no depth of markup can exhaust the call stack.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
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
  // The element that the blocks of text vote for, with its siblings that
  // gather nearly as many votes, in place of a choice that holds little.
  void askSecondOpinion(std::vector<ContentChoice>& chosen) const;
  // `chosen` without the blocks far from the largest and much smaller.
  void leaveOutFarBlocks(std::vector<ContentChoice>& chosen) const;
  // `chosen` without the texts already chosen once.
  void leaveOutRepeatedTexts(std::vector<ContentChoice>& chosen) const;
  // The parent of `chosen` in its place, when they are all its children and
  // it adds little to them.
  void takeCommonParent(std::vector<ContentChoice>& chosen) const;
  // Each chosen node's top-most descendants that are mostly links.
  void leaveOutLinkLists(std::vector<ContentChoice>& chosen) const;
  int32_t plainLength(const HtmlTag& tag) const {
    return std::max(countedLength(tag, rules_) - tag.linkTextLength, 0);
  }

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
  // A page whose furniture was marked is a page, not a bare document.
  if (covered < rules_.document.leastCoveredShare && bodyLinkDensity < rules_.document.mostLinkDensity &&
      !body_.hasChrome) {
    chosen.assign(1, {body, ContentReason::kDocument, {}});
  }
}

// What each byte of a UTF-8 text adds to the length of a block of it: one
// for the first byte of a character of an alphabet, three for the first
// byte of a character from U+3000 to U+D7FF (kana, CJK ideographs, Hangul),
// none for the bytes that go on a character or show nothing. A block's
// length then means the same in every script.
struct LetterWeights {
  uint8_t of[256] = {};
  constexpr LetterWeights() {
    for (int c = '!'; c < 0x80; ++c) of[c] = 1;
    for (int c = 0xC0; c <= 0xFF; ++c) of[c] = 1;
    for (int c = 0xE3; c <= 0xED; ++c) of[c] = 3;
  }
};

constexpr LetterWeights kLetterWeights;

// The votes of the blocks of text for the elements that hold them.
class BlockVotes {
 public:
  BlockVotes(HtmlNode& body, const Rules& rules) : rules_(rules), rule_(rules.secondOpinion) {
    walkTree(&body, [&](HtmlNode* node) {
      countBlocksOf(*node);
      return true;
    });
  }

  // Votes times the share of the element's text that is not links; 0 for
  // an element without votes.
  double scoreOf(HtmlNode* node) const {
    const auto found = votes_.find(node);
    if (found == votes_.end()) return 0;
    const int32_t length = countedLength(*node->tag, rules_);
    const double density = length > 0 ? static_cast<double>(node->tag->linkTextLength) / length : 1.0;
    return found->second * (1.0 - density);
  }
  // The element with the best score; ties go to the later element. Null
  // when no block voted.
  HtmlNode* best() const {
    HtmlNode* best = nullptr;
    double bestScore = 0;
    for (const auto& [node, votes] : votes_) {
      const double score = scoreOf(node);
      if (best == nullptr || score > bestScore ||
          (score == bestScore && node->tag->index > best->tag->index)) {
        best = node;
        bestScore = score;
      }
    }
    return best;
  }
  // The blocks of text under `top`, `top`'s own included.
  int32_t blocksIn(const HtmlNode& top) const {
    int32_t blocks = 0;
    walkTree(&top, [&](const HtmlNode* node) {
      const auto found = blocks_.find(node);
      if (found != blocks_.end()) blocks += found->second;
      return true;
    });
    return blocks;
  }

 private:
  // The lines of `node`'s own text, between its children's texts and line
  // breaks, that are blocks: each votes for `node`, and for its parent with
  // less weight. A leaf of one line is a paragraph, a block that votes for
  // its parent. The blocks of a self-contained element (an article among
  // the teasers of others) vote for it alone.
  void countBlocksOf(HtmlNode& node) {
    const HtmlTag& tag = *node.tag;
    if (tag.text == nullptr) return;
    int32_t ownLength = countedLength(tag, rules_);
    int32_t ownLinks = tag.linkTextLength;
    for (const HtmlNode* child = node.firstChild; child != nullptr; child = child->nextSibling) {
      ownLength -= countedLength(*child->tag, rules_);
      ownLinks -= child->tag->linkTextLength;
    }
    // A text has no more letters than visible bytes.
    if (ownLength < rule_.leastBlockLength) return;
    // The links of the own text are taken to be spread evenly over its lines.
    const double plainFraction = std::max(ownLength - ownLinks, 0) / static_cast<double>(ownLength);
    int32_t blocks = 0;
    double votes = 0;
    int32_t lines = 0;    // lines that show anything
    int32_t letters = 0;  // of the line at hand
    auto endLine = [&] {
      if (letters == 0) return;
      ++lines;
      const double plain = letters * plainFraction;
      if (plain >= rule_.leastBlockLength) {
        ++blocks;
        votes += 1.0 + std::min(plain / rule_.lengthPerVote, rule_.mostLengthVotes);
      }
      letters = 0;
    };
    auto scan = [&](const char* from, const char* to) {
      for (; from < to; ++from) {
        if (*from == '\n') {
          endLine();
        } else {
          letters += kLetterWeights.of[static_cast<unsigned char>(*from)];
        }
      }
    };
    const char* at = tag.text;
    for (const HtmlNode* child = node.firstChild; child != nullptr; child = child->nextSibling) {
      if (child->tag->text == nullptr) continue;
      scan(at, child->tag->text);
      endLine();
      at = child->tag->text + child->tag->textLength;
    }
    scan(at, tag.text + tag.textLength);
    endLine();
    if (blocks == 0) return;
    HtmlNode* holder = node.isLeaf() && lines == 1 ? node.parent : &node;
    if (holder == nullptr || holder->tag == nullptr) return;
    HtmlNode* above = holder->parent;
    blocks_[&node] += blocks;
    votes_[holder] += votes;
    if (above != nullptr && above->tag != nullptr && holder->tag->row != rule_.selfContained) {
      votes_[above] += votes * rule_.grandparentWeight;
    }
  }

  const Rules& rules_;                                   // not owned
  const Rules::SecondOpinionRule& rule_;                 // not owned
  std::unordered_map<HtmlNode*, double> votes_;          // by the element voted for; nodes not owned
  std::unordered_map<const HtmlNode*, int32_t> blocks_;  // by the element whose own text holds them
};

void Chooser::askSecondOpinion(std::vector<ContentChoice>& chosen) const {
  const Rules::SecondOpinionRule& rule = rules_.secondOpinion;
  HtmlNode* body = findBody(root_, rules_);
  if (body == nullptr || body_.plainLength <= 0) return;
  double firstShare = 0;
  double firstPlain = 0;
  for (const ContentChoice& choice : chosen) {
    if (choice.node == nullptr) continue;
    firstShare += sharesOf(*choice.node->tag, body_, rules_).plainShare;
    firstPlain += plainLength(*choice.node->tag);
  }
  if (firstShare >= rule.mostFirstShare) return;
  const BlockVotes votes(*body, rules_);
  HtmlNode* top = votes.best();
  if (top == nullptr) return;
  // The first choice already holds what is inside it.
  std::unordered_set<const HtmlNode*> first;
  for (const ContentChoice& choice : chosen) first.insert(choice.node);
  for (const HtmlNode* above = top; above != nullptr; above = above->parent) {
    if (first.count(above) != 0) return;
  }
  int32_t firstBlocks = 0;
  for (const ContentChoice& choice : chosen) {
    if (choice.node != nullptr) firstBlocks += votes.blocksIn(*choice.node);
  }
  if (plainLength(*top->tag) < rule.leastGain * firstPlain ||
      linkDensity(*top->tag) >= rule.mostLinkDensity || votes.blocksIn(*top) <= firstBlocks) {
    return;
  }
  HtmlNode* parent = top->parent;
  if (parent == nullptr || parent->tag == nullptr) {
    chosen.assign(1, {top, ContentReason::kVotes, {}});
    return;
  }
  // A sibling with few votes is a box beside the article (an author's note,
  // an offer), not more of it.
  const double leastSiblingScore = rule.siblingLeastScore * votes.scoreOf(top);
  chosen.clear();
  for (HtmlNode* sibling = parent->firstChild; sibling != nullptr; sibling = sibling->nextSibling) {
    if (sibling == top) {
      chosen.push_back({sibling, ContentReason::kVotes, {}});
    } else if (votes.scoreOf(sibling) >= leastSiblingScore) {
      chosen.push_back({sibling, ContentReason::kVotedSibling, {}});
    }
  }
}

void Chooser::leaveOutFarBlocks(std::vector<ContentChoice>& chosen) const {
  if (chosen.size() < 2) return;
  const ContentChoice* largest = nullptr;
  for (const ContentChoice& choice : chosen) {
    if (choice.node != nullptr &&
        (largest == nullptr || plainLength(*choice.node->tag) > plainLength(*largest->node->tag))) {
      largest = &choice;
    }
  }
  if (largest == nullptr) return;
  std::unordered_set<const HtmlNode*> holders;  // the largest and every element around it
  for (const HtmlNode* above = largest->node; above != nullptr; above = above->parent) holders.insert(above);
  const double least = rules_.farBlockMostShare * plainLength(*largest->node->tag);
  std::vector<ContentChoice> kept;
  for (ContentChoice& choice : chosen) {
    if (choice.node == nullptr || holders.count(choice.node->parent) != 0 ||
        plainLength(*choice.node->tag) >= least) {
      kept.push_back(std::move(choice));
    }
  }
  chosen = std::move(kept);
}

void Chooser::leaveOutRepeatedTexts(std::vector<ContentChoice>& chosen) const {
  std::unordered_set<std::string_view> texts;
  std::vector<ContentChoice> kept;
  for (ContentChoice& choice : chosen) {
    const HtmlTag* tag = choice.node != nullptr ? choice.node->tag : nullptr;
    if (tag != nullptr && tag->text != nullptr &&
        !texts.emplace(tag->text, static_cast<size_t>(tag->textLength)).second) {
      continue;
    }
    kept.push_back(std::move(choice));
  }
  chosen = std::move(kept);
}

void Chooser::takeCommonParent(std::vector<ContentChoice>& chosen) const {
  if (chosen.size() < 2 || chosen.front().node == nullptr) return;
  HtmlNode* parent = chosen.front().node->parent;
  if (parent == nullptr || parent->tag == nullptr) return;
  double plain = 0;
  int64_t links = 0;
  for (const ContentChoice& choice : chosen) {
    if (choice.node == nullptr || choice.node->parent != parent) return;
    plain += plainLength(*choice.node->tag);
    links += choice.node->tag->linkTextLength;
  }
  // The parent adds a little text and no links: a headline, a caption.
  const int32_t parentPlain = plainLength(*parent->tag);
  if (parentPlain > plain && parentPlain <= (1.0 + rules_.parentMostExtraShare) * plain &&
      parent->tag->linkTextLength <= links) {
    chosen.assign(1, {parent, ContentReason::kParent, {}});
  }
}

void Chooser::leaveOutLinkLists(std::vector<ContentChoice>& chosen) const {
  const ElementRow* const keptBegin = std::begin(rules_.neverLinkLists);
  const ElementRow* const keptEnd = std::end(rules_.neverLinkLists);
  for (ContentChoice& choice : chosen) {
    if (choice.node == nullptr) continue;
    walkTree(choice.node, [&](HtmlNode* node) {
      if (node == choice.node || linkDensity(*node->tag) < rules_.linkLists.leastDensity) return true;
      // A row or a cell is data, whatever its links: only its table, or a
      // list inside it, may go.
      if (std::find(keptBegin, keptEnd, node->tag->row) != keptEnd) return true;
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
  if (rules_.secondOpinion.applies) askSecondOpinion(chosen);
  if (rules_.farBlockMostShare > 0) leaveOutFarBlocks(chosen);
  if (rules_.writesSameTextOnce) leaveOutRepeatedTexts(chosen);
  if (rules_.parentMostExtraShare > 0) takeCommonParent(chosen);
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

double chosenShareOf(const std::vector<ContentChoice>& choices, const BodyFigures& body, const Rules& rules) {
  if (body.textLength <= 0) return 100.0;
  int64_t written = 0;
  for (const ContentChoice& choice : choices) {
    if (choice.node == nullptr) continue;
    written += countedLength(*choice.node->tag, rules);
    for (const HtmlNode* list : choice.leftOut) written -= countedLength(*list->tag, rules);
  }
  return static_cast<double>(written) / body.textLength * 100.0;
}

}  // namespace brevanto
