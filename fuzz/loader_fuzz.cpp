// Any bytes through the page loader of brevanto-extract (encoding choice and
// detection, decoding, the HTML5 parse and its second reading on a late meta
// or a runaway title, the serialization of the body), then through the
// analysis and the output format, as the program runs them. The first byte
// picks the encoding label the user might give, the one the page might have
// been served with, and the analysis.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/page_loader.h"
#include "extractor/extraction_pipeline.h"
#include "extractor/output/output.h"

namespace {

// Empty labels, as most runs give none, then one of each family.
constexpr const char* kLabels[] = {"",
                                   "",
                                   "",
                                   "",
                                   "utf-8",
                                   "windows-1252",
                                   "windows-1253",
                                   "iso-8859-8",
                                   "shift_jis",
                                   "euc-jp",
                                   "iso-2022-jp",
                                   "gb18030",
                                   "euc-kr",
                                   "big5",
                                   "utf-16le",
                                   "utf-16be",
                                   "koi8-u",
                                   "x-user-defined",
                                   "replacement",
                                   "no-such-label"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  constexpr size_t kLabelCount = sizeof kLabels / sizeof kLabels[0];
  const std::string_view label = kLabels[data[0] % kLabelCount];
  const std::string_view transportLabel = kLabels[(data[0] / kLabelCount) % kLabelCount];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  // One loader per analysis for the whole run, as brevanto-extract uses it
  // for a batch, so that state one page leaves behind meets the next page.
  static brevanto::cli::PageLoader classicLoader(brevanto::Analysis::kClassic);
  static brevanto::cli::PageLoader modernLoader(brevanto::Analysis::kModern);
  brevanto::cli::PageLoader& loader = (data[0] & 0x80) != 0 ? modernLoader : classicLoader;
  brevanto::cli::LoadedPage page;
  const brevanto::cli::LoadStatus status = loader.load(bytes, label, transportLabel, page);
  if (status != brevanto::cli::LoadStatus::kLoaded) {
    if (page.error.empty()) {
      std::fprintf(stderr, "loader_fuzz: a failed load without a cause\n");
      std::abort();
    }
    return 0;
  }
  // Every page reaches the parser decoded, so all it hands over is UTF-8.
  if (!brevanto::cli::isValidUtf8(page.markup) || !brevanto::cli::isValidUtf8(page.title)) {
    std::fprintf(stderr, "loader_fuzz: the loader handed over bytes that are not UTF-8\n");
    std::abort();
  }
  brevanto::ExtractionPipeline pipeline;
  pipeline.analyze(page.markup.c_str());
  const std::string file = brevanto::formatTextFile(pipeline.chooseContent(), page.url, page.title).file;
  if (file.empty()) std::abort();
  return 0;
}
