// Conversions between wide automation strings and 8-bit strings in the
// system ANSI code page, the only code page the server's texts are in.
#pragma once

#include <windows.h>
// The system headers that follow need windows.h before them.
#include <oaidl.h>

#include <cstddef>
#include <string>

namespace brevanto {

// Converts a wide string to a new string in the system ANSI code page;
// characters that the code page lacks become its default character. A null
// or empty input gives the empty string.
std::string toAnsi(const wchar_t* text);
std::string toAnsi(const wchar_t* text, size_t length);
// Converts an ANSI string to a new wide automation string that the caller
// frees with SysFreeString; null only when memory runs out. A null input
// gives an empty string.
BSTR toBstr(const char* text);

}  // namespace brevanto
