#include "platform/win32/win_app.h"

#include <vector>

namespace brevanto {

namespace {
CWinApp* g_app = nullptr;  // not owned: a global object of the program
}  // namespace

CWinApp::CWinApp() {
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

int CWinApp::Run(HINSTANCE instance) {
  initModule(instance);
  if (!InitInstance()) return ExitInstance();
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return ExitInstance();
}

void CWinApp::initModule(HINSTANCE instance) {
  m_hInstance = instance;
  std::vector<char> path(MAX_PATH * 2, '\0');
  DWORD length = ::GetModuleFileNameA(instance, path.data(), static_cast<DWORD>(path.size()));
  std::string full(path.data(), length < path.size() ? length : 0);
  size_t slash = full.find_last_of("\\/");
  std::string base = slash == std::string::npos ? full : full.substr(slash + 1);
  size_t dot = base.find_last_of('.');
  m_appName = dot == std::string::npos ? base : base.substr(0, dot);
  m_profileName = m_appName + ".INI";
}

std::string CWinApp::GetProfileString(const char* section, const char* entry, const char* defaultText) const {
  // The call gives no way to tell a truncated text from a full one but its
  // length: grow until it fits.
  std::vector<char> buffer(520, '\0');
  for (;;) {
    DWORD got = ::GetPrivateProfileStringA(section, entry, defaultText, buffer.data(),
                                           static_cast<DWORD>(buffer.size()), m_profileName.c_str());
    if (got + 2 < buffer.size() || buffer.size() >= 65536) return std::string(buffer.data(), got);
    buffer.assign(buffer.size() * 4, '\0');
  }
}

bool CWinApp::WriteProfileString(const char* section, const char* entry, const char* text) const {
  return ::WritePrivateProfileStringA(section, entry, text, m_profileName.c_str()) != FALSE;
}

CWinApp* AfxGetApp() {
  return g_app;
}

HWND AfxGetMainWindow() {
  CWinApp* app = AfxGetApp();
  return app != nullptr && app->m_pMainWnd != nullptr ? app->m_pMainWnd->m_hWnd : nullptr;
}

int AfxMessageBox(const char* text, UINT type) {
  HWND owner = ::GetActiveWindow();
  if (owner == nullptr) owner = AfxGetMainWindow();
  CWinApp* app = AfxGetApp();
  return ::MessageBoxA(owner, text, app != nullptr ? app->appName().c_str() : "", type);
}

}  // namespace brevanto
