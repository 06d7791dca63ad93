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

  // The Windows server's analysis, byte for byte.
  static const Rules& classic();
  // The same pipeline for today's markup.
  static const Rules& modern();
};

const Rules& rulesFor(Analysis analysis);

}  // namespace brevanto
