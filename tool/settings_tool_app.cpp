#include "tool/settings_tool_app.h"

#include <commctrl.h>

#include "tool/options_dialog.h"

namespace brevanto {

bool CSettingsToolApp::InitInstance() {
  // The common controls (tool tips, the file dialog's list) must be
  // registered before the first dialog; the three-dimensional look is the
  // system's own here.
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&classes);

  COptionsDialog dialog;
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  // No message loop: the program ends with its dialog.
  return false;
}

}  // namespace brevanto

namespace {
brevanto::CSettingsToolApp theApp;
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return theApp.Run(instance);
}
