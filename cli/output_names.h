// The names of the files that one run writes into its folder: each one path
// component, made from the page's title (or else from the name of the file
// the page came from), and never a name the run has written before.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace brevanto::cli {

// The stem of an input's file name: up to its last dot, unless the dot
// starts the name; "stdin" for standard input ("-").
std::string inputStem(std::string_view input);

class OutputNames {
 public:
  // Names end in `extension` (".txt", ".json").
  explicit OutputNames(std::string_view extension = ".txt") : extension_(extension) {}

  // The name for the page read from `input`: from its `title`, or from the
  // input's stem when `fromInput` is set or the title gives no usable name.
  // A name already written in this run gets " (2)", " (3)"... before the
  // extension.
  std::string nameFor(std::string_view title, std::string_view input, bool fromInput);

  // Records that the run has written `name`.
  void markWritten(const std::string& name) { written_.insert(name); }

 private:
  std::string extension_;
  std::set<std::string> written_;
  // By the unnumbered name: the number its last page got, where the search
  // for a free number starts, so that many pages of one title stay cheap.
  std::map<std::string, int> lastNumber_;
};

}  // namespace brevanto::cli
