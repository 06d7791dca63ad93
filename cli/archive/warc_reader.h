// Reading a web archive (WARC 1.0 or 1.1, plain or with one gzip member per
// record) record by record, as a stream: memory holds one record at a time,
// whatever the size of the archive. Each HTML response comes out as a page;
// every other record is counted and passed over. Damage costs the records it
// touches, each with a warning, and reading goes on with the next record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brevanto::archive {

// The largest record read by default, decoded: a page is far smaller, and a
// record beyond it is passed over with a warning.
constexpr uint64_t kDefaultRecordLimit = 256ull * 1024 * 1024;

// One HTML page of the archive.
struct ArchivePage {
  std::string body;            // the HTTP body, transfer and content codings removed
  std::string url;             // WARC-Target-URI
  std::string transportLabel;  // the charset that the HTTP Content-Type names; empty when none
  std::string recordId;        // WARC-Record-ID, e.g. "<urn:uuid:...>"; empty when the record has none
  uint64_t offset = 0;         // where the record starts in the file (its gzip member in a .warc.gz)
  // What was wrong with the response but could be read all the same.
  std::vector<std::string> warnings;
};

// Something wrong in the archive that cost records or bytes.
struct ArchiveWarning {
  uint64_t offset = 0;  // where in the file
  std::string message;
};

struct ArchiveCounts {
  uint64_t records = 0;  // records read whole
  uint64_t pages = 0;    // HTML responses handed out
  uint64_t skipped = 0;  // records read whole that are not HTML pages (requests, metadata, images...)
  uint64_t damaged = 0;  // records lost to damage, each with a warning
};

enum class ArchiveOpen : int {
  kOpened = 0,
  kCannotRead,  // the file cannot be opened or read
  kNotArchive,  // the file starts neither with a WARC record nor with a gzip member
};

class WarcReader {
 public:
  WarcReader();
  ~WarcReader();
  WarcReader(const WarcReader&) = delete;
  WarcReader& operator=(const WarcReader&) = delete;

  // Starts reading the file at `path`. Gzip or not is told by its first
  // bytes, not by its name. Unless kOpened, `error` says why.
  ArchiveOpen open(const std::string& path, std::string& error);
  // The same over a descriptor that stays the caller's (a pipe works too:
  // the archive is read once, front to back).
  ArchiveOpen open(int fd, std::string& error);
  // After open(fd) said kNotArchive: the bytes it read from the descriptor,
  // from where it started, so that a caller that cannot seek back (a pipe)
  // still has the whole input. Empty after any other outcome.
  std::string takeBytesRead() { return std::move(bytesRead_); }

  // The next HTML page; false at the end of the archive. `page` is
  // overwritten.
  bool next(ArchivePage& page);

  // The warnings since the last call, in file order.
  std::vector<ArchiveWarning> takeWarnings();
  const ArchiveCounts& counts() const { return counts_; }

  // Records whose block is larger, and bodies that decode to more, are
  // passed over with a warning.
  void setRecordLimit(uint64_t bytes) { recordLimit_ = bytes; }

 private:
  class Input;
  enum class Read : int;

  Read readRecord(ArchivePage& page, bool& isPage);
  Read readHeader(std::string& header);
  Read readBlock(uint64_t length, std::string* block);
  void resynchronize();
  void warn(uint64_t offset, std::string message);

  std::unique_ptr<Input> input_;  // owned: the decoded bytes of the archive
  ArchiveCounts counts_;
  std::vector<ArchiveWarning> warnings_;
  uint64_t recordLimit_ = kDefaultRecordLimit;
  std::string bytesRead_;  // what a failed open(fd) consumed
};

// How a page of an archive is named in results and messages:
// "FILE:OFFSET RECORD-ID".
std::string archiveSource(std::string_view file, const ArchivePage& page);
// A warning as the user reads it: "FILE:OFFSET: MESSAGE".
std::string archiveWarningText(std::string_view file, const ArchiveWarning& warning);

}  // namespace brevanto::archive
