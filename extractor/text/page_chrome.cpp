// Page chrome, where the rules mark it: the menus, banners, side bars,
// footers, forms and embedded graphics around an article. A page says what
// they are by the element (NAV, ASIDE, a page's HEADER and FOOTER, FORM), by
// hiding them, or by the words of their class and id names. Chrome is marked
// before the texts are collected, so that no ancestor's text or link count
// holds it, and pruning drops it.
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/ascii.h"
#include "extractor/parse/parse.h"
#include "extractor/parse/tag_attributes.h"
#include "extractor/parse/tree_walk.h"
#include "extractor/text/text.h"

namespace brevanto {
namespace {

// Words of class and id names that mark furniture, lower case, one row per
// language: pages name their boxes in their own language too, often without
// its accents.
constexpr std::string_view kChromeWords[] = {
    // English
    "nav",
    "navbar",
    "navigation",
    "menu",
    "footer",
    "sidebar",
    "comment",
    "comments",
    "share",
    "sharing",
    "social",
    "related",
    "promo",
    "ad",
    "ads",
    "advert",
    "advertisement",
    "banner",
    "breadcrumb",
    "breadcrumbs",
    "widget",
    "popup",
    "cookie",
    "newsletter",
    "subscribe",
    "masthead",
    "sponsor",
    "sponsored",
    "consent",
    "gdpr",
    "paywall",
    "login",
    "signin",
    "signup",
    "editsection",
    "slideshow",
    // Spanish and Portuguese
    "menú",
    "publicidad",
    "publicidade",
    "anuncio",
    "anuncios",
    "comentarios",
    "comentários",
    "compartir",
    "compartilhar",
    "relacionados",
    "relacionadas",
    "navegacion",
    "navegación",
    "navegacao",
    "navegação",
    "rodape",
    "rodapé",
    // French
    "publicite",
    "publicité",
    "commentaires",
    "partage",
    "partager",
    "connexion",
    // German
    "menü",
    "werbung",
    "anzeige",
    "kommentar",
    "kommentare",
    "teilen",
    "fusszeile",
    // Italian
    "pubblicita",
    "pubblicità",
    "commenti",
    "condividi",
    "correlati",
    // Dutch
    "reclame",
    "advertentie",
    "advertenties",
    "reacties",
    // Polish, Czech, Slovak; Russian in Latin letters
    "reklama",
    "reklamy",
    "komentarze",
    "komentare",
    "stopka",
    "kommentarii",
    "menyu",
    // Turkish, the Scandinavian languages, Indonesian
    "reklam",
    "yorumlar",
    "kommentarer",
    "iklan",
    "komentar",
};

// Words that name the article itself: an element named with one of them is
// never furniture, whatever else its names say ("post-sidebar-wrapper" and
// "article-share" hold the article).
constexpr std::string_view kContentWords[] = {
    // English
    "article",
    "content",
    "post",
    "entry",
    "story",
    "body",
    "main",
    "text",
    "blog",
    "heading",
    // Spanish, Portuguese, Italian
    "articulo",
    "artículo",
    "artigo",
    "articolo",
    "contenido",
    "conteudo",
    "conteúdo",
    "contenuto",
    "noticia",
    "notícia",
    "notizia",
    "cuerpo",
    "corpo",
    "texto",
    "testo",
    "materia",
    "matéria",
    // French
    "contenu",
    "corps",
    "texte",
    // German, Dutch, the Scandinavian languages
    "inhalt",
    "artikel",
    "beitrag",
    "bericht",
    "inhoud",
    "innehall",
    "indhold",
    "innhold",
    // Polish, Czech, Slovak; Russian in Latin letters
    "tresc",
    "artykul",
    "tekst",
    "clanek",
    "obsah",
    "statya",
    "kontent",
    // Turkish, Indonesian
    "icerik",
    "haber",
    "makale",
    "konten",
    "berita",
};

// The roles an element may declare to assistive technology that make it
// furniture, and those that make it the article: what it is, said in the
// same words in every language.
constexpr std::string_view kChromeRoles[] = {
    "navigation", "banner",  "contentinfo", "complementary", "search",
    "menu",       "menubar", "toolbar",     "dialog",        "alertdialog",
};
constexpr std::string_view kContentRoles[] = {"main", "article"};

// The furniture word that site builders give every box, the article's too.
constexpr std::string_view kWidgetWord = "widget";
// The last word of a class name that lays out the page rather than saying
// what an element is.
constexpr std::string_view kLayoutWord = "layout";

// For each first letter and last byte, a bit for each length of the hint
// words that start and end with them: most words of class names ("flex",
// "px", "col") are no hint word, and this tells so without comparing them
// with every hint word.
struct HintWordShapes {
  static constexpr int kOtherLast = 26;  // a last byte that is no ASCII letter
  uint32_t lengths[26][kOtherLast + 1] = {};

  static constexpr int lastOf(std::string_view word) {
    return ascii::isLetter(word.back()) ? ascii::toLower(word.back()) - 'a' : kOtherLast;
  }
  constexpr void add(std::string_view word) {
    lengths[word[0] - 'a'][lastOf(word)] |= uint32_t{1} << word.size();
  }
  constexpr bool mayHold(std::string_view word) const {
    if (word.empty() || word.size() >= 32 || !ascii::isLetter(word[0])) return false;
    return (lengths[ascii::toLower(word[0]) - 'a'][lastOf(word)] >> word.size() & 1) != 0;
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
    // The bytes of a character beyond ASCII belong to the word they stand
    // in: "navštěvy" is one word, not "nav" and the rest.
    for (int c = 0x80; c <= 0xFF; ++c) of[c] = kLower;
  }
};

constexpr ByteKinds kByteKinds;

template <size_t N>
bool isOneOf(std::string_view word, const std::string_view (&words)[N]) {
  return std::any_of(std::begin(words), std::end(words),
                     [word](std::string_view known) { return ascii::equalsIgnoringCase(word, known); });
}

// What the words of an element's names say.
struct NameHints {
  bool content = false;    // a word names the article
  bool chrome = false;     // a word marks furniture
  bool onlyWidget = true;  // every word that marks furniture is "widget"

  void add(const NameHints& more) {
    content = content || more.content;
    if (!more.chrome) return;
    onlyWidget = (chrome ? onlyWidget : true) && more.onlyWidget;
    chrome = true;
  }
};

// What the words of class or id names say. Words are split at every ASCII
// byte that is not a letter or digit, and where a lower-case letter meets an
// upper-case one ("navBar" is "nav" and "Bar"); names are split at white
// space. A content word wins over any number of chrome words. Where the rules
// say so, a name whose last word is "layout" marks nothing.
NameHints hintsOf(std::string_view names, const Rules& rules) {
  NameHints hints;
  NameHints name;  // of the name at hand
  std::string_view lastWord;
  const char* const end = names.data() + names.size();
  const char* word = names.data();
  ByteKind previous = kSeparator;
  for (const char* at = word;; ++at) {
    const bool atEnd = at == end;
    const ByteKind kind = atEnd ? kSeparator : kByteKinds.of[static_cast<unsigned char>(*at)];
    if (kind == kSeparator || (kind == kUpper && previous == kLower)) {
      const std::string_view found(word, static_cast<size_t>(at - word));
      if (!found.empty()) lastWord = found;
      if (kHintWordShapes.mayHold(found)) {
        if (isOneOf(found, kContentWords)) {
          hints.content = true;
          return hints;
        }
        if (isOneOf(found, kChromeWords)) {
          name.onlyWidget =
              (name.chrome ? name.onlyWidget : true) && ascii::equalsIgnoringCase(found, kWidgetWord);
          name.chrome = true;
        }
      }
      if (atEnd || ascii::isWhitespace(*at)) {
        if (!(rules.layoutNamesSayNothing && ascii::equalsIgnoringCase(lastWord, kLayoutWord)))
          hints.add(name);
        name = NameHints();
        lastWord = {};
      }
      if (atEnd) return hints;
      word = kind == kSeparator ? at + 1 : at;
    }
    previous = kind;
  }
}

// What the role an element declares says of it. Of a list of roles the
// first one known counts, in any letter case.
NameHints hintsOfRole(std::string_view roles) {
  NameHints hints;
  while (!roles.empty()) {
    roles = ascii::trim(roles);
    const size_t space = std::min(
        static_cast<size_t>(std::find_if(roles.begin(), roles.end(), ascii::isWhitespace) - roles.begin()),
        roles.size());
    const std::string_view role = roles.substr(0, space);
    roles.remove_prefix(space);
    if (isOneOf(role, kContentRoles)) {
      hints.content = true;
      return hints;
    }
    if (isOneOf(role, kChromeRoles)) {
      hints.chrome = true;
      hints.onlyWidget = false;
      return hints;
    }
  }
  return hints;
}

// Whether the declarations of an inline style hide the element: display
// none or visibility hidden, in any letter case, with any blanks and
// priority.
bool styleHides(std::string_view style) {
  while (!style.empty()) {
    const size_t semicolon = std::min(style.find(';'), style.size());
    const std::string_view declaration = style.substr(0, semicolon);
    style.remove_prefix(std::min(semicolon + 1, style.size()));
    const size_t colon = declaration.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view property = ascii::trim(declaration.substr(0, colon));
    std::string_view value = declaration.substr(colon + 1);
    value = ascii::trim(value.substr(0, std::min(value.find('!'), value.size())));
    if ((ascii::equalsIgnoringCase(property, "display") && ascii::equalsIgnoringCase(value, "none")) ||
        (ascii::equalsIgnoringCase(property, "visibility") && ascii::equalsIgnoringCase(value, "hidden"))) {
      return true;
    }
  }
  return false;
}

// What one element's attributes say of it.
struct ElementNames {
  NameHints hints;  // of its class and id together
  bool hidden = false;
};

ElementNames namesOf(const HtmlTag& tag, const char* markup, const Rules& rules) {
  const std::string_view name = tagName(markup, tag, rules.anySpaceEndsName);
  const char* const attributesStart = name.data() + name.size();
  const TagAttributes attributes =
      readTagAttributes({attributesStart, static_cast<size_t>(markup + tag.endOffset - attributesStart)});
  ElementNames names;
  // The class and the id name one element: a content word in either keeps it.
  names.hints = hintsOf(attributes.classes, rules);
  names.hints.add(hintsOf(attributes.id, rules));
  if (rules.readsRoles) names.hints.add(hintsOfRole(attributes.role));
  names.hidden = attributes.hidden || styleHides(attributes.style);
  return names;
}

// Furniture by its element: always, or outside any section.
bool isChromeElement(const HtmlElementInfo& element, bool insideSection) {
  return element.part == kPartChrome || (element.part == kPartPageChrome && !insideSection);
}

bool isFurnitureKind(ElementRow row, const Rules& rules) {
  return std::find(std::begin(rules.furnitureKinds), std::end(rules.furnitureKinds), row) !=
         std::end(rules.furnitureKinds);
}

// Bytes that show on the page between two tags.
int32_t visibleBytes(const char* from, const char* to) {
  int32_t count = 0;
  for (; from < to; ++from) count += static_cast<unsigned char>(*from) > ' ' ? 1 : 0;
  return count;
}

// How much of the page each element's extent holds, as differences of
// running counts over the tags: the P start tags before each tag (kept in the
// tag) and the visible bytes before it, those between tags outside raw text.
class ExtentCounts {
 public:
  ExtentCounts(std::vector<HtmlTag>& tags, const char* markup, const HtmlElementTable& elements)
      : tags_(tags), visibleBefore_(tags.size() + 1) {
    const ElementRow paragraphRow = elements.known().paragraph;
    const size_t count = tags.size();
    int32_t visible = 0;
    for (size_t i = 0; i < count; ++i) {
      HtmlTag& tag = tags[i];
      tag.paragraphsBefore = paragraphs_;
      visibleBefore_[i] = visible;
      paragraphs_ += tag.row == paragraphRow && tag.isOpen ? 1 : 0;
      // The content of a script or style shows nothing.
      const bool opensRawText = elements[tag.row].rendersContent == 0 && tag.isOpen && !tag.isClose;
      if (!opensRawText && i + 1 < count) {
        visible += visibleBytes(markup + tag.endOffset + 1, markup + tags[i + 1].startOffset);
      }
    }
    visibleBefore_[count] = visible;
  }

  int32_t paragraphs() const { return paragraphs_; }
  int32_t visible() const { return visibleBefore_.back(); }
  // The extent runs up to its partner, the element's own tag when it is
  // self-contained.
  int32_t paragraphsIn(const HtmlTag& tag) const {
    const size_t end = endOf(tag);
    return (end < tags_.size() ? tags_[end].paragraphsBefore : paragraphs_) - tag.paragraphsBefore;
  }
  int32_t visibleIn(const HtmlTag& tag) const {
    return visibleBefore_[endOf(tag)] - visibleBefore_[static_cast<size_t>(tag.index)];
  }

 private:
  static size_t endOf(const HtmlTag& tag) {
    return static_cast<size_t>(std::max(tag.partner, tag.index + 1));
  }

  const std::vector<HtmlTag>& tags_;    // not owned
  std::vector<int32_t> visibleBefore_;  // one more than the tags: the last is the total
  int32_t paragraphs_ = 0;              // P start tags of the whole markup
};

}  // namespace

void markChrome(std::vector<HtmlTag>& tags, HtmlNode& root, const char* markup, const Rules& rules) {
  if (!rules.marksChrome) return;
  const HtmlElementTable& elements = *rules.elements;
  const KnownRows& known = elements.known();
  const ExtentCounts counts(tags, markup, elements);
  const double mostParagraphs = rules.chromeMostParagraphShare * counts.paragraphs();
  const HtmlTag* bodyTag = nullptr;
  for (const HtmlNode* child = root.firstChild; child != nullptr && bodyTag == nullptr;
       child = child->nextSibling) {
    if (child->tag->row == known.body) bodyTag = child->tag;
  }
  const double mostVisible =
      rules.chromeMostVisibleShare * (bodyTag != nullptr ? counts.visibleIn(*bodyTag) : counts.visible());

  int sectionsAround = 0;  // sections among the ancestors of the node at hand
  // Whether each element the walk is inside is named as content.
  std::vector<bool> namedContent;
  walkTree(
      &root,
      [&](HtmlNode* node) {
        if (node->tag == nullptr) return true;
        HtmlTag& tag = *node->tag;
        const HtmlElementInfo& element = elements[tag.row];
        const bool parentNamedContent = !namedContent.empty() && namedContent.back();
        const bool holdsDocument = tag.row == known.body || tag.row == known.document;
        const ElementNames names = holdsDocument ? ElementNames() : namesOf(tag, markup, rules);
        const int32_t paragraphs = counts.paragraphsIn(tag);
        const bool holdsMostParagraphs = paragraphs > mostParagraphs;
        bool chrome = false;
        if (holdsDocument) {
          // The elements that hold the whole document are never furniture.
        } else if (isChromeElement(element, sectionsAround > 0)) {
          // Bad nesting can put the article inside an aside, as a browser
          // reads it; a page can say that its aside is the article.
          const bool namedArticle = tag.row == rules.namedArticleKind && names.hints.content &&
                                    paragraphs >= rules.namedArticleLeastParagraphs;
          chrome = !(rules.elementChromeYieldsToParagraphs && holdsMostParagraphs) && !namedArticle;
        } else if (rules.chromeMostVisibleShare == 0 || counts.visibleIn(tag) <= mostVisible) {
          // Beyond what the elements say, no rule makes furniture of the
          // element that holds most of the page's visible text: it wraps the
          // article, whatever it is and is called.
          const bool builderBox =
              rules.widgetsInsideContentAreContent && names.hints.onlyWidget && parentNamedContent;
          const bool namedChrome =
              names.hints.chrome && !names.hints.content && !builderBox && !holdsMostParagraphs;
          chrome = isFurnitureKind(tag.row, rules) || (rules.hiddenIsChrome && names.hidden) || namedChrome;
        }
        if (chrome) {
          tag.isChrome = true;
          return false;
        }
        if (element.part == kPartSection) ++sectionsAround;
        namedContent.push_back(names.hints.content);
        return true;
      },
      [&](HtmlNode* node) {
        if (node->tag == nullptr) return;
        if (elements[node->tag->row].part == kPartSection) --sectionsAround;
        namedContent.pop_back();
      });
}

bool holdsChrome(const std::vector<HtmlTag>& tags) {
  return std::any_of(tags.begin(), tags.end(), [](const HtmlTag& tag) { return tag.isChrome; });
}

}  // namespace brevanto
