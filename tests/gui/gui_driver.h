// Drives Kelvata.exe from the test's own process, as a person would: windows
// found by process id and caption, texts read with WM_GETTEXT, buttons
// clicked, keys typed with SendInput, and the registry and profile file of
// the prefix checked directly.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace gui {

// Polls every 30 ms until the condition holds or the deadline passes.
bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000);
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
  HWND findDialog(const char* caption) const;
  HWND waitForDialog(const char* caption, DWORD timeoutMs = 10000) const;
  // A message box of the program: a dialog with the static text 0xFFFF.
  HWND findMessageBox() const;
  HWND waitForMessageBox(DWORD timeoutMs = 10000) const;

  HWND dialog = nullptr;  // the options dialog
  PROCESS_INFORMATION process{};
};

std::string text(HWND window);
void setText(HWND window, const char* text);
bool checked(HWND button);
// Posts the click, so that a handler that opens a modal window does not block the test.
void click(HWND button);
// Descendant of parent with the control ID, at any depth.
HWND findControl(HWND parent, int id);
// The message box's text (its static 0xFFFF).
std::string messageBoxText(HWND box);

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

// The settings key of the prefix, HKLM\SOFTWARE\Brevanto\TextExtraction.
extern const char kSettingsKey[];
void deleteSettings();
void setDword(const char* name, DWORD value);
void setString(const char* name, const char* value);
std::optional<DWORD> readDword(const char* name);
std::optional<std::string> readString(const char* name);

// Kelvata's private profile file in the Windows directory.
std::string profilePath();
void deleteProfile();
bool profileExists();
std::string profileValue(const char* section, const char* key);
void setProfileValue(const char* section, const char* key, const char* value);

// Saves a picture of the whole screen as screenshots/NAME.png in the build tree.
void screenshot(const char* name);

}  // namespace gui
