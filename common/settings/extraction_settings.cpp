#include "common/settings/extraction_settings.h"

#include <cstring>

namespace brevanto {
namespace {

// The value that holds the folder saved into last.
constexpr char kLastFolderValue[] = "RandomFolder";

constexpr const char* kDefaultKeyPath = "SOFTWARE\\Brevanto\\TextExtraction";
constexpr const char* kDefaultFolder = "c:\\";
constexpr DWORD kTextBufferSize = 1024;

// Closes the key it holds when it goes out of scope.
class OpenKey {
 public:
  explicit OpenKey(const RegistryCalls& registry) : registry_(registry) {}
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  ~OpenKey() {
    if (key_) registry_.closeKey(key_);
  }
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  const RegistryCalls& registry_;
  HKEY key_ = nullptr;  // owned
};

}  // namespace

const RegistryCalls& systemRegistry() {
  static const RegistryCalls calls = {&::RegOpenKeyExA, &::RegCreateKeyExA, &::RegQueryValueExA,
                                      &::RegSetValueExA, &::RegCloseKey};
  return calls;
}

ExtractionSettings::ExtractionSettings(HKEY root, const char* path, const RegistryCalls* calls)
    : rootKey(root ? root : HKEY_LOCAL_MACHINE),
      keyPath(path ? path : kDefaultKeyPath),
      registry(calls ? calls : &systemRegistry()) {}

ExtractionSettings::~ExtractionSettings() = default;

uint32_t ExtractionSettings::readDword(const char* name) const {
  OpenKey key(*registry);
  if (registry->openKey(rootKey, keyPath, 0, KEY_READ, key.out()) != ERROR_SUCCESS) return 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (registry->queryValue(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
      ERROR_SUCCESS) {
    return 0;
  }
  // Only the bytes the query reports are data: shorter data is the low bytes
  // of the number, whatever the rest of the buffer holds.
  if (size < sizeof value) value &= (DWORD{1} << (8 * size)) - 1;
  return value;
}

std::string ExtractionSettings::readString(const char* name) const {
  OpenKey key(*registry);
  if (registry->openKey(rootKey, keyPath, 0, KEY_READ, key.out()) != ERROR_SUCCESS) return {};
  char buffer[kTextBufferSize];
  DWORD size = sizeof buffer;
  if (registry->queryValue(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS) {
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
static bool writeValue(const ExtractionSettings& settings, const char* name, DWORD type, const void* data,
                       DWORD size) {
  const RegistryCalls& registry = *settings.registry;
  OpenKey key(registry);
  if (registry.openKey(settings.rootKey, settings.keyPath, 0, KEY_WRITE, key.out()) != ERROR_SUCCESS &&
      registry.createKey(settings.rootKey, settings.keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, key.out(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return registry.setValue(key.get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool ExtractionSettings::writeDword(const char* name, uint32_t value) const {
  const DWORD data = value;
  return writeValue(*this, name, REG_DWORD, &data, sizeof data);
}

bool ExtractionSettings::writeString(const char* name, const char* text) const {
  // Stored with its NUL, as text values are.
  const char* stored = text ? text : "";
  return writeValue(*this, name, REG_SZ, stored, static_cast<DWORD>(std::strlen(stored) + 1));
}

bool ExtractionSettings::dispAfterProcess() const {
  return readDword("DispAfterProcess") != 0;
}

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

std::string ExtractionSettings::lastFolder() const {
  return completeFolder(readString(kLastFolderValue));
}

bool ExtractionSettings::setLastFolder(const char* text) const {
  return writeString(kLastFolderValue, text);
}

ExtractionSettings::ToolOptions ExtractionSettings::loadToolOptions() const {
  ToolOptions options;
  options.folderSelection = folderSelection();
  options.fixedFolder = fixedFolder();
  options.dispAfterProcess = dispAfterProcess();
  return options;
}

bool ExtractionSettings::saveToolOptions(const ToolOptions& options) const {
  bool saved = setFolderSelection(options.folderSelection);
  if (options.folderSelection == kFixedFolder) saved = setFixedFolder(options.fixedFolder.c_str()) && saved;
  return setDispAfterProcess(options.dispAfterProcess ? 1 : 0) && saved;
}

std::string completeFolder(std::string text) {
  if (text.empty()) return kDefaultFolder;
  if (text.back() != '\\') text += '\\';
  return text;
}

}  // namespace brevanto
