#include "extractor/parse/tag_name_reader.h"

#include "base/ascii.h"

namespace brevanto {
namespace {

bool isNameStart(char c) {
  return ascii::isLetter(c) || ascii::isDigit(c) || c == '/' || c == '!';
}

}  // namespace

bool TagNameReader::read(const char* lt, const char* gt) {
  if (gt <= lt + 1) return false;
  name = {};
  isOpen = isClose = false;
  const char last = gt[-1];
  const char* start = nullptr;
  const char* stop = gt;  // one past the name's last byte
  for (const char* q = lt + 1; q < gt; ++q) {
    const char c = *q;
    if (start == nullptr) {
      // Comments, document types and every other declaration are one "!" tag.
      if (c == '!') {
        name = std::string_view(q, 1);
        isOpen = isClose = true;
        return true;
      }
      if (isNameStart(c)) start = q;
      continue;
    }
    // The blank and "/" end a name; tab, CR, LF and form feed only when the
    // reader is told so.
    if (c == ' ' || (anySpaceEndsName && ascii::isWhitespace(c))) {
      stop = q;
      break;
    }
    if (c == '/') {
      stop = q + 1;
      break;
    }
  }
  if (start == nullptr) return false;
  isOpen = true;
  if (*start == '/') {
    isOpen = false;
    isClose = true;
    ++start;
  }
  if (stop > start && stop[-1] == '/') {
    isClose = true;
    --stop;
  }
  if (last == '/') isClose = true;
  if (stop <= start) return false;
  name = std::string_view(start, static_cast<size_t>(stop - start));
  return true;
}

}  // namespace brevanto
