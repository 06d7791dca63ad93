// Helpers for the tests that run under Wine: Windows paths of the build
// tree, processes, registry keys, files, and finding the windows of other
// processes.
#pragma once

#include <windows.h>

#include <functional>
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

// The default value of a key under `root`, or "<absent>" when the key or
// its default value does not exist.
std::string readDefaultValue(HKEY root, const std::string& key);
std::string readStringValue(HKEY root, const std::string& key, const char* name);
void deleteKey(HKEY root, const std::string& key);
bool writeStringValue(HKEY root, const std::string& key, const char* name, const std::string& value);
bool writeDwordValue(HKEY root, const std::string& key, const char* name, DWORD value);

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// Polls every 25 ms until `ready` is true or `timeoutMs` has passed.
bool waitUntil(const std::function<bool()>& ready, DWORD timeoutMs);

// The first visible top-level dialog window with this caption, or null.
HWND findDialog(const char* caption);
// The first visible top-level dialog window that has a control with this
// identifier, or null.
HWND findDialogWithControl(int id);
// The text of a window (WM_GETTEXT works across processes).
std::string windowText(HWND window);
// The first child, at any depth, with this control identifier and class
// name prefix (null for any class), or null.
HWND findChild(HWND parent, int id, const char* className = nullptr);
// The text of a message box: its static control 0xFFFF.
std::string messageText(HWND box);

// Saves a picture of the whole screen as screenshots/NAME.png in the build tree.
void screenshot(const std::string& name);

}  // namespace brevanto::testing
