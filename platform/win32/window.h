// The smallest window object of our own: a C++ object bound to a system
// window, so that the modal loop can offer each message to the objects of the
// windows it passes through before the system dispatches it.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace brevanto {

class CWnd {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd();

  // Binds this object to a window until Detach or the window's destruction;
  // FromHandlePermanent then finds it. False when either is already bound.
  bool Attach(HWND window);
  HWND Detach();
  static CWnd* FromHandlePermanent(HWND window);

  HWND GetSafeHwnd() const { return m_hWnd; }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  std::string GetWindowText() const;
  void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }

  // Offered every message of a modal loop addressed to this window or to one
  // of its descendants; true means handled, and the message goes no further.
  virtual bool PreTranslateMessage(MSG* message);
  // A notification that a parent dialog reflects to the control that sent it;
  // true means handled, with the result in *result.
  virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  HWND m_hWnd = nullptr;  // not owned: the system destroys it with its parent or owner
};

// The text of any window, read with WM_GETTEXT.
std::string windowText(HWND window);

}  // namespace brevanto
