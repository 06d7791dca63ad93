#include <cstdio>

#include "extractor/parse/parse.h"

namespace brevanto {

void appendPrintable(std::string& out, std::string_view bytes) {
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
}

std::string dumpTags(const std::vector<HtmlTag>& tags, const char* markup, bool anySpaceEndsName) {
  std::string out;
  char line[96];
  for (const HtmlTag& tag : tags) {
    std::snprintf(line, sizeof line, "%d %d %d %d %c%c%c ", tag.index, tag.partner, tag.startOffset,
                  tag.endOffset, tag.isOpen ? 'O' : '-', tag.isClose ? 'C' : '-', tag.hasContent ? '-' : 'N');
    out += line;
    appendPrintable(out, tagName(markup, tag, anySpaceEndsName));
    out += '\n';
  }
  return out;
}

}  // namespace brevanto
