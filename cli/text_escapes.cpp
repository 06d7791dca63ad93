#include "cli/text_escapes.h"

#include <cstdint>
#include <cstring>

namespace brevanto::cli {
namespace {

// The bytes of the valid UTF-8 sequence at `at` (its code point in `cp`),
// or 0 when the byte there starts none: a stray continuation, an overlong
// form, a surrogate, beyond U+10FFFF, or cut short.
size_t utf8SequenceAt(std::string_view text, size_t at, uint32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) {
    cp = lead;
    return 1;
  }
  size_t length = 0;
  uint32_t lowest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    lowest = 0x80;
    cp = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    lowest = 0x800;
    cp = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    lowest = 0x10000;
    cp = lead & 0x07u;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(text[at + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3Fu);
  }
  if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

// Characters a terminal acts on or reorders instead of showing: the C0 and
// C1 controls, DEL, the line and paragraph separators, and the
// bidirectional marks, embeddings, overrides and isolates.
bool actsOnTerminal(uint32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x200E || cp == 0x200F ||
         (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

// How a byte is written inside $'...'.
void appendEscaped(std::string& out, unsigned char byte) {
  static constexpr struct {
    unsigned char byte;
    char letter;
  } kNamed[] = {{'\a', 'a'}, {'\b', 'b'}, {'\t', 't'}, {'\n', 'n'},
                {'\v', 'v'}, {'\f', 'f'}, {'\r', 'r'}, {'\'', '\''}};
  for (const auto& named : kNamed) {
    if (named.byte == byte) {
      out.push_back('\\');
      out.push_back(named.letter);
      return;
    }
  }
  out.push_back('\\');
  out.push_back(static_cast<char>('0' + (byte >> 6)));
  out.push_back(static_cast<char>('0' + ((byte >> 3) & 7)));
  out.push_back(static_cast<char>('0' + (byte & 7)));
}

}  // namespace

std::string shellQuoted(std::string_view name) {
  bool escapes = false;
  bool quote = false;
  for (size_t at = 0; at < name.size();) {
    uint32_t cp = 0;
    const size_t length = utf8SequenceAt(name, at, cp);
    escapes = escapes || length == 0 || actsOnTerminal(cp);
    quote = quote || cp == '\'';
    at += length == 0 ? 1 : length;
  }
  // Inside double quotes these four keep a meaning of their own.
  if (quote && !escapes && name.find_first_of("\"$`\\!") == std::string_view::npos)
    return "\"" + std::string(name) + "\"";

  // A run of plain characters goes in '...', a run of escaped ones in $'...'.
  enum class Run { kNone, kPlain, kEscaped } run = Run::kNone;
  std::string out;
  auto enter = [&](Run next) {
    if (run == next) return;
    if (run != Run::kNone) out.push_back('\'');
    out.append(next == Run::kPlain ? "'" : "$'");
    run = next;
  };
  for (size_t at = 0; at < name.size();) {
    uint32_t cp = 0;
    const size_t length = utf8SequenceAt(name, at, cp);
    if (length == 0 || actsOnTerminal(cp) || cp == '\'') {
      enter(Run::kEscaped);
      for (size_t k = 0; k < (length == 0 ? 1 : length); ++k)
        appendEscaped(out, static_cast<unsigned char>(name[at + k]));
    } else {
      enter(Run::kPlain);
      out.append(name.substr(at, length));
    }
    at += length == 0 ? 1 : length;
  }
  if (run == Run::kNone) return "''";
  out.push_back('\'');
  return out;
}

std::string shellQuotedIfNeeded(std::string_view name) {
  if (name.empty()) return shellQuoted(name);
  for (size_t at = 0; at < name.size();) {
    uint32_t cp = 0;
    const size_t length = utf8SequenceAt(name, at, cp);
    const bool plain = length > 1 ? !actsOnTerminal(cp)
                                  : length == 1 && ((cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') ||
                                                    (cp >= '0' && cp <= '9') ||
                                                    std::strchr("%+,-./:=@_", int(cp)) != nullptr);
    if (!plain) return shellQuoted(name);
    at += length;
  }
  return std::string(name);
}

void appendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (size_t at = 0; at < text.size();) {
    uint32_t cp = 0;
    const size_t length = utf8SequenceAt(text, at, cp);
    if (length == 0) {
      out.append("\xEF\xBF\xBD");
      ++at;
      continue;
    }
    if (cp == '"' || cp == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(cp));
    } else if (cp == '\n') {
      out.append("\\n");
    } else if (cp == '\r') {
      out.append("\\r");
    } else if (cp == '\t') {
      out.append("\\t");
    } else if (cp < 0x20 || cp == 0x2028 || cp == 0x2029) {
      out.append("\\u");
      for (const int shift : {12, 8, 4, 0}) out.push_back(kHex[(cp >> shift) & 15]);
    } else {
      out.append(text.substr(at, length));
    }
    at += length;
  }
  out.push_back('"');
}

}  // namespace brevanto::cli
