#include "extractor/output/file_names.h"

#include <algorithm>
#include <cstring>

namespace brevanto::file_names {
namespace {

constexpr char kUnsafeInTitle[] = "<>/\\*|:?\".";

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// What stands for byte `i` of `stem` (and how many bytes it takes) in a path
// component: nothing here may separate folders, end a line or hide the file.
std::string_view componentCharAt(std::string_view stem, size_t i, size_t& length) {
  length = 1;
  const auto c = static_cast<unsigned char>(stem[i]);
  if (c == '/' || c == '\\') return "_";
  // A leading "." hides the file; a leading "-" makes it an option to the
  // next command that is given the name.
  if ((c == '.' || c == '-') && i == 0) return "_";
  if (c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r') return " ";
  if (c < 0x20 || c == 0x7F) return "_";
  // U+0080 to U+009F, the C1 controls, in UTF-8.
  if (c == 0xC2 && i + 1 < stem.size() && static_cast<unsigned char>(stem[i + 1]) <= 0x9F &&
      isContinuationByte(stem[i + 1])) {
    length = 2;
    return "_";
  }
  // The bidirectional marks, embeddings, overrides and isolates (U+200E,
  // U+200F, U+202A to U+202E, U+2066 to U+2069), in UTF-8: shown, they
  // reorder the rest of the name, so "txt.exe" can read as "exe.txt".
  if (c == 0xE2 && i + 2 < stem.size()) {
    const auto b1 = static_cast<unsigned char>(stem[i + 1]);
    const auto b2 = static_cast<unsigned char>(stem[i + 2]);
    if ((b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F || (b2 >= 0xAA && b2 <= 0xAE))) ||
        (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9)) {
      length = 3;
      return "_";
    }
  }
  return stem.substr(i, 1);
}

}  // namespace

std::string replaceUnsafe(std::string_view title) {
  std::string safe(title);
  for (char& c : safe) {
    if (c != '\0' && std::strchr(kUnsafeInTitle, c) != nullptr) c = '_';
  }
  return safe;
}

std::string_view stemOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string pathComponent(std::string_view stem, std::string_view suffix) {
  if (suffix.size() >= kMaxComponentBytes) return {};
  std::string name;
  name.reserve(stem.size() + suffix.size());
  size_t length = 0;
  for (size_t i = 0; i < stem.size(); i += length) name.append(componentCharAt(stem, i, length));
  size_t end = std::min(name.size(), kMaxComponentBytes - suffix.size());
  // A cut inside a character would leave bytes that are no character at all.
  if (end < name.size()) {
    while (end > 0 && isContinuationByte(name[end])) --end;
  }
  while (end > 0 && name[end - 1] == ' ') --end;
  name.resize(end);
  if (name.find_first_not_of(" _") == std::string::npos) return {};
  return name.append(suffix);
}

std::string nameFromTitle(std::string_view title, std::string_view suffix) {
  return pathComponent(replaceUnsafe(title), suffix);
}

}  // namespace brevanto::file_names
