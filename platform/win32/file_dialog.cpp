#include "platform/win32/file_dialog.h"

#include <cstring>

#include "platform/win32/win_app.h"

namespace brevanto {

CFileDialog::CFileDialog(bool openFileDialog, const char* defaultExtension, const char* fileName, DWORD flags,
                         const char* filter, HWND parent)
    : CDialog(static_cast<const char*>(nullptr), parent),
      m_openFileDialog(openFileDialog),
      m_fileName(MAX_PATH * 2, '\0') {
  m_ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  m_ofn.lpstrFile = m_fileName.data();
  m_ofn.nMaxFile = static_cast<DWORD>(m_fileName.size());
  if (fileName != nullptr) std::strncpy(m_fileName.data(), fileName, m_fileName.size() - 1);
  if (defaultExtension != nullptr) {
    m_defaultExtension = defaultExtension;
    m_ofn.lpstrDefExt = m_defaultExtension.c_str();
  }
  m_ofn.Flags = flags | OFN_ENABLEHOOK | OFN_EXPLORER;
  m_ofn.lpfnHook = hookProc;
  m_ofn.lCustData = reinterpret_cast<LPARAM>(this);
  if (filter != nullptr) {
    m_filter = filter;
    for (char& c : m_filter)
      if (c == '|') c = '\0';
    m_filter.push_back('\0');
    m_ofn.lpstrFilter = m_filter.c_str();
  }
}

void CFileDialog::setTemplate(const char* name) {
  CWinApp* app = AfxGetApp();
  m_ofn.hInstance = app != nullptr ? app->m_hInstance : ::GetModuleHandleA(nullptr);
  m_ofn.lpTemplateName = name;
  m_ofn.Flags |= OFN_ENABLETEMPLATE;
}

void CFileDialog::beginModal() {
  // Only the first string of the name buffer is an input.
  size_t first = std::strlen(m_fileName.data());
  std::fill(m_fileName.begin() + static_cast<std::ptrdiff_t>(first), m_fileName.end(), '\0');
  m_owner = parentForModal();
  m_ofn.hwndOwner = m_owner;
  m_ownerDisabled = false;
  if (m_owner != nullptr && ::IsWindowEnabled(m_owner)) {
    ::EnableWindow(m_owner, FALSE);
    m_ownerDisabled = true;
  }
  m_focusBefore = ::GetFocus();
}

void CFileDialog::endModal() {
  if (m_ownerDisabled) ::EnableWindow(m_owner, TRUE);
  m_ownerDisabled = false;
  if (m_focusBefore != nullptr && ::IsWindow(m_focusBefore)) ::SetFocus(m_focusBefore);
  Detach();
}

INT_PTR CFileDialog::DoModal() {
  beginModal();
  BOOL chosen = m_openFileDialog ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
  endModal();
  return chosen ? IDOK : IDCANCEL;
}

void CFileDialog::EndDialog(int result) {
  HWND dialog = fileDialogWindow();
  if (dialog != nullptr) ::EndDialog(dialog, result);
}

bool CFileDialog::OnNotify(WPARAM, LPARAM, LRESULT*) {
  return false;
}

INT_PTR CFileDialog::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(wParam, lParam, &result)) return FALSE;
      setResult(result);
      return TRUE;
    }
    default:
      return CDialog::windowProc(message, wParam, lParam);
  }
}

UINT_PTR CALLBACK CFileDialog::hookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CFileDialog* dialog = nullptr;
  if (message == WM_INITDIALOG) {
    auto* structure = reinterpret_cast<OPENFILENAMEA*>(lParam);
    dialog = structure != nullptr ? reinterpret_cast<CFileDialog*>(structure->lCustData) : nullptr;
    if (dialog != nullptr) dialog->Attach(window);
  } else {
    dialog = dynamic_cast<CFileDialog*>(CWnd::FromHandlePermanent(window));
  }
  if (dialog == nullptr) return 0;
  INT_PTR result = dialog->windowProc(message, wParam, lParam);
  if (message == WM_NCDESTROY) dialog->Detach();
  return static_cast<UINT_PTR>(result);
}

}  // namespace brevanto
