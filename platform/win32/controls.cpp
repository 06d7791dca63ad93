#include "platform/win32/controls.h"

#include <commctrl.h>

#include <vector>

namespace brevanto {

bool CComboBox::Create(DWORD style, const RECT& rect, HWND parent, int id) {
  CREATESTRUCTA create{};
  create.style = static_cast<LONG>(style);
  create.x = rect.left;
  create.y = rect.top;
  create.cx = rect.right - rect.left;
  create.cy = rect.bottom - rect.top;
  create.hwndParent = parent;
  create.hMenu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
  create.lpszClass = "ComboBox";
  if (!PreCreateWindow(create)) return false;
  HWND window = ::CreateWindowExA(create.dwExStyle, create.lpszClass, "", static_cast<DWORD>(create.style),
                                  create.x, create.y, create.cx, create.cy, parent, create.hMenu,
                                  ::GetModuleHandleA(nullptr), nullptr);
  return window != nullptr && Attach(window);
}

bool CComboBox::PreCreateWindow(CREATESTRUCTA&) {
  return true;
}

std::string CComboBox::GetLBText(int index) const {
  LRESULT length = send(CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR || length < 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  LRESULT got = send(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  if (got == CB_ERR || got < 0) return std::string();
  return std::string(buffer.data(), static_cast<size_t>(got) < buffer.size() ? static_cast<size_t>(got) : 0);
}

bool CComboBox::hasEditPart() const {
  return (::GetWindowLongPtrA(m_hWnd, GWL_STYLE) & 3) != CBS_DROPDOWNLIST &&
         ::FindWindowExA(m_hWnd, nullptr, "Edit", nullptr) != nullptr;
}

CToolTipCtrl::~CToolTipCtrl() {
  HWND window = Detach();
  if (window != nullptr && ::IsWindow(window)) ::DestroyWindow(window);
}

bool CToolTipCtrl::Create(HWND parent, DWORD style) {
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&classes);
  HWND window =
      ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) return false;
  m_parent = parent;
  return Attach(window);
}

void CToolTipCtrl::SetMaxTipWidth(int width) {
  ::SendMessageA(m_hWnd, TTM_SETMAXTIPWIDTH, 0, width);
}

bool CToolTipCtrl::AddTool(HWND tool, const char* text) {
  if (m_hWnd == nullptr || tool == nullptr) return false;
  TOOLINFOA info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND;
  info.hwnd = m_parent;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = const_cast<char*>(text);
  return ::SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

void CToolTipCtrl::RelayEvent(MSG* message) {
  if (m_hWnd == nullptr) return;
  bool mouse = message->message >= WM_MOUSEFIRST && message->message <= WM_MOUSELAST;
  if (mouse) ::SendMessageA(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(message));
}

}  // namespace brevanto
