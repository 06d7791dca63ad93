// brevanto-extract: the main text of saved web pages, written as text files
// by the same analysis, selection and output as the Windows automation server.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "cli/output_names.h"
#include "cli/page_extraction.h"
#include "extractor/extraction_pipeline.h"
#include "platform/output_file.h"

namespace brevanto::cli {
namespace {

// Exit statuses.
constexpr int kAllWritten = 0;
constexpr int kSomeFailed = 1;
constexpr int kBadUsage = 2;

// Reads all of `input` ("-" for standard input); false with `error` set.
bool readInput(const std::string& input, std::string& bytes, std::string& error) {
  const bool fromStdin = input == "-";
  const int fd = fromStdin ? STDIN_FILENO : ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    error = std::strerror(EISDIR);
    if (!fromStdin) ::close(fd);
    return false;
  }
  if (S_ISREG(info.st_mode) && info.st_size > 0) bytes.reserve(static_cast<size_t>(info.st_size));
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      ok = false;
      break;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
  if (!fromStdin) ::close(fd);
  return ok;
}

// The file:// URL of a local file, its bytes outside the unreserved set
// percent-encoded.
std::string fileUrlOf(const std::string& input) {
  char resolved[PATH_MAX];
  std::string path = ::realpath(input.c_str(), resolved) != nullptr ? std::string(resolved) : input;
  std::string url = "file://";
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
                       std::strchr("/-._~", c) != nullptr;
    if (plain) {
      url.push_back(c);
    } else {
      url.push_back('%');
      url.push_back(kHex[b >> 4]);
      url.push_back(kHex[b & 15]);
    }
  }
  return url;
}

std::string displayName(const std::string& input) {
  return input == "-" ? "(standard input)" : input;
}

// The progress line on a terminal's standard error; it is cleared before
// anything else is printed, so that messages start on a line of their own.
bool progressShown = false;

void showProgress(size_t current, size_t total, const std::string& input) {
  std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", current, total, displayName(input).c_str());
  std::fflush(stderr);
  progressShown = true;
}

void clearProgress() {
  if (!progressShown) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  progressShown = false;
}

void report(const std::string& name, const std::string& message) {
  clearProgress();
  std::fprintf(stderr, "%s: %s: %s\n", kProgram, name.c_str(), message.c_str());
}

class Extractor {
 public:
  explicit Extractor(const Options& options) : options_(options), pages_(options.analysis()) {}

  // One page, start to end; true when its file was written (or its dump
  // printed).
  bool extract(const std::string& input) {
    const std::string name = displayName(input);
    std::string bytes;
    std::string error;
    if (!readInput(input, bytes, error)) return fail(name, "cannot read: " + error);
    const PageRequest request = requestFor(input);
    if (options_.dumping()) {
      PreparedPage page;
      if (!pages_.prepare(bytes, request, page, error)) return fail(name, error);
      warn(name, page.warnings);
      ExtractionPipeline pipeline(options_.analysis());
      pipeline.analyze(page.markup.c_str());
      return dump(name, pipeline);
    }
    ExtractedPage page;
    if (!pages_.extract(bytes, request, page, error)) return fail(name, error);
    warn(name, page.warnings);
    const std::string& text = page.file;
    if (options_.toStandardOutput()) {
      if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        return fail(name, std::string("cannot write to standard output: ") + std::strerror(errno));
      return true;
    }
    return save(name, input, page.title, text);
  }

  // Ends the run: the written files on the disk and the list of their
  // paths complete. False, with the cause reported, when either failed.
  bool finish() {
    bool ok = true;
    if (!options_.dumping() && !options_.toStandardOutput()) {
      const platform::SaveOutcome durable = platform::makeSavesDurable();
      if (durable.status != platform::SaveStatus::kSaved) {
        clearProgress();
        std::fprintf(stderr, "%s: cannot put the written files on the disk: %s\n", kProgram,
                     durable.reason.c_str());
        ok = false;
      }
    }
    if ((std::fflush(stdout) != 0 || std::ferror(stdout) != 0) && stdoutError_ == 0) stdoutError_ = errno;
    if (stdoutError_ != 0) {
      clearProgress();
      std::fprintf(stderr, "%s: cannot write to standard output: %s\n", kProgram,
                   std::strerror(stdoutError_));
      ok = false;
    }
    return ok;
  }

 private:
  PageRequest requestFor(const std::string& input) const {
    PageRequest request;
    request.encodingLabel = options_.encoding.value_or("");
    request.title = options_.title;
    request.url = options_.url;
    if (input != "-") request.fallbackUrl = fileUrlOf(input);
    request.markupInput = options_.markupInput;
    return request;
  }

  static void warn(const std::string& name, const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings) report(name, "warning: " + warning);
  }

  // With several pages, each dump starts with a heading that names its
  // page, as head(1) separates files.
  bool dump(const std::string& name, ExtractionPipeline& pipeline) {
    clearProgress();
    std::string out;
    if (options_.inputs.size() > 1) out.append(dumped_++ == 0 ? "" : "\n").append("==> " + name + " <==\n");
    if (options_.dumpTags) out.append(pipeline.dumpTags());
    if (options_.dumpTree) {
      out.append(pipeline.dumpContent(pipeline.chooseContent()));
      out.append(pipeline.dumpTree());
    }
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() && stdoutError_ == 0)
      stdoutError_ = errno;
    return true;
  }

  bool save(const std::string& name, const std::string& input, const std::string& title,
            const std::string& text) {
    std::string fileName;
    std::string path;
    if (options_.outputFile) {
      path = *options_.outputFile;
    } else {
      fileName = names_.nameFor(title, input, options_.nameFromInput);
      const std::string folder = options_.directory.value_or(".");
      path = folder == "." ? fileName : folder + (folder.back() == '/' ? "" : "/") + fileName;
    }
    const platform::SaveOutcome outcome =
        platform::saveFile(path.c_str(), text.data(), text.size(), options_.force);
    switch (outcome.status) {
      case platform::SaveStatus::kSaved:
        break;
      case platform::SaveStatus::kExists:
        return fail(name, "'" + path + "' exists; use --force to replace it");
      case platform::SaveStatus::kCannotCreate:
        return fail(name, "cannot create '" + path + "': " + outcome.reason);
      case platform::SaveStatus::kCannotWrite:
        return fail(name, "cannot write '" + path + "': " + outcome.reason);
    }
    if (!fileName.empty()) names_.markWritten(fileName);
    clearProgress();
    if ((std::printf("%s\n", path.c_str()) < 0 || std::fflush(stdout) != 0) && stdoutError_ == 0)
      stdoutError_ = errno;
    if (options_.open) open(path);
    return true;
  }

  void open(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    if (platform::openWithViewer(folder.c_str(), path.c_str() + (slash == std::string::npos ? 0 : slash + 1)))
      return;
    if (viewerMissing_) return;
    viewerMissing_ = true;
    clearProgress();
    std::fprintf(stderr, "%s: warning: --open: no viewer (xdg-open) could be started\n", kProgram);
  }

  static bool fail(const std::string& name, const std::string& cause) {
    report(name, cause);
    return false;
  }

  const Options& options_;  // not owned: the run's, outlives the extractor
  PageExtractor pages_;
  OutputNames names_;
  int dumped_ = 0;              // the dumps printed so far
  int stdoutError_ = 0;         // the first error writing to standard output
  bool viewerMissing_ = false;  // said once, not for every page
};

int run(int argc, char** argv) {
  Options options;
  switch (parseCommandLine(argc, argv, isatty(STDIN_FILENO) != 0, options)) {
    case Command::kExtract:
      break;
    case Command::kHelp:
      std::fputs(kUsage, stdout);
      return std::fflush(stdout) == 0 ? kAllWritten : kSomeFailed;
    case Command::kVersion:
      std::printf("%s %s\n", kProgram, BREVANTO_VERSION);
      return std::fflush(stdout) == 0 ? kAllWritten : kSomeFailed;
    case Command::kBadUsage:
      return kBadUsage;
  }
  const bool progress = isatty(STDERR_FILENO) != 0 && options.inputs.size() > 1;
  Extractor extractor(options);
  size_t failed = 0;
  const size_t total = options.inputs.size();
  for (size_t i = 0; i < total; ++i) {
    if (progress) showProgress(i + 1, total, options.inputs[i]);
    if (!extractor.extract(options.inputs[i])) ++failed;
  }
  clearProgress();
  const bool finished = extractor.finish();
  const char* done = options.dumping() ? "analysed" : "written";
  if (failed == 0) {
    std::fprintf(stderr, "%s: %zu page%s %s\n", kProgram, total, total == 1 ? "" : "s", done);
  } else {
    std::fprintf(stderr, "%s: %zu of %zu page%s %s, %zu failed\n", kProgram, total - failed, total,
                 total == 1 ? "" : "s", done, failed);
  }
  return failed == 0 && finished ? kAllWritten : kSomeFailed;
}

}  // namespace
}  // namespace brevanto::cli

int main(int argc, char** argv) {
  return brevanto::cli::run(argc, argv);
}
