// The per-call object of an extraction: it owns one analysis' tags, nodes
// and texts, and runs the stages over them in order:
//
//   parse/    scanner -> matcher -> tree
//   text/     chrome -> text
//   select/   links -> prune -> score -> choose
//   output/   format (and write)
//
// Each stage is reached through its folder's header; the pipeline only
// holds what they give each other. The Windows server's driver, which
// proposes a file name and asks where to save, lives in automation/.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "extractor/parse/html_tag.h"
#include "extractor/parse/parse.h"
#include "extractor/rules.h"
#include "extractor/select/select.h"
#include "extractor/text/text.h"

namespace brevanto {

// What analyze read of its markup.
enum class MarkupRead : int {
  kWhole = 1,  // every byte up to the NUL (none for no markup)
  kCut = 0,    // only the first kMostMarkupBytes: the markup is longer
};

class ExtractionPipeline {
 public:
  explicit ExtractionPipeline(Analysis analysis = Analysis::kClassic);
  explicit ExtractionPipeline(const Rules& rules);
  virtual ~ExtractionPipeline();
  ExtractionPipeline(const ExtractionPipeline&) = delete;
  ExtractionPipeline& operator=(const ExtractionPipeline&) = delete;

  // Analyses `markup`, NUL-terminated, from scratch: afterwards `tags`,
  // `root` and `body` hold what the stages made of it, ready for
  // chooseContent. The markup must stay unchanged and alive for as long as
  // the tags and texts are used.
  MarkupRead analyze(const char* markup);
  // The content of the last analysis, as the rules choose it.
  std::vector<ContentChoice> chooseContent();

  const Rules rules;
  // ---- What an analysis leaves, for its callers to read.
  std::vector<HtmlTag> tags;  // every tag in document order
  HtmlNode root;              // the pruned tree's root: no tag, no parent
  BodyFigures body;           // the body statistics; all 0 without a BODY

  // The shares of an element of the body's tree; all 0 for any other tag.
  ElementShares sharesOf(const HtmlTag& tag) const { return brevanto::sharesOf(tag, body, rules); }
  // The element name as written in the markup (letter case kept), without
  // "/" and attributes; "!" for comments and declarations.
  std::string_view nameOf(const HtmlTag& tag) const { return tagName(markup_, tag, rules.anySpaceEndsName); }

  // ---- Debugging and tests: stable line-oriented dumps.
  // One line per tag: index, partner, start and end offsets, flags (O open,
  // C close, N no content, or "-"), name.
  std::string dumpTags() const;
  // One line per node in document order: depth, indentation (two spaces per
  // level, up to 32 levels), name, tag index, text length, link text length,
  // text/plain/link shares and score; where the rules count visible bytes,
  // the visible length follows the text length.
  std::string dumpTree() const;
  // The analysis, then one line per chosen node: its tag index and name,
  // and why it was chosen; under it, a line for each list it leaves out.
  std::string dumpContent(const std::vector<ContentChoice>& choices) const;

 private:
  const char* markup_ = nullptr;     // not owned: the markup the tags' offsets refer to
  TagScanner scanner_;               // keeps its name keys between analyses
  std::vector<HtmlNode> nodeStore_;  // owns every node below root; never reallocated while in use
  TextStore textStore_;              // owns every collected text
};

}  // namespace brevanto
