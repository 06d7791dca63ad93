// Drives Kelvata.exe from the test's own process, as a person would: windows
// found by process id and caption, texts read with WM_GETTEXT, buttons
// clicked, keys typed with SendInput, and the registry and profile file of
// the prefix checked directly. The helpers every Wine test shares come from
// wine_support and are reachable here as gui::NAME too.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <initializer_list>
#include <string>

#include "tests/win32/wine_support.h"

namespace gui {

using namespace brevanto::testing;

// Lets the program handle what it has been sent for a while.
void settle(DWORD ms = 300);

// The running program and its windows.
class Kelvata {
 public:
  Kelvata() = default;
  Kelvata(const Kelvata&) = delete;
  Kelvata& operator=(const Kelvata&) = delete;
  ~Kelvata();  // ends the program if a test left it running

  // Starts the program and waits for its options dialog.
  bool start();
  // True when the program ends within the time.
  bool waitForExit(DWORD timeoutMs = 10000);
  bool running() const;

  // A top-level dialog window of the program with this caption, or null.
  HWND waitForDialog(const char* caption, DWORD timeoutMs = 10000) const;
  // A message box of the program, or null.
  HWND waitForMessageBox(DWORD timeoutMs = 10000) const;

  HWND dialog = nullptr;  // the options dialog

 private:
  HANDLE process_ = nullptr;  // owned
  DWORD processId_ = 0;
};

void setText(HWND window, const char* text);
bool checked(HWND button);
// Posts the click, so that a handler that opens a modal window does not block the test.
void click(HWND button);

// Keyboard and mouse through SendInput, to the foreground window.
void bringToFront(HWND window);
void pressKey(WORD key);
void pressKeys(std::initializer_list<WORD> keys);
// The key pressed while the modifier (VK_MENU, VK_SHIFT, VK_CONTROL) is held.
void pressWith(WORD modifier, WORD key);
void typeText(const char* text);
void clickAt(HWND window, int x, int y);  // client coordinates of window
// The window that has the keyboard focus in the thread that owns window.
HWND focusOf(HWND window);

// Kelvata's private profile file in the Windows directory.
std::string profilePath();
void deleteProfile();
bool profileExists();
std::string profileValue(const char* section, const char* key);
void setProfileValue(const char* section, const char* key, const char* value);

}  // namespace gui
