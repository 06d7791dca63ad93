// ASCII letter case, the one way every part of the system compares names
// (elements, entities, registry keys and values) without regard to case.
// Bytes outside A-Z and a-z are never changed: the system's texts are 8-bit
// strings in a code page it does not interpret.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace brevanto::ascii {

constexpr char toUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char toLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
// The white space of markup: space, tab, line feed, form feed and carriage
// return. Other control bytes and non-breaking spaces are text.
constexpr bool isWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// `text` without the white space at either end.
constexpr std::string_view trim(std::string_view text) {
  while (!text.empty() && isWhitespace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isWhitespace(text.back())) text.remove_suffix(1);
  return text;
}

// Whether `a` and `b` are the same text when ASCII letter case is ignored.
constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (toUpper(a[i]) != toUpper(b[i])) return false;
  }
  return true;
}

// The value of a decimal number with optional white space around it; false
// when `text` is not one, or when it does not fit 64 bits.
constexpr bool parseDecimal(std::string_view text, uint64_t& value) {
  text = trim(text);
  if (text.empty()) return false;
  value = 0;
  for (const char c : text) {
    if (!isDigit(c) || value > (UINT64_MAX - 9) / 10) return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

}  // namespace brevanto::ascii
