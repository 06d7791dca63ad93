// Modal dialogs without magic: a static procedure binds the object at
// WM_INITDIALOG and forwards to windowProc, a member procedure that only
// dispatches to onXxx handlers; data moves between members and controls in
// one exchangeData(save).
#pragma once

#include <string>

#include "platform/win32/window.h"

namespace brevanto {

class CDialog : public CWnd {
 public:
  // A template identified by number or by name; a null parent means the
  // application's main window.
  explicit CDialog(UINT templateId, HWND parent = nullptr);
  explicit CDialog(const char* templateName, HWND parent = nullptr);

  // Runs the dialog in a modal loop of our own, so that PreTranslateMessage
  // sees every message first. Returns the EndDialog result, or -1 when the
  // dialog could not be created.
  virtual INT_PTR DoModal();
  virtual void EndDialog(int result);

  // Exchanges the data, members -> controls (false) or controls -> members (true).
  bool UpdateData(bool save);

  bool PreTranslateMessage(MSG* message) override;

 protected:
  virtual void exchangeData(bool save);
  virtual bool OnInitDialog();  // exchanges the data into the controls
  virtual void OnOK();          // exchanges the data back and ends with IDOK
  virtual void OnCancel();      // ends with IDCANCEL

  // The member procedure: a switch calling onXxx handlers. Returns what the
  // dialog procedure returns; set the message result with setResult.
  virtual INT_PTR windowProc(UINT message, WPARAM wParam, LPARAM lParam);
  void setResult(LRESULT result) { ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result); }
  HWND parentForModal() const;
  // Centres the dialog on its owner, or on the work area when it has none
  // (or the owner is hidden or minimised).
  void CenterWindow();

  // Data exchange helpers, one call per control.
  void ddxText(bool save, int id, std::string& value);
  void ddxCheck(bool save, int id, int& value);
  // The radio buttons of the group that starts at firstId, up to the next
  // control with WS_GROUP; -1 when none is checked.
  void ddxRadio(bool save, int firstId, int& value);
  // Binds the control to its object the first time.
  void ddxControl(int id, CWnd& control);

  static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Offers a message to the objects of its window and of that window's
  // parents up to stop, then to the main window; true when one handled it.
  static bool preTranslateTree(MSG* message, HWND stop);

  const char* m_template;  // not owned: a resource name or an integer resource
  HWND m_parent;           // not owned
  bool m_inModalLoop = false;
  int m_modalResult = -1;
};

}  // namespace brevanto
