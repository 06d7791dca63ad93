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

}  // namespace brevanto::platform
