#include "platform/win32/dialog.h"

#include "platform/win32/win_app.h"

namespace brevanto {

CDialog::CDialog(UINT templateId, HWND parent) : m_template(MAKEINTRESOURCEA(templateId)), m_parent(parent) {}

CDialog::CDialog(const char* templateName, HWND parent) : m_template(templateName), m_parent(parent) {}

HWND CDialog::parentForModal() const {
  if (m_parent != nullptr) return m_parent;
  HWND main = AfxGetMainWindow();
  return main != m_hWnd ? main : nullptr;
}

INT_PTR CDialog::DoModal() {
  CWinApp* app = AfxGetApp();
  HINSTANCE instance = app != nullptr ? app->m_hInstance : ::GetModuleHandleA(nullptr);
  HWND owner = parentForModal();
  // A modal dialog disables its owner for as long as it runs, as the
  // system's own modal dialogs do.
  bool ownerDisabled = false;
  if (owner != nullptr && ::IsWindowEnabled(owner)) {
    ::EnableWindow(owner, FALSE);
    ownerDisabled = true;
  }
  m_modalResult = -1;
  m_inModalLoop = true;
  HWND window = ::CreateDialogParamA(instance, m_template, owner, dialogProc, reinterpret_cast<LPARAM>(this));
  if (window == nullptr) m_inModalLoop = false;
  if (window != nullptr && m_inModalLoop) ::ShowWindow(window, SW_SHOW);

  MSG message;
  while (m_inModalLoop) {
    BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      // Keep the quit for the loop that owns the program.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0) break;
    if (!preTranslateTree(&message, window)) {
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
  }

  // Give the activation back to the owner before the dialog goes, so that
  // the system does not activate some other program.
  if (ownerDisabled) ::EnableWindow(owner, TRUE);
  if (owner != nullptr && window != nullptr && ::GetActiveWindow() == window) ::SetActiveWindow(owner);
  if (window != nullptr && ::IsWindow(window)) ::DestroyWindow(window);
  Detach();
  return m_modalResult;
}

void CDialog::CenterWindow() {
  RECT work{};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT area = work;
  HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
  if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &area);
  RECT frame{};
  ::GetWindowRect(m_hWnd, &frame);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  // Keep the whole dialog, or at least its top-left corner, on the screen.
  if (x + width > work.right) x = work.right - width;
  if (y + height > work.bottom) y = work.bottom - height;
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::EndDialog(int result) {
  m_modalResult = result;
  m_inModalLoop = false;
  // Wake the loop in case this was called from outside a dispatch.
  if (m_hWnd != nullptr) ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

bool CDialog::UpdateData(bool save) {
  exchangeData(save);
  return true;
}

void CDialog::exchangeData(bool) {}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

bool CDialog::PreTranslateMessage(MSG* message) {
  // Dialog keyboard navigation for the keys and the mouse within this dialog.
  bool input = (message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST) ||
               (message->message >= WM_MOUSEFIRST && message->message <= WM_MOUSELAST);
  if (!input || m_hWnd == nullptr) return false;
  if (message->hwnd != m_hWnd && !::IsChild(m_hWnd, message->hwnd)) return false;
  return ::IsDialogMessageA(m_hWnd, message) != FALSE;
}

bool CDialog::preTranslateTree(MSG* message, HWND stop) {
  for (HWND window = message->hwnd; window != nullptr; window = ::GetParent(window)) {
    CWnd* object = CWnd::FromHandlePermanent(window);
    if (object != nullptr && object->PreTranslateMessage(message)) return true;
    if (window == stop) break;
  }
  // The main window's rules also apply to messages for windows outside it,
  // and to messages addressed to no window.
  HWND main = AfxGetMainWindow();
  CWnd* mainObject = CWnd::FromHandlePermanent(main);
  if (mainObject == nullptr) return false;
  if (message->hwnd != nullptr && ::IsWindow(message->hwnd) && ::GetAncestor(message->hwnd, GA_ROOT) == main)
    return false;
  return mainObject->PreTranslateMessage(message);
}

INT_PTR CALLBACK CDialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* dialog = nullptr;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<CDialog*>(lParam);
    if (dialog != nullptr) {
      dialog->Attach(window);
      // Our templates give no position: the dialog opens in the middle of
      // what it belongs to, not in the corner of the screen.
      dialog->CenterWindow();
    }
  } else {
    dialog = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(window));
  }
  if (dialog == nullptr) return FALSE;
  INT_PTR result = dialog->windowProc(message, wParam, lParam);
  if (message == WM_NCDESTROY) dialog->Detach();
  return result;
}

INT_PTR CDialog::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND: {
      // Notifications first go back to the control that sent them.
      HWND control = reinterpret_cast<HWND>(lParam);
      CWnd* object = control != nullptr ? CWnd::FromHandlePermanent(control) : nullptr;
      LRESULT result = 0;
      if (object != nullptr && object != this && object->OnChildNotify(message, wParam, lParam, &result))
        return TRUE;
      if (HIWORD(wParam) == BN_CLICKED || control == nullptr) {
        if (LOWORD(wParam) == IDOK) {
          OnOK();
          return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
          OnCancel();
          return TRUE;
        }
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

void CDialog::ddxText(bool save, int id, std::string& value) {
  HWND control = GetDlgItem(id);
  if (control == nullptr) return;
  if (save)
    value = windowText(control);
  else
    ::SetWindowTextA(control, value.c_str());
}

void CDialog::ddxCheck(bool save, int id, int& value) {
  HWND control = GetDlgItem(id);
  if (control == nullptr) return;
  if (save) {
    value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
  } else {
    WPARAM state = value == 1 ? BST_CHECKED : value == 2 ? BST_INDETERMINATE : BST_UNCHECKED;
    ::SendMessageA(control, BM_SETCHECK, state, 0);
  }
}

void CDialog::ddxRadio(bool save, int firstId, int& value) {
  HWND control = GetDlgItem(firstId);
  if (control == nullptr) return;
  if (save) value = -1;
  int index = 0;
  do {
    LONG_PTR style = ::GetWindowLongPtrA(control, GWL_STYLE);
    LONG_PTR kind = style & BS_TYPEMASK;
    bool radio = (::SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0 ||
                 kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON;
    if (radio) {
      if (save) {
        if (::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
      } else {
        ::SendMessageA(control, BM_SETCHECK, value == index ? BST_CHECKED : BST_UNCHECKED, 0);
      }
      ++index;
    }
    control = ::GetWindow(control, GW_HWNDNEXT);
  } while (control != nullptr && (::GetWindowLongPtrA(control, GWL_STYLE) & WS_GROUP) == 0);
}

void CDialog::ddxControl(int id, CWnd& control) {
  if (control.m_hWnd != nullptr) return;
  control.Attach(GetDlgItem(id));
}

}  // namespace brevanto
