// Page chrome, for the modern analysis: the menus, banners, side bars,
// footers and embedded graphics around an article. A page says what they are
// by the element (NAV, ASIDE, a page's HEADER and FOOTER) or by the words of
// its class and id names. Chrome is marked
// before the texts are collected, so that no ancestor's text or link count
// holds it, and pruning drops it.
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/ascii.h"
#include "extractor/extraction_pipeline.h"
#include "extractor/parse/tag_attributes.h"
#include "extractor/parse/tree_walk.h"

namespace brevanto {
namespace {

// An element that holds more than this share of the body's P start tags
// wraps the article, whatever its names say: pages wrap all their content
// in elements named after their layout ("adSkinLayer", "top-nav-wrapper").
constexpr double kChromeMostParagraphShare = 0.5;

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

bool isWordByte(char c) {
  return ascii::isLetter(c) || ascii::isDigit(c);
}
bool isLower(char c) {
  return c >= 'a' && c <= 'z';
}
bool isUpper(char c) {
  return c >= 'A' && c <= 'Z';
}

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
  size_t start = 0;
  for (size_t at = 0; at <= names.size(); ++at) {
    const bool separator = at == names.size() || !isWordByte(names[at]);
    const bool camelHump = !separator && at > start && isLower(names[at - 1]) && isUpper(names[at]);
    if (!separator && !camelHump) continue;
    const std::string_view word = names.substr(start, at - start);
    if (kHintWordShapes.mayHold(word)) {
      if (isOneOf(word, kContentWords)) return Hint::kContent;
      if (isOneOf(word, kChromeWords)) hint = Hint::kChrome;
    }
    start = separator ? at + 1 : at;
  }
  return hint;
}

}  // namespace

bool ExtractionPipeline::isChrome(const HtmlTag& tag, bool insideSection, int32_t paragraphsInside,
                                  int32_t paragraphs) const {
  // The elements that hold the whole document are never furniture.
  if (tag.row == bodyRow_ || tag.row == documentRow_) return false;
  const int32_t part = elements[tag.row].part;
  if (part == kPartChrome || (part == kPartPageChrome && !insideSection)) return true;
  if (paragraphsInside > kChromeMostParagraphShare * paragraphs) return false;

  const std::string_view name = nameOf(tag);
  const char* const attributesStart = name.data() + name.size();
  const TagAttributes attributes =
      readTagAttributes({attributesStart, static_cast<size_t>(markup_ + tag.endOffset - attributesStart)});
  // The class and the id name one element: a content word in either keeps it.
  const Hint byClass = hintOf(attributes.classes);
  const Hint byId = hintOf(attributes.id);
  if (byClass == Hint::kContent || byId == Hint::kContent) return false;
  return byClass == Hint::kChrome || byId == Hint::kChrome;
}

void ExtractionPipeline::markChrome() {
  // P start tags before each tag, so that an element's count is one
  // subtraction over its extent.
  std::vector<int32_t> paragraphsBefore(tags.size() + 1, 0);
  for (const HtmlTag& tag : tags) {
    const bool opensParagraph = tag.row == paragraphRow_ && tag.isOpen;
    paragraphsBefore[static_cast<size_t>(tag.index) + 1] =
        paragraphsBefore[static_cast<size_t>(tag.index)] + (opensParagraph ? 1 : 0);
  }
  const int32_t paragraphs = paragraphsBefore.back();

  int sectionsAround = 0;  // sections among the ancestors of the node at hand
  walkTree(
      &root,
      [&](HtmlNode* node) {
        if (node->tag == nullptr) return true;
        HtmlTag& tag = *node->tag;
        const size_t last = static_cast<size_t>(std::max(tag.partner, tag.index));
        const int32_t inside = paragraphsBefore[last + 1] - paragraphsBefore[static_cast<size_t>(tag.index)];
        if (isChrome(tag, sectionsAround > 0, inside, paragraphs)) {
          tag.isChrome = true;
          return false;
        }
        if (elements[tag.row].part == kPartSection) ++sectionsAround;
        return true;
      },
      [&](HtmlNode* node) {
        if (node->tag != nullptr && elements[node->tag->row].part == kPartSection) --sectionsAround;
      });
}

}  // namespace brevanto
