#include "platform/win32/window.h"

#include <vector>

namespace brevanto {

namespace {
// The window property that holds a window's object.
const char kObjectProperty[] = "Brevanto.CWnd";
}  // namespace

CWnd::~CWnd() {
  Detach();
}

bool CWnd::Attach(HWND window) {
  if (window == nullptr || m_hWnd != nullptr || FromHandlePermanent(window) != nullptr) return false;
  if (!::SetPropA(window, kObjectProperty, static_cast<HANDLE>(this))) return false;
  m_hWnd = window;
  return true;
}

HWND CWnd::Detach() {
  HWND window = m_hWnd;
  if (window != nullptr && FromHandlePermanent(window) == this) ::RemovePropA(window, kObjectProperty);
  m_hWnd = nullptr;
  return window;
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
  if (window == nullptr || !::IsWindow(window)) return nullptr;
  return static_cast<CWnd*>(::GetPropA(window, kObjectProperty));
}

std::string CWnd::GetWindowText() const {
  return windowText(m_hWnd);
}

bool CWnd::PreTranslateMessage(MSG*) {
  return false;
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) {
  return false;
}

std::string windowText(HWND window) {
  if (window == nullptr) return std::string();
  LRESULT length = ::SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  LRESULT got = ::SendMessageA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  if (got < 0) got = 0;
  return std::string(buffer.data(), static_cast<size_t>(got) < buffer.size() ? static_cast<size_t>(got) : 0);
}

}  // namespace brevanto
