#include "platform/output_file.h"

// windows.h first: shellapi.h depends on it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <string>

namespace brevanto::platform {
namespace {

std::string systemMessage(DWORD error) {
  char* text = nullptr;  // owned: freed with LocalFree below
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  if (message.empty()) message = "error " + std::to_string(error);
  return message;
}

SaveOutcome failure(SaveStatus status, DWORD error) {
  return {status, systemMessage(error)};
}

// The temporary file beside the target: deleted on every path that does not
// move it in place.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    if (!name_.empty()) DeleteFileA(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // 0, or the error that creating the file reported.
  DWORD create(const std::string& folder) {
    char name[MAX_PATH] = {};
    // GetTempFileNameA reserves a unique name by creating an empty file.
    if (GetTempFileNameA(folder.c_str(), "brv", 0, name) == 0) return GetLastError();
    name_ = name;
    handle_ = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr);
    return handle_ == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  }
  HANDLE handle() const { return handle_; }
  const std::string& name() const { return name_; }
  DWORD close() {
    const BOOL closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed ? 0 : GetLastError();
  }
  void release() { name_.clear(); }

 private:
  std::string name_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

DWORD writeAll(HANDLE file, const char* bytes, size_t length) {
  while (length > 0) {
    const DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!WriteFile(file, bytes, chunk, &written, nullptr)) return GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    bytes += written;
    length -= written;
  }
  if (!FlushFileBuffers(file)) return GetLastError();
  return 0;
}

}  // namespace

SaveOutcome saveFile(const char* path, const char* bytes, size_t length, bool replaceExisting) {
  if (path == nullptr || *path == '\0') return {SaveStatus::kCannotCreate, "no file name"};
  const std::string target(path);
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return failure(SaveStatus::kCannotCreate, ERROR_DIRECTORY);
    if (!replaceExisting) return failure(SaveStatus::kExists, ERROR_FILE_EXISTS);
  }
  const size_t separator = target.find_last_of("\\/");
  const std::string folder = separator == std::string::npos ? "." : target.substr(0, separator + 1);
  TemporaryFile temporary;
  if (const DWORD error = temporary.create(folder)) return failure(SaveStatus::kCannotCreate, error);
  if (const DWORD error = writeAll(temporary.handle(), bytes, length)) {
    return failure(SaveStatus::kCannotWrite, error);
  }
  if (const DWORD error = temporary.close()) return failure(SaveStatus::kCannotWrite, error);
  if (!MoveFileExA(temporary.name().c_str(), path, replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0)) {
    const DWORD error = GetLastError();
    const bool exists = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    return failure(exists ? SaveStatus::kExists : SaveStatus::kCannotWrite, error);
  }
  temporary.release();
  return {SaveStatus::kSaved, {}};
}

SaveOutcome makeSavesDurable() {
  return {SaveStatus::kSaved, {}};  // saveFile flushes every file before it moves it in place
}

bool openWithViewer(const char* folder, const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') return false;
  const HINSTANCE started =
      ShellExecuteA(nullptr, nullptr, fileName, nullptr,
                    folder != nullptr && *folder != '\0' ? folder : nullptr, SW_SHOWNORMAL);
  // ShellExecuteA reports success as a value above 32.
  return reinterpret_cast<INT_PTR>(started) > 32;
}

}  // namespace brevanto::platform
