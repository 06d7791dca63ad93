// The page cases of tests/pages: each case is a folder with source.html and
// the text file written for it. expected.txt is what both analyses write;
// where they differ, expected-classic.txt and expected-modern.txt hold what
// each writes, and expected.txt, when present, is left to the other. A case
// whose page is given with options lists them in arguments.txt, one a line.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
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

// The options of brevanto-extract that the case in `folder` gives before its
// page; none for most. Cases use only --markup (the page is the body's
// markup, analysed as it is), --url=TEXT and --title=TEXT.
inline std::vector<std::string> pageCaseArguments(const std::filesystem::path& folder) {
  std::vector<std::string> arguments;
  std::ifstream lines(folder / "arguments.txt");
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) arguments.push_back(line);
  }
  return arguments;
}

inline std::vector<std::filesystem::path> pageCaseFolders() {
  std::vector<std::filesystem::path> folders;
  for (const auto& entry : std::filesystem::directory_iterator(pageCases())) {
    if (entry.is_directory()) folders.push_back(entry.path());
  }
  return folders;
}

}  // namespace brevanto::testing
