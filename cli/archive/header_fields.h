// The "Name: value" lines that head a WARC record and an HTTP response.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/ascii.h"

namespace brevanto::archive {

// The line of `text` that starts at `pos`, without its CR LF or LF; false
// when no line break ends one there. `pos` moves past the line break.
inline bool nextLine(std::string_view text, size_t& pos, std::string_view& line) {
  const size_t end = text.find('\n', pos);
  if (end == std::string_view::npos) return false;
  line = text.substr(pos, end - pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos = end + 1;
  return true;
}

// Reads the fields from `pos` up to the empty line that ends them, calling
// `field(name, value)` (both trimmed) for each. A line that starts with white
// space continues the field before it: `field` returns the string that such
// a line extends, or null when it extends nothing. A line without a colon is
// passed over. True when the empty line was found; `pos` is then past it.
template <typename Field>
bool readHeaderFields(std::string_view text, size_t& pos, Field field) {
  std::string* last = nullptr;  // not owned: what a continuation line extends
  std::string_view line;
  while (nextLine(text, pos, line)) {
    if (line.empty()) return true;
    if (line.front() == ' ' || line.front() == '\t') {
      if (last != nullptr) last->append(" ").append(ascii::trim(line));
      continue;
    }
    const size_t colon = line.find(':');
    last = colon == std::string_view::npos
               ? nullptr
               : field(ascii::trim(line.substr(0, colon)), ascii::trim(line.substr(colon + 1)));
  }
  return false;
}

}  // namespace brevanto::archive
