// Gives every element the text of its whole subtree.
//
// An element's text is its own character data around its children and the
// full texts of its children in order, so it is always one contiguous run of
// the text written while walking its subtree. The renderer therefore writes
// every text once into one store, and each tag's text is a range of it: the
// same texts as if every ancestor held its own copy, in memory linear in the
// markup whatever the depth.
#include <algorithm>
#include <cstring>
#include <vector>

#include "base/ascii.h"
#include "extractor/extraction_pipeline.h"

namespace brevanto {
namespace {

constexpr char kLineBreak[] = "\r\n";

// White space and control bytes show nothing on the page; every byte above
// the blank is part of a character that shows.
bool isVisible(char c) {
  return static_cast<unsigned char>(c) > ' ';
}

// The first CR LF pair from `from` on, or null.
const char* findLineBreak(const char* from, const char* end) {
  for (const char* p = from; p < end; ++p) {
    p = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(end - p)));
    if (p == nullptr) return nullptr;
    if (p + 1 < end && p[1] == '\n') return p;
  }
  return nullptr;
}

// The one byte that replaces `entity`, from "&" to ";" inclusive: the few
// entities that have a byte of their own in every code page, and "?" for
// every other entity, numeric references included.
char replacementOf(std::string_view entity) {
  struct Entity {
    std::string_view name;
    char replacement;
  };
  static constexpr Entity kEntities[] = {
      {"&gt;", '>'}, {"&lt;", '<'}, {"&nbsp;", ' '}, {"&quot;", '"'}, {"&amp;", '&'}, {"&copy;", '@'},
  };
  for (const Entity& known : kEntities) {
    if (ascii::equalsIgnoringCase(entity, known.name)) return known.replacement;
  }
  return '?';
}

// Appends `bytes` to `out` with each complete entity ("&" up to the next ";")
// replaced by its character; returns false, appending nothing, when the
// segment holds no complete entity.
template <typename Text>
bool decodeInto(const char* bytes, size_t length, Text& out) {
  const char* const end = bytes + length;
  auto find = [end](const char* from, char c) {
    return static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(end - from)));
  };
  const char* amp = find(bytes, '&');
  const char* semi = amp == nullptr ? nullptr : find(amp + 1, ';');
  if (semi == nullptr) return false;
  const char* copied = bytes;
  while (semi != nullptr) {
    out.append(copied, static_cast<size_t>(amp - copied));
    out.push_back(replacementOf({amp, static_cast<size_t>(semi - amp + 1)}));
    copied = semi + 1;
    amp = find(copied, '&');
    semi = amp == nullptr ? nullptr : find(amp + 1, ';');
  }
  out.append(copied, static_cast<size_t>(end - copied));
  return true;
}

}  // namespace

void ExtractionPipeline::TextStore::reset(size_t capacity) {
  if (capacity > capacity_) {
    bytes_.reset(new char[capacity]);
    capacity_ = capacity;
  }
  size_ = 0;
  visible_ = 0;
}

void ExtractionPipeline::TextStore::append(const char* bytes, size_t length) {
  if (length > capacity_ - size_) length = capacity_ - size_;
  if (length == 0) return;
  std::memcpy(bytes_.get() + size_, bytes, length);
  size_ += length;
  if (countsVisible_) {
    int32_t visible = 0;
    for (size_t i = 0; i < length; ++i) visible += isVisible(bytes[i]) ? 1 : 0;
    visible_ += visible;
  }
}

char ExtractionPipeline::entityChar(const char* entity, size_t length) {
  return replacementOf({entity, length});
}

std::optional<std::string> ExtractionPipeline::decodeEntities(const char* bytes, size_t length) {
  std::string decoded;
  if (!decodeInto(bytes, length, decoded)) return std::nullopt;
  return decoded;
}

void ExtractionPipeline::appendSegment(const char* markup, int from, int to) {
  if (to <= from) return;
  const size_t length = static_cast<size_t>(to - from);
  if (!decodeInto(markup + from, length, textStore_)) textStore_.append(markup + from, length);
}

namespace {

// Passes what cleanLines gives for the text to `write(bytes, length)`, piece
// by piece. A piece of the text is passed only once every piece before it
// has been written, and the output never gets ahead of the text read, but
// for the line break after the last line: `write` may copy the pieces down
// over the text itself, given two bytes of room after it.
template <typename Write>
void writeCleanLines(const char* text, size_t length, Write write) {
  const char* const end = text + length;
  // A single line break is not enough to split: such a text, blank line and
  // all, is kept as it is.
  const char* first = findLineBreak(text, end);
  if (first == nullptr || findLineBreak(first + 2, end) == nullptr) {
    write(text, length);
    return;
  }
  // Lines of spaces only, and empty lines, go; every other line is copied
  // whole and ends in CR LF.
  for (const char* line = text;;) {
    const char* lineEnd = findLineBreak(line, end);
    const char* stop = lineEnd == nullptr ? end : lineEnd;
    if (std::find_if(line, stop, [](char c) { return c != ' '; }) != stop) {
      write(line, static_cast<size_t>(stop - line));
      write(kLineBreak, 2);
    }
    if (lineEnd == nullptr) return;
    line = lineEnd + 2;
  }
}

}  // namespace

void ExtractionPipeline::appendCleanLines(const char* text, size_t length, std::string& out) {
  writeCleanLines(text, length, [&out](const char* bytes, size_t count) { out.append(bytes, count); });
}

void ExtractionPipeline::cleanLinesInPlace(std::string& text, size_t from) {
  const size_t length = text.size() - from;
  text.append(2, '\0');  // room for the line break after the last line
  char* const start = &text[from];
  char* written = start;
  writeCleanLines(start, length, [&written](const char* bytes, size_t count) {
    std::memmove(written, bytes, count);
    written += count;
  });
  text.resize(from + static_cast<size_t>(written - start));
}

std::optional<std::string> ExtractionPipeline::cleanLines(const char* text, size_t length) {
  if (text == nullptr) return std::nullopt;
  std::string cleaned;
  cleaned.reserve(length + 2);
  appendCleanLines(text, length, cleaned);
  return cleaned;
}

int ExtractionPipeline::offsetAfter(const HtmlNode& node) const {
  // Every node's tag is open, so its partner lies at or after it; a tag whose
  // extent was given up is its own partner.
  return tags[static_cast<size_t>(node.tag->partner)].endOffset + 1;
}

void ExtractionPipeline::collectText(const char* markup) {
  // The tags' shared word now counts the visible bytes, none for a tag that
  // gets no text.
  if (analysis == Analysis::kModern) {
    for (HtmlTag& tag : tags) tag.visibleLength = 0;
  }
  if (tags.empty() || root.isLeaf() || markup == nullptr) return;
  // Each byte of the markup lands in at most one text run (a child's range is
  // skipped by its parent's segments), and a BR's line break takes the place
  // of its tag, which is longer: the store never needs more than the markup.
  textStore_.reset(markupLength_ + 1);
  textStore_.countVisible(analysis == Analysis::kModern);
  // A BR with children stands as a line break in its parent's text, so its
  // own text cannot lie inside the parent's run: it is rendered afterwards.
  std::vector<HtmlNode*> heldBack;
  for (HtmlNode* child = root.firstChild; child != nullptr; child = child->nextSibling) {
    if (!child->tag->isChrome) renderNode(child, markup, heldBack);
  }
  while (!heldBack.empty()) {
    HtmlNode* br = heldBack.back();
    heldBack.pop_back();
    renderNode(br, markup, heldBack);
  }
}

int ExtractionPipeline::renderNode(HtmlNode* top, const char* markup, std::vector<HtmlNode*>& heldBack) {
  // Starts the text of `node` where the store ends now, and returns the child
  // to render first (null for a leaf, whose whole text is appended at once).
  auto enter = [&](HtmlNode* node) {
    HtmlTag& tag = *node->tag;
    tag.text = textStore_.end();
    // The visible bytes written before the node's text, until it is done.
    if (analysis == Analysis::kModern) tag.visibleLength = textStore_.visibleCount();
    if (node->isLeaf()) {
      // A self-contained leaf (a comment, an empty element, a tag whose extent
      // was given up) is its own partner, so its content is empty: it gets no
      // text, and the parent's next segment starts right after it. A partner
      // of 0 is that case too: a node's partner never lies before its tag, so
      // only tag 0 can have partner 0, as its own.
      const HtmlElementInfo& element = elements[tag.row];
      if (tag.hasContent && element.isEmpty == 0 && element.rendersContent == 1) {
        appendSegment(markup, tag.endOffset + 1, tags[static_cast<size_t>(tag.partner)].startOffset);
      }
    }
    return node->firstChild;
  };
  // Ends the text of `node`, whose children are all rendered; `pos` is where
  // its last segment begins.
  auto leave = [&](HtmlNode* node, int pos) {
    HtmlTag& tag = *node->tag;
    if (!node->isLeaf()) appendSegment(markup, pos, tags[static_cast<size_t>(tag.partner)].startOffset);
    tag.textLength = static_cast<int32_t>(textStore_.end() - tag.text);
    if (tag.textLength == 0) tag.text = nullptr;
    if (analysis == Analysis::kModern) tag.visibleLength = textStore_.visibleCount() - tag.visibleLength;
  };

  // The walk is inside `node`: its text is written up to `pos`, the offset
  // where its next own segment begins, and `child` is its next child to
  // render, null once all are.
  HtmlNode* node = top;
  HtmlNode* child = enter(node);
  int pos = node->tag->endOffset + 1;
  for (;;) {
    if (child != nullptr) {
      appendSegment(markup, pos, child->tag->startOffset);
      if (child->tag->isChrome) {
        pos = offsetAfter(*child);
        child = child->nextSibling;
        continue;
      }
      if (child->tag->row == lineBreakRow_ && !child->isLeaf()) {
        heldBack.push_back(child);
        textStore_.append(kLineBreak, 2);
        pos = offsetAfter(*child);
        child = child->nextSibling;
        continue;
      }
      node = child;
      child = enter(node);
      pos = node->tag->endOffset + 1;
      continue;
    }
    leave(node, pos);
    if (node == top) return offsetAfter(*node);
    // Back in the parent, after the child just done; a BR stands there as a
    // line break, every other child's text is already in place.
    HtmlNode* done = node;
    node = node->parent;
    pos = offsetAfter(*done);
    if (done->tag->row == lineBreakRow_) textStore_.append(kLineBreak, 2);
    child = done->nextSibling;
  }
}

}  // namespace brevanto
