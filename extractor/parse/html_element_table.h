// The vocabulary of markup elements that the scanner and the text stages
// know, and its lookup by name without regard to ASCII case.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brevanto {

// Codes of the table's columns.
enum : int32_t { kStartTagRequired = 1, kStartTagOptional = 2 };
enum : int32_t { kEndTagRequired = 1, kEndTagOptional = 2, kEndTagForbidden = 3 };
enum : int32_t { kLevelBlock = 2, kLevelInline = 3 };
enum : int32_t { kDtdStrict = 1, kDtdTransitional = 2, kDtdFrameset = 3 };
// What an element is to the page, for the modern analysis; the classic rows
// are all kPartText.
enum : int32_t {
  kPartText = 0,        // its text is part of its ancestors' texts
  kPartChrome = 1,      // page furniture wherever it stands: left out of every text
  kPartPageChrome = 2,  // the page's furniture, unless inside a kPartSection
  kPartSection = 3,     // an article or a section of one: its header and footer are its own
};
// How a text that reads as a browser shows it lays an element out, where the
// level column does not say it all; the classic rows are all kLayoutByLevel.
enum : int32_t {
  kLayoutByLevel = 0,       // on lines of its own when block-level and shown; its white space collapses
  kLayoutOwnLines = 1,      // on lines of its own, though inline to matching and pruning
  kLayoutKeepsSpaces = 2,   // as kLayoutByLevel, but its white space and line ends stay as written
  kLayoutFormula = 3,       // a formula: the white space between its token elements shows nothing
  kLayoutFormulaToken = 4,  // a token of a formula (a name, number, operator or text): its white space shows
};

// The analyses an extraction can run. Classic is the Windows server's,
// byte for byte; modern knows today's markup.
enum class Analysis : int { kClassic, kModern };

// One element row. The strings are static text and never change.
struct HtmlElementInfo {
  const char* name = nullptr;            // upper case; "!" for the comment row
  const char* description = nullptr;     // null when the row has none; consulted by no operation
  int32_t startTag = kStartTagRequired;  // consulted by no operation
  int32_t endTag = kEndTagRequired;
  int32_t level = 1;
  int32_t dtd = kDtdStrict;  // consulted by no operation
  int32_t isEmpty = 0;
  int32_t isDeprecated = 0;  // consulted by no operation
  int32_t rendersContent = 1;
  int32_t part = kPartText;         // consulted by the modern analysis only
  int32_t layout = kLayoutByLevel;  // consulted where text reads as a browser shows it
};

// The position of a row in its table.
using ElementRow = uint16_t;

// The rows of the elements that the rules of the analysis name, in one table.
// A row the table lacks is kNoRow, which no tag has.
struct KnownRows {
  static constexpr ElementRow kNoRow = 0xFFFF;
  ElementRow anchor = kNoRow;     // A
  ElementRow body = kNoRow;       // BODY
  ElementRow document = kNoRow;   // HTML
  ElementRow lineBreak = kNoRow;  // BR
  ElementRow paragraph = kNoRow;  // P
};

// A table of element rows. Its last row is the row of every name the table
// does not hold; comments and declarations get the row named "!", which is
// that last row in the classic table. Each table builds its own index of
// names, so that an analysis can run on a larger table as well as on the
// classic one.
class HtmlElementTable {
 public:
  // Names longer than this are in no table.
  static constexpr size_t kLongestName = 16;

  // The classic rows: 94 elements grouped by first letter, then the comment
  // row.
  HtmlElementTable();
  // A table over `count` rows (not owned: static data that outlives the
  // table), the row of names outside the table last. Names are upper case,
  // unique, and at most kLongestName bytes long; one row is named "!".
  HtmlElementTable(const HtmlElementInfo* rows, int count);

  // The one classic table, built on first use.
  static const HtmlElementTable& classic();
  // The classic table with today's elements: HTML5 sections and furniture,
  // PRE rendered, and an inline row that renders its content for every name
  // it does not hold. Built on first use.
  static const HtmlElementTable& modern();

  // The row of `name` (the first `length` bytes), compared without regard to
  // ASCII case. Every non-empty name yields a row: names the table does not
  // hold, and names that start with a digit or any other non-letter, yield
  // the last row; names that start with "!" the comment row. Only an empty
  // or missing name yields null.
  const HtmlElementInfo* lookup(const char* name, size_t length) const;
  const HtmlElementInfo* lookup(const char* name) const;  // NUL-terminated
  // The position of `name`'s row; `name` must not be empty.
  ElementRow rowOf(const char* name, size_t length) const;

  const HtmlElementInfo& operator[](ElementRow row) const { return rows_[row]; }
  int size() const { return count_; }
  // The row of names the table does not hold.
  ElementRow otherRowNumber() const { return static_cast<ElementRow>(count_ - 1); }
  ElementRow commentRowNumber() const { return commentRow_; }
  const HtmlElementInfo* commentRow() const { return &rows_[commentRow_]; }
  const KnownRows& known() const { return known_; }

 private:
  static constexpr int kMostRows = 256;
  // Open addressing over twice as many slots as a table may have rows, so
  // that a name is mostly found, or found missing, at its first slot.
  static constexpr int kSlotBits = 9;
  static constexpr size_t kSlots = size_t{1} << kSlotBits;
  static constexpr ElementRow kEmptySlot = 0xFFFF;
  static_assert(kSlots >= size_t{2} * kMostRows, "the index needs room to spare");

  // A name upper-cased and zero-padded to kLongestName, as two words, so
  // that names compare and hash a word at a time.
  struct FoldedName {
    uint64_t words[2];
    size_t length;
    bool operator==(const FoldedName& other) const {
      return words[0] == other.words[0] && words[1] == other.words[1] && length == other.length;
    }
  };
  // False when the name is too long to be in any table.
  static bool fold(const char* name, size_t length, FoldedName& folded);
  // The slot where the search for `name` starts.
  static size_t firstSlot(const FoldedName& name);

  const HtmlElementInfo* rows_;  // not owned: static rows
  int count_;
  ElementRow commentRow_;  // the row named "!"
  KnownRows known_;
  ElementRow slots_[kSlots];        // row numbers by name, kEmptySlot where none
  FoldedName rowNames_[kMostRows];  // of each row
};

}  // namespace brevanto
