// Thin objects for the standard controls the dialogs use.
#pragma once

#include <string>

#include "platform/win32/window.h"

namespace brevanto {

class CEdit : public CWnd {};

class CComboBox : public CWnd {
 public:
  // Creates the box as a child of parent; PreCreateWindow may change the style first.
  bool Create(DWORD style, const RECT& rect, HWND parent, int id);
  virtual bool PreCreateWindow(CREATESTRUCTA& create);

  int GetCount() const { return static_cast<int>(send(CB_GETCOUNT, 0, 0)); }
  int GetCurSel() const { return static_cast<int>(send(CB_GETCURSEL, 0, 0)); }
  int SetCurSel(int index) { return static_cast<int>(send(CB_SETCURSEL, static_cast<WPARAM>(index), 0)); }
  int AddString(const char* text) { return static_cast<int>(sendText(CB_ADDSTRING, 0, text)); }
  int InsertString(int index, const char* text) {
    return static_cast<int>(sendText(CB_INSERTSTRING, static_cast<WPARAM>(index), text));
  }
  int DeleteString(int index) {
    return static_cast<int>(send(CB_DELETESTRING, static_cast<WPARAM>(index), 0));
  }
  // Exact match ignoring case, searching after start and wrapping around; CB_ERR when none.
  int FindStringExact(int start, const char* text) const {
    return static_cast<int>(sendText(CB_FINDSTRINGEXACT, static_cast<WPARAM>(start), text));
  }
  std::string GetLBText(int index) const;
  int GetItemHeight(int index) const {
    return static_cast<int>(send(CB_GETITEMHEIGHT, static_cast<WPARAM>(index), 0));
  }
  bool SetEditSel(int start, int end) {
    return send(CB_SETEDITSEL, 0,
                static_cast<LPARAM>(MAKELONG(static_cast<WORD>(start), static_cast<WORD>(end)))) != 0;
  }
  // True when the box has an edit part (a drop-down box, not a drop list).
  bool hasEditPart() const;

 protected:
  LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  LRESULT sendText(UINT message, WPARAM wParam, const char* text) const {
    return ::SendMessageA(m_hWnd, message, wParam, reinterpret_cast<LPARAM>(text));
  }
};

class CToolTipCtrl : public CWnd {
 public:
  ~CToolTipCtrl() override;
  bool Create(HWND parent, DWORD style);
  void SetMaxTipWidth(int width);
  // A tool that is a window of the parent, with its text (copied by the control).
  bool AddTool(HWND tool, const char* text);
  // Lets the tips see the mouse messages of the tools.
  void RelayEvent(MSG* message);

 private:
  HWND m_parent = nullptr;  // not owned
};

}  // namespace brevanto
