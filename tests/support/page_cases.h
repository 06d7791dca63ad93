// The page cases of tests/pages: each case is a folder with source.html and
// the text file written for it. expected.txt is what both analyses write;
// where they differ, expected-classic.txt and expected-modern.txt hold what
// each writes, and expected.txt, when present, is left to the other.
#pragma once

#include <filesystem>
#include <vector>

#include "extractor/parse/html_element_table.h"

namespace brevanto::testing {

inline std::filesystem::path pageCases() {
  return std::filesystem::path(BREVANTO_SOURCE_DIR) / "tests" / "pages";
}

// The file that holds what `analysis` writes for the case in `folder`; it
// may not exist (a case the program refuses says why elsewhere).
inline std::filesystem::path expectedTextOf(const std::filesystem::path& folder, Analysis analysis) {
  const std::filesystem::path own =
      folder / (analysis == Analysis::kClassic ? "expected-classic.txt" : "expected-modern.txt");
  return std::filesystem::exists(own) ? own : folder / "expected.txt";
}

inline std::vector<std::filesystem::path> pageCaseFolders() {
  std::vector<std::filesystem::path> folders;
  for (const auto& entry : std::filesystem::directory_iterator(pageCases())) {
    if (entry.is_directory()) folders.push_back(entry.path());
  }
  return folders;
}

}  // namespace brevanto::testing
