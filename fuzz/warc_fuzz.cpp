// Any bytes as a web archive, through the WARC reader as brevanto-extract
// and the Python module run it: the framing, gzip members, HTTP responses,
// chunked and compressed bodies. Whatever the damage, the reader must end,
// hand out only what it counts, and place every page inside the file in
// file order, and every warning inside the file; what is no archive is
// handed back whole.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/archive/warc_reader.h"

namespace {

// Small enough that a length field claiming the most still fits the run's
// memory limit many times over.
constexpr uint64_t kRecordLimit = 4 * 1024 * 1024;

void check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "warc_fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("warc_fuzz", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (write(fd, data, size) != static_cast<ssize_t>(size) || lseek(fd, 0, SEEK_SET) != 0) {
    close(fd);
    return 0;
  }
  brevanto::archive::WarcReader reader;
  reader.setRecordLimit(kRecordLimit);
  std::string error;
  const brevanto::archive::ArchiveOpen opened = reader.open(fd, error);
  if (opened != brevanto::archive::ArchiveOpen::kOpened) {
    check(!error.empty(), "a failed open without a cause");
    // What is no archive is read whole by the caller: the bytes the reader
    // took, then the rest of the descriptor.
    std::string whole = reader.takeBytesRead();
    char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
      whole.append(buffer, static_cast<size_t>(got));
    check(opened != brevanto::archive::ArchiveOpen::kNotArchive ||
              whole == std::string(reinterpret_cast<const char*>(data), size),
          "bytes of what is no archive lost");
    close(fd);
    return 0;
  }
  brevanto::archive::ArchivePage page;
  uint64_t pages = 0;
  uint64_t lastOffset = 0;
  while (reader.next(page)) {
    check(page.offset < size, "a page outside the file");
    check(pages == 0 || page.offset > lastOffset, "pages out of file order");
    check(page.body.size() <= kRecordLimit, "a body beyond the limit");
    lastOffset = page.offset;
    ++pages;
    for (const brevanto::archive::ArchiveWarning& warning : reader.takeWarnings()) {
      check(warning.offset <= size, "a warning outside the file");
      check(!warning.message.empty(), "a warning without a message");
    }
  }
  for (const brevanto::archive::ArchiveWarning& warning : reader.takeWarnings()) {
    check(warning.offset <= size, "a warning outside the file");
    check(!warning.message.empty(), "a warning without a message");
  }
  const brevanto::archive::ArchiveCounts& counts = reader.counts();
  check(counts.pages == pages, "pages handed out and counted differ");
  check(counts.records >= counts.pages + counts.skipped, "more pages and skipped records than records");
  close(fd);
  return 0;
}
