// Saving a finished file and opening it with the desktop's viewer: the only
// file and shell calls of the output writer. Implemented once for POSIX
// (platform/posix) and once for Windows (platform/win32).
#pragma once

#include <cstddef>
#include <string>

namespace brevanto::platform {

enum class SaveStatus : int {
  kSaved,         // the file holds every byte
  kExists,        // replacing was not allowed and a file of that name exists
  kCannotCreate,  // the folder is missing, not writable, or the name is not allowed
  kCannotWrite,   // a write or the final rename failed (disk full, I/O error)
};

struct SaveOutcome {
  SaveStatus status = SaveStatus::kCannotCreate;
  std::string reason;  // the system's words for the cause; empty when saved
};

// Writes `length` bytes to a new file in the folder of `path`, then puts it
// in place under `path` in one step. Whatever fails, no partial file is left
// and an existing file of that name stays as it was; a replaced file keeps
// its mode. With `replaceExisting` false, no file that exists under `path`
// is ever replaced (kExists). A symbolic link is followed, and a target that
// is not a regular file (a device, a FIFO, a pipe) is written through, not
// replaced, whether replacing is allowed or not: it holds no text to lose.
// A replacement is on the disk before it takes the name; a new
// file may live in the system's cache until makeSavesDurable.
SaveOutcome saveFile(const char* path, const char* bytes, size_t length, bool replaceExisting);

// Puts every file saved so far on the disk, so that a crash after this
// returns kSaved loses none of them.
SaveOutcome makeSavesDurable();

// Starts the program the desktop associates with the file, with `folder` as
// its working folder and the bare `fileName` as its argument, without
// waiting for it. False when no viewer could be started. `folder` may be
// empty (the current one).
bool openWithViewer(const char* folder, const char* fileName);

// The character that separates folders in this platform's paths.
#ifdef _WIN32
constexpr char kFolderSeparator = '\\';
#else
constexpr char kFolderSeparator = '/';
#endif

}  // namespace brevanto::platform
