// The system's Explorer-style open and save dialogs with a hook and a child
// template. The object is bound to the child template's window; the system's
// dialog is its parent.
#pragma once

#include <string>
#include <vector>

// The common dialogs header needs windows.h before it.
// clang-format off
#include "platform/win32/dialog.h"
#include <commdlg.h>
// clang-format on

namespace brevanto {

class CFileDialog : public CDialog {
 public:
  // The filter is "Name|pattern|...||", as the framework writes it.
  CFileDialog(bool openFileDialog, const char* defaultExtension, const char* fileName, DWORD flags,
              const char* filter, HWND parent);

  INT_PTR DoModal() override;
  // Ends the system's dialog, which makes its call return the result.
  void EndDialog(int result) override;

  // The system's dialog window, or null while none is shown.
  HWND fileDialogWindow() const { return m_hWnd != nullptr ? ::GetParent(m_hWnd) : nullptr; }
  std::string GetPathName() const { return m_fileName.data(); }

 protected:
  // The child template inside the system's dialog, by resource name.
  void setTemplate(const char* name);
  virtual bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  INT_PTR windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // The steps around the system call that every DoModal shares: the owner is
  // disabled for the run and the focus goes back where it was afterwards.
  void beginModal();
  void endModal();

  static UINT_PTR CALLBACK hookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // The one open-file structure of the dialog, the very one handed to the
  // system, which fills it in while the dialog runs. It has the full size;
  // lStructSize says how much of it the system reads, the classic form
  // (OPENFILENAME_SIZE_VERSION_400A) unless a derived dialog asks for more.
  // The fields past the classic form stay zero.
  OPENFILENAMEA m_ofn{};
  bool m_openFileDialog;

 private:
  std::string m_filter;  // NUL-separated, as the system reads it
  std::string m_defaultExtension;
  std::vector<char> m_fileName;  // the system writes the chosen name here
  HWND m_owner = nullptr;        // not owned
  bool m_ownerDisabled = false;
  HWND m_focusBefore = nullptr;  // not owned
};

}  // namespace brevanto
