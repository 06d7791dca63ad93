// Helpers for every test that runs under Wine: Windows paths of the build
// tree, processes, registry values, files, polling, finding and reading the
// windows of any process, and screenshots.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace brevanto::testing {

// The Windows path (Z:\...) of a path of the build machine. Paths are given
// by drive because the file dialogs change the current drive.
std::string winPath(const std::string& unixPath);

// Starts a command line; the caller closes the handle. Null on failure.
HANDLE startProcess(const std::string& commandLine);
// Waits for a process and closes its handle; its exit code, or -1 when it
// did not end within `timeoutMs` (it is then terminated).
int finishProcess(HANDLE process, DWORD timeoutMs);
int runProcess(const std::string& commandLine, DWORD timeoutMs = 60000);

// A registry value, or nothing when the key or the value is missing or the
// value has another type. A null name is the key's default value.
std::optional<std::string> readString(HKEY root, const std::string& key, const char* name);
std::optional<DWORD> readDword(HKEY root, const std::string& key, const char* name);
// Stores a value, creating the key and the keys above it.
bool writeString(HKEY root, const std::string& key, const char* name, const std::string& value);
bool writeDword(HKEY root, const std::string& key, const char* name, DWORD value);
void deleteKey(HKEY root, const std::string& key);

// The settings the server and the settings program share, under
// HKEY_LOCAL_MACHINE.
extern const char kSettingsKey[];
std::optional<std::string> readString(const char* setting);
std::optional<DWORD> readDword(const char* setting);
bool writeString(const char* setting, const std::string& value);
bool writeDword(const char* setting, DWORD value);
void deleteSettings();

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// Polls every 25 ms until `ready` is true or `timeoutMs` has passed.
bool waitUntil(const std::function<bool()>& ready, DWORD timeoutMs = 10000);

// Visible top-level dialog windows, of the process `processId` or, with 0,
// of any process; the first one found, or null.
// - with this caption:
HWND findDialog(const char* caption, DWORD processId = 0);
// - with a control of this identifier:
HWND findDialogWithControl(int id, DWORD processId = 0);
// - a message box, whose text is its static control 0xFFFF:
HWND findMessageBox(DWORD processId = 0);
// The text of a window (WM_GETTEXT works across processes).
std::string windowText(HWND window);
// The first child, at any depth, with this control identifier and class
// name prefix (null for any class), or null.
HWND findChild(HWND parent, int id, const char* className = nullptr);
// The text of a message box.
std::string messageText(HWND box);

// Saves a picture of the whole screen as screenshots/NAME.png in the build tree.
void screenshot(const std::string& name);

}  // namespace brevanto::testing
