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
  // What lasts from one picker to the next within one run of the program,
  // kept by whoever opens the pickers. Only the first layout of a run makes
  // the places bar tall enough for all its buttons; every later layout, of
  // the same picker or of a later one, leaves the bar's height to the system.
  struct RunState {
    bool firstLayoutPending = true;
  };

  CFolderPickerDialog(const char* initialFolder, DWORD extraFlags, HWND parent, RunState& run);

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
  // The steps of OnSize, each on the system's dialog window.
  void parkSystemFields(HWND dialog);
  void placeOverOkButton(HWND dialog);
  void fitFrameToCancelButton(HWND dialog);

  CFolderHistoryCombo m_history;
  // The system's controls that the template replaces or follows, by their
  // <dlgs.h> names.
  int m_fileNameLabelId;  // stc3
  int m_fileNameBoxId;    // cmb13, or edt1 when the dialog has no cmb13
  int m_typeLabelId;      // stc2
  int m_typeBoxId;        // cmb1
  int m_placesBarId;      // ctl1
  int m_labelLeft = 0;    // set when the dialog opens
  std::string m_caption;  // empty: "Select Folder"
  DWORD m_extraFlags;
  std::string m_initialFolder;
  std::string m_chosenFolder;
  int m_structureMode = kBySystemVersion;
  DWORD m_osPlatform = 0;
  DWORD m_osMajorVersion = 0;
  RunState& m_run;  // not owned: outlives the picker

 private:
  bool m_inLayout = false;
};

}  // namespace brevanto
