// Stable, line-oriented dumps of the tag list and the tree, for tests and for
// looking at what the analysis made of a page.
#include <algorithm>
#include <cstdio>

#include "extractor/extraction_pipeline.h"
#include "extractor/parse/tree_walk.h"

namespace brevanto {
namespace {

constexpr int kMaxIndent = 32;

// Names are bytes of the markup: control and other non-printable bytes are
// written as \xHH so that one tag stays one line.
void appendEscaped(std::string& out, std::string_view bytes) {
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

}  // namespace

std::string ExtractionPipeline::dumpTags() const {
  std::string out;
  char line[96];
  for (const HtmlTag& tag : tags) {
    std::snprintf(line, sizeof line, "%d %d %d %d %c%c%c ", tag.index, tag.partner, tag.startOffset,
                  tag.endOffset, tag.isOpen ? 'O' : '-', tag.isClose ? 'C' : '-', tag.hasContent ? '-' : 'N');
    out += line;
    appendEscaped(out, nameOf(tag));
    out += '\n';
  }
  return out;
}

std::string ExtractionPipeline::dumpTree() const {
  std::string out;
  char line[160];
  int depth = 0;
  walkTree(
      &root,
      [&](const HtmlNode* node) {
        // Indentation shows the shape of ordinary pages; past a few dozen
        // levels the depth number alone tells it, and the dump stays linear
        // in size.
        std::snprintf(line, sizeof line, "%d ", depth);
        out += line;
        out.append(static_cast<size_t>(std::min(depth, kMaxIndent)) * 2, ' ');
        if (const HtmlTag* tag = node->tag) {
          appendEscaped(out, nameOf(*tag));
          const ElementShares shares = sharesOf(*tag);
          std::snprintf(line, sizeof line, " #%d text=%d", tag->index, tag->textLength);
          out += line;
          if (analysis == Analysis::kModern) {
            std::snprintf(line, sizeof line, " visible=%d", countedLength(*tag));
            out += line;
          }
          std::snprintf(line, sizeof line, " link=%d shares=%.3f/%.3f/%.3f score=%.3f\n", tag->linkTextLength,
                        shares.textShare, shares.plainShare, shares.linkShare, nodeScore(shares));
          out += line;
        } else {
          out += "(root)\n";
        }
        ++depth;
        return true;
      },
      [&](const HtmlNode*) { --depth; });
  return out;
}

std::string ExtractionPipeline::dumpContent(const std::vector<ContentChoice>& choices) const {
  static constexpr const char* kReasons[] = {"paragraphs", "best score", "sibling", "document"};
  std::string out = analysis == Analysis::kModern ? "analysis modern\n" : "analysis classic\n";
  char line[64];
  for (const ContentChoice& choice : choices) {
    if (choice.node == nullptr) {
      out += "content (none)\n";
      continue;
    }
    std::snprintf(line, sizeof line, "content #%d ", choice.node->tag->index);
    out += line;
    appendEscaped(out, nameOf(*choice.node->tag));
    out.append(": ").append(kReasons[static_cast<int>(choice.reason)]).append("\n");
    for (const HtmlNode* list : choice.leftOut) {
      std::snprintf(line, sizeof line, "  without #%d ", list->tag->index);
      out += line;
      appendEscaped(out, nameOf(*list->tag));
      out += ": links\n";
    }
  }
  return out;
}

}  // namespace brevanto
