#include "tests/win32/wine_support.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace brevanto::testing {

std::string winPath(const std::string& unixPath) {
  std::string out = "Z:";
  for (char c : unixPath) out += c == '/' ? '\\' : c;
  return out;
}

HANDLE startProcess(const std::string& commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return nullptr;
  }
  CloseHandle(info.hThread);
  return info.hProcess;
}

int finishProcess(HANDLE process, DWORD timeoutMs) {
  if (process == nullptr) return -1;
  int result = -1;
  if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    result = static_cast<int>(code);
  } else {
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 5000);
  }
  CloseHandle(process);
  return result;
}

int runProcess(const std::string& commandLine, DWORD timeoutMs) {
  return finishProcess(startProcess(commandLine), timeoutMs);
}

std::string readStringValue(HKEY root, const std::string& key, const char* name) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return "<absent>";
  char buffer[2048] = {};
  DWORD size = sizeof(buffer) - 1;
  DWORD type = 0;
  const LONG rc = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(handle);
  if (rc != ERROR_SUCCESS) return "<absent>";
  return std::string(buffer, strnlen(buffer, size));
}

std::string readDefaultValue(HKEY root, const std::string& key) {
  return readStringValue(root, key, nullptr);
}

void deleteKey(HKEY root, const std::string& key) {
  RegDeleteTreeA(root, key.c_str());
  RegDeleteKeyA(root, key.c_str());
}

bool writeStringValue(HKEY root, const std::string& key, const char* name, const std::string& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG rc = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS;
}

bool writeDwordValue(HKEY root, const std::string& key, const char* name, DWORD value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG rc =
      RegSetValueExA(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS;
}

bool fileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool folderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool waitUntil(const std::function<bool()>& ready, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!ready()) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(25);
  }
  return true;
}

namespace {

bool isVisibleDialog(HWND window) {
  char className[64] = {};
  GetClassNameA(window, className, sizeof(className));
  return std::strcmp(className, "#32770") == 0 && IsWindowVisible(window);
}

struct DialogSearch {
  const char* caption;
  HWND found;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<DialogSearch*>(param);
  if (!isVisibleDialog(window)) return TRUE;
  if (windowText(window) != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

struct ControlSearch {
  int id;
  HWND found;
};

BOOL CALLBACK matchDialogWithControl(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<ControlSearch*>(param);
  if (!isVisibleDialog(window)) return TRUE;
  if (GetDlgItem(window, search->id) == nullptr) return TRUE;
  search->found = window;
  return FALSE;
}

struct ChildSearch {
  int id;
  const char* className;
  HWND found;
};

BOOL CALLBACK matchChild(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<ChildSearch*>(param);
  if (GetDlgCtrlID(window) != search->id) return TRUE;
  if (search->className != nullptr) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    if (_strnicmp(className, search->className, std::strlen(search->className)) != 0) return TRUE;
  }
  search->found = window;
  return FALSE;
}

}  // namespace

HWND findDialog(const char* caption) {
  DialogSearch search = {caption, nullptr};
  EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND findDialogWithControl(int id) {
  ControlSearch search = {id, nullptr};
  EnumWindows(matchDialogWithControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string windowText(HWND window) {
  char text[4096] = {};
  const LRESULT length = SendMessageA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
  return std::string(text, static_cast<size_t>(length > 0 ? length : 0));
}

HWND findChild(HWND parent, int id, const char* className) {
  ChildSearch search = {id, className, nullptr};
  EnumChildWindows(parent, matchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string messageText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text == nullptr ? std::string() : windowText(text);
}

void screenshot(const std::string& name) {
  // A window found by the test may not have painted itself yet.
  Sleep(400);
  const std::string target = std::string(BREVANTO_SCREENSHOT_DIR) + "/" + name + ".png";
  DeleteFileA(winPath(target).c_str());
  // A program of the build machine started from here cannot be waited for
  // through its handle: wait for the finished picture instead, which the
  // shell moves in place in one step.
  HANDLE shell = startProcess("/bin/sh -c \"mkdir -p '" + std::string(BREVANTO_SCREENSHOT_DIR) +
                              "' && import -window root '" + target + ".part.png' && mv '" + target +
                              ".part.png' '" + target + "'\"");
  if (shell != nullptr) CloseHandle(shell);
  waitUntil([&] { return fileExists(winPath(target)); }, 30000);
}

}  // namespace brevanto::testing
