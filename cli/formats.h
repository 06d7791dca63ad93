// What a page becomes beside the text file: a JSON object with the same
// text and what is known of the page, for pipelines that read records.
#pragma once

#include <string>
#include <string_view>

#include "cli/options.h"
#include "cli/page_extraction.h"

namespace brevanto::cli {

// The extension of the files a format writes, dot included.
std::string_view extensionOf(Format format);

// The JSON object of one page on one line, ending in "\n": its url, title,
// text (the chosen text: the file after its header), analysis ("modern"
// or "classic"), encoding (null for markup input), source (where the page
// was read) and warnings, in that order.
std::string jsonObject(const ExtractedPage& page, std::string_view source, Analysis analysis);

}  // namespace brevanto::cli
