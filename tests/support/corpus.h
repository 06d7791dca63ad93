// Pages on disk for the engine's tests: the shared corpus of real pages,
// which sits beside the project (tests skip without it), and files of our own.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/ascii.h"

namespace brevanto::testing {

inline std::filesystem::path corpusPages() {
  return std::filesystem::path(BREVANTO_SOURCE_DIR) / ".." / "shared" / "corpus" / "pages";
}

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The body element's markup as it stands in the page, from "<body" to the
// end of the last "</body>", found without regard to case; the whole page
// when there is none. This is what a browser hands over, less its own
// repairs.
inline std::string bodyOf(const std::string& page) {
  std::string lower(page);
  for (char& c : lower) c = ascii::toLower(c);
  const size_t start = lower.find("<body");
  const size_t end = lower.rfind("</body>");
  if (start == std::string::npos || end == std::string::npos || end < start) return page;
  return page.substr(start, end + 7 - start);
}

}  // namespace brevanto::testing
