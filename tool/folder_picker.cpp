#include "tool/folder_picker.h"

#include <windows.h>
// The system headers that follow need windows.h before them.
#include <commctrl.h>
#include <dlgs.h>

#include <vector>

#include "platform/win32/win_app.h"
#include "tool/resource.h"

namespace brevanto {

namespace {
// One pattern that no real file matches, so that the list shows folders only.
const char kFolderFilter[] =
    "Files (*.FolderPicker-5D1F0A3E-93B2-4C7A-B8E1-2F6C4D9A7B30)|"
    "*.FolderPicker-5D1F0A3E-93B2-4C7A-B8E1-2F6C4D9A7B30||";
// The longest current directory and list item name taken, in characters.
constexpr int kPathChars = 518;
// The history keeps the folders chosen last, and its list drops down far
// enough to show this many of them.
constexpr int kHistoryEntries = 50;
constexpr int kHistoryDropItems = 20;

// The system's file-name and file-type fields are moved out of sight, 1 by
// 1 pixel at a place no screen reaches, and disabled, rather than
// destroyed: choosing a history entry opens its folder through the
// file-name field.
constexpr int kParkedPosition = 10000;
constexpr int kParkedSize = 1;

// The history row sits where the system's file-name row was: the label two
// pixels lower than the OK button's top, level with the text in the box; the
// box two pixels right of the label; and six pixels between the box and OK.
constexpr int kLabelDrop = 2;
constexpr int kLabelToBoxGap = 2;
constexpr int kBoxToOkGap = 6;
// Where the label starts when the system's dialog has no file-name label to
// line it up with.
constexpr int kDefaultLabelLeft = 60;

// The template's own band, which the system adds below its controls, is left
// empty once the history row has moved up into the file-name row: the frame
// is cut back to end ten pixels right of Cancel, and below Cancel by half a
// button's height plus three.
constexpr int kFrameRightMargin = 10;
constexpr int kFrameBottomExtra = 3;

// The places bar is measured after the system's dialog has finished its own
// first layout, which goes on after the template's first WM_SIZE: a timer
// message comes only once the messages queued by then have been handled,
// and one this short is not seen.
constexpr UINT_PTR kPlacesBarTimer = 1;
constexpr UINT kPlacesBarDelayMs = 20;
// A places bar is as tall as its buttons stacked, plus its border.
constexpr int kPlacesBarBorder = 2;

constexpr UINT kQuietMove = SWP_NOZORDER | SWP_NOACTIVATE;

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

int width(const RECT& rect) {
  return rect.right - rect.left;
}
int height(const RECT& rect) {
  return rect.bottom - rect.top;
}

BOOL CALLBACK findListView(HWND window, LPARAM found) {
  char name[200] = {};
  ::GetClassNameA(window, name, sizeof name);
  if (std::string(name) != "SysListView32") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The folder list of the system's dialog, or null; each folder browsed gets
// a list of its own, so it is looked up afresh every time.
HWND folderList(HWND dialog) {
  HWND found = nullptr;
  ::EnumChildWindows(dialog, findListView, reinterpret_cast<LPARAM>(&found));
  return found;
}
}  // namespace

CFolderPickerDialog::CFolderPickerDialog(const char* initialFolder, DWORD extraFlags, HWND parent,
                                         RunState& run)
    : CFileDialog(true, nullptr, nullptr, extraFlags | OFN_HIDEREADONLY, kFolderFilter, parent),
      m_history(false),
      m_fileNameLabelId(stc3),
      m_fileNameBoxId(cmb13),
      m_typeLabelId(stc2),
      m_typeBoxId(cmb1),
      m_placesBarId(ctl1),
      m_extraFlags(extraFlags),
      m_initialFolder(initialFolder != nullptr ? initialFolder : ""),
      m_run(run) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  if (::GetVersionExA(&version)) {
    m_osPlatform = version.dwPlatformId;
    m_osMajorVersion = version.dwMajorVersion;
  }
  setTemplate("IDD_FOLDERPICKER");
}

bool CFolderPickerDialog::useExtendedStructure() const {
  if (m_structureMode == kExtendedForm) return true;
  if (m_structureMode == kClassicForm) return false;
  return m_osPlatform == VER_PLATFORM_WIN32_NT && m_osMajorVersion >= 5;
}

INT_PTR CFolderPickerDialog::DoModal() {
  beginModal();
  m_ofn.Flags |= OFN_ENABLESIZING;
  m_ofn.lpstrInitialDir = m_initialFolder.c_str();
  // The extended form makes the system show the places bar.
  m_ofn.lStructSize =
      useExtendedStructure() ? static_cast<DWORD>(sizeof(OPENFILENAMEA)) : OPENFILENAME_SIZE_VERSION_400A;
  BOOL result = ::GetOpenFileNameA(&m_ofn);
  endModal();
  return result != 0 ? result : IDCANCEL;
}

void CFolderPickerDialog::exchangeData(bool save) {
  CFileDialog::exchangeData(save);
  ddxControl(IDC_FOLDER_HISTORY, m_history);
}

bool CFolderPickerDialog::OnInitDialog() {
  CFileDialog::OnInitDialog();
  m_history.SetEntryLimit(kHistoryEntries);
  m_history.m_dropItems = kHistoryDropItems;
  m_history.m_checkExists = 1;
  m_history.LoadEntries("FolderHistory", "Folder", true, nullptr);
  if (m_history.GetCount() > 0) m_history.SetWindowText(m_history.GetLBText(0).c_str());

  HWND dialog = fileDialogWindow();
  if (::GetDlgItem(dialog, m_fileNameBoxId) == nullptr) m_fileNameBoxId = edt1;
  HWND label = ::GetDlgItem(dialog, m_fileNameLabelId);
  m_labelLeft = label != nullptr ? clientRectOf(label, dialog).left : kDefaultLabelLeft;
  ::SetWindowTextA(dialog, m_caption.empty() ? "Select Folder" : m_caption.c_str());
  return true;
}

void CFolderPickerDialog::parkSystemFields(HWND dialog) {
  for (int id : {m_fileNameBoxId, m_fileNameLabelId, m_typeBoxId, m_typeLabelId}) {
    HWND control = ::GetDlgItem(dialog, id);
    if (control == nullptr) continue;
    ::SetWindowPos(control, nullptr, kParkedPosition, kParkedPosition, kParkedSize, kParkedSize, kQuietMove);
    ::EnableWindow(control, FALSE);
  }
}

// The template's controls take the system's coordinates unchanged: the
// template lies at the system dialog's client origin.
void CFolderPickerDialog::placeOverOkButton(HWND dialog) {
  HWND okButton = ::GetDlgItem(dialog, IDOK);
  if (okButton == nullptr) return;
  const RECT ok = clientRectOf(okButton, dialog);
  ::ShowWindow(okButton, SW_HIDE);
  ::SetWindowPos(GetDlgItem(IDC_PICKER_OK), nullptr, ok.left, ok.top, width(ok), height(ok), kQuietMove);

  HWND label = GetDlgItem(IDC_FOLDER_NAME_LABEL);
  const int labelWidth = width(clientRectOf(label, m_hWnd));
  ::SetWindowPos(label, nullptr, m_labelLeft, ok.top + kLabelDrop, 0, 0, SWP_NOSIZE | kQuietMove);
  const int boxLeft = m_labelLeft + labelWidth + kLabelToBoxGap;
  const int boxHeight = height(clientRectOf(m_history.m_hWnd, m_hWnd));
  ::SetWindowPos(m_history.m_hWnd, nullptr, boxLeft, ok.top, (ok.left - kBoxToOkGap) - boxLeft, boxHeight,
                 kQuietMove);
}

void CFolderPickerDialog::fitFrameToCancelButton(HWND dialog) {
  HWND cancelButton = ::GetDlgItem(dialog, IDCANCEL);
  if (cancelButton == nullptr) return;
  RECT cancelOnScreen{};
  ::GetWindowRect(cancelButton, &cancelOnScreen);
  const RECT cancel = clientRectOf(cancelButton, dialog);
  // The places bar reaches down to the row of buttons.
  if (HWND places = ::GetDlgItem(dialog, m_placesBarId)) {
    const RECT bar = clientRectOf(places, dialog);
    ::SetWindowPos(places, nullptr, 0, 0, width(bar), cancel.bottom - bar.top, SWP_NOMOVE | kQuietMove);
  }
  RECT frame{};
  ::GetWindowRect(dialog, &frame);
  const int right = cancelOnScreen.right + kFrameRightMargin;
  const int bottom = cancelOnScreen.bottom + height(cancelOnScreen) / 2 + kFrameBottomExtra;
  ::SetWindowPos(dialog, nullptr, 0, 0, right - frame.left, bottom - frame.top, SWP_NOMOVE | kQuietMove);
}

void CFolderPickerDialog::OnSize() {
  HWND dialog = fileDialogWindow();
  if (dialog == nullptr || m_inLayout) return;
  // Resizing the system's dialog below lays it out again, which sizes this
  // template again: that nested round has nothing left to do.
  m_inLayout = true;
  parkSystemFields(dialog);
  placeOverOkButton(dialog);
  fitFrameToCancelButton(dialog);

  // The file-name box has just been disabled and moved away: the history box
  // is where typing a folder goes, on every layout.
  ::SetFocus(m_history.m_hWnd);
  if (m_run.firstLayoutPending) {
    m_run.firstLayoutPending = false;
    ::SetTimer(m_hWnd, kPlacesBarTimer, kPlacesBarDelayMs, nullptr);
  } else {
    // Focus selects the box's whole text; a start of -1 takes the selection
    // away, so that the next key typed does not replace the folder shown.
    m_history.SetEditSel(-1, 0);
  }
  m_inLayout = false;
}

void CFolderPickerDialog::OnTimer(UINT_PTR timer) {
  ::KillTimer(m_hWnd, timer);
  HWND dialog = fileDialogWindow();
  HWND places = dialog != nullptr ? ::GetDlgItem(dialog, m_placesBarId) : nullptr;
  if (places == nullptr) return;
  const LRESULT buttons = ::SendMessageA(places, TB_BUTTONCOUNT, 0, 0);
  const LRESULT buttonSize = ::SendMessageA(places, TB_GETBUTTONSIZE, 0, 0);
  const int needed = static_cast<int>(buttons) * HIWORD(buttonSize) + kPlacesBarBorder;
  RECT bar{};
  ::GetWindowRect(places, &bar);
  const int shortfall = needed - height(bar);
  if (shortfall > 0 && needed < ::GetSystemMetrics(SM_CYSCREEN)) {
    RECT frame{};
    ::GetWindowRect(dialog, &frame);
    ::SetWindowPos(dialog, nullptr, 0, 0, width(frame), height(frame) + shortfall, SWP_NOMOVE | kQuietMove);
  }
}

// The base keeps the one open-file structure, the one the system was handed
// and fills in while the dialog runs: nothing here needs a copy of it.
bool CFolderPickerDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  HWND dialog = fileDialogWindow();
  if (header != nullptr && dialog != nullptr && header->code == CDN_SELCHANGE) {
    HWND list = folderList(dialog);
    if (list != nullptr) {
      LRESULT item = ::SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
      std::string folder = currentDirectory();
      if (item != -1) {
        std::vector<char> name(kPathChars, '\0');
        LVITEMA request{};
        request.iSubItem = 0;
        request.pszText = name.data();
        request.cchTextMax = kPathChars;
        ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&request));
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
  char saved[kPathChars + 2] = {};
  ::GetDlgItemTextA(dialog, m_fileNameBoxId, saved, sizeof saved);
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
  // A folder typed relative to the browsed one can make a longer full path.
  std::vector<char> full(size_t{2} * kPathChars, '\0');
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
