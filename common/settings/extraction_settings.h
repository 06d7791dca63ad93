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

class ExtractionSettings {
 public:
  // A null root or path keeps the default.
  explicit ExtractionSettings(HKEY root = nullptr, const char* path = nullptr);
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
  int32_t folderSelection() const;           // as stored: 0 fixed, 1 last used, else neither
  bool setFolderSelection(int32_t value) const;
  std::string fixedFolder() const;  // never empty, always ending in "\"
  bool setFixedFolder(const char* text) const;
  std::string randomFolder() const;  // never empty, always ending in "\"
  bool setRandomFolder(const char* text) const;

  HKEY const rootKey;         // not owned: a predefined root
  const char* const keyPath;  // not owned: a constant text
};

// The folder text as the readers hand it out: "c:\" for no text, else the
// text with a final "\".
std::string completeFolder(std::string text);

}  // namespace brevanto
