// The four settings that the extraction server and the settings program
// share, as values of one registry key. Nothing is cached: every read and
// every write goes to the registry when it is asked for, so that a change made
// by one program is seen by the other at its next read. Create one object per
// task and let it go afterwards; it holds no open key between operations.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace brevanto {

// The registry functions the store calls. The system's are the default; a
// test puts its own in front of them to see what the store makes of what a
// registry may hand back.
struct RegistryCalls {
  decltype(&::RegOpenKeyExA) openKey;
  decltype(&::RegCreateKeyExA) createKey;
  decltype(&::RegQueryValueExA) queryValue;
  decltype(&::RegSetValueExA) setValue;
  decltype(&::RegCloseKey) closeKey;
};
const RegistryCalls& systemRegistry();

class ExtractionSettings {
 public:
  // The FolderSelection codes: which folder starts the proposed file name.
  // Any other stored value selects neither, and the proposal starts in "C:\".
  static constexpr int32_t kFixedFolder = 0;
  static constexpr int32_t kLastFolder = 1;
  // What the settings program stores when neither of its options is chosen.
  static constexpr int32_t kNoFolder = -1;

  // The values the settings program shows and edits.
  struct ToolOptions {
    int32_t folderSelection = kFixedFolder;
    std::string fixedFolder;
    bool dispAfterProcess = false;
  };

  // A null root, path or registry keeps the default.
  explicit ExtractionSettings(HKEY root = nullptr, const char* path = nullptr,
                              const RegistryCalls* registry = nullptr);
  virtual ~ExtractionSettings();

  // The 32-bit value, or 0 when the key cannot be opened or the value cannot
  // be read into 4 bytes.
  uint32_t readDword(const char* name) const;
  // The text, or "" when the key cannot be opened or the value does not fit
  // 1024 bytes.
  std::string readString(const char* name) const;
  // True when the value was stored; the previous value stays otherwise.
  bool writeDword(const char* name, uint32_t value) const;
  bool writeString(const char* name, const char* text) const;

  bool dispAfterProcess() const;
  bool setDispAfterProcess(int flag) const;  // stores 1 for any non-zero flag
  int32_t folderSelection() const;           // as stored, unchecked
  bool setFolderSelection(int32_t value) const;
  std::string fixedFolder() const;  // never empty, always ending in "\"
  bool setFixedFolder(const char* text) const;
  // The folder saved into last (the value "RandomFolder").
  std::string lastFolder() const;  // never empty, always ending in "\"
  bool setLastFolder(const char* text) const;

  // Reads FolderSelection, FixedFolder and DispAfterProcess, in that order.
  ToolOptions loadToolOptions() const;
  // Writes them in the same order, every write tried whatever the one before
  // gave. The fixed folder is written only while it is the one selected, so
  // that choosing the last folder keeps the fixed one stored. True when
  // every write succeeded.
  bool saveToolOptions(const ToolOptions& options) const;

  HKEY const rootKey;                   // not owned: a predefined root
  const char* const keyPath;            // not owned: a constant text
  const RegistryCalls* const registry;  // not owned: a table that outlives the object
};

// The folder text as the readers hand it out: "c:\" for no text, else the
// text with a final "\".
std::string completeFolder(std::string text);

}  // namespace brevanto
