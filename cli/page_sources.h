// Where the pages of a run come from. An input is a page, or a web archive
// (WARC, plain or one gzip member per record) whose HTML responses are each
// a page: what it is, is told by its first bytes, never by its name. One
// thread at a time takes the next page, in input order and in archive
// order; archives are read as a stream, so memory holds the pages handed
// out and not yet done, never a whole archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/archive/warc_reader.h"

namespace brevanto::cli {

// An input as messages name it: quoted when it needs to be, "(standard
// input)" for "-".
std::string inputName(const std::string& input);

// A file descriptor, closed with its holder when owned (standard input is
// not).
class InputFd {
 public:
  InputFd() = default;
  InputFd(int fd, bool owned) : fd_(fd), owned_(owned) {}
  ~InputFd();
  InputFd(InputFd&& other) noexcept;
  InputFd& operator=(InputFd&& other) noexcept;
  InputFd(const InputFd&) = delete;
  InputFd& operator=(const InputFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void reset();

 private:
  int fd_ = -1;
  bool owned_ = false;
};

// One page of the run as the reading thread hands it over, or the end of
// an archive.
struct PageItem {
  enum class Kind : int {
    kFile,        // an input that is a page: `head`, then what `rest` still holds
    kRecord,      // an HTML response of an archive: `head` is its body, codings removed
    kArchiveEnd,  // an archive read to its end: `counts` says what it held
  };
  Kind kind = Kind::kFile;
  size_t input = 0;    // the index of the input in the run's list
  std::string name;    // how messages name the page: the input's name, or NAME:OFFSET in an archive
  std::string source;  // the `source` of its JSON object: the input as given, or FILE:OFFSET RECORD-ID
  std::string head;    // the bytes already read
  InputFd rest;        // owned: the input, read up to the end of `head`; none for a record
  std::string error;   // why the input cannot be read; empty when it can
  std::string url;     // a record's WARC-Target-URI
  std::string transportLabel;         // a record's HTTP charset
  std::vector<std::string> warnings;  // what was wrong with a record's response but could be read
  // Damage met in the archive since the page before, as messages say it:
  // said before this page, in file order.
  std::vector<std::string> damage;
  uint64_t recordsRead = 0;       // of the input's archive, so far
  archive::ArchiveCounts counts;  // of the input's archive, at its end
};

class PageSources {
 public:
  // `inputs` is not owned and outlives the sources; "-" is standard input.
  explicit PageSources(const std::vector<std::string>& inputs);
  ~PageSources();
  PageSources(const PageSources&) = delete;
  PageSources& operator=(const PageSources&) = delete;

  // Whether some input is an archive, told before the run starts: every
  // file by its first bytes, a pipe or device only when it is the run's one
  // input, since reading one among others could hold back the pages before
  // it. The others are told when the run reaches them.
  bool includesArchives();

  // The next page, or the end of an archive; false after the last input.
  bool next(PageItem& item);

 private:
  bool take(PageItem& item);
  enum class Kind : int { kUntold, kPage, kArchive };
  // Opens input `index` and tells what it is: a page goes into `item`, an
  // archive into reader_. True for a page.
  bool start(size_t index, PageItem& item);
  bool nextRecord(PageItem& item);

  const std::vector<std::string>& inputs_;  // not owned: the run's
  std::vector<Kind> kinds_;                 // by input: what it was told to be ahead
  size_t nextInput_ = 0;
  std::unique_ptr<archive::WarcReader> reader_;  // owned: the archive being read, if any
  InputFd archiveFd_;                            // the archive's file
  // An input told ahead that cannot be told again (a pipe): its page, when
  // it is one, waits here.
  std::unique_ptr<PageItem> told_;
};

}  // namespace brevanto::cli
