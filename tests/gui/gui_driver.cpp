#include "gui_driver.h"

#include <cstdio>

namespace gui {

namespace {
const char kCaption[] = "Brevanto Tool";

struct Search {
  DWORD pid;
  std::function<bool(HWND)> accept;
  HWND found = nullptr;
};

BOOL CALLBACK searchTopLevel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || !IsWindowVisible(window) || !search->accept(window)) return TRUE;
  search->found = window;
  return FALSE;
}

std::string className(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

void send(std::vector<INPUT>& inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  settle(120);
}

INPUT key(WORD code, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = code;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}
}  // namespace

bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(30);
  }
}

void settle(DWORD ms) {
  Sleep(ms);
}

Kelvata::~Kelvata() {
  if (process.hProcess != nullptr) {
    if (running()) {
      TerminateProcess(process.hProcess, 99);
      WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
}

bool Kelvata::start() {
  std::string command = "\"" KELVATA_EXE "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  dialog = waitForDialog(kCaption, 20000);
  return dialog != nullptr;
}

bool Kelvata::running() const {
  return process.hProcess != nullptr && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
}

bool Kelvata::waitForExit(DWORD timeoutMs) {
  return process.hProcess != nullptr && WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

HWND Kelvata::findDialog(const char* caption) const {
  Search search{process.dwProcessId,
                [caption](HWND window) { return className(window) == "#32770" && text(window) == caption; }};
  EnumWindows(searchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND Kelvata::waitForDialog(const char* caption, DWORD timeoutMs) const {
  HWND found = nullptr;
  waitFor([&] { return (found = findDialog(caption)) != nullptr; }, timeoutMs);
  return found;
}

HWND Kelvata::findMessageBox() const {
  Search search{process.dwProcessId, [](HWND window) {
                  return className(window) == "#32770" && GetDlgItem(window, 0xFFFF) != nullptr;
                }};
  EnumWindows(searchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND Kelvata::waitForMessageBox(DWORD timeoutMs) const {
  HWND found = nullptr;
  waitFor([&] { return (found = findMessageBox()) != nullptr; }, timeoutMs);
  return found;
}

std::string text(HWND window) {
  char buffer[2048] = {};
  SendMessageA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

void setText(HWND window, const char* value) {
  SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value));
}

bool checked(HWND button) {
  return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void click(HWND button) {
  PostMessageA(button, BM_CLICK, 0, 0);
}

namespace {
struct ControlSearch {
  int id;
  HWND found = nullptr;
};
BOOL CALLBACK searchControl(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<ControlSearch*>(data);
  if (GetDlgCtrlID(window) != search->id) return TRUE;
  search->found = window;
  return FALSE;
}
}  // namespace

HWND findControl(HWND parent, int id) {
  ControlSearch search{id};
  EnumChildWindows(parent, searchControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string messageBoxText(HWND box) {
  return text(GetDlgItem(box, 0xFFFF));
}

void bringToFront(HWND window) {
  SetForegroundWindow(window);
  waitFor([window] { return GetForegroundWindow() == window; }, 3000);
  settle(100);
}

void pressKey(WORD code) {
  std::vector<INPUT> inputs{key(code, false), key(code, true)};
  send(inputs);
}

void pressKeys(std::initializer_list<WORD> codes) {
  for (WORD code : codes) pressKey(code);
}

void pressWith(WORD modifier, WORD code) {
  std::vector<INPUT> inputs{key(modifier, false), key(code, false), key(code, true), key(modifier, true)};
  send(inputs);
}

void typeText(const char* value) {
  for (const char* c = value; *c != '\0'; ++c) {
    SHORT scan = VkKeyScanA(*c);
    pressKey(static_cast<WORD>(LOBYTE(scan)));
  }
}

void clickAt(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  SetCursorPos(point.x, point.y);
  settle(50);
  INPUT down{}, up{};
  down.type = up.type = INPUT_MOUSE;
  down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  std::vector<INPUT> inputs{down, up};
  send(inputs);
}

HWND focusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

const char kSettingsKey[] = "SOFTWARE\\Brevanto\\TextExtraction";

void deleteSettings() {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
}

void setDword(const char* name, DWORD value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

void setString(const char* name, const char* value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                 static_cast<DWORD>(strlen(value) + 1));
  RegCloseKey(key);
}

std::optional<DWORD> readDword(const char* name) {
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKey, name, RRF_RT_ANY, &type, &value, &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD)
    return std::nullopt;
  return value;
}

std::optional<std::string> readString(const char* name) {
  char value[2048] = {};
  DWORD size = sizeof value - 1, type = 0;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKey, name, RRF_RT_ANY, &type, value, &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return std::nullopt;
  return std::string(value);
}

std::string profilePath() {
  char directory[MAX_PATH] = {};
  GetWindowsDirectoryA(directory, MAX_PATH);
  return std::string(directory) + "\\Kelvata.INI";
}

void deleteProfile() {
  DeleteFileA(profilePath().c_str());
}

bool profileExists() {
  return GetFileAttributesA(profilePath().c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string profileValue(const char* section, const char* key) {
  char value[1024] = {};
  GetPrivateProfileStringA(section, key, "", value, sizeof value, profilePath().c_str());
  return value;
}

void setProfileValue(const char* section, const char* key, const char* value) {
  WritePrivateProfileStringA(section, key, value, profilePath().c_str());
}

namespace {
// The size of a file, or -1 while it is not there.
long long fileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
}  // namespace

void screenshot(const char* name) {
  std::string unixPath = BREVANTO_SCREENSHOT_DIR "/" + std::string(name) + ".png";
  std::string part = unixPath + ".part";
  std::string windowsPart = "Z:" + part;
  for (int attempt = 0; attempt < 4; ++attempt) {
    // Wine paints a moment after the messages that change a window.
    settle(500);
    DeleteFileA(windowsPart.c_str());
    // ImageMagick runs as a program of the host, started through Wine. The
    // handle Wine gives for a host program does not tell when it ends, so
    // wait for its file to appear and stop growing.
    std::string command = "/usr/bin/import -window root png:" + part;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
      std::fprintf(stderr, "screenshot %s: cannot start import (%lu)\n", name, GetLastError());
      return;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    long long size = -1;
    waitFor(
        [&] {
          long long now = fileSize(windowsPart);
          bool stable = now > 0 && now == size;
          size = now;
          return stable;
        },
        15000);
    settle(200);
    // A desktop without any window is a few hundred bytes: the grab came too early.
    if (fileSize(windowsPart) > 1000) {
      MoveFileExA(windowsPart.c_str(), ("Z:" + unixPath).c_str(), MOVEFILE_REPLACE_EXISTING);
      return;
    }
  }
  DeleteFileA(windowsPart.c_str());
  std::fprintf(stderr, "screenshot %s: only an empty desktop was captured\n", name);
}

}  // namespace gui
