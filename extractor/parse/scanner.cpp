// Finds the tags of the body markup. Text is not tokenized: it stays in the
// markup, and the text stage cuts it out between the tags' offsets.
#include <algorithm>
#include <cstring>

#include "extractor/extraction_pipeline.h"

namespace brevanto {
namespace {

// Tags and other searches look at the markup at most this many bytes at once.
constexpr ptrdiff_t kScanWindow = 50;

enum class ScanState { kOutside, kInTag, kInComment };

const char* findByte(const char* p, ptrdiff_t window, char c) {
  return static_cast<const char*>(std::memchr(p, c, static_cast<size_t>(window)));
}

const char* findText(const char* p, const char* end, std::string_view text) {
  const std::string_view rest(p, static_cast<size_t>(end - p));
  const size_t at = rest.find(text);
  return at == std::string_view::npos ? nullptr : p + at;
}

}  // namespace

void ExtractionPipeline::clearTags() {
  tags.clear();
  otherNames_.clear();
  textStore_.clear();
}

void ExtractionPipeline::scanMarkup(const char* begin, const char* end) {
  inRawText = 0;
  // Every tag starts at a "<": reserving for all of them at once spares the
  // copies of a growing list. Pages of the list that stay unused are never
  // touched.
  size_t lessThan = 0;
  for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p))));
       ++p) {
    ++lessThan;
  }
  tags.reserve(tags.size() + lessThan);
  ScanState state = ScanState::kOutside;
  const char* tagStart = nullptr;
  const char* p = begin;
  while (p < end) {
    const ptrdiff_t window = std::min(end - p, kScanWindow);
    if (inRawText == 1) {
      // Inside a skip-content element only its exact end tag, spelled as the
      // start tag was, ends it. Without one, nothing after it is a tag.
      const std::string endTag = rawTextEndTag();
      const char* r = findText(p, end, endTag);
      if (r == nullptr) break;
      addTag(r, r + endTag.size() - 1, begin);
      state = ScanState::kOutside;
      p = r + endTag.size();
      continue;
    }
    switch (state) {
      case ScanState::kOutside: {
        const char* r = findByte(p, window, '<');
        if (r == nullptr) {
          p += window;
          break;
        }
        state = ScanState::kInTag;
        tagStart = r;
        p = r + 1;
        if (end - r > 3 && r[1] == '!' && r[2] == '-' && r[3] == '-') {
          state = ScanState::kInComment;
          p = r + 4;
        }
        break;
      }
      case ScanState::kInComment: {
        // The comment's tag ends at the first ">" after its first "--".
        const char* r = findText(p, end, "--");
        if (r == nullptr) {
          p = end;
          break;
        }
        state = ScanState::kInTag;
        p = r + 2;
        break;
      }
      case ScanState::kInTag: {
        // Quotes are not considered: a tag ends at the first ">".
        const char* r = findByte(p, window, '>');
        if (r == nullptr) {
          p += window;
          break;
        }
        addTag(tagStart, r, begin);
        state = ScanState::kOutside;
        p = r + 1;
        break;
      }
    }
  }
}

int ExtractionPipeline::addTag(const char* lt, const char* gt, const char* base) {
  if (gt == lt + 1) return -1;
  TagNameReader reader;
  if (reader.read(lt, gt) == 0) return -1;
  const HtmlElementInfo* row = elements.lookup(reader.name.data(), reader.name.size());
  if (row == nullptr) return -1;
  HtmlTag& tag = tags.emplace_back();
  tag.index = static_cast<int32_t>(tags.size() - 1);
  tag.startOffset = static_cast<int32_t>(lt - base);
  tag.endOffset = static_cast<int32_t>(gt - base);
  tag.isOpen = reader.isOpen;
  tag.isClose = reader.isClose;
  tag.name = reader.name;
  tag.element = row;
  tag.nameKey = nameKeyOf(reader.name, row);
  if (row->rendersContent == 0 && row->endTag == kEndTagRequired) {
    inRawText = tag.isClose == 0 ? 1 : 0;
  }
  return tag.index;
}

std::string ExtractionPipeline::rawTextEndTag() const {
  std::string endTag = "</";
  if (!tags.empty()) endTag += tags.back().name;
  endTag += '>';
  return endTag;
}

int32_t ExtractionPipeline::nameKeyOf(std::string_view name, const HtmlElementInfo* row) {
  // Rows of the table are matched by whole name, so a row stands for exactly
  // one name; only names outside the table need a key of their own.
  if (row != elements.commentRow) return HtmlElementTable::rowNumber(row);
  if (name == "!") return HtmlElementTable::rowNumber(row);
  std::string key(name);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  const auto [it, added] = otherNames_.try_emplace(
      std::move(key), static_cast<int32_t>(HtmlElementTable::kRowCount + otherNames_.size()));
  return it->second;
}

}  // namespace brevanto
