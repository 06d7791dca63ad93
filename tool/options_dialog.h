// The settings program's dialogs: the options dialog, its folder edit and the
// About box.
#pragma once

#include <string>

#include "common/settings/extraction_settings.h"
#include "platform/win32/controls.h"
#include "platform/win32/dialog.h"
#include "tool/folder_picker.h"

namespace brevanto {

// The edit that shows the fixed folder: the caret moves, nothing is typed.
class CFolderPathEdit : public CEdit {
 public:
  bool PreTranslateMessage(MSG* message) override;
};

class CAboutDialog : public CDialog {
 public:
  CAboutDialog();
};

class COptionsDialog : public CDialog {
 public:
  explicit COptionsDialog(HWND parent = nullptr);

 protected:
  void exchangeData(bool save) override;
  bool PreTranslateMessage(MSG* message) override;
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  INT_PTR windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // Message handlers.
  bool OnSysCommand(WPARAM command);  // false: the default handling
  bool OnPaint();
  HICON OnQueryDragIcon() const { return m_icon; }
  void OnFolderOptionClicked();
  void OnSearchFolder();

  void enableFolderControls();

  CFolderPathEdit m_folderPathEdit;
  // The index of the checked option of the group that starts at "&Fixed
  // folder", which is the FolderSelection code it stands for; kNoFolder when
  // neither is checked.
  int m_folderOption = ExtractionSettings::kNoFolder;
  std::string m_folder;
  int m_openAfterProcess = 0;
  HICON m_icon;  // not owned: a shared resource icon
  CToolTipCtrl m_toolTip;
  // Shared by the folder pickers this dialog opens: one dialog per run.
  CFolderPickerDialog::RunState m_pickerRun;
};

}  // namespace brevanto
