// Reading a page's bytes as a browser does: which encoding a label or the
// page itself names, and the page's text in UTF-8, with U+FFFD for each
// character that the bytes do not encode. The tables come from the system's
// converter (iconv); what browsers read differently from it is said here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brevanto::cli {

// How the bytes of an encoding become characters, and what a byte that the
// converter refuses stands for.
enum class Family : uint8_t {
  kUtf8,         // decoded here; each broken sequence is one U+FFFD
  kUtf16,        // two bytes a unit; an unpaired surrogate is one U+FFFD
  kSingleByte,   // a byte without a character is U+FFFD
  kWindows,      // single byte; an unassigned byte 0x80-0x9F is the C1 control of that value
  kMultiByte,    // a broken character is one U+FFFD: its lead byte, and the next byte unless ASCII
  kReplacement,  // never decoded (its decoders are a known hazard): any text is one U+FFFD
  kUserDefined,  // bytes 0x80-0xFF stand for U+F780-U+F7FF
};

struct Encoding {
  const char* name;       // the name browsers give it, e.g. "windows-1252"
  const char* converter;  // iconv's name for its table; null when decoded here
  Family family;
  char32_t lone80;  // what a lone byte 0x80 stands for where the converter refuses it; 0 for U+FFFD
};

// The encoding that `label` names for a browser (the WHATWG Encoding
// Standard's labels: letter case and surrounding ASCII white space do not
// matter, and "latin1" means windows-1252), or null.
const Encoding* encodingForLabel(std::string_view label);
const Encoding& utf8Encoding();
const Encoding& windows1252Encoding();

// The text of `bytes` read in `encoding`, in UTF-8: what the bytes do not
// encode becomes U+FFFD, as browsers show it. Empty only when this system's
// converter lacks the encoding's table (glibc without its gconv modules).
std::optional<std::string> decodeToUtf8(std::string_view bytes, const Encoding& encoding);

// The offset of the first byte that is not part of valid UTF-8, or npos.
size_t firstInvalidUtf8(std::string_view bytes);
// The bytes with each maximal run that is not part of valid UTF-8 replaced by
// U+FFFD, as a browser's UTF-8 decoder does.
std::string replaceInvalidUtf8(std::string_view bytes);
bool isValidUtf8(std::string_view bytes);

}  // namespace brevanto::cli
