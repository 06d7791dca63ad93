// A folder picker with the look of the system's Explorer-style open dialog:
// a filter that matches no file leaves only folders in the list, and the
// child template "IDD_FOLDERPICKER" lays a "Folder &name:" history box and
// its own OK button over the hidden file-name and file-type fields.
#pragma once

#include <string>

#include "platform/win32/file_dialog.h"
#include "tool/folder_history_combo.h"

namespace brevanto {

class CFolderPickerDialog : public CFileDialog {
 public:
  CFolderPickerDialog(const char* initialFolder, DWORD extraFlags, HWND parent);

  INT_PTR DoModal() override;
  // The folder confirmed with OK, as a full path.
  std::string GetSelectedFolder() const { return m_chosenFolder; }

  // Which structure size goes to the system.
  enum StructureMode { kBySystemVersion = 0, kClassicForm = 1, kExtendedForm = 2 };

 protected:
  bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void exchangeData(bool save) override;
  bool OnInitDialog() override;
  void OnOK() override;
  INT_PTR windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  void OnSize();
  void OnHistorySelected();
  void OnTimer(UINT_PTR timer);

  bool useExtendedStructure() const;

  CFolderHistoryCombo m_history;
  // The structure handed to the system, in its full size; its first
  // OPENFILENAME_SIZE_VERSION_400A bytes are the classic form the base keeps.
  OPENFILENAMEA m_systemStructure{};
  int m_fileNameLabelId = 1090;  // stc3
  int m_fileNameBoxId = 1148;    // cmb13; edt1 (1152) when the dialog has no cmb13
  int m_typeLabelId = 1089;      // stc2
  int m_typeBoxId = 1136;        // cmb1
  int m_placesBarId = 1184;      // ctl1
  int m_labelLeft = 60;
  std::string m_caption;  // empty: "Select Folder"
  DWORD m_extraFlags;
  std::string m_initialFolder;
  std::string m_chosenFolder;
  int m_structureMode = kBySystemVersion;

  // Shared by every picker of the process.
  static DWORD s_osPlatform;
  static DWORD s_osMajorVersion;
  static bool s_firstLayoutPending;
  static HWND s_foundListView;  // not owned

 private:
  bool m_inLayout = false;
};

}  // namespace brevanto
