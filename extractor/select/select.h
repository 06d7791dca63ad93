// Selection: the tree with its texts in, the elements that carry the article
// out.
//
//   links     every element's link text
//   prune     only text-bearing block structure is left, no chains of
//             single children
//   score     the body's figures, against which every element of the body
//             has its shares and score
//   choose    the elements that carry the article, each with its reason
#pragma once

#include <cstdint>
#include <vector>

#include "extractor/parse/html_tag.h"
#include "extractor/rules.h"

namespace brevanto {

// Every tag of the tree under `root` with content holds its link text: its
// own text when it is an A, plus its children's link text. A tag whose
// extent was given up, and its subtree, count nothing.
void measureLinks(HtmlNode& root, const Rules& rules);

// Unlinks, in this order: every node without text, empty elements and those
// that render no content, each with its subtree (its text stays in its
// ancestors' texts); every inline leaf, an inline element staying only while
// it keeps a child; and every chain of single children, a tagged node with
// one child taking over that child's children.
void pruneTree(HtmlNode& root, const Rules& rules);

// The figures of the body that every element's shares are parts of. Lengths
// are counted as the rules count text.
struct BodyFigures {
  int32_t textLength = 0;      // of the BODY element's text; 0 without a BODY
  int32_t plainLength = 0;     // that text less its link text, at least 0
  int32_t linkTextLength = 0;  // of the BODY element
  bool hasChrome = false;      // furniture was marked on the page
};

// The root's first BODY child; null without one.
HtmlNode* findBody(HtmlNode& root, const Rules& rules);
// The figures of `body`; all 0 for null.
BodyFigures bodyFiguresOf(const HtmlNode* body, const Rules& rules);
// Marks `top` and every node below it as scored: their shares follow from
// their lengths and the body's figures.
void markScored(HtmlNode& top);

// An element's text, non-link text and link text as percentages of the
// body's.
struct ElementShares {
  double textShare = 0;
  double plainShare = 0;
  double linkShare = 0;
};

// The shares of a scored element; all 0 for any other tag.
ElementShares sharesOf(const HtmlTag& tag, const BodyFigures& body, const Rules& rules);
// Text share times plain share, divided by the link share from 1 % on; 0
// below the rules' least product.
double nodeScore(const ElementShares& shares, const Rules& rules);

// Why an element is part of the content.
enum class ContentReason : int {
  kParagraphs,    // it has enough P children and enough of the body's non-link text
  kBestScore,     // no element has: it scores best
  kSibling,       // a sibling of a chosen element, of its element, that reads like more of it
  kDocument,      // the chosen elements hold too little of a body without links
  kVotes,         // the first choice held little, and the blocks of text vote for this element
  kVotedSibling,  // a sibling of the element voted for, with nearly as many votes
  kParent,        // the chosen elements were all its children, and it adds a headline or so
};

struct ContentChoice {
  HtmlNode* node = nullptr;  // not owned; null when the tree holds no tagged node
  ContentReason reason = ContentReason::kParagraphs;
  // The lists of links inside the node, in document order, whose text is
  // left out of what is written. Not owned.
  std::vector<const HtmlNode*> leftOut;
};

// Never empty, in document order, none inside another: the top-most
// elements with at least the rules' least P children and plain share; else
// the best-scored node (null when the tree holds no tagged node). Where the
// rules say so, the siblings that read like more of a chosen element are
// added, a body without links or furniture whose text is spread too thin is
// taken whole, a choice that holds little of the page gives way to the
// element its blocks of text vote for, small blocks far from the largest and
// texts chosen twice are left out, siblings give way to a parent that adds
// little, and the lists of links inside the chosen elements are left out.
std::vector<ContentChoice> chooseContent(HtmlNode& root, const BodyFigures& body, const Rules& rules);

// The share of the body's text, in percent, that `choices` write: their
// lengths, less the lists they leave out, as the rules count text. 100 for a
// body without text.
double chosenShareOf(const std::vector<ContentChoice>& choices, const BodyFigures& body, const Rules& rules);

}  // namespace brevanto
