// The whole analysis of one page for callers that want its text file and
// nothing of the tree: the command line, the WebAssembly module, the Python
// module. Every one of them writes the same bytes for the same markup because
// every one of them comes through here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "extractor/parse/html_element_table.h"

namespace brevanto {

struct PageText {
  std::string file;         // the text file's bytes: the header, then the chosen text
  size_t headerLength = 0;  // bytes of the header at the start of `file`
};

// Analyses `bodyMarkup` (the body element's outer markup; analysed up to a
// NUL byte, as the Windows server reads it) and formats the chosen text
// after a header with `url` and `title`.
PageText extractPageText(const std::string& bodyMarkup, std::string_view url, std::string_view title,
                         Analysis analysis);

}  // namespace brevanto
