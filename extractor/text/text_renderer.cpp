// Gives every element the text of its whole subtree.
//
// An element's text is its own character data around its children and the
// full texts of its children in order, so it is always one contiguous run of
// the text written while walking its subtree. The renderer therefore writes
// every text once into one store, and each tag's text is a range of it: the
// same texts as if every ancestor held its own copy, in memory linear in the
// markup whatever the depth.
#include <cstring>
#include <vector>

#include "base/ascii.h"
#include "extractor/text/text.h"

namespace brevanto {
namespace {

// White space and control bytes show nothing on the page; every byte above
// the blank is part of a character that shows.
bool isVisible(char c) {
  return static_cast<unsigned char>(c) > ' ';
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
bool decodeInto(const char* bytes, size_t length, TextStore& out) {
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

// One run of the renderer over one tree.
class Renderer {
 public:
  Renderer(std::vector<HtmlTag>& tags, const char* markup, const Rules& rules, TextStore& store)
      : tags_(tags),
        markup_(markup),
        elements_(*rules.elements),
        lineBreakRow_(rules.elements->known().lineBreak),
        countsVisible_(rules.countsVisibleBytes),
        store_(store) {}

  // Renders `top` and its subtree, except the subtrees of BR children that
  // have children of their own, which are added to `heldBack`.
  void render(HtmlNode* top, std::vector<HtmlNode*>& heldBack);

 private:
  // Appends the markup from `from` up to `to`, its entities decoded; nothing
  // when the range is empty.
  void appendSegment(int from, int to) {
    if (to <= from) return;
    const size_t length = static_cast<size_t>(to - from);
    if (!decodeInto(markup_ + from, length, store_)) store_.append(markup_ + from, length);
  }
  // The offset just after the element of `node`.
  int offsetAfter(const HtmlNode& node) const {
    // Every node's tag is open, so its partner lies at or after it; a tag
    // whose extent was given up is its own partner.
    return tags_[static_cast<size_t>(node.tag->partner)].endOffset + 1;
  }
  void appendLineBreak() { store_.append(kLineBreak.data(), kLineBreak.size()); }

  std::vector<HtmlTag>& tags_;        // not owned: the analysis' tags
  const char* markup_;                // not owned: the markup the tags were scanned from
  const HtmlElementTable& elements_;  // not owned
  const ElementRow lineBreakRow_;
  const bool countsVisible_;
  TextStore& store_;  // not owned: where the texts go
};

void Renderer::render(HtmlNode* top, std::vector<HtmlNode*>& heldBack) {
  // Starts the text of `node` where the store ends now, and returns the child
  // to render first (null for a leaf, whose whole text is appended at once).
  auto enter = [&](HtmlNode* node) {
    HtmlTag& tag = *node->tag;
    tag.text = store_.end();
    // The visible bytes written before the node's text, until it is done.
    if (countsVisible_) tag.visibleLength = store_.visibleCount();
    if (node->isLeaf()) {
      // A self-contained leaf (a comment, an empty element, a tag whose extent
      // was given up) is its own partner, so its content is empty: it gets no
      // text, and the parent's next segment starts right after it. A partner
      // of 0 is that case too: a node's partner never lies before its tag, so
      // only tag 0 can have partner 0, as its own.
      const HtmlElementInfo& element = elements_[tag.row];
      if (tag.hasContent && element.isEmpty == 0 && element.rendersContent == 1) {
        appendSegment(tag.endOffset + 1, tags_[static_cast<size_t>(tag.partner)].startOffset);
      }
    }
    return node->firstChild;
  };
  // Ends the text of `node`, whose children are all rendered; `pos` is where
  // its last segment begins.
  auto leave = [&](HtmlNode* node, int pos) {
    HtmlTag& tag = *node->tag;
    if (!node->isLeaf()) appendSegment(pos, tags_[static_cast<size_t>(tag.partner)].startOffset);
    tag.textLength = static_cast<int32_t>(store_.end() - tag.text);
    if (tag.textLength == 0) tag.text = nullptr;
    if (countsVisible_) tag.visibleLength = store_.visibleCount() - tag.visibleLength;
  };

  // The walk is inside `node`: its text is written up to `pos`, the offset
  // where its next own segment begins, and `child` is its next child to
  // render, null once all are.
  HtmlNode* node = top;
  HtmlNode* child = enter(node);
  int pos = node->tag->endOffset + 1;
  for (;;) {
    if (child != nullptr) {
      appendSegment(pos, child->tag->startOffset);
      if (child->tag->isChrome) {
        pos = offsetAfter(*child);
        child = child->nextSibling;
        continue;
      }
      if (child->tag->row == lineBreakRow_ && !child->isLeaf()) {
        heldBack.push_back(child);
        appendLineBreak();
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
    if (node == top) return;
    // Back in the parent, after the child just done; a BR stands there as a
    // line break, every other child's text is already in place.
    HtmlNode* done = node;
    node = node->parent;
    pos = offsetAfter(*done);
    if (done->tag->row == lineBreakRow_) appendLineBreak();
    child = done->nextSibling;
  }
}

}  // namespace

void TextStore::reset(size_t capacity) {
  if (capacity > capacity_) {
    bytes_.reset(new char[capacity]);
    capacity_ = capacity;
  }
  size_ = 0;
  visible_ = 0;
  overflowed_ = false;
}

void TextStore::append(const char* bytes, size_t length) {
  if (length > capacity_ - size_) {
    overflowed_ = true;
    return;
  }
  if (length == 0) return;
  std::memcpy(bytes_.get() + size_, bytes, length);
  size_ += length;
  if (countsVisible_) {
    int32_t visible = 0;
    for (size_t i = 0; i < length; ++i) visible += isVisible(bytes[i]) ? 1 : 0;
    visible_ += visible;
  }
}

bool collectText(std::vector<HtmlTag>& tags, HtmlNode& root, const char* markup, size_t markupLength,
                 const Rules& rules, TextStore& store) {
  // The tags' shared word now counts the visible bytes, none for a tag that
  // gets no text.
  if (rules.countsVisibleBytes) {
    for (HtmlTag& tag : tags) tag.visibleLength = 0;
  }
  if (tags.empty() || root.isLeaf() || markup == nullptr) return true;
  // Each byte of the markup lands in at most one text run (a child's range is
  // skipped by its parent's segments), and a BR's line break takes the place
  // of its tag, which is longer: the store never needs more than the markup.
  store.reset(markupLength + 1);
  store.countVisible(rules.countsVisibleBytes);
  Renderer renderer(tags, markup, rules, store);
  // A BR with children stands as a line break in its parent's text, so its
  // own text cannot lie inside the parent's run: it is rendered afterwards.
  std::vector<HtmlNode*> heldBack;
  for (HtmlNode* child = root.firstChild; child != nullptr; child = child->nextSibling) {
    if (!child->tag->isChrome) renderer.render(child, heldBack);
  }
  while (!heldBack.empty()) {
    HtmlNode* br = heldBack.back();
    heldBack.pop_back();
    renderer.render(br, heldBack);
  }
  return !store.overflowed();
}

}  // namespace brevanto
