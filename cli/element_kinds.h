// What the loader knows of HTML elements beyond their names, by the parser's
// tag id: one table that the serializer and the parser guards share.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brevanto::cli {

// The kinds an element of the HTML namespace may have; some have several.
enum ElementKind : uint8_t {
  kVoidElement = 1 << 0,  // never has content nor an end tag
  // The tokenizer reads the content as text up to the element's own end
  // tag, so it never holds another element; it is written back as it is.
  kRawTextElement = 1 << 1,
  // Read as text up to its own end tag too, but with character references
  // decoded, so written back escaped.
  kEscapedTextElement = 1 << 2,
  kHiddenElement = 1 << 3,      // a browser never shows its text
  kFormattingElement = 1 << 4,  // opened again when left open across a block
  kTablePart = 1 << 5,          // text misplaced in it moves before the table
};

// The kinds of the HTML element whose parser tag id is `tag`; 0 for any
// other element.
unsigned elementKinds(size_t tag);

}  // namespace brevanto::cli
