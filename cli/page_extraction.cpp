#include "cli/page_extraction.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "extractor/messages.h"
#include "extractor/page_text.h"
#include "extractor/parse/html_tag.h"

namespace brevanto::cli {
namespace {

// Empty when `size` bytes of markup can be analysed whole; else why not. A
// larger page is refused, before anything copies it, rather than analysed
// in part.
std::string tooLarge(size_t size) {
  if (size <= kMostMarkupBytes) return {};
  return "the page's markup is " + std::to_string(size) + " bytes; the analysis reads at most " +
         std::to_string(kMostMarkupBytes);
}

// Whether anything but line breaks and blanks follows `from` in `text`.
bool holdsText(std::string_view text, size_t from) {
  return text.find_first_not_of(" \t\r\n", from) != std::string_view::npos;
}

}  // namespace

std::string fileUrlOf(const std::string& path) {
  char resolved[PATH_MAX];
  const std::string absolute = ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
  std::string url = "file://";
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : absolute) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
                       std::strchr("/-._~", c) != nullptr;
    if (plain) {
      url.push_back(c);
    } else {
      url.push_back('%');
      url.push_back(kHex[b >> 4]);
      url.push_back(kHex[b & 15]);
    }
  }
  return url;
}

PageExtractor::PageExtractor(Analysis analysis) : analysis_(analysis), loader_(analysis) {}

bool PageExtractor::prepare(std::string_view bytes, const PageRequest& request, PreparedPage& page,
                            std::string& error) {
  page = PreparedPage();
  if (bytes.empty()) {
    error = kEmptyBodyMessage;
    return false;
  }
  if (request.markupInput) {
    // The analysis reads the markup as a NUL-terminated string.
    const size_t nul = bytes.find('\0');
    if (nul == 0) {
      error = kEmptyBodyMessage;
      return false;
    }
    if (nul != std::string_view::npos) {
      page.warnings.push_back("the markup ends at the NUL byte at offset " + std::to_string(nul) +
                              "; what follows it is not analysed");
      bytes = bytes.substr(0, nul);
    }
    error = tooLarge(bytes.size());
    if (!error.empty()) return false;
    page.markup.assign(bytes);
  } else {
    LoadedPage loaded;
    if (loader_.load(bytes, request.encodingLabel, request.transportLabel, loaded) != LoadStatus::kLoaded) {
      error = std::move(loaded.error);
      return false;
    }
    error = tooLarge(loaded.markup.size());
    if (!error.empty()) return false;
    page.markup = std::move(loaded.markup);
    page.title = std::move(loaded.title);
    page.url = std::move(loaded.url);
    page.encoding = std::move(loaded.encoding);
  }
  if (request.title) page.title = stripAndCollapseWhitespace(*request.title);
  if (request.url) page.url = *request.url;
  if (!request.url && page.url.empty()) page.url = request.fallbackUrl;
  return true;
}

bool PageExtractor::extract(std::string_view bytes, const PageRequest& request, ExtractedPage& page,
                            std::string& error) {
  page = ExtractedPage();
  PreparedPage prepared;
  if (!prepare(bytes, request, prepared, error)) return false;
  PageText text =
      extractPageText(prepared.markup, prepared.url, prepared.title, analysis_, request.textFormat);
  if (text.markupCut) {
    error = tooLarge(prepared.markup.size());
    return false;
  }
  page.file = std::move(text.file);
  page.headerLength = text.headerLength;
  page.title = std::move(prepared.title);
  page.url = std::move(prepared.url);
  page.encoding = std::move(prepared.encoding);
  page.warnings = std::move(prepared.warnings);
  if (!holdsText(page.file, page.headerLength))
    page.warnings.push_back("no text was selected; the file holds the header only");
  if (std::string little = littleTextWarning(text); !little.empty())
    page.warnings.push_back(std::move(little));
  return true;
}

}  // namespace brevanto::cli
