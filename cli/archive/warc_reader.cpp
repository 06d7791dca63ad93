#include "cli/archive/warc_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <utility>

#include "base/ascii.h"
#include "cli/archive/header_fields.h"
#include "cli/archive/http_response.h"

namespace brevanto::archive {
namespace {

constexpr size_t kStep = size_t{64} * 1024;              // bytes read or decoded at a time
constexpr size_t kHeaderLimit = size_t{1024} * 1024;     // a record header longer than this is damage
constexpr std::string_view kGzipMagic = "\x1f\x8b\x08";  // ID1, ID2 and the deflate method
constexpr int kGzipWindowBits = 15 + 16;
// "WARC/" and a digit: the start of a record.
constexpr size_t kRecordStartLength = 6;

bool startsRecord(std::string_view bytes) {
  return bytes.size() >= kRecordStartLength && bytes.substr(0, 5) == "WARC/" && ascii::isDigit(bytes[5]);
}

// The fields of a record header that decide what the record is.
struct RecordHeader {
  std::string type;
  std::string contentType;
  std::string contentLength;
  std::string targetUri;
  std::string recordId;
  std::string truncated;
};

// Reads the fields of `header` (the version line, fields, the empty line).
// A line that starts with white space continues the field before it.
void parseFields(std::string_view header, RecordHeader& fields) {
  struct Field {
    std::string_view name;
    std::string RecordHeader::*member;
  };
  static constexpr Field kFields[] = {
      {"WARC-Type", &RecordHeader::type},
      {"Content-Type", &RecordHeader::contentType},
      {"Content-Length", &RecordHeader::contentLength},
      {"WARC-Target-URI", &RecordHeader::targetUri},
      {"WARC-Record-ID", &RecordHeader::recordId},
      {"WARC-Truncated", &RecordHeader::truncated},
  };
  size_t pos = header.find('\n') + 1;
  readHeaderFields(header, pos, [&fields](std::string_view name, std::string_view value) -> std::string* {
    for (const Field& field : kFields) {
      if (!ascii::equalsIgnoringCase(name, field.name)) continue;
      std::string& found = fields.*field.member;
      found.assign(value);
      return &found;
    }
    return nullptr;
  });
}

std::string withoutAngleBrackets(std::string_view text) {
  if (text.size() >= 2 && text.front() == '<' && text.back() == '>') text = text.substr(1, text.size() - 2);
  return std::string(text);
}

}  // namespace

// The archive's bytes as a stream of decoded WARC text, with the file offset
// of every position. A gzip member that is damaged breaks the stream: the
// reader is told (broken()), drops what it had of the record, and the stream
// goes on with the next member.
class WarcReader::Input {
 public:
  Input(std::vector<ArchiveWarning>& warnings, ArchiveCounts& counts)
      : warnings_(warnings), counts_(counts) {}
  ~Input() {
    if (gzip_) inflateEnd(&z_);
    if (ownsFd_ && fd_ >= 0) ::close(fd_);
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  // `bytesRead`, when not null, receives every byte read from `fd` while
  // telling what the input is.
  ArchiveOpen open(int fd, bool owned, std::string& error, std::string* bytesRead) {
    fd_ = fd;
    ownsFd_ = owned;
    recording_ = bytesRead;
    const ArchiveOpen status = tell(error);
    recording_ = nullptr;
    return status;
  }

  // The decoded bytes read and not yet consumed.
  std::string_view data() const { return std::string_view(buffer_).substr(start_); }
  // The position of data() in the decoded stream.
  uint64_t position() const { return base_ + start_; }
  void consume(size_t n) { start_ += n; }

  // Adds decoded bytes after data(); false when there are none to add: at
  // the end of the archive, or at a damaged gzip member (broken()).
  bool fill() {
    if (broken_) return false;
    // Consumed bytes are dropped once they are half the buffer, so that the
    // buffer stays near the size of what the reader holds on to.
    if (start_ > 0 && start_ * 2 >= buffer_.size()) {
      buffer_.erase(0, start_);
      base_ += start_;
      start_ = 0;
    }
    return gzip_ ? fillGzip() : fillPlain();
  }

  bool broken() const { return broken_; }
  // Goes on after a break, without what was decoded before it.
  void clearBreak() {
    base_ += buffer_.size();
    buffer_.clear();
    start_ = 0;
    broken_ = false;
  }

  // The file offset of the decoded position `at`: in a gzip file, that of
  // the member it was decoded from. Members before it are forgotten.
  uint64_t fileOffset(uint64_t at) {
    if (!gzip_) return at;
    while (members_.size() > 1 && members_[1].decoded <= at) members_.pop_front();
    return members_.empty() ? rawOffset_ + rawPos_ : members_.front().file;
  }

 private:
  struct Member {
    uint64_t decoded;  // the position of its first byte in the decoded stream
    uint64_t file;     // its offset in the file
  };

  // Whether the input starts like an archive, plain or gzip.
  ArchiveOpen tell(std::string& error) {
    while (rawEnd_ < kRecordStartLength && readRaw()) {
    }
    if (readError_ != 0) {
      error = std::strerror(readError_);
      return ArchiveOpen::kCannotRead;
    }
    const std::string_view head(raw_.data(), rawEnd_);
    if (head.substr(0, kGzipMagic.size()) == kGzipMagic) {
      if (inflateInit2(&z_, kGzipWindowBits) != Z_OK) {
        error = "cannot start the gzip decoder";
        return ArchiveOpen::kCannotRead;
      }
      gzip_ = true;
      // A gzip file is an archive when its text starts with a record; a
      // first member too damaged to tell is given the benefit of the doubt.
      while (data().size() < kRecordStartLength && fill()) {
      }
      if (broken() || startsRecord(data())) return ArchiveOpen::kOpened;
    } else if (startsRecord(head)) {
      return ArchiveOpen::kOpened;
    }
    error = "not a WARC archive (neither a WARC record nor a gzip member starts it)";
    return ArchiveOpen::kNotArchive;
  }

  // Reads more of the file after the unread raw bytes; false at its end.
  bool readRaw() {
    if (eof_) return false;
    if (rawPos_ > 0) {
      std::memmove(raw_.data(), raw_.data() + rawPos_, rawEnd_ - rawPos_);
      rawOffset_ += rawPos_;
      rawEnd_ -= rawPos_;
      rawPos_ = 0;
    }
    for (;;) {
      const ssize_t got = ::read(fd_, raw_.data() + rawEnd_, raw_.size() - rawEnd_);
      if (got > 0) {
        if (recording_ != nullptr) recording_->append(raw_.data() + rawEnd_, static_cast<size_t>(got));
        rawEnd_ += static_cast<size_t>(got);
        return true;
      }
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        readError_ = errno;
        warnings_.push_back({rawOffset_ + rawEnd_, std::string("cannot read on: ") + std::strerror(errno)});
      }
      eof_ = true;
      return false;
    }
  }

  bool fillPlain() {
    if (rawPos_ == rawEnd_ && !readRaw()) return false;
    buffer_.append(raw_.data() + rawPos_, rawEnd_ - rawPos_);
    rawPos_ = rawEnd_;
    return true;
  }

  bool fillGzip() {
    for (;;) {
      if (!inMember_ && !startMember()) return false;
      if (rawPos_ == rawEnd_ && !readRaw()) {
        inMember_ = false;
        if (!resyncing_) lose(memberOffset_, "the gzip member breaks off at the end of the file");
        broken_ = true;
        return false;
      }
      z_.next_in = reinterpret_cast<Bytef*>(raw_.data() + rawPos_);
      z_.avail_in = static_cast<uInt>(rawEnd_ - rawPos_);
      const size_t used = buffer_.size();
      buffer_.resize(used + kStep);
      z_.next_out = reinterpret_cast<Bytef*>(&buffer_[used]);
      z_.avail_out = static_cast<uInt>(kStep);
      const int result = inflate(&z_, Z_NO_FLUSH);
      rawPos_ = rawEnd_ - z_.avail_in;
      buffer_.resize(used + kStep - z_.avail_out);
      const bool produced = buffer_.size() > used;
      if (result == Z_STREAM_END) {
        inMember_ = false;
        resyncing_ = false;
      } else if (result != Z_OK && result != Z_BUF_ERROR) {
        // Bytes of this member may have been taken for data: look for the
        // next member right after the start of this one.
        inMember_ = false;
        if (!resyncing_) {
          lose(memberOffset_, std::string("the gzip member is damaged (") +
                                  (z_.msg != nullptr ? z_.msg : "corrupt data") +
                                  "); reading goes on at the next member");
        }
        resyncing_ = true;
        broken_ = true;
        seek(memberOffset_ + 1);
        return false;
      }
      if (produced) return true;
    }
  }

  // Starts the member at the read position, or the next one after bytes
  // that are not a member; false at the end of the file or at a break.
  bool startMember() {
    while (rawEnd_ - rawPos_ < kGzipMagic.size() && readRaw()) {
    }
    if (rawPos_ == rawEnd_) return false;
    if (std::string_view(raw_.data() + rawPos_, rawEnd_ - rawPos_).substr(0, kGzipMagic.size()) !=
        kGzipMagic) {
      const uint64_t from = rawOffset_ + rawPos_;
      const bool found = skipToMagic();
      if (!resyncing_) {
        lose(from, found ? "bytes that are not a gzip member; reading goes on at the next member"
                         : "bytes that are not a gzip member up to the end of the file");
      }
      // What those bytes held is lost, and the record they were part of too.
      broken_ = true;
      return false;
    }
    inflateReset(&z_);
    inMember_ = true;
    memberOffset_ = rawOffset_ + rawPos_;
    members_.push_back({base_ + buffer_.size(), memberOffset_});
    return true;
  }

  // A member that breaks the stream costs the record it holds.
  void lose(uint64_t offset, std::string message) {
    warnings_.push_back({offset, std::move(message)});
    ++counts_.damaged;
  }

  // Moves the read position to the next gzip magic; false, at the end of
  // the file, when there is none.
  bool skipToMagic() {
    for (;;) {
      const std::string_view raw(raw_.data() + rawPos_, rawEnd_ - rawPos_);
      const size_t at = raw.find(kGzipMagic);
      if (at != std::string_view::npos) {
        rawPos_ += at;
        return true;
      }
      // A magic may begin in the last bytes and end in the next read.
      rawPos_ = rawEnd_ - std::min(raw.size(), kGzipMagic.size() - 1);
      if (!readRaw()) {
        rawPos_ = rawEnd_;
        return false;
      }
    }
  }

  // Moves the read position back to `offset` of the file: within the bytes
  // read, or by seeking. A pipe that cannot seek goes on from where it is.
  void seek(uint64_t offset) {
    if (offset >= rawOffset_ && offset <= rawOffset_ + rawEnd_) {
      rawPos_ = static_cast<size_t>(offset - rawOffset_);
      return;
    }
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return;
    rawOffset_ = offset;
    rawPos_ = rawEnd_ = 0;
    eof_ = false;
  }

  std::vector<ArchiveWarning>& warnings_;  // not owned: the reader's
  ArchiveCounts& counts_;                  // not owned: the reader's
  int fd_ = -1;
  bool ownsFd_ = false;
  std::string* recording_ = nullptr;  // not owned: receives what is read while open() tells the input
  bool eof_ = false;
  int readError_ = 0;

  std::vector<char> raw_ = std::vector<char>(kStep);  // the file's bytes, read ahead
  size_t rawPos_ = 0;                                 // the next byte to decode
  size_t rawEnd_ = 0;
  uint64_t rawOffset_ = 0;  // the file offset of raw_[0]

  std::string buffer_;  // decoded bytes; those before start_ are consumed
  size_t start_ = 0;
  uint64_t base_ = 0;  // the position of buffer_[0] in the decoded stream
  bool broken_ = false;

  bool gzip_ = false;
  z_stream z_{};
  bool inMember_ = false;
  bool resyncing_ =
      false;  // looking for a good member after a damaged one: the candidates that fail are not news
  uint64_t memberOffset_ = 0;
  std::deque<Member> members_;  // the members the unconsumed bytes came from
};

enum class WarcReader::Read : int {
  kOk = 0,
  kEnd,      // the end of the archive
  kDamaged,  // the record is lost; the reader is at the start of the next
};

WarcReader::WarcReader() = default;
WarcReader::~WarcReader() = default;

ArchiveOpen WarcReader::open(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return ArchiveOpen::kCannotRead;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    error = std::strerror(EISDIR);
    return ArchiveOpen::kCannotRead;
  }
  input_ = std::make_unique<Input>(warnings_, counts_);
  const ArchiveOpen status = input_->open(fd, true, error, nullptr);
  if (status != ArchiveOpen::kOpened) input_.reset();
  return status;
}

ArchiveOpen WarcReader::open(int fd, std::string& error) {
  input_ = std::make_unique<Input>(warnings_, counts_);
  std::string bytesRead;
  const ArchiveOpen status = input_->open(fd, false, error, &bytesRead);
  bytesRead_.clear();
  if (status == ArchiveOpen::kNotArchive) bytesRead_ = std::move(bytesRead);
  if (status != ArchiveOpen::kOpened) input_.reset();
  return status;
}

bool WarcReader::next(ArchivePage& page) {
  page = ArchivePage();
  if (!input_) return false;
  for (;;) {
    bool isPage = false;
    const Read read = readRecord(page, isPage);
    if (read == Read::kEnd) return false;
    if (read == Read::kOk && isPage) return true;
  }
}

std::vector<ArchiveWarning> WarcReader::takeWarnings() {
  return std::exchange(warnings_, {});
}

void WarcReader::warn(uint64_t offset, std::string message) {
  warnings_.push_back({offset, std::move(message)});
}

WarcReader::Read WarcReader::readRecord(ArchivePage& page, bool& isPage) {
  Input& in = *input_;
  // Line ends between records belong to neither.
  for (;;) {
    const std::string_view data = in.data();
    const size_t skip = std::min(data.find_first_not_of("\r\n"), data.size());
    in.consume(skip);
    if (skip < data.size()) break;
    if (in.fill()) continue;
    if (!in.broken()) return Read::kEnd;
    in.clearBreak();
  }
  const uint64_t offset = in.fileOffset(in.position());

  std::string header;
  const Read headerRead = readHeader(header);
  if (headerRead != Read::kOk) return headerRead;
  RecordHeader fields;
  parseFields(header, fields);
  uint64_t length = 0;
  if (!ascii::parseDecimal(fields.contentLength, length)) {
    warn(offset, "the record has no valid Content-Length; it is passed over");
    ++counts_.damaged;
    resynchronize();
    return Read::kDamaged;
  }
  in.consume(header.size());

  const bool http = fields.contentType.empty() ||
                    ascii::equalsIgnoringCase(fields.contentType.substr(0, 16), "application/http");
  bool wanted = ascii::equalsIgnoringCase(fields.type, "response") && http;
  if (wanted && length > recordLimit_) {
    warn(offset, "the record is " + std::to_string(length) + " bytes, more than the limit of " +
                     std::to_string(recordLimit_) + "; it is passed over");
    wanted = false;
  }
  std::string block;
  const Read blockRead = readBlock(length, wanted ? &block : nullptr);
  if (blockRead == Read::kEnd) {
    warn(offset, "the record breaks off at the end of the file");
    ++counts_.damaged;
    return Read::kDamaged;
  }
  if (blockRead == Read::kDamaged) return blockRead;

  // The block is followed by two line ends. A writer that leaves them out
  // or writes more is forgiven when the next record or the end follows.
  for (;;) {
    const std::string_view data = in.data();
    const size_t skip = std::min(data.find_first_not_of("\r\n"), data.size());
    if (skip < data.size() && data.size() - skip >= kRecordStartLength) break;
    if (!in.fill()) break;
  }
  const std::string_view after = in.data();
  const size_t skip = std::min(after.find_first_not_of("\r\n"), after.size());
  const bool ends = after.substr(0, 4) == "\r\n\r\n" || after.substr(0, 2) == "\n\n";
  if (!ends && skip < after.size() && !startsRecord(after.substr(skip))) {
    warn(offset, "the record does not end where its Content-Length says; it is passed over");
    ++counts_.damaged;
    resynchronize();
    return Read::kDamaged;
  }
  ++counts_.records;
  if (!wanted) {
    ++counts_.skipped;
    return Read::kOk;
  }

  HttpResponse response;
  std::string error;
  const size_t limit = static_cast<size_t>(std::min<uint64_t>(recordLimit_, SIZE_MAX - 1));
  switch (parseHttpResponse(block, limit, response, error)) {
    case HttpParse::kParsed:
      break;
    case HttpParse::kNotHttp:
      ++counts_.skipped;
      return Read::kOk;
    case HttpParse::kUndecodable:
    case HttpParse::kTooLarge:
      warn(offset, error + "; the record is passed over");
      ++counts_.damaged;
      return Read::kOk;
  }
  if (!isHtml(response) || !isSuccess(response)) {
    ++counts_.skipped;
    return Read::kOk;
  }
  page.body = std::move(response.body);
  page.url = withoutAngleBrackets(fields.targetUri);
  page.transportLabel = std::move(response.charset);
  page.recordId = std::move(fields.recordId);
  page.offset = offset;
  page.warnings = std::move(response.warnings);
  if (!fields.truncated.empty())
    page.warnings.push_back("the crawler cut this response short (WARC-Truncated: " + fields.truncated + ")");
  ++counts_.pages;
  isPage = true;
  return Read::kOk;
}

// The header of the record at the read position, up to and with its empty
// line, without consuming it.
WarcReader::Read WarcReader::readHeader(std::string& header) {
  Input& in = *input_;
  const uint64_t offset = in.fileOffset(in.position());
  size_t searched = 0;  // the bytes known to hold no end of the header
  for (;;) {
    const std::string_view data = in.data();
    if (data.size() >= kRecordStartLength && !startsRecord(data)) {
      warn(offset, "no WARC record starts here; reading goes on at the next record");
      ++counts_.damaged;
      resynchronize();
      return Read::kDamaged;
    }
    // The header ends at its first empty line.
    size_t end = std::string_view::npos;
    for (size_t at = data.find('\n', searched); at != std::string_view::npos; at = data.find('\n', at + 1)) {
      if (data.compare(at + 1, 1, "\n") == 0) end = at + 2;
      if (data.compare(at + 1, 2, "\r\n") == 0) end = at + 3;
      if (end != std::string_view::npos) break;
    }
    if (end != std::string_view::npos) {
      header.assign(data.substr(0, end));
      return Read::kOk;
    }
    searched = data.size() < 2 ? 0 : data.size() - 2;
    if (data.size() > kHeaderLimit) {
      warn(offset, "the record header has no end within " + std::to_string(kHeaderLimit) +
                       " bytes; reading goes on at the next record");
      ++counts_.damaged;
      resynchronize();
      return Read::kDamaged;
    }
    if (in.fill()) continue;
    if (in.broken()) {
      in.clearBreak();
      return Read::kDamaged;
    }
    warn(offset, "the record breaks off in its header at the end of the file");
    ++counts_.damaged;
    in.consume(in.data().size());
    return Read::kDamaged;
  }
}

// Reads `length` bytes of block into `block`, or passes over them when it
// is null. kEnd when the file ends first.
WarcReader::Read WarcReader::readBlock(uint64_t length, std::string* block) {
  Input& in = *input_;
  // Reserved up to a step: a length is only a claim until the bytes are there.
  if (block != nullptr) block->reserve(static_cast<size_t>(std::min<uint64_t>(length, 16 * kStep)));
  uint64_t left = length;
  while (left > 0) {
    const std::string_view data = in.data();
    if (data.empty()) {
      if (in.fill()) continue;
      if (!in.broken()) return Read::kEnd;
      in.clearBreak();
      return Read::kDamaged;
    }
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, data.size()));
    if (block != nullptr) block->append(data.substr(0, n));
    in.consume(n);
    left -= n;
  }
  return Read::kOk;
}

// Moves past the record that starts at the read position to the next line
// that starts a record (or the next gzip member), or to the end.
void WarcReader::resynchronize() {
  Input& in = *input_;
  if (in.data().empty() && !in.fill()) {
    if (in.broken()) in.clearBreak();
    return;
  }
  in.consume(1);
  for (;;) {
    const std::string_view data = in.data();
    for (size_t at = data.find("\nWARC/"); at != std::string_view::npos; at = data.find("\nWARC/", at + 1)) {
      if (at + 6 < data.size() && ascii::isDigit(data[at + 6])) {
        in.consume(at + 1);
        return;
      }
      if (at + 6 >= data.size()) break;
    }
    // A record start may begin in the last bytes and end in the next read.
    in.consume(data.size() - std::min(data.size(), kRecordStartLength));
    if (in.fill()) continue;
    if (in.broken()) {
      // The next member starts a record.
      in.clearBreak();
    } else {
      in.consume(in.data().size());
    }
    return;
  }
}

std::string archiveSource(std::string_view file, const ArchivePage& page) {
  std::string source(file);
  source.append(":").append(std::to_string(page.offset));
  if (!page.recordId.empty()) source.append(" ").append(page.recordId);
  return source;
}

std::string archiveWarningText(std::string_view file, const ArchiveWarning& warning) {
  return std::string(file) + ":" + std::to_string(warning.offset) + ": " + warning.message;
}

}  // namespace brevanto::archive
