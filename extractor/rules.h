// The rules of one analysis as one value: which element table it reads, how
// it reads tag names, whether it marks page chrome, how it counts lengths and
// how it chooses the content. Every stage takes the rules and reads the
// switches and tunables it needs, so that another rule set, or a second
// choice when the first looks poor, is another value and not more branches.
#pragma once

#include <cstdint>

#include "extractor/parse/html_element_table.h"

namespace brevanto {

// A sibling of a chosen element, of the same element, is taken when it reads
// like more of the article: the next post of a page of posts.
struct SiblingRule {
  bool applies = false;
  double leastPlainShare = 0;  // of the body's non-link text, in percent
  double mostLinkDensity = 0;  // link text over text
};

// A body without links whose text the chosen elements hold too little of is
// a document spread over many blocks: the whole body is the content.
struct DocumentRule {
  bool applies = false;
  double mostLinkDensity = 0;    // of the body, below which it has no links to speak of
  double leastCoveredShare = 0;  // of the body's non-link text, in percent, held by the choice
};

// Inside a chosen element, a block that is mostly links is a list of them
// and is left out of what is written.
struct LinkListRule {
  bool applies = false;
  double leastDensity = 0;  // link text over text
};

struct Rules {
  // How the dumps name the analysis. Static text.
  const char* name = "";

  // ---- Parsing.
  const HtmlElementTable* elements = nullptr;  // not owned: a table built once, for the process
  // Whether tab, CR, LF and form feed end a tag's name as the blank does.
  // Where they do not, such a tag names no element.
  bool anySpaceEndsName = false;

  // ---- Page chrome.
  // Whether the furniture around the article is marked and left out of every
  // text.
  bool marksChrome = false;
  // The share of the body's P start tags above which an element is never
  // furniture by its names.
  double chromeMostParagraphShare = 0;

  // ---- Text.
  // Whether the lengths that the shares compare count only the visible
  // bytes, those above the blank, or every byte.
  bool countsVisibleBytes = false;

  // ---- Text as a browser shows it. Each switch off reads the markup as
  // the Windows server does.
  // Whether a comment ends only where a browser ends it, at "-->" (or
  // "--!>"), rather than at the first ">" after a "--".
  bool commentsEndAtArrow = false;
  // Whether white space collapses: a run of blanks, tabs and line ends is one
  // blank, and none stands at the start or end of a line or a text; the
  // elements that keep white space (PRE) keep it, and a BR breaks the line.
  bool collapsesWhiteSpace = false;
  // Whether block-level elements stand on lines of their own.
  bool blocksBreakLines = false;
  // Whether the characters that show nothing are left out of the text: the
  // soft hyphen, zero-width space and joiners, word joiner and byte-order
  // mark, written as UTF-8 or as a reference.
  bool dropsInvisibleCharacters = false;
  // Whether an element that renders no content gives no text from the
  // elements inside it either (ruby text with markup in it); without it only
  // its own character data is left out.
  bool unrenderedHoldsNoText = false;

  // ---- Selection.
  int32_t minParagraphs = 0;  // least P children of a content node
  double minPlainShare = 0;   // least plainShare of a content node, in percent
  // The least product of text share and plain share that scores above 0.
  double leastProduct = 0;
  SiblingRule siblings;
  DocumentRule document;
  LinkListRule linkLists;

  // ---- Furniture by kind and by visibility, a second opinion when the
  // first choice holds little of the page, and what is left out of a choice.
  // Each rule is off in a default value.

  // Elements that are furniture by their kind, a form or a button, unless
  // they hold most of the body's visible text (a page wrapped in one form).
  // kNoRow where none.
  static constexpr int kMostFurnitureKinds = 4;
  ElementRow furnitureKinds[kMostFurnitureKinds] = {KnownRows::kNoRow, KnownRows::kNoRow, KnownRows::kNoRow,
                                                    KnownRows::kNoRow};
  // Whether an element hidden by a hidden attribute or by an inline style
  // (display none, visibility hidden) is furniture, unless it holds most of
  // the body's visible text.
  bool hiddenIsChrome = false;
  // The share of the body's visible bytes above which an element is never
  // furniture by its kind, its visibility or its names: it wraps the
  // article. (Elements that are furniture by what they are keep to the share
  // of the paragraphs.)
  double chromeMostVisibleShare = 0;
  // Whether furniture by its element (an ASIDE, a page's HEADER) that holds
  // more than chromeMostParagraphShare of the P start tags is not furniture:
  // bad nesting put the article inside it.
  bool elementChromeYieldsToParagraphs = false;
  // An element of this kind (an ASIDE) that is named as the article and
  // holds at least namedArticleLeastParagraphs P start tags is the article,
  // not furniture; kNoRow: none.
  ElementRow namedArticleKind = KnownRows::kNoRow;
  int32_t namedArticleLeastParagraphs = 0;
  // Whether a class name whose last word is "layout" says nothing of what
  // the element is ("c-fixed-sidebar-layout" lays out the whole page).
  bool layoutNamesSayNothing = false;
  // Whether the role an element declares counts as its names do: a
  // navigation, banner, contentinfo, complementary, search, menu, menubar,
  // toolbar, dialog or alertdialog is furniture, a main or an article is
  // content.
  bool readsRoles = false;
  // Whether an element named "widget" and nothing else that marks furniture,
  // inside an element named as content, is content: site builders name
  // every box a widget.
  bool widgetsInsideContentAreContent = false;

  // When the first choice holds under mostFirstShare percent of the body's
  // non-link text, the blocks of text vote for the element that holds them:
  // every block whose non-link length is at least leastBlockLength (an
  // element's own line between line breaks, or a leaf of one line) gives
  // 1 + min(length / lengthPerVote, mostLengthVotes) votes to its holder and
  // grandparentWeight of that to the holder's parent; an element's votes are
  // scaled by 1 - its link density. The element with the most takes the
  // first choice's place when it holds leastGain times the first choice's
  // non-link text, more blocks than it, under mostLinkDensity links, and is
  // not inside it; its siblings with at least siblingLeastScore of its votes
  // come with it. The blocks held by a selfContained element (an ARTICLE)
  // vote for it alone: a list of teasers is no article. A block's length
  // counts its letters, whatever the script: one for a character of an
  // alphabet, however many bytes it takes, and three for a character of the
  // East Asian scripts, each a word or most of one.
  struct SecondOpinionRule {
    bool applies = false;
    double mostFirstShare = 0;
    int32_t leastBlockLength = 0;
    double lengthPerVote = 0;
    double mostLengthVotes = 0;
    double grandparentWeight = 0;
    double leastGain = 0;
    double mostLinkDensity = 0;
    double siblingLeastScore = 0;
    ElementRow selfContained = KnownRows::kNoRow;
  };
  SecondOpinionRule secondOpinion;
  // Whether a chosen element whose text is the same as one chosen before it
  // (a hidden copy) is left out.
  bool writesSameTextOnce = false;
  // Chosen elements that are all children of one parent give way to it when
  // it adds non-link text of at most this share of theirs, and no links (a
  // headline above the article's blocks); 0: never.
  double parentMostExtraShare = 0;
  // A chosen element away from the largest one (its parent does not hold
  // that one) is left out when its non-link text is under this share of the
  // largest one's; 0: never.
  double farBlockMostShare = 0;
  // Elements never left out on their own as lists of links, table rows and
  // cells: a table of data is content even when its cells are links; a
  // table that is mostly links still goes whole. kNoRow where none.
  static constexpr int kMostKeptKinds = 4;
  ElementRow neverLinkLists[kMostKeptKinds] = {KnownRows::kNoRow, KnownRows::kNoRow, KnownRows::kNoRow,
                                               KnownRows::kNoRow};

  // ---- Output.
  // Whether the text file of a whole analysis sets its chosen texts apart
  // (see TextFileFormat), whatever file format it is written in.
  bool setsTextsApart = false;

  // The Windows server's analysis, byte for byte.
  static const Rules& classic();
  // The same pipeline for today's markup.
  static const Rules& modern();
};

const Rules& rulesFor(Analysis analysis);

}  // namespace brevanto
