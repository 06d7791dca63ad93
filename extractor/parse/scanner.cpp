// Finds the tags of the body markup. Text is not tokenized: it stays in the
// markup, and the text stage cuts it out between the tags' offsets.
#include <cstring>

#include "base/ascii.h"
#include "extractor/extraction_pipeline.h"

namespace brevanto {
namespace {

const char* findByte(const char* from, const char* end, char c) {
  return static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(end - from)));
}

const char* findText(const char* from, const char* end, std::string_view text) {
  const std::string_view rest(from, static_cast<size_t>(end - from));
  const size_t at = rest.find(text);
  return at == std::string_view::npos ? nullptr : from + at;
}

}  // namespace

void ExtractionPipeline::clearTags() {
  tags.clear();
  otherNames_.clear();
  markup_ = nullptr;
  markupLength_ = 0;
}

void ExtractionPipeline::scanMarkup(const char* begin, const char* end) {
  inRawText_ = false;
  markup_ = begin;
  markupLength_ = static_cast<size_t>(end - begin);
  // Every tag starts at a "<": room for all of them at once spares the copies
  // of a growing list. Pages of the list that stay unused are never touched.
  size_t lessThan = 0;
  for (const char* p = begin; (p = findByte(p, end, '<')) != nullptr; ++p) ++lessThan;
  tags.reserve(tags.size() + lessThan);

  const char* p = begin;
  while (p < end) {
    if (inRawText_) {
      // Inside a skip-content element only its exact end tag, spelled as the
      // start tag was, ends it. Without one, nothing after it is a tag.
      const std::string endTag = rawTextEndTag();
      const char* at = findText(p, end, endTag);
      if (at == nullptr) break;
      addTag(at, at + endTag.size() - 1, begin);
      p = at + endTag.size();
      continue;
    }
    const char* lt = findByte(p, end, '<');
    if (lt == nullptr) break;
    // Quotes are not considered: a tag ends at the first ">" after its "<",
    // and a comment's at the first ">" after the first "--" that follows its
    // "<!--". A tag or comment left open at the end is dropped.
    const char* gtFrom = lt + 1;
    if (end - lt > 3 && lt[1] == '!' && lt[2] == '-' && lt[3] == '-') {
      const char* dashes = findText(lt + 4, end, "--");
      if (dashes == nullptr) break;
      gtFrom = dashes + 2;
    }
    const char* gt = findByte(gtFrom, end, '>');
    if (gt == nullptr) break;
    addTag(lt, gt, begin);
    p = gt + 1;
  }
}

int ExtractionPipeline::addTag(const char* lt, const char* gt, const char* base) {
  if (gt == lt + 1) return kNoTag;
  TagNameReader reader;
  reader.anySpaceEndsName = analysis == Analysis::kModern;
  if (!reader.read(lt, gt)) return kNoTag;
  // A name read is never empty, so it has a row: its own, or the comment row.
  const ElementRow row = elements.rowOf(reader.name.data(), reader.name.size());
  HtmlTag& tag = tags.emplace_back();
  tag.index = static_cast<int32_t>(tags.size() - 1);
  tag.startOffset = static_cast<int32_t>(lt - base);
  tag.endOffset = static_cast<int32_t>(gt - base);
  tag.isOpen = reader.isOpen;
  tag.isClose = reader.isClose;
  tag.row = row;
  tag.nameKey = nameKeyOf(reader.name, row);
  const HtmlElementInfo& element = elements[row];
  if (element.rendersContent == 0 && element.endTag == kEndTagRequired) inRawText_ = !tag.isClose;
  return tag.index;
}

std::string ExtractionPipeline::rawTextEndTag() const {
  std::string endTag = "</";
  if (!tags.empty()) endTag += nameOf(tags.back());
  endTag += '>';
  return endTag;
}

std::string_view ExtractionPipeline::nameOf(const HtmlTag& tag) const {
  // The name is read again as the scanner read it: a tag keeps no copy.
  TagNameReader reader;
  reader.anySpaceEndsName = analysis == Analysis::kModern;
  if (markup_ == nullptr || !reader.read(markup_ + tag.startOffset, markup_ + tag.endOffset)) return {};
  return reader.name;
}

size_t ExtractionPipeline::FoldedHash::operator()(std::string_view name) const {
  uint64_t hash = 14695981039346656037ULL;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(ascii::toUpper(c))) * 1099511628211ULL;
  return static_cast<size_t>(hash);
}

bool ExtractionPipeline::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
  return ascii::equalsIgnoringCase(a, b);
}

int32_t ExtractionPipeline::nameKeyOf(std::string_view name, ElementRow row) {
  // Rows of the table are matched by whole name, so a row stands for exactly
  // one name; only the names outside the table need keys of their own.
  if (row != elements.otherRowNumber() || name == "!") return row;
  const auto [it, added] =
      otherNames_.try_emplace(name, static_cast<int32_t>(elements.size() + otherNames_.size()));
  return it->second;
}

}  // namespace brevanto
