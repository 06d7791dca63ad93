// Gives every element the text of its whole subtree.
//
// An element's text is its own character data around its children and the
// full texts of its children in order, so it is always one contiguous run of
// the text built while walking its subtree. The renderer therefore writes all
// texts once into shared buffers, and each tag's text is a range of them: the
// same texts as if every ancestor held its own copy, in memory linear in the
// markup whatever the depth. A BR child stands as a line break in its
// parent's text; should a BR have children, its own text goes to a buffer of
// its own so that it stays out of the parent's run.
#include <cstring>
#include <vector>

#include "extractor/extraction_pipeline.h"

namespace brevanto {
namespace {

constexpr char kLineBreak[] = "\r\n";

bool isBr(const HtmlNode* node) {
  const std::string_view name = node->tag->name;
  return name.size() == 2 && (name[0] == 'B' || name[0] == 'b') && (name[1] == 'R' || name[1] == 'r');
}

bool equalsIgnoringCase(const char* text, size_t length, std::string_view lower) {
  if (length != lower.size()) return false;
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

// Appends `bytes` with each complete entity ("&" up to the next ";")
// replaced by its character; returns false, appending nothing, when the
// segment holds no complete entity.
bool decodeInto(const char* bytes, size_t length, std::string& out) {
  const char* const end = bytes + length;
  auto find = [end](const char* from, char c) {
    return static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(end - from)));
  };
  const char* amp = find(bytes, '&');
  const char* semi = amp == nullptr ? nullptr : find(amp + 1, ';');
  if (semi == nullptr) return false;
  const char* copied = bytes;
  while (semi != nullptr) {
    out.append(copied, amp);
    out.push_back(ExtractionPipeline::entityChar(amp, static_cast<size_t>(semi - amp + 1)));
    copied = semi + 1;
    amp = find(copied, '&');
    semi = amp == nullptr ? nullptr : find(amp + 1, ';');
  }
  out.append(copied, end);
  return true;
}

}  // namespace

char ExtractionPipeline::entityChar(const char* entity, size_t length) {
  if (equalsIgnoringCase(entity, length, "&gt;")) return '>';
  if (equalsIgnoringCase(entity, length, "&lt;")) return '<';
  if (equalsIgnoringCase(entity, length, "&nbsp;")) return ' ';
  if (equalsIgnoringCase(entity, length, "&quot;")) return '"';
  if (equalsIgnoringCase(entity, length, "&amp;")) return '&';
  if (equalsIgnoringCase(entity, length, "&copy;")) return '@';
  return '?';
}

std::optional<std::string> ExtractionPipeline::decodeEntities(const char* bytes, size_t length) {
  std::string decoded;
  if (!decodeInto(bytes, length, decoded)) return std::nullopt;
  return decoded;
}

void ExtractionPipeline::appendSegment(const char* bytes, int length, std::string& text) {
  if (length <= 0) return;
  if (!decodeInto(bytes, static_cast<size_t>(length), text)) text.append(bytes, static_cast<size_t>(length));
}

std::optional<std::string> ExtractionPipeline::cleanLines(const char* text, size_t length) {
  if (text == nullptr) return std::nullopt;
  std::vector<size_t> breaks;  // offsets of the CR LF pairs
  for (size_t i = 0; i + 1 < length; ++i) {
    if (text[i] == '\r' && text[i + 1] == '\n') {
      breaks.push_back(i);
      ++i;
    }
  }
  // A single line break is not enough to split: such a text, blank line and
  // all, is kept as it is.
  if (breaks.size() < 2) return std::string(text, length);
  std::string cleaned;
  cleaned.reserve(length);
  size_t lineStart = 0;
  auto keepLine = [&](size_t lineEnd) {
    for (size_t i = lineStart; i < lineEnd; ++i) {
      if (text[i] != ' ') {
        cleaned.append(text + lineStart, lineEnd - lineStart);
        cleaned.append(kLineBreak, 2);
        return;
      }
    }
  };
  for (size_t at : breaks) {
    keepLine(at);
    lineStart = at + 2;
  }
  keepLine(length);
  return cleaned;
}

void ExtractionPipeline::collectText(const char* markup) {
  if (tags.empty() || root.children.empty() || markup == nullptr) return;
  textStore_.clear();
  textStore_.emplace_back();
  for (HtmlNode* child : root.children) renderNode(child, markup);
  // The buffers are complete: the ranges can now point into them.
  for (HtmlTag& tag : tags) {
    if (tag.textLength > 0) {
      tag.text = textStore_[static_cast<size_t>(tag.textBuffer)].data() + tag.textOffset;
    }
  }
}

int ExtractionPipeline::renderNode(HtmlNode* node, const char* markup) {
  if (textStore_.empty()) textStore_.emplace_back();
  struct Level {
    HtmlNode* node;
    size_t nextChild;
    int pos;        // offset where the next segment of this element's text begins
    size_t buffer;  // buffer that holds this element's text
    size_t start;   // where this element's text begins in that buffer
  };
  std::vector<Level> levels;
  int after = 0;  // the offset returned for the element rendered last

  // Renders a leaf at once and returns false, or opens a level for a node
  // with children and returns true.
  auto enter = [&](HtmlNode* n, size_t buffer) {
    HtmlTag& tag = *n->tag;
    std::string& text = textStore_[buffer];
    const size_t start = text.size();
    if (!n->children.empty()) {
      levels.push_back({n, 0, tag.endOffset + 1, buffer, start});
      return true;
    }
    if (tag.hasContent == 0 || tag.partner <= 0) {
      after = tag.endOffset + 1;
      return false;
    }
    const HtmlTag& end = tags[static_cast<size_t>(tag.partner)];
    if (tag.element->isEmpty == 0 && tag.element->rendersContent == 1) {
      appendSegment(markup + tag.endOffset + 1, end.startOffset - tag.endOffset - 1, text);
    }
    tag.textBuffer = static_cast<int32_t>(buffer);
    tag.textOffset = start;
    tag.textLength = static_cast<int32_t>(text.size() - start);
    after = end.endOffset + 1;
    return false;
  };

  enter(node, textStore_.size() - 1);
  while (!levels.empty()) {
    Level& level = levels.back();
    HtmlTag& tag = *level.node->tag;
    std::string& text = textStore_[level.buffer];
    if (level.nextChild > 0) {
      // Back from the previous child: its text already stands in place in
      // this buffer, except a BR's, which stands as a line break.
      HtmlNode* done = level.node->children[level.nextChild - 1];
      level.pos = after;
      if (isBr(done)) text.append(kLineBreak, 2);
    }
    if (level.nextChild < level.node->children.size()) {
      HtmlNode* child = level.node->children[level.nextChild++];
      const int childStart = child->tag->startOffset;
      if (childStart - 1 >= level.pos) appendSegment(markup + level.pos, childStart - level.pos, text);
      size_t buffer = level.buffer;
      if (isBr(child) && !child->children.empty()) {
        buffer = textStore_.size();
        textStore_.emplace_back();
      }
      enter(child, buffer);
      continue;
    }
    const HtmlTag& end = tags[static_cast<size_t>(tag.partner)];
    if (end.startOffset - 1 >= level.pos) appendSegment(markup + level.pos, end.startOffset - level.pos, text);
    tag.textBuffer = static_cast<int32_t>(level.buffer);
    tag.textOffset = level.start;
    tag.textLength = static_cast<int32_t>(text.size() - level.start);
    after = end.endOffset + 1;
    levels.pop_back();
  }
  return after;
}

}  // namespace brevanto
