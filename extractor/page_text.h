// The whole analysis of one page for callers that want its text file and
// nothing of the tree: the command line, the WebAssembly module, the Python
// module. Every one of them writes the same bytes for the same markup because
// every one of them comes through here.
#pragma once

#include <string>
#include <string_view>

#include "extractor/output/output.h"
#include "extractor/parse/html_element_table.h"

namespace brevanto {

// Analyses `bodyMarkup` (the body element's outer markup; analysed up to a
// NUL byte, as the Windows server reads it, and up to kMostMarkupBytes) and
// formats the chosen text after a header with `url` and `title`, with the
// line ends and first line of `format` and the chosen texts set apart where
// the analysis' rules say so.
PageText extractPageText(const std::string& bodyMarkup, std::string_view url, std::string_view title,
                         Analysis analysis, TextFileFormat format = windowsTextFile());

// Below this share of the body's visible text, in percent, the chosen text
// is likely not the article: the analysis reconsidered and still found
// little.
inline constexpr double kLittleTextShare = 10.0;

// What to tell the user of a page whose chosen text is a small share of its
// visible text, with that share; empty when there is nothing to say (a
// larger share, or nothing chosen at all, which the caller reports itself).
std::string littleTextWarning(const PageText& page);

}  // namespace brevanto
