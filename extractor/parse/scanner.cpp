// Finds the tags of the body markup. Text is not tokenized: it stays in the
// markup, and the text stage cuts it out between the tags' offsets.
#include <cstring>

#include "base/ascii.h"
#include "extractor/parse/parse.h"
#include "extractor/parse/tag_name_reader.h"

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

// The ">" that ends the comment whose "<!" is at `from`, as a browser reads
// it: the first "-->" or "--!>" after the "<!", so that "<!-->" and "<!--->"
// are whole comments; null when the comment runs to the end.
const char* commentEnd(const char* from, const char* end) {
  for (const char* dashes = findText(from, end, "--"); dashes != nullptr;
       dashes = findText(dashes + 1, end, "--")) {
    const char* after = dashes + 2;
    if (after < end && *after == '>') return after;
    if (end - after > 1 && after[0] == '!' && after[1] == '>') return after + 1;
  }
  return nullptr;
}

}  // namespace

TagScanner::TagScanner(const HtmlElementTable& elements, bool anySpaceEndsName, bool commentsEndAtArrow)
    : elements_(elements), anySpaceEndsName_(anySpaceEndsName), commentsEndAtArrow_(commentsEndAtArrow) {}

void TagScanner::scan(const char* begin, const char* end, std::vector<HtmlTag>& tags) {
  tags.clear();
  otherNames_.clear();
  inRawText_ = false;
  // Every tag starts at a "<": room for all of them at once spares the copies
  // of a growing list. Pages of the list that stay unused are never touched.
  size_t lessThan = 0;
  for (const char* p = begin; (p = findByte(p, end, '<')) != nullptr; ++p) ++lessThan;
  tags.reserve(lessThan);

  const char* p = begin;
  while (p < end) {
    if (inRawText_) {
      // Inside a skip-content element only its exact end tag, spelled as the
      // start tag was, ends it. Without one, nothing after it is a tag.
      std::string endTag = "</";
      endTag.append(tagName(begin, tags.back(), anySpaceEndsName_)).push_back('>');
      const char* at = findText(p, end, endTag);
      if (at == nullptr) break;
      addTag(at, at + endTag.size() - 1, begin, tags);
      p = at + endTag.size();
      continue;
    }
    const char* lt = findByte(p, end, '<');
    if (lt == nullptr) break;
    // Quotes are not considered: a tag ends at the first ">" after its "<",
    // and a comment's at the first ">" after the first "--" that follows its
    // "<!--", or only at its "-->" where comments end as a browser ends
    // them. A tag or comment left open at the end is dropped.
    const char* gt = nullptr;
    if (end - lt > 3 && lt[1] == '!' && lt[2] == '-' && lt[3] == '-') {
      if (commentsEndAtArrow_) {
        gt = commentEnd(lt + 2, end);
      } else if (const char* dashes = findText(lt + 4, end, "--"); dashes != nullptr) {
        gt = findByte(dashes + 2, end, '>');
      }
    } else {
      gt = findByte(lt + 1, end, '>');
    }
    if (gt == nullptr) break;
    addTag(lt, gt, begin, tags);
    p = gt + 1;
  }
}

void TagScanner::addTag(const char* lt, const char* gt, const char* base, std::vector<HtmlTag>& tags) {
  if (gt == lt + 1) return;
  TagNameReader reader;
  reader.anySpaceEndsName = anySpaceEndsName_;
  if (!reader.read(lt, gt)) return;
  // A name read is never empty, so it has a row: its own, or the comment row.
  const ElementRow row = elements_.rowOf(reader.name.data(), reader.name.size());
  HtmlTag& tag = tags.emplace_back();
  tag.index = static_cast<int32_t>(tags.size() - 1);
  tag.startOffset = static_cast<int32_t>(lt - base);
  tag.endOffset = static_cast<int32_t>(gt - base);
  tag.isOpen = reader.isOpen;
  tag.isClose = reader.isClose;
  tag.row = row;
  tag.nameKey = nameKeyOf(reader.name, row);
  const HtmlElementInfo& element = elements_[row];
  if (element.rendersContent == 0 && element.endTag == kEndTagRequired) inRawText_ = !tag.isClose;
}

std::string_view tagName(const char* markup, const HtmlTag& tag, bool anySpaceEndsName) {
  // The name is read again as the scanner read it: a tag keeps no copy.
  TagNameReader reader;
  reader.anySpaceEndsName = anySpaceEndsName;
  if (markup == nullptr || !reader.read(markup + tag.startOffset, markup + tag.endOffset)) return {};
  return reader.name;
}

size_t TagScanner::FoldedHash::operator()(std::string_view name) const {
  uint64_t hash = 14695981039346656037ULL;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(ascii::toUpper(c))) * 1099511628211ULL;
  return static_cast<size_t>(hash);
}

bool TagScanner::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
  return ascii::equalsIgnoringCase(a, b);
}

int32_t TagScanner::nameKeyCount() const {
  return static_cast<int32_t>(elements_.size() + otherNames_.size());
}

int32_t TagScanner::nameKeyOf(std::string_view name, ElementRow row) {
  // Rows of the table are matched by whole name, so a row stands for exactly
  // one name; only the names outside the table need keys of their own.
  if (row != elements_.otherRowNumber() || name == "!") return row;
  const auto [it, added] = otherNames_.try_emplace(name, nameKeyCount());
  return it->second;
}

}  // namespace brevanto
