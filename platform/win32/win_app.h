// The application object of a dialog program: one global instance, started by
// the program's WinMain, with the profile functions on the program's private
// profile file.
#pragma once

#include <string>

#include "platform/win32/window.h"

namespace brevanto {

class CWinApp {
 public:
  CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  virtual ~CWinApp();

  // Runs the program: InitInstance, and a message loop only when it returns
  // true. Returns the process exit code.
  int Run(HINSTANCE instance);
  // Takes the module and the names derived from it; Run starts with this.
  void initModule(HINSTANCE instance);
  virtual bool InitInstance() { return false; }
  virtual int ExitInstance() { return 0; }

  // The private profile file, named after the executable with ".INI"; a bare
  // name, so that the system keeps it in the Windows directory.
  const std::string& profileName() const { return m_profileName; }
  std::string GetProfileString(const char* section, const char* entry, const char* defaultText = "") const;
  // A null text deletes the entry.
  bool WriteProfileString(const char* section, const char* entry, const char* text) const;
  // The executable's base name without extension, the caption of the program's messages.
  const std::string& appName() const { return m_appName; }

  HINSTANCE m_hInstance = nullptr;  // not owned: the module handle
  CWnd* m_pMainWnd = nullptr;       // not owned: lives on InitInstance's stack while it runs

 private:
  std::string m_profileName;
  std::string m_appName;
};

// The one application object of the process, or null before it is constructed.
CWinApp* AfxGetApp();
// The owner for modal windows that are given none: the main window, if any.
HWND AfxGetMainWindow();
// A message box captioned with the program's name, owned by the active
// window of the program (or its main window).
int AfxMessageBox(const char* text, UINT type);

}  // namespace brevanto
