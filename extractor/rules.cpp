#include "extractor/rules.h"

namespace brevanto {
namespace {

// ---- Selection, in both analyses.

// A content node has at least this many P children...
constexpr int32_t kMinParagraphs = 2;
// ...and at least this share of the body's non-link text, in percent.
constexpr double kMinPlainShare = 5.0;
// Below this product of text share and plain share the element holds next
// to nothing of the body's text.
constexpr double kLeastProduct = 0.001;

// ---- Tunables of the modern analysis.

// An element that holds more than this share of the body's P start tags
// wraps the article, whatever its names say: pages wrap all their content
// in elements named after their layout ("adSkinLayer", "top-nav-wrapper").
constexpr double kChromeMostParagraphShare = 0.5;
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

Rules classicRules() {
  Rules rules;
  rules.name = "classic";
  rules.elements = &HtmlElementTable::classic();
  rules.minParagraphs = kMinParagraphs;
  rules.minPlainShare = kMinPlainShare;
  rules.leastProduct = kLeastProduct;
  return rules;
}

Rules modernRules() {
  Rules rules = classicRules();
  rules.name = "modern";
  rules.elements = &HtmlElementTable::modern();
  rules.anySpaceEndsName = true;
  rules.marksChrome = true;
  rules.chromeMostParagraphShare = kChromeMostParagraphShare;
  rules.countsVisibleBytes = true;
  rules.commentsEndAtArrow = true;
  rules.collapsesWhiteSpace = true;
  rules.blocksBreakLines = true;
  rules.dropsInvisibleCharacters = true;
  rules.unrenderedHoldsNoText = true;
  rules.siblings = {true, kSiblingLeastPlainShare, kSiblingMostLinkDensity};
  rules.document = {true, kDocumentMostLinkDensity, kDocumentLeastCoveredShare};
  rules.linkLists = {true, kLinkListLeastDensity};
  return rules;
}

}  // namespace

const Rules& Rules::classic() {
  static const Rules rules = classicRules();
  return rules;
}

const Rules& Rules::modern() {
  static const Rules rules = modernRules();
  return rules;
}

const Rules& rulesFor(Analysis analysis) {
  return analysis == Analysis::kModern ? Rules::modern() : Rules::classic();
}

}  // namespace brevanto
