// Page chrome, where the rules mark it: the menus, banners, side bars,
// footers and embedded graphics around an article. A page says what they are
// by the element (NAV, ASIDE, a page's HEADER and FOOTER) or by the words of
// its class and id names. Chrome is marked before the texts are collected,
// so that no ancestor's text or link count holds it, and pruning drops it.
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "base/ascii.h"
#include "extractor/parse/parse.h"
#include "extractor/parse/tag_attributes.h"
#include "extractor/parse/tree_walk.h"
#include "extractor/text/text.h"

namespace brevanto {
namespace {

// Words of class and id names that mark furniture, lower case.
constexpr std::string_view kChromeWords[] = {
    "nav",      "navbar", "navigation",    "menu",      "footer",     "sidebar",     "comment",
    "comments", "share",  "sharing",       "social",    "related",    "promo",       "ad",
    "ads",      "advert", "advertisement", "banner",    "breadcrumb", "breadcrumbs", "widget",
    "popup",    "cookie", "newsletter",    "subscribe", "masthead",   "sponsor",     "sponsored",
};

// Words that name the article itself: an element named with one of them is
// never furniture, whatever else its names say ("post-sidebar-wrapper" and
// "article-share" hold the article).
constexpr std::string_view kContentWords[] = {
    "article", "content", "post", "entry", "story", "body", "main", "text", "blog",
};

enum class Hint : int { kNone, kChrome, kContent };

// For each letter, a bit for each length of the hint words that start with
// it: most words of class names ("flex", "px", "col") are no hint word, and
// this tells so without comparing them with every hint word.
struct HintWordShapes {
  uint32_t lengthsByLetter[26] = {};

  constexpr void add(std::string_view word) { lengthsByLetter[word[0] - 'a'] |= uint32_t{1} << word.size(); }
  constexpr bool mayHold(std::string_view word) const {
    if (word.empty() || word.size() >= 32 || !ascii::isLetter(word[0])) return false;
    return (lengthsByLetter[ascii::toLower(word[0]) - 'a'] >> word.size() & 1) != 0;
  }
};

constexpr HintWordShapes shapesOfHintWords() {
  HintWordShapes shapes;
  for (const std::string_view word : kChromeWords) shapes.add(word);
  for (const std::string_view word : kContentWords) shapes.add(word);
  return shapes;
}

constexpr HintWordShapes kHintWordShapes = shapesOfHintWords();

// How a byte of a class or id name splits it into words.
enum ByteKind : uint8_t { kSeparator, kLower, kUpper, kDigit };

struct ByteKinds {
  ByteKind of[256] = {};  // every byte not named below separates words
  constexpr ByteKinds() {
    for (int c = 'a'; c <= 'z'; ++c) of[c] = kLower;
    for (int c = 'A'; c <= 'Z'; ++c) of[c] = kUpper;
    for (int c = '0'; c <= '9'; ++c) of[c] = kDigit;
  }
};

constexpr ByteKinds kByteKinds;

template <size_t N>
bool isOneOf(std::string_view word, const std::string_view (&words)[N]) {
  return std::any_of(std::begin(words), std::end(words),
                     [word](std::string_view known) { return ascii::equalsIgnoringCase(word, known); });
}

// What the words of class or id names say. Words are split at every byte
// that is not a letter or digit, and where a lower-case letter meets an
// upper-case one ("navBar" is "nav" and "Bar"). A content word wins over any
// number of chrome words.
Hint hintOf(std::string_view names) {
  Hint hint = Hint::kNone;
  const char* const end = names.data() + names.size();
  const char* word = names.data();
  ByteKind previous = kSeparator;
  for (const char* at = word;; ++at) {
    const bool atEnd = at == end;
    const ByteKind kind = atEnd ? kSeparator : kByteKinds.of[static_cast<unsigned char>(*at)];
    if (kind == kSeparator || (kind == kUpper && previous == kLower)) {
      const std::string_view found(word, static_cast<size_t>(at - word));
      if (kHintWordShapes.mayHold(found)) {
        if (isOneOf(found, kContentWords)) return Hint::kContent;
        if (isOneOf(found, kChromeWords)) hint = Hint::kChrome;
      }
      if (atEnd) return hint;
      word = kind == kSeparator ? at + 1 : at;
    }
    previous = kind;
  }
}

// Furniture by its element: always, or outside any section.
bool isChromeElement(const HtmlElementInfo& element, bool insideSection) {
  return element.part == kPartChrome || (element.part == kPartPageChrome && !insideSection);
}

// Furniture by the words of its class and id names.
bool isNamedChrome(const HtmlTag& tag, const char* markup, const Rules& rules) {
  // The elements that hold the whole document are never furniture.
  const KnownRows& known = rules.elements->known();
  if (tag.row == known.body || tag.row == known.document) return false;
  const std::string_view name = tagName(markup, tag, rules.anySpaceEndsName);
  const char* const attributesStart = name.data() + name.size();
  const TagAttributes attributes =
      readTagAttributes({attributesStart, static_cast<size_t>(markup + tag.endOffset - attributesStart)});
  // The class and the id name one element: a content word in either keeps it.
  const Hint byClass = hintOf(attributes.classes);
  const Hint byId = hintOf(attributes.id);
  if (byClass == Hint::kContent || byId == Hint::kContent) return false;
  return byClass == Hint::kChrome || byId == Hint::kChrome;
}

}  // namespace

void markChrome(std::vector<HtmlTag>& tags, HtmlNode& root, const char* markup, const Rules& rules) {
  if (!rules.marksChrome) return;
  const HtmlElementTable& elements = *rules.elements;
  const ElementRow paragraphRow = elements.known().paragraph;
  int32_t paragraphs = 0;
  for (const HtmlTag& tag : tags) paragraphs += tag.row == paragraphRow && tag.isOpen ? 1 : 0;
  const double mostParagraphs = rules.chromeMostParagraphShare * paragraphs;

  // The walk meets the elements in the order of their tags, and leaves each
  // one where its extent ends, so one cursor over the tags counts the P start
  // tags before each of them, and before the end of each element left.
  size_t counted = 0;             // tags looked at
  int32_t paragraphsCounted = 0;  // P start tags among them
  auto countUpTo = [&](size_t end) {
    for (; counted < end; ++counted)
      paragraphsCounted += tags[counted].row == paragraphRow && tags[counted].isOpen;
    return paragraphsCounted;
  };
  int sectionsAround = 0;  // sections among the ancestors of the node at hand
  walkTree(
      &root,
      [&](HtmlNode* node) {
        if (node->tag == nullptr) return true;
        HtmlTag& tag = *node->tag;
        if (isChromeElement(elements[tag.row], sectionsAround > 0)) {
          tag.isChrome = true;
          return false;
        }
        tag.paragraphsBefore = countUpTo(static_cast<size_t>(tag.index));
        if (elements[tag.row].part == kPartSection) ++sectionsAround;
        return true;
      },
      [&](HtmlNode* node) {
        if (node->tag == nullptr) return;
        HtmlTag& tag = *node->tag;
        if (elements[tag.row].part == kPartSection) --sectionsAround;
        // The extent runs up to its partner, the element's own tag when it
        // is self-contained.
        const size_t end = static_cast<size_t>(std::max(tag.partner, tag.index + 1));
        const int32_t inside = countUpTo(end) - tag.paragraphsBefore;
        // An element that holds most of the paragraphs wraps the article,
        // whatever its names say.
        if (inside <= mostParagraphs && isNamedChrome(tag, markup, rules)) tag.isChrome = true;
      });
}

}  // namespace brevanto
