#include "tests/gui/gui_driver.h"

#include <vector>

namespace gui {

namespace {
const char kCaption[] = "Brevanto Tool";

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

void settle(DWORD ms) {
  Sleep(ms);
}

Kelvata::~Kelvata() {
  // Ends the program only if a test left it running.
  if (process_ != nullptr) finishProcess(process_, 0);
}

bool Kelvata::start() {
  process_ = startProcess("\"" KELVATA_EXE "\"");
  if (process_ == nullptr) return false;
  processId_ = GetProcessId(process_);
  dialog = waitForDialog(kCaption, 20000);
  return dialog != nullptr;
}

bool Kelvata::running() const {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Kelvata::waitForExit(DWORD timeoutMs) {
  return process_ != nullptr && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

HWND Kelvata::waitForDialog(const char* caption, DWORD timeoutMs) const {
  HWND found = nullptr;
  waitUntil([&] { return (found = findDialog(caption, processId_)) != nullptr; }, timeoutMs);
  return found;
}

HWND Kelvata::waitForMessageBox(DWORD timeoutMs) const {
  HWND found = nullptr;
  waitUntil([&] { return (found = findMessageBox(processId_)) != nullptr; }, timeoutMs);
  return found;
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

void bringToFront(HWND window) {
  SetForegroundWindow(window);
  waitUntil([window] { return GetForegroundWindow() == window; }, 3000);
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

}  // namespace gui
