#include "tool/folder_picker.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

#include "platform/win32/win_app.h"
#include "tool/resource.h"

namespace brevanto {

namespace {
// One pattern that no real file matches, so that the list shows folders only.
const char kFolderFilter[] =
    "Files (*.FolderPicker-5D1F0A3E-93B2-4C7A-B8E1-2F6C4D9A7B30)|"
    "*.FolderPicker-5D1F0A3E-93B2-4C7A-B8E1-2F6C4D9A7B30||";
const UINT_PTR kPlacesBarTimer = 1;
const int kPathChars = 518;

std::string currentDirectory() {
  std::vector<char> buffer(kPathChars, '\0');
  DWORD length = ::GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length == 0 || length >= buffer.size()) return std::string();
  return std::string(buffer.data(), length);
}

RECT clientRectOf(HWND control, HWND dialog) {
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

BOOL CALLBACK findListView(HWND window, LPARAM found) {
  char name[200] = {};
  ::GetClassNameA(window, name, 199);
  if (std::strcmp(name, "SysListView32") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}
}  // namespace

DWORD CFolderPickerDialog::s_osPlatform = 0;
DWORD CFolderPickerDialog::s_osMajorVersion = 0;
bool CFolderPickerDialog::s_firstLayoutPending = true;
HWND CFolderPickerDialog::s_foundListView = nullptr;

CFolderPickerDialog::CFolderPickerDialog(const char* initialFolder, DWORD extraFlags, HWND parent)
    : CFileDialog(true, nullptr, nullptr, extraFlags | OFN_HIDEREADONLY, kFolderFilter, parent),
      m_history(false),
      m_extraFlags(extraFlags),
      m_initialFolder(initialFolder != nullptr ? initialFolder : "") {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  if (::GetVersionExA(&version)) {
    s_osPlatform = version.dwPlatformId;
    s_osMajorVersion = version.dwMajorVersion;
  }
  setTemplate("IDD_FOLDERPICKER");
}

bool CFolderPickerDialog::useExtendedStructure() const {
  if (m_structureMode == kExtendedForm) return true;
  if (m_structureMode == kClassicForm) return false;
  return s_osPlatform == VER_PLATFORM_WIN32_NT && s_osMajorVersion >= 5;
}

INT_PTR CFolderPickerDialog::DoModal() {
  beginModal();
  std::memset(&m_systemStructure, 0, sizeof(m_systemStructure));
  std::memcpy(&m_systemStructure, &m_ofn, OPENFILENAME_SIZE_VERSION_400A);
  m_systemStructure.Flags |= OFN_ENABLESIZING;
  m_systemStructure.lpstrInitialDir = m_initialFolder.c_str();
  // The extended form makes the system show the places bar.
  m_systemStructure.lStructSize =
      useExtendedStructure() ? static_cast<DWORD>(sizeof(OPENFILENAMEA)) : OPENFILENAME_SIZE_VERSION_400A;
  BOOL result = ::GetOpenFileNameA(&m_systemStructure);
  std::memcpy(&m_ofn, &m_systemStructure, OPENFILENAME_SIZE_VERSION_400A);
  m_ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  endModal();
  return result != 0 ? result : IDCANCEL;
}

void CFolderPickerDialog::exchangeData(bool save) {
  CFileDialog::exchangeData(save);
  ddxControl(IDC_FOLDER_HISTORY, m_history);
}

bool CFolderPickerDialog::OnInitDialog() {
  CFileDialog::OnInitDialog();
  m_history.SetEntryLimit(50);
  m_history.m_dropItems = 20;
  m_history.m_checkExists = 1;
  m_history.LoadEntries("FolderHistory", "Folder", true, nullptr);
  if (m_history.GetCount() > 0) m_history.SetWindowText(m_history.GetLBText(0).c_str());

  HWND dialog = fileDialogWindow();
  if (::GetDlgItem(dialog, m_fileNameBoxId) == nullptr) m_fileNameBoxId = 1152;
  HWND label = ::GetDlgItem(dialog, m_fileNameLabelId);
  m_labelLeft = label != nullptr ? clientRectOf(label, dialog).left : 60;
  ::SetWindowTextA(dialog, m_caption.empty() ? "Select Folder" : m_caption.c_str());
  return true;
}

void CFolderPickerDialog::OnSize() {
  HWND dialog = fileDialogWindow();
  if (dialog == nullptr || m_inLayout) return;
  // Resizing the system's dialog below lays it out again, which sizes this
  // template again: that nested round has nothing left to do.
  m_inLayout = true;
  for (int id : {m_fileNameBoxId, m_fileNameLabelId, m_typeBoxId, m_typeLabelId}) {
    HWND control = ::GetDlgItem(dialog, id);
    if (control == nullptr) continue;
    ::SetWindowPos(control, nullptr, 10000, 10000, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);
    ::EnableWindow(control, FALSE);
  }

  HWND okButton = ::GetDlgItem(dialog, IDOK);
  HWND cancelButton = ::GetDlgItem(dialog, IDCANCEL);
  if (okButton != nullptr) {
    RECT ok = clientRectOf(okButton, dialog);
    ::ShowWindow(okButton, SW_HIDE);
    ::SetWindowPos(GetDlgItem(IDC_PICKER_OK), nullptr, ok.left, ok.top, ok.right - ok.left,
                   ok.bottom - ok.top, SWP_NOZORDER | SWP_NOACTIVATE);
    HWND label = GetDlgItem(IDC_FOLDER_NAME_LABEL);
    RECT labelRect = clientRectOf(label, m_hWnd);
    int labelWidth = labelRect.right - labelRect.left;
    ::SetWindowPos(label, nullptr, m_labelLeft, ok.top + 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT box = clientRectOf(m_history.m_hWnd, m_hWnd);
    int x = m_labelLeft + labelWidth + 2;
    ::SetWindowPos(m_history.m_hWnd, nullptr, x, ok.top, (ok.left - 6) - x, box.bottom - box.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }

  if (cancelButton != nullptr) {
    RECT cancelScreen{};
    ::GetWindowRect(cancelButton, &cancelScreen);
    RECT cancel = clientRectOf(cancelButton, dialog);
    HWND places = ::GetDlgItem(dialog, m_placesBarId);
    if (places != nullptr) {
      RECT bar = clientRectOf(places, dialog);
      ::SetWindowPos(places, nullptr, 0, 0, bar.right - bar.left, cancel.bottom - bar.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT frame{};
    ::GetWindowRect(dialog, &frame);
    int right = cancelScreen.right + 10;
    int bottom = cancelScreen.bottom + (cancelScreen.bottom - cancelScreen.top) / 2 + 3;
    ::SetWindowPos(dialog, nullptr, 0, 0, right - frame.left, bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  if (s_firstLayoutPending) {
    s_firstLayoutPending = false;
    ::SetFocus(m_history.m_hWnd);
    ::SetTimer(m_hWnd, kPlacesBarTimer, 20, nullptr);
  } else {
    // The file-name box has just been disabled and moved away: the history
    // box is where typing a folder goes.
    ::SetFocus(m_history.m_hWnd);
    m_history.SetEditSel(-1, 0);
  }
  m_inLayout = false;
}

void CFolderPickerDialog::OnTimer(UINT_PTR timer) {
  ::KillTimer(m_hWnd, timer);
  HWND dialog = fileDialogWindow();
  HWND places = dialog != nullptr ? ::GetDlgItem(dialog, m_placesBarId) : nullptr;
  if (places == nullptr) return;
  LRESULT buttons = ::SendMessageA(places, TB_BUTTONCOUNT, 0, 0);
  LRESULT size = ::SendMessageA(places, TB_GETBUTTONSIZE, 0, 0);
  int needed = static_cast<int>(buttons) * HIWORD(size) + 2;
  RECT bar{};
  ::GetWindowRect(places, &bar);
  int height = bar.bottom - bar.top;
  if (height < needed && needed < ::GetSystemMetrics(SM_CYSCREEN)) {
    RECT frame{};
    ::GetWindowRect(dialog, &frame);
    ::SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left,
                   frame.bottom - frame.top + needed - height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

bool CFolderPickerDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  std::memcpy(&m_ofn, &m_systemStructure, OPENFILENAME_SIZE_VERSION_400A);
  m_ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  HWND dialog = fileDialogWindow();
  if (header != nullptr && dialog != nullptr && header->code == CDN_SELCHANGE) {
    s_foundListView = nullptr;
    ::EnumChildWindows(dialog, findListView, reinterpret_cast<LPARAM>(&s_foundListView));
    if (s_foundListView != nullptr) {
      LRESULT item = ::SendMessageA(s_foundListView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
      std::string folder = currentDirectory();
      if (item != -1) {
        std::vector<char> name(kPathChars, '\0');
        LVITEMA request{};
        request.iSubItem = 0;
        request.pszText = name.data();
        request.cchTextMax = kPathChars;
        ::SendMessageA(s_foundListView, LVM_GETITEMTEXTA, static_cast<WPARAM>(item),
                       reinterpret_cast<LPARAM>(&request));
        if (folder.empty() || folder.back() != '\\') folder += '\\';
        m_chosenFolder = folder + name.data();
        m_history.SetWindowText(m_chosenFolder.c_str());
      }
    }
  } else if (header != nullptr && header->code == CDN_FOLDERCHANGE) {
    m_chosenFolder = currentDirectory();
    m_history.SetWindowText(m_chosenFolder.c_str());
  }
  return CFileDialog::OnNotify(wParam, lParam, result);
}

void CFolderPickerDialog::OnHistorySelected() {
  if (m_history.m_hWnd == nullptr || !::IsWindow(m_history.m_hWnd)) return;
  int selected = m_history.GetCurSel();
  if (selected < 0) return;
  std::string entry = m_history.GetLBText(selected);
  if (entry.empty() || !pathExists(entry)) return;
  HWND dialog = fileDialogWindow();
  if (dialog == nullptr) return;
  char saved[520] = {};
  ::GetDlgItemTextA(dialog, m_fileNameBoxId, saved, 519);
  // The system's dialog opens a folder typed as the file name on its OK.
  ::SendMessageA(dialog, CDM_SETCONTROLTEXT, static_cast<WPARAM>(m_fileNameBoxId),
                 reinterpret_cast<LPARAM>(entry.c_str()));
  ::SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  ::SendMessageA(dialog, CDM_SETCONTROLTEXT, static_cast<WPARAM>(m_fileNameBoxId),
                 reinterpret_cast<LPARAM>(saved));
}

void CFolderPickerDialog::OnOK() {
  std::string text = m_history.GetWindowText();
  if (!pathExists(text)) {
    std::string message = "The folder '" + text + "' isn't accessible.";
    AfxMessageBox(message.c_str(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  // The result is the folder just checked, whatever the notifications last
  // showed, as a full path (the current directory follows the browsing).
  std::string folder = trimmed(text);
  std::vector<char> full(kPathChars * 2, '\0');
  DWORD length = ::GetFullPathNameA(folder.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  m_chosenFolder = length > 0 && length < full.size() ? std::string(full.data(), length) : folder;
  m_history.StoreEntries(true);
  EndDialog(IDOK);
}

INT_PTR CFolderPickerDialog::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE: {
      INT_PTR handled = CFileDialog::windowProc(message, wParam, lParam);
      OnSize();
      return handled;
    }
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wParam));
      return FALSE;
    case WM_COMMAND:
      if (CFileDialog::windowProc(message, wParam, lParam)) return TRUE;
      if (LOWORD(wParam) == IDC_FOLDER_HISTORY && HIWORD(wParam) == CBN_SELENDOK) {
        OnHistorySelected();
        return TRUE;
      }
      if (LOWORD(wParam) == IDC_PICKER_OK && HIWORD(wParam) == BN_CLICKED) {
        OnOK();
        return TRUE;
      }
      return FALSE;
    default:
      return CFileDialog::windowProc(message, wParam, lParam);
  }
}

}  // namespace brevanto
