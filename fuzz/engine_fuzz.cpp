// Any bytes through the whole analysis, classic and modern: scan, match,
// tree, chrome, text, selection, line cleaning and the output format. Besides
// the sanitizers' own checks, every run verifies the tag and tree invariants
// that the later stages rely on, and aborts on the first one broken.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "extractor/extraction_pipeline.h"
#include "extractor/output/output.h"

namespace {

using brevanto::Analysis;
using brevanto::ExtractionPipeline;
using brevanto::HtmlNode;
using brevanto::HtmlTag;

[[noreturn]] void fail(const char* what, long index) {
  std::fprintf(stderr, "engine_fuzz: %s (at %ld)\n", what, index);
  std::abort();
}

void checkTags(const ExtractionPipeline& p, const std::string& markup) {
  const long count = static_cast<long>(p.tags.size());
  for (const HtmlTag& tag : p.tags) {
    if (tag.partner < 0 || tag.partner >= count) fail("partner out of range", tag.index);
    if (tag.startOffset < 0 || tag.endOffset < tag.startOffset ||
        static_cast<size_t>(tag.endOffset) >= markup.size()) {
      fail("tag offsets outside the markup", tag.index);
    }
    if (markup[static_cast<size_t>(tag.startOffset)] != '<' ||
        markup[static_cast<size_t>(tag.endOffset)] != '>') {
      fail("tag offsets not on '<' and '>'", tag.index);
    }
    if (tag.row >= p.rules.elements->size()) fail("tag without an element row", tag.index);
    if ((tag.text == nullptr) != (tag.textLength == 0)) fail("empty text that is not absent", tag.index);
    // Nested links count once per enclosing link, so the figure may pass the
    // text length, but never wraps.
    if (tag.linkTextLength < 0) fail("negative link text length", tag.index);
    if (tag.partner != tag.index && !tag.isOpen) {
      const HtmlTag& start = p.tags[static_cast<size_t>(tag.partner)];
      if (tag.partner > tag.index || start.partner != tag.index) fail("end tag not paired back", tag.index);
    }
  }
}

void checkTree(const ExtractionPipeline& p) {
  std::vector<const HtmlNode*> pending{&p.root};
  size_t seen = 0;
  while (!pending.empty()) {
    const HtmlNode* node = pending.back();
    pending.pop_back();
    if (++seen > p.tags.size() + 1) fail("tree has more nodes than tags (a cycle?)", static_cast<long>(seen));
    for (const HtmlNode* child = node->firstChild; child != nullptr; child = child->nextSibling) {
      if (child == nullptr || child->parent != node || child->tag == nullptr) fail("broken tree link", -1);
      pending.push_back(child);
    }
  }
}

// One analysis of `markup`, checked through to the output file.
void analyse(Analysis analysis, const char* markup) {
  ExtractionPipeline pipeline(analysis);
  pipeline.analyze(markup);
  const std::string seen(markup);
  checkTags(pipeline, seen);
  checkTree(pipeline);

  const std::vector<brevanto::ContentChoice> chosen = pipeline.chooseContent();
  if (chosen.empty()) fail("chooseContent returned an empty list", -1);
  size_t lists = 0;
  for (const brevanto::ContentChoice& choice : chosen) {
    const HtmlNode* node = choice.node;
    lists += choice.leftOut.size();
    if (node == nullptr || node->tag == nullptr) continue;
    std::string cleaned;
    brevanto::appendCleanLines({node->tag->text, static_cast<size_t>(node->tag->textLength)}, cleaned);
    // Cleaning only drops lines; a last line without its CR LF gets one.
    if (cleaned.size() > static_cast<size_t>(node->tag->textLength) + 2)
      fail("cleaned text grew", node->tag->index);
    // No text is written twice.
    for (const HtmlNode* above = node->parent; above != nullptr; above = above->parent) {
      for (const brevanto::ContentChoice& other : chosen) {
        if (other.node == above) fail("a chosen node inside another", node->tag->index);
      }
    }
    // What a list left out holds lies inside the element that leaves it out.
    for (const HtmlNode* list : choice.leftOut) {
      const HtmlNode* around = list->parent;
      while (around != nullptr && around != node) around = around->parent;
      if (around == nullptr) fail("a list left out outside its element", list->tag->index);
    }
  }
  std::vector<brevanto::ContentChoice> whole = chosen;
  for (brevanto::ContentChoice& choice : whole) choice.leftOut.clear();
  const brevanto::PageText file = brevanto::formatTextFile(whole, "http://example.test/a", "A title");
  if (file.file.empty() || file.headerLength == 0) fail("empty output file", -1);
  const std::string written = brevanto::formatTextFile(chosen, "http://example.test/a", "A title").file;
  // A line break stands in for each list, which holds at least one byte,
  // and a text that now has lines to clean may end in one more.
  if (written.size() > file.file.size() + 2 * (chosen.size() + lists))
    fail("leaving lists out made the text longer", -1);
  // The LF file is the same text with no line ending in CR and no empty
  // line first.
  const std::string lf =
      brevanto::formatTextFile(chosen, "http://example.test/a", "A title", brevanto::lfTextFile()).file;
  if (lf.size() > written.size()) fail("the LF file is longer than the CR LF one", -1);
  if (lf.find("\r\n") != std::string::npos) fail("a line of the LF file ends in CR", -1);

  // A second analysis in the same pipeline must start from nothing.
  pipeline.analyze(markup);
  checkTags(pipeline, seen);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The markup is a NUL-terminated string: bytes after a NUL are never seen,
  // as in a real call.
  // An exact-size buffer, so that a read past the terminating NUL is a
  // sanitizer report.
  std::unique_ptr<char[]> markup(new char[size + 1]);
  if (size > 0) std::memcpy(markup.get(), data, size);
  markup[size] = '\0';
  analyse(Analysis::kClassic, markup.get());
  analyse(Analysis::kModern, markup.get());
  return 0;
}
