// Saving on POSIX beyond the portable interface of platform/output_file.h:
// a file written in pieces (one stream of records for a whole batch), and
// the file calls whose order decides what a crash leaves behind, which a
// test may replace to watch that order.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/output_file.h"

namespace brevanto::platform {

// The calls of a save that put bytes on the disk and names in place. The
// system's are the default.
struct FileCalls {
  int (*sync)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*link)(const char* from, const char* to);
};
const FileCalls& systemFileCalls();

// saveFile through the given calls.
SaveOutcome saveFile(const char* path, const char* bytes, size_t length, bool replaceExisting,
                     const FileCalls& calls);

// A file written piece by piece that takes its name only when committed,
// under the rules of saveFile: until then nothing under the name changes,
// and a stream destroyed without a commit leaves nothing behind. A target
// that is not a regular file (a device, a FIFO, a pipe given as
// /dev/fd/N) is written through as the pieces come. Between open and
// commit the signals that end a run wait, so that no temporary file is
// left by one.
class OutputStream {
 public:
  explicit OutputStream(const FileCalls& calls = systemFileCalls());
  ~OutputStream();
  OutputStream(const OutputStream&) = delete;
  OutputStream& operator=(const OutputStream&) = delete;

  SaveOutcome open(const char* path, bool replaceExisting);
  // Appends; after a failure, every later write and the commit fail too.
  SaveOutcome write(const char* bytes, size_t length);
  SaveOutcome commit();

 private:
  struct State;
  std::unique_ptr<State> state_;  // owned
};

// A file written before it has a name, so that the costly part of saving
// (making the file and writing it) can happen on any thread while names are
// given in order on one: unnamed, nothing of it is left behind whatever ends
// the process, until saveWritten gives it a name.
class UnnamedFile {
 public:
  UnnamedFile() = default;
  ~UnnamedFile();
  UnnamedFile(const UnnamedFile&) = delete;
  UnnamedFile& operator=(const UnnamedFile&) = delete;

  // Writes `bytes` to a new file in `folder` (empty: the current one);
  // false when the file system has no unnamed files or the write failed,
  // and then the bytes are to be saved as usual.
  bool write(const std::string& folder, const char* bytes, size_t length);

 private:
  friend SaveOutcome saveWritten(const char* path, const UnnamedFile& file, const char* bytes, size_t length,
                                 bool replaceExisting);
  int fd_ = -1;  // owned; -1 when nothing was written
};

// saveFile for `bytes` that `file` may already hold: a name that is free
// takes the written file as it is; anything else (a name taken, a device,
// another file system, no written file) is saved from `bytes` by saveFile,
// under its rules.
SaveOutcome saveWritten(const char* path, const UnnamedFile& file, const char* bytes, size_t length,
                        bool replaceExisting);

}  // namespace brevanto::platform
