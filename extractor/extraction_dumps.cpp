// Stable, line-oriented dumps of what an extraction made of a page: its tags,
// its scored tree and its choice, for tests and for looking at a page.
#include <algorithm>
#include <cstdio>

#include "extractor/extraction_pipeline.h"
#include "extractor/parse/tree_walk.h"

namespace brevanto {
namespace {

constexpr int kMaxIndent = 32;

}  // namespace

std::string ExtractionPipeline::dumpTags() const {
  return brevanto::dumpTags(tags, markup_, rules.anySpaceEndsName);
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
          appendPrintable(out, nameOf(*tag));
          const ElementShares shares = sharesOf(*tag);
          std::snprintf(line, sizeof line, " #%d text=%d", tag->index, tag->textLength);
          out += line;
          if (rules.countsVisibleBytes) {
            std::snprintf(line, sizeof line, " visible=%d", tag->visibleLength);
            out += line;
          }
          std::snprintf(line, sizeof line, " link=%d shares=%.3f/%.3f/%.3f score=%.3f\n", tag->linkTextLength,
                        shares.textShare, shares.plainShare, shares.linkShare, nodeScore(shares, rules));
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
  static constexpr const char* kReasons[] = {"paragraphs", "best score",    "sibling", "document",
                                             "votes",      "voted sibling", "parent"};
  std::string out = std::string("analysis ") + rules.name + "\n";
  char line[64];
  for (const ContentChoice& choice : choices) {
    if (choice.node == nullptr) {
      out += "content (none)\n";
      continue;
    }
    std::snprintf(line, sizeof line, "content #%d ", choice.node->tag->index);
    out += line;
    appendPrintable(out, nameOf(*choice.node->tag));
    out.append(": ").append(kReasons[static_cast<int>(choice.reason)]).append("\n");
    for (const HtmlNode* list : choice.leftOut) {
      std::snprintf(line, sizeof line, "  without #%d ", list->tag->index);
      out += line;
      appendPrintable(out, nameOf(*list->tag));
      out += ": links\n";
    }
  }
  return out;
}

}  // namespace brevanto
