// The "Folder &name:" box of the folder picker: a drop-down combo box that
// keeps its entries, most recent first, in the program's private profile file.
#pragma once

#include <string>

#include "platform/win32/controls.h"

namespace brevanto {

class CFolderHistoryCombo : public CComboBox {
 public:
  explicit CFolderHistoryCombo(bool allowSort);

  // Reads the entries of section ("keyPrefix0000", ...) into the list and,
  // with restoreLast, the last text. Returns the last text read.
  std::string LoadEntries(const char* section, const char* keyPrefix, bool restoreLast, const char* lastKey);
  // Writes the entries back (with the edit text added first when addCurrent)
  // and deletes stale keys after them up to the first gap.
  void StoreEntries(bool addCurrent);
  // Puts the text on top, without an older duplicate in any letter case.
  // Returns its index, or -1 for a text of white space only.
  int AddToHistory(const char* text);
  void SetEntryLimit(int count);
  // Lets the drop-down show m_dropItems entries.
  void AdjustDropHeight();

  bool PreCreateWindow(CREATESTRUCTA& create) override;
  bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  std::string m_section;
  std::string m_keyPrefix;
  std::string m_lastKey;  // empty: m_keyPrefix, or "Last" when that is empty too
  int m_restoreLast = 1;
  int m_maxEntries = 100;
  int m_allowSort;
  int m_checkExists = 0;  // 1: loaded entries that name no existing path are skipped
  int m_dropItems = 10;

 private:
  std::string lastKeyName() const;
  std::string entryKey(int index) const;
};

// Removes spaces, tabs and line ends from both ends.
std::string trimmed(const std::string& text);
bool pathExists(const std::string& path);

}  // namespace brevanto
