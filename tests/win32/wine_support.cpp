#include "tests/win32/wine_support.h"

#include <cstdio>
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

namespace {

// The raw data and type of a value, or nothing when it cannot be read.
std::optional<std::string> readValue(HKEY root, const std::string& key, const char* name, DWORD wantedType) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::nullopt;
  char buffer[2048] = {};
  DWORD size = sizeof(buffer) - 1;
  DWORD type = 0;
  const LONG rc = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(handle);
  if (rc != ERROR_SUCCESS || type != wantedType) return std::nullopt;
  return std::string(buffer, size);
}

bool writeValue(HKEY root, const std::string& key, const char* name, DWORD type, const void* data,
                DWORD size) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG rc = RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS;
}

}  // namespace

std::optional<std::string> readString(HKEY root, const std::string& key, const char* name) {
  std::optional<std::string> data = readValue(root, key, name, REG_SZ);
  // The text ends at its NUL, or where its data ends.
  if (data) data->resize(strnlen(data->c_str(), data->size()));
  return data;
}

std::optional<DWORD> readDword(HKEY root, const std::string& key, const char* name) {
  const std::optional<std::string> data = readValue(root, key, name, REG_DWORD);
  if (!data || data->size() != sizeof(DWORD)) return std::nullopt;
  DWORD value = 0;
  std::memcpy(&value, data->data(), sizeof value);
  return value;
}

bool writeString(HKEY root, const std::string& key, const char* name, const std::string& value) {
  return writeValue(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool writeDword(HKEY root, const std::string& key, const char* name, DWORD value) {
  return writeValue(root, key, name, REG_DWORD, &value, sizeof(value));
}

void deleteKey(HKEY root, const std::string& key) {
  RegDeleteTreeA(root, key.c_str());
  RegDeleteKeyA(root, key.c_str());
}

const char kSettingsKey[] = "SOFTWARE\\Brevanto\\TextExtraction";

std::optional<std::string> readString(const char* setting) {
  return readString(HKEY_LOCAL_MACHINE, kSettingsKey, setting);
}
std::optional<DWORD> readDword(const char* setting) {
  return readDword(HKEY_LOCAL_MACHINE, kSettingsKey, setting);
}
bool writeString(const char* setting, const std::string& value) {
  return writeString(HKEY_LOCAL_MACHINE, kSettingsKey, setting, value);
}
bool writeDword(const char* setting, DWORD value) {
  return writeDword(HKEY_LOCAL_MACHINE, kSettingsKey, setting, value);
}
void deleteSettings() {
  deleteKey(HKEY_LOCAL_MACHINE, kSettingsKey);
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

struct TopLevelSearch {
  DWORD processId;  // 0: any process
  const std::function<bool(HWND)>& accept;
  HWND found;
};

BOOL CALLBACK matchTopLevel(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TopLevelSearch*>(param);
  char className[64] = {};
  GetClassNameA(window, className, sizeof(className));
  if (std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  if (search->processId != 0) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
  }
  if (!search->accept(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND findVisibleDialog(DWORD processId, const std::function<bool(HWND)>& accept) {
  TopLevelSearch search = {processId, accept, nullptr};
  EnumWindows(matchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
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

// A message box's static text control.
constexpr int kMessageTextId = 0xFFFF;

}  // namespace

HWND findDialog(const char* caption, DWORD processId) {
  return findVisibleDialog(processId, [caption](HWND window) { return windowText(window) == caption; });
}

HWND findDialogWithControl(int id, DWORD processId) {
  return findVisibleDialog(processId, [id](HWND window) { return GetDlgItem(window, id) != nullptr; });
}

HWND findMessageBox(DWORD processId) {
  return findDialogWithControl(kMessageTextId, processId);
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
  HWND text = GetDlgItem(box, kMessageTextId);
  return text == nullptr ? std::string() : windowText(text);
}

namespace {

// The size of a file, or -1 while it is not there.
long long fileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A picture of a desktop without any window is a few hundred bytes.
constexpr long long kEmptyDesktopBytes = 1000;

}  // namespace

void screenshot(const std::string& name) {
  const std::string folder = BREVANTO_SCREENSHOT_DIR;
  const std::string target = folder + "/" + name + ".png";
  for (int attempt = 0; attempt < 4; ++attempt) {
    // A window found by the test may not have painted itself yet.
    Sleep(500);
    DeleteFileA(winPath(target).c_str());
    // A program of the build machine started from here cannot be waited for
    // through its handle, and Wine may even report that it could not start
    // it when it did: wait for the finished picture instead, which the
    // shell moves in place in one step.
    HANDLE shell = startProcess("/bin/sh -c \"mkdir -p '" + folder + "' && import -window root '" + target +
                                ".part.png' && mv '" + target + ".part.png' '" + target + "'\"");
    if (shell != nullptr) CloseHandle(shell);
    if (!waitUntil([&] { return fileExists(winPath(target)); }, 30000)) {
      std::fprintf(stderr, "screenshot %s: no picture came\n", name.c_str());
      return;
    }
    // A grab made before the windows were drawn shows an empty desktop.
    if (fileSize(winPath(target)) > kEmptyDesktopBytes) return;
  }
  std::fprintf(stderr, "screenshot %s: only an empty desktop was captured\n", name.c_str());
}

}  // namespace brevanto::testing
