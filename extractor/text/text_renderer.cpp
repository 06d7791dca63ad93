// Gives every element the text of its whole subtree.
//
// An element's text is its own character data around its children and the
// full texts of its children in order, so it is always one contiguous run of
// the text written while walking its subtree. The renderer therefore writes
// every text once into one store, and each tag's text is a range of it: the
// same texts as if every ancestor held its own copy, in memory linear in the
// markup whatever the depth.
//
// Where the rules lay text out as a browser shows it, what stands between two
// pieces of text (a blank for collapsed white space, line breaks for blocks
// and BRs) is written only when the next piece comes, so that no text starts
// or ends with it; the texts that begin where it is written begin after it.
#include <algorithm>
#include <array>
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

// The characters that show nothing: soft hyphen, zero-width space,
// zero-width non-joiner and joiner, word joiner, and the byte-order mark
// that stands in a text only by mistake.
constexpr char32_t kInvisibleCharacters[] = {0x00AD, 0x200B, 0x200C, 0x200D, 0x2060, 0xFEFF};
// Their names as entities.
constexpr std::string_view kInvisibleEntities[] = {
    "&shy;",
    "&ZeroWidthSpace;",
    "&NegativeVeryThinSpace;",
    "&NegativeThinSpace;",
    "&NegativeMediumSpace;",
    "&NegativeThickSpace;",
    "&zwnj;",
    "&zwj;",
    "&NoBreak;",
};

bool isInvisible(char32_t c) {
  for (const char32_t invisible : kInvisibleCharacters) {
    if (c == invisible) return true;
  }
  return false;
}

// The first byte of the UTF-8 form of `c`, which is below U+10000.
constexpr unsigned char utf8Lead(char32_t c) {
  return static_cast<unsigned char>(c < 0x80 ? c : c < 0x800 ? 0xC0 | (c >> 6) : 0xE0 | (c >> 12));
}

// What a byte is to text laid out as a browser shows it.
enum ByteClass : uint8_t {
  kShows,           // printable ASCII, or a byte of a longer character
  kBlank,           // white space, which collapses
  kControl,         // any other control byte: kept, but it shows nothing
  kAmpersand,       // may start an entity
  kMayBeInvisible,  // the first byte of a character that may show nothing
};
using ByteClasses = std::array<ByteClass, 256>;

constexpr ByteClasses byteClasses(bool invisibleCharacters) {
  ByteClasses classes{};
  for (int c = 0; c < 256; ++c) {
    const char byte = static_cast<char>(c);
    classes[c] = ascii::isWhitespace(byte) ? kBlank : c < ' ' ? kControl : byte == '&' ? kAmpersand : kShows;
  }
  if (invisibleCharacters) {
    for (const char32_t invisible : kInvisibleCharacters) classes[utf8Lead(invisible)] = kMayBeInvisible;
  }
  return classes;
}
constexpr ByteClasses kClassesKeepingInvisible = byteClasses(false);
constexpr ByteClasses kClassesDroppingInvisible = byteClasses(true);

// The length of the character at `p` when it shows nothing, else 0. The text
// is UTF-8; a byte that starts no whole character there shows.
size_t invisibleLength(const char* p, const char* end) {
  const auto byte = [p](int i) { return static_cast<unsigned char>(p[i]); };
  const auto continues = [&byte](int i) { return (byte(i) & 0xC0) == 0x80; };
  char32_t c = 0;
  size_t length = 0;
  if (byte(0) >= 0xC2 && byte(0) < 0xE0 && end - p >= 2 && continues(1)) {
    c = (char32_t{byte(0)} & 0x1F) << 6 | (char32_t{byte(1)} & 0x3F);
    length = 2;
  } else if (byte(0) >= 0xE0 && byte(0) < 0xF0 && end - p >= 3 && continues(1) && continues(2)) {
    c = (char32_t{byte(0)} & 0x0F) << 12 | (char32_t{byte(1)} & 0x3F) << 6 | (char32_t{byte(2)} & 0x3F);
    length = 3;
  }
  return length != 0 && isInvisible(c) ? length : 0;
}

// The characters of East Asian width wide, fullwidth or halfwidth, but for
// Hangul: the scripts written without spaces between words, in which a line
// break of the source between two characters joins them rather than
// standing as a blank. Hangul is written with spaces.
struct CodeRange {
  char32_t first;
  char32_t last;
};
constexpr CodeRange kWideRanges[] = {
    {0x2E80, 0x303E},    // CJK radicals, ideographic description, CJK symbols and punctuation
    {0x3041, 0x312F},    // hiragana, katakana, bopomofo
    {0x3190, 0x33FF},    // kanbun, CJK strokes, katakana extension, enclosed and compatibility CJK
    {0x3400, 0x4DBF},    // CJK ideographs, extension A
    {0x4E00, 0x9FFF},    // CJK unified ideographs
    {0xA000, 0xA4CF},    // Yi
    {0xF900, 0xFAFF},    // CJK compatibility ideographs
    {0xFE30, 0xFE4F},    // CJK compatibility forms
    {0xFF00, 0xFF9F},    // fullwidth forms, halfwidth katakana
    {0xFFE0, 0xFFE6},    // fullwidth signs
    {0x20000, 0x3FFFD},  // CJK ideographs beyond the first plane
};

bool isWide(char32_t c) {
  return std::any_of(std::begin(kWideRanges), std::end(kWideRanges),
                     [c](const CodeRange& range) { return c >= range.first && c <= range.last; });
}

// The character whose UTF-8 form is all of `from` to `to`, or 0 when that is
// not one whole character.
char32_t characterOf(const char* from, const char* to) {
  const auto byte = [from](ptrdiff_t i) { return static_cast<unsigned char>(from[i]); };
  const ptrdiff_t length = to - from;
  const int expected = byte(0) < 0x80 ? 1 : byte(0) < 0xC2 ? 0 : byte(0) < 0xE0 ? 2 : byte(0) < 0xF0 ? 3 : 4;
  if (length != expected) return 0;
  char32_t c = length == 1 ? byte(0) : byte(0) & (0x7F >> length);
  for (ptrdiff_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    c = c << 6 | (byte(i) & 0x3F);
  }
  return c;
}

// Whether the character that starts at `p` is wide.
bool startsWide(const char* p, const char* end) {
  const unsigned char lead = static_cast<unsigned char>(*p);
  const ptrdiff_t length = lead < 0xE0 ? 0 : lead < 0xF0 ? 3 : 4;  // every wide character takes 3 or 4 bytes
  return length != 0 && end - p >= length && isWide(characterOf(p, p + length));
}

// Whether the character that ends just before `end`, and starts at `from`
// or after, is wide; false for an empty range.
bool endsWide(const char* from, const char* end) {
  if (end - from < 3) return false;  // every wide character takes 3 or 4 bytes
  const char* lead = end - 1;
  while (lead > from && end - lead < 4 && (static_cast<unsigned char>(*lead) & 0xC0) == 0x80) --lead;
  return end - lead >= 3 && isWide(characterOf(lead, end));
}

// Whether `entity`, from "&" to ";" inclusive, names a character that shows
// nothing, by name or by number.
bool isInvisibleEntity(std::string_view entity) {
  for (const std::string_view name : kInvisibleEntities) {
    if (ascii::equalsIgnoringCase(entity, name)) return true;
  }
  if (entity.size() < 4 || entity[1] != '#') return false;
  const bool hex = entity[2] == 'x' || entity[2] == 'X';
  const std::string_view digits = entity.substr(hex ? 3 : 2, entity.size() - (hex ? 4 : 3));
  if (digits.empty()) return false;
  char32_t c = 0;
  for (const char d : digits) {
    int value = -1;
    if (ascii::isDigit(d)) {
      value = d - '0';
    } else if (hex && ascii::toLower(d) >= 'a' && ascii::toLower(d) <= 'f') {
      value = ascii::toLower(d) - 'a' + 10;
    }
    if (value < 0) return false;
    c = c * (hex ? 16 : 10) + static_cast<char32_t>(value);
    // No reference past the last character names one, and the value stops
    // short of overflowing.
    if (c > 0x10FFFF) return false;
  }
  return isInvisible(c);
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
        laysOut_(rules.collapsesWhiteSpace || rules.blocksBreakLines || rules.dropsInvisibleCharacters),
        collapses_(rules.collapsesWhiteSpace),
        blocksBreakLines_(rules.blocksBreakLines),
        dropsInvisible_(rules.dropsInvisibleCharacters),
        skipsUnrendered_(rules.unrenderedHoldsNoText),
        classes_(rules.dropsInvisibleCharacters ? kClassesDroppingInvisible : kClassesKeepingInvisible),
        store_(store) {}

  // Renders `top` and its subtree, except the subtrees of BR children that
  // have children of their own, which are added to `heldBack`.
  void render(HtmlNode* top, std::vector<HtmlNode*>& heldBack);

 private:
  // Appends the markup from `from` up to `to` to the text of `owner` and its
  // ancestors, its entities decoded; nothing when the range is empty.
  void appendSegment(int from, int to, HtmlNode* owner) {
    if (to <= from) return;
    const size_t length = static_cast<size_t>(to - from);
    if (laysOut_) {
      layOut(markup_ + from, markup_ + to, owner);
    } else if (!decodeInto(markup_ + from, length, store_)) {
      store_.append(markup_ + from, length);
    }
  }
  // The offset just after the element of `node`.
  int offsetAfter(const HtmlNode& node) const {
    // Every node's tag is open, so its partner lies at or after it; a tag
    // whose extent was given up is its own partner.
    return tags_[static_cast<size_t>(node.tag->partner)].endOffset + 1;
  }
  // The line break of a BR.
  void lineBreak() {
    if (laysOut_) {
      ++pendingBreaks_;
    } else {
      store_.append(kLineBreak.data(), kLineBreak.size());
    }
  }

  // ---- Laying text out as a browser shows it.
  // Whether the element of `row` stands on lines of its own. An element that
  // renders no content shows nothing there, unless the table says so (HR).
  bool breaksLines(ElementRow row) const {
    const HtmlElementInfo& element = elements_[row];
    return blocksBreakLines_ && (element.layout == kLayoutOwnLines ||
                                 (element.level == kLevelBlock && element.rendersContent == 1));
  }
  void breakLines() {
    if (pendingBreaks_ == 0) pendingBreaks_ = 1;
  }
  // Counts an element of `layout` opened (by 1) or closed (by -1).
  void countOpen(int32_t layout, int by) {
    if (layout == kLayoutKeepsSpaces) keepingSpaces_ += by;
    if (layout == kLayoutFormula) inFormulas_ += by;
    if (layout == kLayoutFormulaToken) inTokens_ += by;
  }
  // The child that is left out of the text stands there as what its place on
  // the page separates: a line, or a word where it held anything.
  void leaveOut(const HtmlNode& child) {
    if (!laysOut_) return;
    if (breaksLines(child.tag->row)) {
      breakLines();
    } else if (collapses_ &&
               tags_[static_cast<size_t>(child.tag->partner)].startOffset > child.tag->endOffset + 1) {
      pendingBlank_ = true;
      pendingBlankKind_ = Blank::kLeftOut;
    }
  }
  // Lays out the markup from `p` to `end` at the end of the text of `owner`
  // and its ancestors.
  void layOut(const char* p, const char* end, HtmlNode* owner);
  // Writes what waits to stand before the next text at `out`, where the
  // text of `owner` goes on, unless the subtree has no text yet; returns the
  // end of what it wrote.
  char* separate(char* out, HtmlNode* owner);

  std::vector<HtmlTag>& tags_;        // not owned: the analysis' tags
  const char* markup_;                // not owned: the markup the tags were scanned from
  const HtmlElementTable& elements_;  // not owned
  const ElementRow lineBreakRow_;
  const bool countsVisible_;
  const bool laysOut_;  // any of the three switches below
  const bool collapses_;
  const bool blocksBreakLines_;
  const bool dropsInvisible_;
  const bool skipsUnrendered_;
  const ByteClasses& classes_;  // not owned: static
  TextStore& store_;            // not owned: where the texts go

  // What waits to stand between the text written last and the next: line
  // breaks, which win, or a blank.
  int pendingBreaks_ = 0;
  bool pendingBlank_ = false;
  // What the pending blank stands for, while there is one.
  enum class Blank : uint8_t {
    kSpace,    // white space
    kLineEnd,  // white space that holds a line end of the source
    kLeftOut,  // an inline element left out, which held something
  };
  Blank pendingBlankKind_ = Blank::kSpace;
  // The last run of text written, in the store, whose last character may be
  // wide: a line end between it and a wide character joins them. Empty
  // before any text of the subtree.
  const char* lastRunStart_ = nullptr;  // not owned: in the store
  const char* lastRunEnd_ = nullptr;    // not owned: in the store
  bool wroteInTop_ = false;             // whether the subtree being rendered has text yet
  int keepingSpaces_ = 0;               // open elements that keep their white space
  int inFormulas_ = 0;                  // open formulas
  int inTokens_ = 0;                    // open tokens of formulas
};

char* Renderer::separate(char* out, HtmlNode* owner) {
  if (wroteInTop_) {
    char* const at = out;
    if (pendingBreaks_ == 0) *out++ = ' ';
    for (int i = 0; i < pendingBreaks_; ++i) out = std::copy(kLineBreak.begin(), kLineBreak.end(), out);
    // The elements entered since the last text was written start here: the
    // owner and the ancestors that start where it does. Each moves once,
    // since text follows at once.
    for (HtmlNode* node = owner; node != nullptr && node->tag != nullptr && node->tag->text == at;
         node = node->parent) {
      node->tag->text = out;
    }
  }
  pendingBreaks_ = 0;
  pendingBlank_ = false;
  return out;
}

void Renderer::layOut(const char* p, const char* end, HtmlNode* owner) {
  // The text is written straight into the store: the bytes of the segment,
  // at most, and what waits to stand before them.
  char* const start = store_.room(static_cast<size_t>(end - p) + kLineBreak.size() * pendingBreaks_ + 1);
  if (start == nullptr) return;  // the store has overflowed, and says so
  char* out = start;
  int32_t visible = 0;
  // Writes text: what waits before it first, then `c`. A line end of the
  // source between two wide characters stands for nothing, as a browser
  // lays out the scripts written without spaces. `at` is where `c` starts a
  // character of the markup, null where it comes from an entity.
  const auto put = [&](char c, const char* at) {
    if (pendingBlank_ && pendingBlankKind_ == Blank::kLineEnd && pendingBreaks_ == 0 && at != nullptr &&
        startsWide(at, end) && (out != start ? endsWide(start, out) : endsWide(lastRunStart_, lastRunEnd_))) {
      pendingBlank_ = false;
    }
    if (pendingBreaks_ > 0 || pendingBlank_) {
      wroteInTop_ = wroteInTop_ || out != start;
      out = separate(out, owner);
    }
    *out++ = c;
  };
  const ByteClasses& classes = classes_;
  const auto classOf = [&classes](const char* at) { return classes[static_cast<unsigned char>(*at)]; };
  bool noSemicolon = false;  // no ";" after here in the segment: no "&" starts an entity
  while (p < end) {
    switch (classOf(p)) {
      case kShows: {
        const char* const run = p;
        put(*p, p);
        ++p;
        while (p < end && classOf(p) == kShows) *out++ = *p++;
        visible += static_cast<int32_t>(p - run);
        break;
      }
      case kBlank:
        if (collapses_ && keepingSpaces_ == 0) {
          // Inside a formula only its tokens' white space shows. The blanks
          // beside a line end go with it.
          const char* const run = p;
          ++p;
          while (p < end && classOf(p) == kBlank) ++p;
          if (inFormulas_ == 0 || inTokens_ > 0) {
            // Only a line end after a character beyond ASCII may join two
            // characters: after any other, what the blank stands for is
            // never asked.
            const char* const lastEnd = out != start ? out : lastRunEnd_;
            if (lastEnd != nullptr && static_cast<unsigned char>(lastEnd[-1]) >= 0x80) {
              const bool lineEnd = std::find_if(run, p, [](char c) { return c == '\n' || c == '\r'; }) != p;
              if (!pendingBlank_) {
                pendingBlankKind_ = lineEnd ? Blank::kLineEnd : Blank::kSpace;
              } else if (lineEnd && pendingBlankKind_ == Blank::kSpace) {
                pendingBlankKind_ = Blank::kLineEnd;
              }
            }
            pendingBlank_ = true;
          }
        } else {
          put(*p, p);
          ++p;
        }
        break;
      case kAmpersand: {
        // An entity runs from "&" to the next ";" of the segment, as the
        // Windows server reads it.
        const char* semi =
            noSemicolon ? nullptr
                        : static_cast<const char*>(std::memchr(p + 1, ';', static_cast<size_t>(end - p - 1)));
        if (semi == nullptr) {
          noSemicolon = true;
          put(*p, p);
          ++p;
          ++visible;
          break;
        }
        const std::string_view entity(p, static_cast<size_t>(semi - p + 1));
        p = semi + 1;
        if (dropsInvisible_ && isInvisibleEntity(entity)) break;
        const char c = replacementOf(entity);
        put(c, nullptr);
        visible += isVisible(c) ? 1 : 0;
        break;
      }
      case kMayBeInvisible:
        if (const size_t invisible = invisibleLength(p, end); invisible > 0) {
          p += invisible;
        } else {
          put(*p, p);
          ++p;
          ++visible;
        }
        break;
      case kControl:
        put(*p, p);
        ++p;
        break;
    }
  }
  if (out != start) {
    wroteInTop_ = true;
    lastRunStart_ = start;
    lastRunEnd_ = out;
  }
  store_.grow(static_cast<size_t>(out - start), visible);
}

void Renderer::render(HtmlNode* top, std::vector<HtmlNode*>& heldBack) {
  // Starts the text of `node` where the store ends now, and returns the child
  // to render first (null for a leaf, whose whole text is appended at once).
  auto enter = [&](HtmlNode* node) {
    HtmlTag& tag = *node->tag;
    const HtmlElementInfo& element = elements_[tag.row];
    if (laysOut_) {
      if (breaksLines(tag.row)) breakLines();
      countOpen(element.layout, 1);
    }
    tag.text = store_.end();
    // The visible bytes written before the node's text, until it is done.
    if (countsVisible_) tag.visibleLength = store_.visibleCount();
    if (node->isLeaf()) {
      // A self-contained leaf (a comment, an empty element, a tag whose extent
      // was given up) is its own partner, so its content is empty: it gets no
      // text, and the parent's next segment starts right after it. A partner
      // of 0 is that case too: a node's partner never lies before its tag, so
      // only tag 0 can have partner 0, as its own.
      if (tag.hasContent && element.isEmpty == 0 && element.rendersContent == 1) {
        appendSegment(tag.endOffset + 1, tags_[static_cast<size_t>(tag.partner)].startOffset, node);
      }
    }
    return node->firstChild;
  };
  // Ends the text of `node`, whose children are all rendered; `pos` is where
  // its last segment begins.
  auto leave = [&](HtmlNode* node, int pos) {
    HtmlTag& tag = *node->tag;
    if (!node->isLeaf()) appendSegment(pos, tags_[static_cast<size_t>(tag.partner)].startOffset, node);
    tag.textLength = static_cast<int32_t>(store_.end() - tag.text);
    if (tag.textLength == 0) tag.text = nullptr;
    if (countsVisible_) tag.visibleLength = store_.visibleCount() - tag.visibleLength;
    if (laysOut_) {
      countOpen(elements_[tag.row].layout, -1);
      if (breaksLines(tag.row)) breakLines();
    }
  };
  // Every subtree starts a text of its own.
  pendingBreaks_ = 0;
  pendingBlank_ = false;
  lastRunStart_ = nullptr;
  lastRunEnd_ = nullptr;
  wroteInTop_ = false;
  keepingSpaces_ = 0;
  inFormulas_ = 0;
  inTokens_ = 0;

  // The walk is inside `node`: its text is written up to `pos`, the offset
  // where its next own segment begins, and `child` is its next child to
  // render, null once all are.
  HtmlNode* node = top;
  HtmlNode* child = enter(node);
  int pos = node->tag->endOffset + 1;
  for (;;) {
    if (child != nullptr) {
      appendSegment(pos, child->tag->startOffset, node);
      // An element that renders no content holds no text either, whatever
      // its children, where the rules say so; a leaf gets none anyway.
      if (child->tag->isChrome ||
          (skipsUnrendered_ && !child->isLeaf() && elements_[child->tag->row].rendersContent == 0)) {
        if (child->tag->isChrome) leaveOut(*child);
        pos = offsetAfter(*child);
        child = child->nextSibling;
        continue;
      }
      if (child->tag->row == lineBreakRow_ && !child->isLeaf()) {
        heldBack.push_back(child);
        lineBreak();
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
    if (done->tag->row == lineBreakRow_) lineBreak();
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

char* TextStore::room(size_t length) {
  if (length > capacity_ - size_) {
    overflowed_ = true;
    return nullptr;
  }
  return bytes_.get() + size_;
}

void TextStore::grow(size_t length, int32_t visible) {
  size_ += length;
  if (countsVisible_) visible_ += visible;
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
  // skipped by its parent's segments), an entity or a character that shows
  // nothing is replaced by at most one byte, and what stands between two
  // pieces of text (a BR's line break, a blank, the line breaks of blocks)
  // takes the place of white space or of tags, which are longer: the store
  // never needs more than the markup.
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
