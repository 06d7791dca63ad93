// One page from its bytes to its text file: load it as a browser would (or
// take the bytes as body markup), analyse it, format what it chose. Every
// front end goes through here, so that a page gives the same text whether it
// comes from a file, an archive or Python.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/page_loader.h"
#include "extractor/output/output.h"
#include "extractor/parse/html_element_table.h"

namespace brevanto::cli {

// What the caller knows of a page beside its bytes.
struct PageRequest {
  std::string encodingLabel;         // the user's choice of encoding; empty: as a browser decides
  std::string transportLabel;        // the charset of the Content-Type the page was served with, if any
  std::optional<std::string> title;  // given by the user: replaces the page's own
  std::optional<std::string> url;    // given by the user: replaces the page's own
  // The URL when neither the user nor the page names one (a local file's
  // file:// URL); may be empty.
  std::string fallbackUrl;
  bool markupInput = false;  // the bytes are the body's markup already, not a page
  // The text file's line ends and first line; the Windows server's unless
  // the caller asks for another.
  TextFileFormat textFormat = windowsTextFile();
};

// The markup that the analysis reads, and what its header says.
struct PreparedPage {
  std::string markup;
  std::string title;
  std::string url;
  std::string encoding;  // the encoding the bytes were read in; empty for markup input
  std::vector<std::string> warnings;
};

struct ExtractedPage {
  std::string file;         // the text file: the header, then the chosen text
  size_t headerLength = 0;  // bytes of the header at the start of `file`
  std::string title;
  std::string url;
  std::string encoding;
  std::vector<std::string> warnings;  // what the user should know; the page was still written
};

// The file:// URL of the local file at `path` (made absolute, links
// resolved), its bytes outside the unreserved set percent-encoded: the URL
// of a page that names none.
std::string fileUrlOf(const std::string& path);

// Extracts pages one after another with one parser. Not thread-safe: give
// each thread its own.
class PageExtractor {
 public:
  explicit PageExtractor(Analysis analysis);

  // The markup, title and URL of one page; false, with `error` set to the
  // cause, when there is nothing to analyse.
  bool prepare(std::string_view bytes, const PageRequest& request, PreparedPage& page, std::string& error);
  // The whole page; false, with `error` set, when there is nothing to analyse.
  bool extract(std::string_view bytes, const PageRequest& request, ExtractedPage& page, std::string& error);

  Analysis analysis() const { return analysis_; }

 private:
  Analysis analysis_;
  PageLoader loader_;
};

}  // namespace brevanto::cli
