#include "extractor/parse/html_element_table.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/ascii.h"

namespace brevanto {
namespace {

// One row per line, in the table's order: rows grouped by first letter, the
// comment row last. Columns: name, description, startTag, endTag, level, dtd,
// isEmpty, isDeprecated, rendersContent.
// clang-format off
constexpr HtmlElementInfo kClassicRows[] = {
    {"A", "anchor", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"ABBR", "abbreviated form (e.g., WWW, HTTP, etc.)", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"ACRONYM", nullptr, kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"ADDRESS", "information on author", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"APPLET", "Java applet", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdTransitional, 0, 1, 0},
    {"AREA", "client-side image map area", kStartTagRequired, kEndTagForbidden, kLevelBlock, kDtdStrict, 1, 0, 0},
    {"B", "bold text style", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"BASE", "document base URI", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdStrict, 1, 0, 1},
    {"BASEFONT", "base font size", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdTransitional, 1, 1, 1},
    {"BDO", "I18N BiDi over-ride", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"BIG", "large text style", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"BLOCKQUOTE", "long quotation", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"BODY", "document body", kStartTagOptional, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"BLINK", "blink", kStartTagOptional, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"BR", "forced line break", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdStrict, 1, 0, 1},
    {"BUTTON", "push button", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"CAPTION", "table caption", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"CENTER", "shorthand for DIV align=center", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdTransitional, 0, 1, 1},
    {"CITE", "citation", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"CODE", "computer code fragment", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"COL", "table column", kStartTagRequired, kEndTagForbidden, kLevelBlock, kDtdStrict, 1, 0, 1},
    {"COLGROUP", "table column group", kStartTagRequired, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"DD", "definition description", kStartTagRequired, kEndTagOptional, kLevelInline, kDtdStrict, 0, 0, 1},
    {"DEL", "deleted text", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 0},
    {"DFN", "instance definition", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"DIR", "directory list", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdTransitional, 0, 1, 1},
    {"DIV", "generic language/style container", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"DL", "definition list", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"DT", "definition term", kStartTagRequired, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"EM", "emphasis", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"EMBED", "embed", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 1, 1},
    {"FIELDSET", "form control group", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"FONT", "local change to font", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdTransitional, 0, 1, 1},
    {"FORM", "interactive form", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"FRAME", "subwindow", kStartTagRequired, kEndTagForbidden, kLevelBlock, kDtdFrameset, 1, 0, 1},
    {"FRAMESET", "window subdivision", kStartTagRequired, kEndTagForbidden, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"H1", "heading", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"H2", "heading", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"H3", "heading", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"H4", "heading", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"H5", "heading", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"H6", "heading", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"HEAD", "document head", kStartTagOptional, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"HR", "horizontal rule", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdStrict, 1, 0, 0},
    {"HTML", "document root element", kStartTagOptional, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"I", "italic text style", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"IFRAME", "inline subwindow ", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdTransitional, 0, 0, 1},
    {"IMG", "Embedded image", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdStrict, 1, 0, 1},
    {"INPUT", "form control", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdStrict, 1, 0, 1},
    {"INS", "inserted text", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"ISINDEX", "single line prompt", kStartTagRequired, kEndTagForbidden, kLevelBlock, kDtdTransitional, 1, 1, 0},
    {"KBD", "text to be entered by the user", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"LABEL", "form field label text", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"LEGEND", "fieldset legend", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"LI", "list item", kStartTagRequired, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"LINK", "a media-independent link", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdStrict, 1, 0, 1},
    {"MAP", "client-side image map ", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 0},
    {"MARQUEE", nullptr, kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 1, 1},
    {"MENU", "menu list", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdTransitional, 0, 1, 1},
    {"META", "generic metainformation", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdStrict, 1, 0, 1},
    {"NOFRAMES", "alternate content container for non frame-based rendering", kStartTagRequired, kEndTagForbidden, kLevelBlock, kDtdStrict, 0, 0, 0},
    {"NOSCRIPT", "alternate content container for non script-based rendering", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 0},
    {"OBJECT", "generic embedded object ", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 0},
    {"OL", "ordered list", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"OPTGROUP", "option group", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 0},
    {"OPTION", "selectable choice", kStartTagRequired, kEndTagOptional, kLevelInline, kDtdStrict, 0, 0, 0},
    {"P", "paragraph", kStartTagRequired, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"PARAM", "named property value", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdStrict, 1, 0, 1},
    {"PRE", "preformatted text", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 0},
    {"Q", "short inline quotation", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"S", "strike-through text style", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdTransitional, 0, 1, 1},
    {"SAMP", "sample program output, scripts, etc.", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"SCRIPT", "script statements", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 0},
    {"SELECT", "option selector", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 0},
    {"SMALL", "small text style", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"SPAN", "generic language/style container", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"STRIKE", "strike-through text", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdTransitional, 0, 1, 1},
    {"STRONG", "strong emphasis", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"STYLE", "style info", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 0},
    {"SUB", "subscript", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"SUP", "superscript", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"TABLE", nullptr, kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"TBODY", "table body", kStartTagOptional, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"TD", "table data cell", kStartTagRequired, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"TEXTAREA", "multi-line text field", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"TFOOT", "table footer", kStartTagRequired, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"TH", "table header cell", kStartTagRequired, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"THEAD", "table header ", kStartTagRequired, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"TITLE", "document title", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"TR", "table row", kStartTagRequired, kEndTagOptional, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"TT", "teletype or monospaced text style", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"U", "underlined text style", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdTransitional, 0, 1, 1},
    {"UL", "unordered list", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1},
    {"VAR", "instance of a variable or program argument", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1},
    {"!", "comment", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdStrict, 1, 0, 0},
};
// clang-format on

constexpr int kClassicRowCount = static_cast<int>(sizeof kClassicRows / sizeof kClassicRows[0]);

// What the modern analysis changes: the rows it adds, and the rows it puts in
// place of the classic row of the same name, one row per line, with the part
// column and, where it is not kLayoutByLevel, the layout column last. Its
// last row is the row of every name outside the table: an element that a page
// invents, or that is newer than the table, is inline and its text is kept,
// where the classic table drops it like a comment. Ruby text and the sources
// that formulas keep in annotations render no content: a reader never sees
// them beside the words. A formula shows the text of its tokens alone.
// Large text runs on in its line and deleted text shows, struck through, as
// in every browser.
// clang-format off
constexpr HtmlElementInfo kModernRows[] = {
    {"ANNOTATION", "formula source kept for programs", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 0, kPartText},
    {"ANNOTATION-XML", "formula markup kept for programs", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 0, kPartText},
    {"ARTICLE", "self-contained composition", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartSection},
    {"ASIDE", "content aside from the main flow", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartChrome},
    {"BDI", "bidirectional isolate", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText},
    {"BIG", "large text style", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText},
    {"BLOCKQUOTE", "long quotation", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText, kLayoutOwnLines},
    {"DEL", "deleted text", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText},
    {"CANVAS", "scripted bitmap", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartChrome},
    {"DATA", "machine-readable value", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText},
    {"DD", "definition description", kStartTagRequired, kEndTagOptional, kLevelInline, kDtdStrict, 0, 0, 1, kPartText, kLayoutOwnLines},
    {"DETAILS", "disclosure widget", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartText},
    {"FIGCAPTION", "figure caption", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartText},
    {"FIGURE", "figure with optional caption", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartText},
    {"FOOTER", "footer of a page or section", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartPageChrome},
    {"HEADER", "header of a page or section", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartPageChrome},
    {"HGROUP", "heading group", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartText},
    {"HR", "horizontal rule", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdStrict, 1, 0, 0, kPartText, kLayoutOwnLines},
    {"LEGEND", "fieldset legend", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText, kLayoutOwnLines},
    {"LISTING", "preformatted text", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 1, 1, kPartText, kLayoutKeepsSpaces},
    {"MAIN", "main content of the page", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartSection},
    {"MARK", "highlighted text", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText},
    {"MATH", "formula", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText, kLayoutFormula},
    {"MI", "name in a formula", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText, kLayoutFormulaToken},
    {"MN", "number in a formula", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText, kLayoutFormulaToken},
    {"MO", "operator in a formula", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText, kLayoutFormulaToken},
    {"MS", "string in a formula", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText, kLayoutFormulaToken},
    {"MTEXT", "text in a formula", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText, kLayoutFormulaToken},
    {"NAV", "navigation links", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartChrome},
    {"NOBR", "no line break", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdTransitional, 0, 1, 1, kPartText},
    {"PICTURE", "image with alternative sources", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText},
    {"PLAINTEXT", "preformatted text to the end", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 1, 1, kPartText, kLayoutKeepsSpaces},
    {"PRE", "preformatted text", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartText, kLayoutKeepsSpaces},
    {"RP", "ruby parenthesis", kStartTagRequired, kEndTagOptional, kLevelInline, kDtdStrict, 0, 0, 0, kPartText},
    {"RT", "ruby text", kStartTagRequired, kEndTagOptional, kLevelInline, kDtdStrict, 0, 0, 0, kPartText},
    {"RTC", "ruby text container", kStartTagRequired, kEndTagOptional, kLevelInline, kDtdStrict, 0, 0, 0, kPartText},
    {"SECTION", "generic section", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartSection},
    {"SOURCE", "media source", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdStrict, 1, 0, 1, kPartText},
    {"SUMMARY", "summary of a disclosure widget", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartText},
    {"SVG", "vector graphics", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartChrome},
    {"TEMPLATE", "markup kept for scripts", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 0, 1, kPartChrome},
    {"TEXTAREA", "multi-line text field", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText, kLayoutKeepsSpaces},
    {"TIME", "date or time", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText},
    {"WBR", "line break opportunity", kStartTagRequired, kEndTagForbidden, kLevelInline, kDtdStrict, 1, 0, 1, kPartText},
    {"XMP", "preformatted example", kStartTagRequired, kEndTagRequired, kLevelBlock, kDtdStrict, 0, 1, 1, kPartText, kLayoutKeepsSpaces},
    {"?", "element outside the table", kStartTagRequired, kEndTagRequired, kLevelInline, kDtdStrict, 0, 0, 1, kPartText},
};
// clang-format on

constexpr bool sameName(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

// The row of `rows` named `name`, or -1.
template <size_t N>
constexpr int rowNamed(const HtmlElementInfo (&rows)[N], const char* name) {
  for (size_t i = 0; i < N; ++i) {
    if (sameName(rows[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

constexpr int kModernChangeCount = static_cast<int>(sizeof kModernRows / sizeof kModernRows[0]);

constexpr int countAddedRows() {
  int added = 0;
  for (int i = 0; i + 1 < kModernChangeCount; ++i) added += rowNamed(kClassicRows, kModernRows[i].name) < 0;
  return added;
}

// The classic rows (each in place, or replaced), the added rows, the comment
// row, and the row of other names last.
constexpr int kModernRowCount = kClassicRowCount + countAddedRows() + 1;

struct ModernTable {
  HtmlElementInfo rows[kModernRowCount];
};

constexpr ModernTable composeModernTable() {
  ModernTable table{};
  int next = 0;
  for (int i = 0; i + 1 < kClassicRowCount; ++i) {
    const int change = rowNamed(kModernRows, kClassicRows[i].name);
    table.rows[next++] = change >= 0 ? kModernRows[change] : kClassicRows[i];
  }
  for (int i = 0; i + 1 < kModernChangeCount; ++i) {
    if (rowNamed(kClassicRows, kModernRows[i].name) < 0) table.rows[next++] = kModernRows[i];
  }
  table.rows[next++] = kClassicRows[kClassicRowCount - 1];
  table.rows[next++] = kModernRows[kModernChangeCount - 1];
  return table;
}

constexpr ModernTable kModernTable = composeModernTable();

}  // namespace

HtmlElementTable::HtmlElementTable() : HtmlElementTable(kClassicRows, kClassicRowCount) {}

HtmlElementTable::HtmlElementTable(const HtmlElementInfo* rows, int count)
    : rows_(rows), count_(count < kMostRows ? count : kMostRows), commentRow_(otherRowNumber()) {
  std::fill(std::begin(slots_), std::end(slots_), kEmptySlot);
  // The last row is not indexed: a name that is found nowhere gets it.
  for (int row = 0; row + 1 < count_; ++row) {
    if (std::strcmp(rows_[row].name, "!") == 0) commentRow_ = static_cast<ElementRow>(row);
    if (!fold(rows_[row].name, std::strlen(rows_[row].name), rowNames_[row])) continue;
    size_t slot = firstSlot(rowNames_[row]);
    while (slots_[slot] != kEmptySlot) slot = (slot + 1) % kSlots;
    slots_[slot] = static_cast<ElementRow>(row);
  }
  auto knownRow = [this](const char* name) {
    const ElementRow row = rowOf(name, std::strlen(name));
    return row == otherRowNumber() ? KnownRows::kNoRow : row;
  };
  known_ = {knownRow("A"), knownRow("BODY"), knownRow("HTML"), knownRow("BR"), knownRow("P")};
}

const HtmlElementTable& HtmlElementTable::classic() {
  static const HtmlElementTable table;
  return table;
}

const HtmlElementTable& HtmlElementTable::modern() {
  static const HtmlElementTable table(kModernTable.rows, kModernRowCount);
  return table;
}

bool HtmlElementTable::fold(const char* name, size_t length, FoldedName& folded) {
  if (length > kLongestName) return false;
  char upper[kLongestName] = {};
  for (size_t i = 0; i < length; ++i) upper[i] = ascii::toUpper(name[i]);
  std::memcpy(folded.words, upper, sizeof folded.words);
  folded.length = length;
  return true;
}

size_t HtmlElementTable::firstSlot(const FoldedName& name) {
  // Multiplying by odd constants whose bits are well mixed carries every
  // byte of the name into the top bits, which pick the slot.
  const uint64_t mixed =
      (name.words[0] ^ (name.words[1] * 0x9E3779B97F4A7C15ULL) ^ name.length) * 0xFF51AFD7ED558CCDULL;
  return static_cast<size_t>(mixed >> (64 - kSlotBits));
}

ElementRow HtmlElementTable::rowOf(const char* name, size_t length) const {
  // Every comment and declaration is read as the one name "!".
  if (name[0] == '!') return commentRow_;
  FoldedName folded;
  if (!fold(name, length, folded)) return otherRowNumber();
  for (size_t slot = firstSlot(folded); slots_[slot] != kEmptySlot; slot = (slot + 1) % kSlots) {
    if (rowNames_[slots_[slot]] == folded) return slots_[slot];
  }
  return otherRowNumber();
}

const HtmlElementInfo* HtmlElementTable::lookup(const char* name, size_t length) const {
  if (name == nullptr || length == 0) return nullptr;
  return &rows_[rowOf(name, length)];
}

const HtmlElementInfo* HtmlElementTable::lookup(const char* name) const {
  return lookup(name, name == nullptr ? 0 : std::strlen(name));
}

}  // namespace brevanto
