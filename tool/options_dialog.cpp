#include "tool/options_dialog.h"

#include <commctrl.h>

#include "common/settings/extraction_settings.h"
#include "platform/win32/win_app.h"
#include "tool/resource.h"

namespace brevanto {

bool CFolderPathEdit::PreTranslateMessage(MSG* message) {
  // Keys held with Alt arrive as system keys, so the mnemonics still work.
  if (message->message == WM_KEYDOWN && message->wParam != VK_LEFT && message->wParam != VK_RIGHT)
    return true;
  return CEdit::PreTranslateMessage(message);
}

CAboutDialog::CAboutDialog() : CDialog(IDD_ABOUTBOX) {}

COptionsDialog::COptionsDialog(HWND parent) : CDialog(IDD_OPTIONS, parent) {
  CWinApp* app = AfxGetApp();
  HINSTANCE instance = app != nullptr ? app->m_hInstance : ::GetModuleHandleA(nullptr);
  m_icon = ::LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
}

void COptionsDialog::exchangeData(bool save) {
  CDialog::exchangeData(save);
  ddxControl(IDC_FOLDER_PATH, m_folderPathEdit);
  ddxRadio(save, IDC_FIXED_FOLDER_OPTION, m_folderOption);
  ddxText(save, IDC_FOLDER_PATH, m_folder);
  ddxCheck(save, IDC_OPEN_AFTER_PROCESS, m_openAfterProcess);
}

bool COptionsDialog::PreTranslateMessage(MSG* message) {
  // Neither Enter nor Escape closes the dialog: only the buttons do.
  if (message->message == WM_KEYDOWN && (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE))
    return true;
  if (message->hwnd == nullptr || !::IsWindow(message->hwnd)) return true;
  m_toolTip.RelayEvent(message);
  if (!::IsWindow(message->hwnd)) return true;
  return CDialog::PreTranslateMessage(message);
}

bool COptionsDialog::OnInitDialog() {
  CDialog::OnInitDialog();

  HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
  char about[256] = {};
  CWinApp* app = AfxGetApp();
  HINSTANCE instance = app != nullptr ? app->m_hInstance : ::GetModuleHandleA(nullptr);
  if (systemMenu != nullptr && ::LoadStringA(instance, IDS_ABOUTBOX, about, sizeof about) > 0) {
    ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
  }

  ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
  ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));

  if (m_toolTip.Create(m_hWnd, TTS_ALWAYSTIP)) {
    // Long tips wrap instead of running off the screen.
    m_toolTip.SetMaxTipWidth(32767);
    m_toolTip.AddTool(GetDlgItem(IDC_SEARCH_FOLDER), "Select folder");
    m_toolTip.AddTool(GetDlgItem(IDOK), "Save and exit");
    m_toolTip.AddTool(GetDlgItem(IDCANCEL), "Exit without save");
  }

  const ExtractionSettings::ToolOptions stored = ExtractionSettings().loadToolOptions();
  m_folderOption = stored.folderSelection;
  m_folder = stored.fixedFolder;
  m_openAfterProcess = stored.dispAfterProcess ? 1 : 0;
  UpdateData(false);
  enableFolderControls();
  return true;
}

void COptionsDialog::enableFolderControls() {
  bool enable = m_folderOption != ExtractionSettings::kLastFolder;
  ::EnableWindow(GetDlgItem(IDC_SEARCH_FOLDER), enable);
  ::EnableWindow(GetDlgItem(IDC_FOLDER_PATH), enable);
}

void COptionsDialog::OnFolderOptionClicked() {
  UpdateData(true);
  enableFolderControls();
}

void COptionsDialog::OnSearchFolder() {
  // Take the controls first, so that refreshing them after the pick keeps
  // what the user changed since the last option click.
  UpdateData(true);
  CFolderPickerDialog picker(m_folder.c_str(), 0, nullptr, m_pickerRun);
  if (picker.DoModal() != IDOK) return;
  m_folder = picker.GetSelectedFolder();
  UpdateData(false);
}

void COptionsDialog::OnOK() {
  UpdateData(true);
  if (m_folderOption == ExtractionSettings::kFixedFolder && m_folder.empty()) {
    AfxMessageBox("Fixed folder is empty! Please reselect it...", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  const ExtractionSettings::ToolOptions edited = {m_folderOption, m_folder, m_openAfterProcess != 0};
  if (!ExtractionSettings().saveToolOptions(edited)) {
    // Closing now would look like a save: say so, and let the user retry or leave with Exit.
    AfxMessageBox("The settings could not be saved! You may not have the rights to change them.",
                  MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  CDialog::OnOK();
}

void COptionsDialog::OnCancel() {
  CDialog::OnCancel();
}

bool COptionsDialog::OnSysCommand(WPARAM command) {
  // The system keeps the low four bits of a command for itself.
  if ((command & 0xFFF0) != IDM_ABOUTBOX) return false;
  CAboutDialog about;
  about.DoModal();
  return true;
}

bool COptionsDialog::OnPaint() {
  if (!::IsIconic(m_hWnd)) return false;
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(m_hWnd, &paint);
  ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, m_icon);
  ::EndPaint(m_hWnd, &paint);
  return true;
}

INT_PTR COptionsDialog::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SYSCOMMAND:
      // Not handled: the default handling.
      return OnSysCommand(wParam) ? TRUE : FALSE;
    case WM_PAINT:
      return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
          case IDC_FIXED_FOLDER_OPTION:
          case IDC_RANDOM_FOLDER_OPTION:
            OnFolderOptionClicked();
            return TRUE;
          case IDC_SEARCH_FOLDER:
            OnSearchFolder();
            return TRUE;
          default:
            break;
        }
      }
      return CDialog::windowProc(message, wParam, lParam);
    default:
      return CDialog::windowProc(message, wParam, lParam);
  }
}

}  // namespace brevanto
