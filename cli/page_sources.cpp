#include "cli/page_sources.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "cli/text_escapes.h"

namespace brevanto::cli {

std::string inputName(const std::string& input) {
  return input == "-" ? "(standard input)" : shellQuotedIfNeeded(input);
}

InputFd::~InputFd() {
  reset();
}

InputFd::InputFd(InputFd&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), owned_(std::exchange(other.owned_, false)) {}

InputFd& InputFd::operator=(InputFd&& other) noexcept {
  if (this != &other) {
    reset();
    fd_ = std::exchange(other.fd_, -1);
    owned_ = std::exchange(other.owned_, false);
  }
  return *this;
}

void InputFd::reset() {
  if (owned_ && fd_ >= 0) ::close(fd_);
  fd_ = -1;
  owned_ = false;
}

PageSources::PageSources(const std::vector<std::string>& inputs)
    : inputs_(inputs), kinds_(inputs.size(), Kind::kUntold) {}

PageSources::~PageSources() = default;

bool PageSources::includesArchives() {
  bool archives = false;
  for (size_t i = 0; i < inputs_.size(); ++i) {
    const std::string& input = inputs_[i];
    struct stat info {};
    if (input != "-" && ::stat(input.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      archive::WarcReader reader;
      std::string error;
      const archive::ArchiveOpen opened = reader.open(input, error);
      if (opened == archive::ArchiveOpen::kOpened) kinds_[i] = Kind::kArchive;
      if (opened == archive::ArchiveOpen::kNotArchive) kinds_[i] = Kind::kPage;
      archives = archives || kinds_[i] == Kind::kArchive;
    } else if (inputs_.size() == 1) {
      // What is read of a pipe to tell it is gone from it: the page, or
      // the archive's reader, waits for the run.
      auto page = std::make_unique<PageItem>();
      if (start(i, *page)) {
        told_ = std::move(page);
      } else {
        archives = true;
      }
    }
  }
  return archives;
}

bool PageSources::next(PageItem& item) {
  try {
    return take(item);
  } catch (const std::bad_alloc&) {
    // A record too large for the memory left: the input fails as a page
    // would, and the run goes on with the next.
    if (nextInput_ == inputs_.size()) return false;
    item = PageItem();
    item.input = nextInput_;
    item.name = inputName(inputs_[nextInput_]);
    item.source = inputs_[nextInput_];
    item.error = "not enough memory to read on; the rest of it is passed over";
    reader_.reset();
    archiveFd_.reset();
    told_.reset();
    ++nextInput_;
    return true;
  }
}

bool PageSources::take(PageItem& item) {
  item = PageItem();
  for (;;) {
    if (reader_) return nextRecord(item);
    if (told_) {
      item = std::move(*told_);
      told_.reset();
      ++nextInput_;
      return true;
    }
    if (nextInput_ == inputs_.size()) return false;
    if (start(nextInput_, item)) {
      ++nextInput_;
      return true;
    }
  }
}

bool PageSources::start(size_t index, PageItem& item) {
  const std::string& input = inputs_[index];
  item.kind = PageItem::Kind::kFile;
  item.input = index;
  item.name = inputName(input);
  item.source = input;
  InputFd fd;
  if (input == "-") {
    fd = InputFd(STDIN_FILENO, false);
  } else {
    const int opened = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
    if (opened < 0) {
      item.error = std::strerror(errno);
      return true;
    }
    fd = InputFd(opened, true);
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) == 0 && S_ISDIR(info.st_mode)) {
    item.error = std::strerror(EISDIR);
    return true;
  }
  if (kinds_[index] == Kind::kPage) {
    item.rest = std::move(fd);
    return true;
  }
  auto reader = std::make_unique<archive::WarcReader>();
  std::string error;
  switch (reader->open(fd.get(), error)) {
    case archive::ArchiveOpen::kOpened:
      reader_ = std::move(reader);
      archiveFd_ = std::move(fd);
      return false;
    case archive::ArchiveOpen::kNotArchive:
      item.head = reader->takeBytesRead();
      item.rest = std::move(fd);
      return true;
    case archive::ArchiveOpen::kCannotRead:
      break;
  }
  item.error = error;
  return true;
}

bool PageSources::nextRecord(PageItem& item) {
  const std::string& input = inputs_[nextInput_];
  const std::string name = inputName(input);
  archive::ArchivePage page;
  const bool more = reader_->next(page);
  item.input = nextInput_;
  for (const archive::ArchiveWarning& warning : reader_->takeWarnings())
    item.damage.push_back(archive::archiveWarningText(name, warning));
  const archive::ArchiveCounts& counts = reader_->counts();
  item.recordsRead = counts.records + counts.damaged;
  if (more) {
    item.kind = PageItem::Kind::kRecord;
    item.name = name + ":" + std::to_string(page.offset);
    item.source = archive::archiveSource(input, page);
    item.head = std::move(page.body);
    item.url = std::move(page.url);
    item.transportLabel = std::move(page.transportLabel);
    item.warnings = std::move(page.warnings);
    return true;
  }
  item.kind = PageItem::Kind::kArchiveEnd;
  item.name = name;
  item.source = input;
  item.counts = counts;
  reader_.reset();
  archiveFd_.reset();
  ++nextInput_;
  return true;
}

}  // namespace brevanto::cli
