#include "extractor/rules.h"

#include <cstddef>
#include <cstring>

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

// ---- Furniture by kind and visibility, second opinions, what a choice
// leaves out.

// Forms (comment forms, sign-ups, searches) and buttons are furniture...
constexpr const char* kFurnitureKinds[] = {"FORM", "BUTTON"};
// ...and so are hidden elements, unless one holds more than this share of
// the body's visible bytes: a page wrapped in one form, a page that a script
// shows.
constexpr double kChromeMostVisibleShare = 0.5;
// An aside named as the article ("aside class=blogPost") holds it when it
// holds at least this many paragraphs.
constexpr const char* kNamedArticleKind = "ASIDE";
constexpr int32_t kNamedArticleLeastParagraphs = 2;
// The second opinion is asked when the first choice holds under this share
// of the body's non-link text, in percent...
constexpr double kFirstMostShare = 50.0;
// ...from the blocks of text of at least this many non-link letters, a
// sentence or so; shorter lines are captions, buttons and bylines...
constexpr int32_t kLeastBlockLength = 25;
// ...each worth one vote, and one more for each 100 letters up to three, so
// that a long block counts more than a short one but no block outweighs four
// others...
constexpr double kLettersPerVote = 100.0;
constexpr double kMostLengthVotes = 3.0;
// ...with half its weight for the parent of the element holding it, which
// holds it too...
constexpr double kGrandparentWeight = 0.5;
// ...and it replaces the first choice when it holds twice its non-link text,
// with under half of its own text in links...
constexpr double kSecondLeastGain = 2.0;
constexpr double kSecondMostLinkDensity = 0.5;
// ...along with its siblings that gather at least half its votes. The text
// of an article votes for the article alone.
constexpr double kSecondSiblingLeastScore = 0.5;
constexpr const char* kSelfContainedKind = "ARTICLE";
// A chosen block away from the largest, with less than half its non-link
// text, is a teaser, a sign-up or a comment elsewhere on the page.
constexpr double kFarBlockMostShare = 0.5;
// Chosen siblings give way to their parent when it adds at most half as much
// again of text that is not links.
constexpr double kParentMostExtraShare = 0.5;
// Rows and cells of a table are content even when all their text is links.
constexpr const char* kNeverLinkLists[] = {"TR", "TD", "TH"};

// The row of `name` in `elements`, kNoRow when it lacks one.
ElementRow rowNamed(const char* name, const HtmlElementTable& elements) {
  const ElementRow row = elements.rowOf(name, std::strlen(name));
  return std::strcmp(elements[row].name, name) == 0 ? row : KnownRows::kNoRow;
}

// `rows` filled with the rows of `names` in `elements`.
template <size_t N, size_t M>
void fillRows(ElementRow (&rows)[N], const char* const (&names)[M], const HtmlElementTable& elements) {
  static_assert(M <= N, "the rules have room for every name");
  for (size_t i = 0; i < M; ++i) rows[i] = rowNamed(names[i], elements);
}

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
  fillRows(rules.furnitureKinds, kFurnitureKinds, *rules.elements);
  rules.hiddenIsChrome = true;
  rules.chromeMostVisibleShare = kChromeMostVisibleShare;
  rules.elementChromeYieldsToParagraphs = true;
  rules.namedArticleKind = rowNamed(kNamedArticleKind, *rules.elements);
  rules.namedArticleLeastParagraphs = kNamedArticleLeastParagraphs;
  rules.layoutNamesSayNothing = true;
  rules.readsRoles = true;
  rules.widgetsInsideContentAreContent = true;
  rules.secondOpinion = {true,
                         kFirstMostShare,
                         kLeastBlockLength,
                         kLettersPerVote,
                         kMostLengthVotes,
                         kGrandparentWeight,
                         kSecondLeastGain,
                         kSecondMostLinkDensity,
                         kSecondSiblingLeastScore,
                         rowNamed(kSelfContainedKind, *rules.elements)};
  rules.writesSameTextOnce = true;
  rules.farBlockMostShare = kFarBlockMostShare;
  rules.parentMostExtraShare = kParentMostExtraShare;
  fillRows(rules.neverLinkLists, kNeverLinkLists, *rules.elements);
  rules.setsTextsApart = true;
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
