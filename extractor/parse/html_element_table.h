// The fixed vocabulary of markup elements that the scanner and the text stages
// know, and its lookup by name without regard to ASCII case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brevanto {

// Codes of the table's columns.
enum : int32_t { kStartTagRequired = 1, kStartTagOptional = 2 };
enum : int32_t { kEndTagRequired = 1, kEndTagOptional = 2, kEndTagForbidden = 3 };
enum : int32_t { kLevelBlock = 2, kLevelInline = 3 };
enum : int32_t { kDtdStrict = 1, kDtdTransitional = 2, kDtdFrameset = 3 };

// One element row. The strings are static text and never change.
struct HtmlElementInfo {
  const char* name = nullptr;         // upper case; "!" for the comment row
  const char* description = nullptr;  // null when the row has none; consulted by no operation
  int32_t startTag = kStartTagRequired;  // consulted by no operation
  int32_t endTag = kEndTagRequired;
  int32_t level = 1;
  int32_t dtd = kDtdStrict;  // consulted by no operation
  int32_t isEmpty = 0;
  int32_t isDeprecated = 0;  // consulted by no operation
  int32_t rendersContent = 1;
};

class HtmlElementTable {
 public:
  static constexpr int kLetters = 26;

  HtmlElementTable();

  // The row of `name` (the first `length` bytes), compared without regard to
  // ASCII case. Every non-empty name yields a row: names the table does not
  // hold, and names that start with "!", a digit or any other non-letter,
  // yield the comment row. Only an empty or missing name yields null.
  const HtmlElementInfo* lookup(const char* name, size_t length) const;
  const HtmlElementInfo* lookup(const char* name) const;  // NUL-terminated

  // Rows in table order, grouped by first letter A to Z; the comment row last.
  std::vector<const HtmlElementInfo*> rows;
  // Position in `rows` of the first row of each letter A..Z, or -1.
  int32_t letterIndex[kLetters];
  const HtmlElementInfo* commentRow = nullptr;  // not owned: the last of `rows`

  // Position of `row` in the table (0..94), for per-element bookkeeping.
  static int rowNumber(const HtmlElementInfo* row);
  static constexpr int kRowCount = 95;
};

}  // namespace brevanto
