#include "platform/win32/code_page.h"

#include <oleauto.h>

#include <climits>
#include <cwchar>

namespace brevanto {

std::string toAnsi(const wchar_t* text, size_t length) {
  std::string out;
  if (text == nullptr || length == 0 || length > static_cast<size_t>(INT_MAX)) return out;
  const int wideLength = static_cast<int>(length);
  const int size = WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return out;
  out.resize(static_cast<size_t>(size));
  WideCharToMultiByte(CP_ACP, 0, text, wideLength, &out[0], size, nullptr, nullptr);
  return out;
}

std::string toAnsi(const wchar_t* text) {
  return toAnsi(text, text == nullptr ? 0 : std::wcslen(text));
}

BSTR toBstr(const char* text) {
  if (text == nullptr || *text == '\0') return SysAllocStringLen(nullptr, 0);
  const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (size <= 0) return SysAllocStringLen(nullptr, 0);
  // `size` counts the terminating NUL, which SysAllocStringLen adds itself.
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(size - 1));
  if (out != nullptr) MultiByteToWideChar(CP_ACP, 0, text, -1, out, size);
  return out;
}

}  // namespace brevanto
