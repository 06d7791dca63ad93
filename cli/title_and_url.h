// What a parsed document says of itself: its title, as a browser's
// document.title gives it, and where it was saved from.
#pragma once

#include <string>
#include <string_view>

struct myhtml_tree;  // one parsed document

namespace brevanto::cli {

// `text` as a browser's document.title gives a title: ASCII white space
// stripped from both ends, and each run of it inside made one space.
std::string stripAndCollapseWhitespace(std::string_view text);

// The first title element of the HTML namespace (an SVG or MathML title
// names a drawing, not the page), stripped and collapsed; empty when none.
std::string documentTitle(myhtml_tree* tree);

// Where the page says it came from: the "saved from url=(NNNN)" comment a
// browser writes when it saves a page, else an absolute canonical link;
// empty when it does not say.
std::string documentUrl(myhtml_tree* tree);

}  // namespace brevanto::cli
