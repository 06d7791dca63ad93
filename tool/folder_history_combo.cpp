#include "tool/folder_history_combo.h"

#include <cstdio>

#include "platform/win32/win_app.h"

namespace brevanto {

namespace {
std::string profileText(const std::string& section, const std::string& key) {
  CWinApp* app = AfxGetApp();
  return app != nullptr ? app->GetProfileString(section.c_str(), key.c_str(), "") : std::string();
}

void writeProfileText(const std::string& section, const std::string& key, const char* text) {
  CWinApp* app = AfxGetApp();
  if (app != nullptr) app->WriteProfileString(section.c_str(), key.c_str(), text);
}
}  // namespace

std::string trimmed(const std::string& text) {
  const char* space = " \t\r\n";
  size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(space) - first + 1);
}

bool pathExists(const std::string& path) {
  return !path.empty() && ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

CFolderHistoryCombo::CFolderHistoryCombo(bool allowSort) : m_allowSort(allowSort ? 1 : 0) {}

std::string CFolderHistoryCombo::lastKeyName() const {
  if (!m_lastKey.empty()) return m_lastKey;
  if (!m_keyPrefix.empty()) return m_keyPrefix;
  return "Last";
}

std::string CFolderHistoryCombo::entryKey(int index) const {
  char number[16];
  std::snprintf(number, sizeof number, "%04d", index);
  return m_keyPrefix + number;
}

bool CFolderHistoryCombo::PreCreateWindow(CREATESTRUCTA& create) {
  if (m_allowSort == 0) create.style &= ~static_cast<LONG>(CBS_SORT);
  return CComboBox::PreCreateWindow(create);
}

bool CFolderHistoryCombo::OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT*) {
  if (message == WM_COMMAND && HIWORD(wParam) == CBN_DROPDOWN) AdjustDropHeight();
  // The dialog still sees every notification.
  return false;
}

void CFolderHistoryCombo::AdjustDropHeight() {
  RECT rect;
  if (!::GetWindowRect(m_hWnd, &rect)) return;
  int height = rect.bottom - rect.top + GetItemHeight(0) * m_dropItems + 2 * ::GetSystemMetrics(SM_CXBORDER);
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, rect.right - rect.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CFolderHistoryCombo::SetEntryLimit(int count) {
  m_maxEntries = count;
  while (GetCount() > count && count >= 0) {
    if (DeleteString(count) == CB_ERR) break;
  }
}

int CFolderHistoryCombo::AddToHistory(const char* text) {
  if (m_section.empty() || m_keyPrefix.empty()) return AddString(text);
  std::string entry = trimmed(text != nullptr ? text : "");
  if (entry.empty()) return -1;
  InsertString(0, entry.c_str());
  int older = FindStringExact(0, entry.c_str());
  if (older != CB_ERR && older != 0) DeleteString(older);
  while (GetCount() > m_maxEntries) {
    if (DeleteString(m_maxEntries) == CB_ERR) break;
  }
  SetCurSel(0);
  return 0;
}

std::string CFolderHistoryCombo::LoadEntries(const char* section, const char* keyPrefix, bool restoreLast,
                                             const char* lastKey) {
  if (section == nullptr || keyPrefix == nullptr || *section == '\0') return std::string();
  m_section = section;
  m_keyPrefix = keyPrefix;
  m_lastKey = lastKey != nullptr ? lastKey : "";
  m_restoreLast = restoreLast ? 1 : 0;

  std::string lastRead;
  for (int i = 0;; ++i) {
    lastRead = profileText(m_section, entryKey(i));
    if (lastRead.empty()) break;
    if (m_checkExists == 0 || pathExists(lastRead)) AddString(lastRead.c_str());
    if (i + 1 >= m_maxEntries) break;
  }

  if (m_restoreLast != 0) {
    lastRead = profileText(m_section, lastKeyName());
    if (!lastRead.empty()) {
      int match = FindStringExact(-1, lastRead.c_str());
      if (match != CB_ERR)
        SetCurSel(match);
      else if (hasEditPart())
        SetWindowText(lastRead.c_str());
    }
  }
  return lastRead;
}

void CFolderHistoryCombo::StoreEntries(bool addCurrent) {
  if (m_section.empty()) return;
  if (addCurrent) {
    std::string current = trimmed(GetWindowText());
    if (!current.empty()) AddToHistory(current.c_str());
  }
  int count = GetCount();
  int n = count < m_maxEntries + 1 ? count : m_maxEntries + 1;
  for (int i = 0; i < n; ++i) writeProfileText(m_section, entryKey(i), GetLBText(i).c_str());
  // Entries are numbered without gaps, so the first empty key ends the stale ones.
  for (int i = n; i < 1000; ++i) {
    std::string key = entryKey(i);
    if (profileText(m_section, key).empty()) break;
    writeProfileText(m_section, key, nullptr);
  }
  if (m_restoreLast != 0) writeProfileText(m_section, lastKeyName(), GetWindowText().c_str());
}

}  // namespace brevanto
