#include "extractor/extraction_pipeline.h"

namespace brevanto {
namespace {

inline bool isNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
         c == '!';
}

}  // namespace

int TagNameReader::read(const char* lt, const char* gt) {
  if (gt <= lt + 1) return 0;
  name = {};
  isOpen = isClose = 0;
  const char last = gt[-1];
  const char* start = nullptr;
  const char* stop = gt;  // one past the name's last byte
  for (const char* q = lt + 1; q < gt; ++q) {
    const unsigned char c = static_cast<unsigned char>(*q);
    if (start == nullptr) {
      // Comments, document types and every other declaration are one "!" tag.
      if (c == '!') {
        name = std::string_view(q, 1);
        isOpen = isClose = 1;
        return 1;
      }
      if (isNameStart(c)) start = q;
      continue;
    }
    // Only the blank and "/" end a name: tab, CR and LF do not.
    if (c == ' ') {
      stop = q;
      break;
    }
    if (c == '/') {
      stop = q + 1;
      break;
    }
  }
  if (start == nullptr) return 0;
  isOpen = 1;
  isClose = 0;
  if (*start == '/') {
    isOpen = 0;
    isClose = 1;
    ++start;
  }
  if (stop > start && stop[-1] == '/') {
    isClose = 1;
    --stop;
  }
  if (last == '/') isClose = 1;
  if (stop <= start) return 0;
  name = std::string_view(start, static_cast<size_t>(stop - start));
  return 1;
}

}  // namespace brevanto
