#include "extractor/parse/tag_attributes.h"

#include "base/ascii.h"

namespace brevanto {
TagAttributes readTagAttributes(std::string_view attributes) {
  TagAttributes found;
  bool seenClass = false;
  bool seenId = false;
  bool seenStyle = false;
  bool seenRole = false;
  const size_t end = attributes.size();
  size_t at = 0;
  auto skipSpaces = [&] {
    while (at < end && ascii::isWhitespace(attributes[at])) ++at;
  };
  while (at < end) {
    skipSpaces();
    if (at < end && attributes[at] == '/') {
      ++at;
      continue;
    }
    // A name runs to a space, "/" or "="; an "=" where a name starts is part
    // of the name, so that every round takes at least one byte.
    const size_t nameStart = at;
    if (at < end && attributes[at] == '=') ++at;
    while (at < end && !ascii::isWhitespace(attributes[at]) && attributes[at] != '/' && attributes[at] != '=')
      ++at;
    const std::string_view name = attributes.substr(nameStart, at - nameStart);
    skipSpaces();
    std::string_view value;
    if (at < end && attributes[at] == '=') {
      ++at;
      skipSpaces();
      if (at < end && (attributes[at] == '"' || attributes[at] == '\'')) {
        const char quote = attributes[at++];
        const size_t close = attributes.find(quote, at);
        const size_t valueEnd = close == std::string_view::npos ? end : close;
        value = attributes.substr(at, valueEnd - at);
        at = valueEnd == end ? end : valueEnd + 1;
      } else {
        const size_t valueStart = at;
        while (at < end && !ascii::isWhitespace(attributes[at])) ++at;
        value = attributes.substr(valueStart, at - valueStart);
      }
    }
    auto keepFirst = [&value](bool& seen, std::string_view& slot) {
      if (!seen) slot = value;
      seen = true;
    };
    if (ascii::equalsIgnoringCase(name, "class")) {
      keepFirst(seenClass, found.classes);
    } else if (ascii::equalsIgnoringCase(name, "id")) {
      keepFirst(seenId, found.id);
    } else if (ascii::equalsIgnoringCase(name, "style")) {
      keepFirst(seenStyle, found.style);
    } else if (ascii::equalsIgnoringCase(name, "role")) {
      keepFirst(seenRole, found.role);
    } else if (ascii::equalsIgnoringCase(name, "hidden")) {
      found.hidden = true;
    }
  }
  return found;
}

}  // namespace brevanto
