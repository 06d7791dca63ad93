#include "cli/batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "cli/formats.h"
#include "cli/text_escapes.h"
#include "extractor/extraction_pipeline.h"
#include "extractor/output/output.h"
#include "platform/output_file.h"
#include "platform/posix/output_stream.h"

namespace brevanto::cli {
namespace {

// Appends to `bytes` what is left to read of `fd`; false with `error` set.
bool readRest(int fd, std::string& bytes, std::string& error) {
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<size_t>(info.st_size) > bytes.size())
    bytes.reserve(static_cast<size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      return false;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

// The cause of a save that failed, in the words of the run.
std::string saveFailure(const platform::SaveOutcome& outcome, const std::string& path) {
  switch (outcome.status) {
    case platform::SaveStatus::kSaved:
      break;
    case platform::SaveStatus::kExists:
      return shellQuoted(path) + " exists; use --force to replace it";
    case platform::SaveStatus::kCannotCreate:
      return "cannot create " + shellQuoted(path) + ": " + outcome.reason;
    case platform::SaveStatus::kCannotWrite:
      return "cannot write " + shellQuoted(path) + ": " + outcome.reason;
  }
  return {};
}

}  // namespace

PageResult::PageResult() = default;
PageResult::~PageResult() = default;
PageResult::PageResult(PageResult&&) noexcept = default;
PageResult& PageResult::operator=(PageResult&&) noexcept = default;

PageJob::PageJob(const Options& options) : options_(options), pages_(options.analysis()) {}

void PageJob::run(PageItem& item, PageResult& result) {
  result = PageResult();
  if (item.kind == PageItem::Kind::kArchiveEnd) {
    result.ok = true;
    return;
  }
  try {
    std::string bytes = std::move(item.head);
    if (!item.error.empty()) {
      result.error = "cannot read: " + item.error;
      return;
    }
    if (item.rest.valid()) {
      const bool read = readRest(item.rest.get(), bytes, result.error);
      item.rest.reset();
      if (!read) {
        result.error = "cannot read: " + result.error;
        return;
      }
    }
    const PageRequest request = requestFor(item);
    // What was wrong with a response comes before what the analysis found.
    result.warnings = std::move(item.warnings);
    if (options_.dumping()) {
      result.ok = dump(bytes, request, result);
      return;
    }
    ExtractedPage page;
    if (!pages_.extract(bytes, request, page, result.error)) return;
    // The page's bytes are done with; only its result waits for its turn.
    bytes = std::string();
    page.warnings.insert(page.warnings.begin(), result.warnings.begin(), result.warnings.end());
    result.warnings = page.warnings;
    result.title = page.title;
    if (options_.format == Format::kText) {
      result.bytes = std::move(page.file);
    } else {
      result.bytes = jsonObject(page, item.source, options_.analysis());
    }
    // Making and writing a file is most of what saving costs: done here, on
    // every worker, it leaves only the naming, in the pages' order, to the
    // writing thread.
    if (!options_.outputFile && !options_.oneStream()) {
      auto file = std::make_unique<platform::UnnamedFile>();
      if (file->write(options_.directory.value_or(""), result.bytes.data(), result.bytes.size()))
        result.file = std::move(file);
    }
    result.ok = true;
  } catch (const std::bad_alloc&) {
    result = PageResult();
    result.error = "not enough memory to analyse the page";
  }
}

PageRequest PageJob::requestFor(const PageItem& item) const {
  PageRequest request;
  request.encodingLabel = options_.encoding.value_or("");
  request.title = options_.title;
  request.url = options_.url;
  if (item.kind == PageItem::Kind::kRecord) {
    // A page of an archive is where the crawler fetched it from, whatever
    // it says of itself, and in the charset it was served with unless its
    // bytes or the user say otherwise.
    if (!request.url && !item.url.empty()) request.url = item.url;
    request.transportLabel = item.transportLabel;
  } else if (options_.inputs[item.input] != "-") {
    request.fallbackUrl = fileUrlOf(options_.inputs[item.input]);
  }
  request.markupInput = options_.markupInput;
  // The Windows server's bytes for its analysis; otherwise the system's
  // line ends, or CR LF when asked, with the header on the first line.
  if (options_.analysis() == Analysis::kModern)
    request.textFormat = options_.crlf ? TextFileFormat{LineEnd::kCrLf, false} : lfTextFile();
  return request;
}

bool PageJob::dump(const std::string& bytes, const PageRequest& request, PageResult& result) {
  PreparedPage page;
  if (!pages_.prepare(bytes, request, page, result.error)) return false;
  result.warnings.insert(result.warnings.end(), page.warnings.begin(), page.warnings.end());
  ExtractionPipeline pipeline(options_.analysis());
  pipeline.analyze(page.markup.c_str());
  if (options_.dumpTags) result.bytes.append(pipeline.dumpTags());
  if (options_.dumpTree) {
    result.bytes.append(pipeline.dumpContent(pipeline.chooseContent()));
    result.bytes.append(pipeline.dumpTree());
  }
  return true;
}

BatchWriter::BatchWriter(const Options& options) : options_(options), names_(extensionOf(options.format)) {}

BatchWriter::~BatchWriter() = default;

bool BatchWriter::prepare() {
  for (const std::string& input : options_.inputs) {
    struct stat info {};
    if (input != "-" && ::stat(input.c_str(), &info) == 0 && S_ISREG(info.st_mode))
      inputs_.emplace(info.st_dev, info.st_ino);
  }
  if (options_.directory) {
    // Every page would fail alike on a folder it cannot write into.
    const std::string& folder = *options_.directory;
    struct stat info {};
    int error = ::stat(folder.c_str(), &info) != 0 ? errno : !S_ISDIR(info.st_mode) ? ENOTDIR : 0;
    if (error == 0 && ::access(folder.c_str(), W_OK | X_OK) != 0) error = errno;
    if (error != 0) {
      report("cannot write into " + shellQuoted(folder) + ": " + std::strerror(error));
      return false;
    }
  }
  if (options_.format == Format::kJsonLines && !options_.toStandardOutput()) {
    const std::string& path = *options_.outputFile;
    if (isInput(path)) {
      report("will not write over " + shellQuoted(path) + ": it is an input of this run");
      return false;
    }
    stream_ = std::make_unique<platform::OutputStream>();
    const platform::SaveOutcome opened = stream_->open(path.c_str(), options_.force);
    if (opened.status != platform::SaveStatus::kSaved) {
      report(saveFailure(opened, path));
      return false;
    }
  }
  return true;
}

bool BatchWriter::take(const PageItem& item, const PageResult& result) {
  for (const std::string& damage : item.damage) report(damage);
  if (item.kind == PageItem::Kind::kArchiveEnd) return true;
  const std::string& name = item.name;
  const std::string& input = options_.inputs[item.input];
  // A response cut short may be why its page fails: said first.
  for (const std::string& warning : result.warnings)
    report(std::string(name).append(": warning: ").append(warning));
  if (!result.ok) return fail(name, result.error);
  if (options_.dumping()) return dump(name, result.bytes);
  if (stream_) return writeToStream(name, result.bytes);
  if (options_.toStandardOutput()) return writeToStandardOutput(name, result.bytes);
  return save(name, input, result);
}

bool BatchWriter::closeStream() {
  if (!stream_) return true;
  const platform::SaveOutcome committed = stream_->commit();
  stream_.reset();
  if (committed.status != platform::SaveStatus::kSaved) {
    if (!streamFailed_) report(saveFailure(committed, *options_.outputFile));
    return false;
  }
  list(*options_.outputFile);
  if (options_.open) open(*options_.outputFile);
  return true;
}

bool BatchWriter::finish() {
  bool ok = true;
  if (!options_.dumping() && !options_.toStandardOutput()) {
    const platform::SaveOutcome durable = platform::makeSavesDurable();
    if (durable.status != platform::SaveStatus::kSaved) {
      report("cannot put the written files on the disk: " + durable.reason);
      ok = false;
    }
  }
  if ((std::fflush(stdout) != 0 || std::ferror(stdout) != 0) && stdoutError_ == 0) stdoutError_ = errno;
  if (stdoutError_ != 0) {
    if (!stdoutErrorReported_)
      report(std::string("cannot write to standard output: ") + std::strerror(stdoutError_));
    stdoutErrorReported_ = true;
    ok = false;
  }
  return ok;
}

void BatchWriter::showProgress(size_t current, size_t total, const std::string& what) {
  std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", current, total, what.c_str());
  std::fflush(stderr);
  progressShown_ = true;
}

// The progress line is cleared before anything else is printed, so that
// messages start on a line of their own.
void BatchWriter::clearProgress() {
  if (!progressShown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  progressShown_ = false;
}

void BatchWriter::report(const std::string& message) {
  clearProgress();
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
}

bool BatchWriter::save(const std::string& name, const std::string& input, const PageResult& result) {
  std::string fileName;
  std::string path;
  if (options_.outputFile) {
    path = *options_.outputFile;
  } else {
    fileName = names_.nameFor(result.title, input, options_.nameFromInput);
    const std::string folder = options_.directory.value_or(".");
    path = folder == "." ? fileName : folder + (folder.back() == '/' ? "" : "/") + fileName;
  }
  if (isInput(path))
    return fail(name, "will not write over " + shellQuoted(path) + ": it is an input of this run");
  const platform::SaveOutcome outcome =
      result.file
          ? platform::saveWritten(path.c_str(), *result.file, result.bytes.data(), result.bytes.size(),
                                  options_.force)
          : platform::saveFile(path.c_str(), result.bytes.data(), result.bytes.size(), options_.force);
  if (outcome.status != platform::SaveStatus::kSaved) return fail(name, saveFailure(outcome, path));
  if (!fileName.empty()) names_.markWritten(fileName);
  list(path);
  if (options_.open) open(path);
  return true;
}

bool BatchWriter::writeToStandardOutput(const std::string& name, const std::string& bytes) {
  clearProgress();
  if (stdoutError_ != 0) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0)
    return true;
  stdoutError_ = errno;
  stdoutErrorReported_ = true;
  return fail(name, std::string("cannot write to standard output: ") + std::strerror(stdoutError_));
}

bool BatchWriter::writeToStream(const std::string& name, const std::string& bytes) {
  const platform::SaveOutcome written = stream_->write(bytes.data(), bytes.size());
  if (written.status == platform::SaveStatus::kSaved) return true;
  if (streamFailed_) return false;
  streamFailed_ = true;
  return fail(name, saveFailure(written, *options_.outputFile));
}

// With several pages, each dump starts with a heading that names its page,
// as head(1) separates files.
bool BatchWriter::dump(const std::string& name, const std::string& bytes) {
  clearProgress();
  std::string out;
  if (options_.inputs.size() > 1 || options_.archives)
    out.append(dumped_++ == 0 ? "" : "\n").append("==> " + name + " <==\n");
  out.append(bytes);
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() && stdoutError_ == 0) stdoutError_ = errno;
  return true;
}

// Whether `path` is a file this run reads, under any name: writing it
// would replace a page before (or after) it is read.
bool BatchWriter::isInput(const std::string& path) const {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         inputs_.count({info.st_dev, info.st_ino}) != 0;
}

void BatchWriter::list(const std::string& path) {
  clearProgress();
  if ((std::printf("%s\n", path.c_str()) < 0 || std::fflush(stdout) != 0) && stdoutError_ == 0)
    stdoutError_ = errno;
}

void BatchWriter::open(const std::string& path) {
  if (openWrittenFile(path.c_str())) return;
  if (viewerMissing_) return;
  viewerMissing_ = true;
  report("warning: --open: no viewer (xdg-open) could be started");
}

bool BatchWriter::fail(const std::string& name, const std::string& cause) {
  report(name + ": " + cause);
  return false;
}

}  // namespace brevanto::cli
