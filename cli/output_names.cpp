#include "cli/output_names.h"

#include <algorithm>

#include "extractor/output/file_names.h"

namespace brevanto::cli {
namespace {

// The suffix of the `count`-th page that wants the same name.
std::string numbered(int count, std::string_view extension) {
  return (count == 1 ? std::string() : " (" + std::to_string(count) + ")") + std::string(extension);
}

}  // namespace

std::string inputStem(std::string_view input) {
  if (input == "-") return "stdin";
  const size_t slash = input.rfind('/');
  return std::string(file_names::stemOf(slash == std::string_view::npos ? input : input.substr(slash + 1)));
}

std::string OutputNames::nameFor(std::string_view title, std::string_view input, bool fromInput) {
  auto nameWith = [&](int number) {
    const std::string suffix = numbered(number, extension_);
    std::string name = fromInput ? std::string() : file_names::nameFromTitle(title, suffix);
    if (name.empty()) name = file_names::pathComponent(inputStem(input), suffix);
    return name.empty() ? "page" + suffix : name;
  };
  const std::string first = nameWith(1);
  int& last = lastNumber_[first];
  for (int number = std::max(last, 1);; ++number) {
    std::string name = number == 1 ? first : nameWith(number);
    if (written_.count(name) == 0) {
      last = number;
      return name;
    }
  }
}

}  // namespace brevanto::cli
