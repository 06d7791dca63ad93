#include "common/settings/extraction_settings.h"

#include <cstring>

namespace brevanto {
namespace {

constexpr const char* kDefaultKeyPath = "SOFTWARE\\Brevanto\\TextExtraction";
constexpr const char* kDefaultFolder = "c:\\";
constexpr DWORD kTextBufferSize = 1024;

// Closes the key it holds when it goes out of scope.
class OpenKey {
 public:
  OpenKey() = default;
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;  // owned
};

}  // namespace

ExtractionSettings::ExtractionSettings(HKEY root, const char* path)
    : rootKey(root ? root : HKEY_LOCAL_MACHINE), keyPath(path ? path : kDefaultKeyPath) {}

ExtractionSettings::~ExtractionSettings() = default;

uint32_t ExtractionSettings::readDword(const char* name) const {
  OpenKey key;
  if (RegOpenKeyExA(rootKey, keyPath, 0, KEY_READ, key.out()) != ERROR_SUCCESS) return 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS) {
    return 0;
  }
  // Data shorter than 4 bytes fills only the low bytes of the zeroed value.
  return value;
}

std::string ExtractionSettings::readString(const char* name) const {
  OpenKey key;
  if (RegOpenKeyExA(rootKey, keyPath, 0, KEY_READ, key.out()) != ERROR_SUCCESS) return {};
  char buffer[kTextBufferSize];
  DWORD size = sizeof buffer;
  if (RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS) {
    return {};
  }
  // A value stored without its NUL ends where the query says it ends, not at
  // whatever follows in the buffer.
  const size_t stored = size < sizeof buffer ? size : sizeof buffer;
  const void* nul = std::memchr(buffer, '\0', stored);
  return std::string(buffer, nul ? static_cast<const char*>(nul) - buffer : stored);
}

// Stores through a key opened for writing, or created (with the keys above it)
// when it cannot be opened.
template <typename Store>
static bool writeValue(HKEY root, const char* path, Store store) {
  OpenKey key;
  if (RegOpenKeyExA(root, path, 0, KEY_WRITE, key.out()) != ERROR_SUCCESS &&
      RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      key.out(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return store(key.get()) == ERROR_SUCCESS;
}

bool ExtractionSettings::writeDword(const char* name, uint32_t value) const {
  const DWORD data = value;
  return writeValue(rootKey, keyPath, [&](HKEY key) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof data);
  });
}

bool ExtractionSettings::writeString(const char* name, const char* text) const {
  const char* stored = text ? text : "";
  return writeValue(rootKey, keyPath, [&](HKEY key) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(stored),
                          static_cast<DWORD>(std::strlen(stored) + 1));
  });
}

bool ExtractionSettings::dispAfterProcess() const { return readDword("DispAfterProcess") != 0; }

bool ExtractionSettings::setDispAfterProcess(int flag) const {
  return writeDword("DispAfterProcess", flag != 0 ? 1 : 0);
}

int32_t ExtractionSettings::folderSelection() const {
  return static_cast<int32_t>(readDword("FolderSelection"));
}

bool ExtractionSettings::setFolderSelection(int32_t value) const {
  return writeDword("FolderSelection", static_cast<uint32_t>(value));
}

std::string ExtractionSettings::fixedFolder() const {
  return completeFolder(readString("FixedFolder"));
}

bool ExtractionSettings::setFixedFolder(const char* text) const {
  return writeString("FixedFolder", text);
}

std::string ExtractionSettings::randomFolder() const {
  return completeFolder(readString("RandomFolder"));
}

bool ExtractionSettings::setRandomFolder(const char* text) const {
  return writeString("RandomFolder", text);
}

std::string completeFolder(std::string text) {
  if (text.empty()) return kDefaultFolder;
  if (text.back() != '\\') text += '\\';
  return text;
}

}  // namespace brevanto
