// brevanto-extract: the main text of saved web pages, written as text files
// by the same analysis, selection and output as the browser extension.
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

#include "cli/options.h"
#include "cli/output_names.h"
#include "cli/page_loader.h"
#include "extractor/extraction_pipeline.h"
#include "extractor/messages.h"
#include "extractor/page_text.h"
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

// Whether anything but line breaks and blanks follows `from` in `text`.
bool holdsText(std::string_view text, size_t from) {
  return text.find_first_not_of(" \t\r\n", from) != std::string_view::npos;
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

// What the analysis is given for one page, and what its header says.
struct Page {
  std::string markup;
  std::string title;
  std::string url;
};

class Extractor {
 public:
  explicit Extractor(const Options& options) : options_(options), loader_(options.analysis()) {}

  // One page, start to end; true when its file was written (or its dump
  // printed).
  bool extract(const std::string& input) {
    const std::string name = displayName(input);
    Page page;
    if (!read(input, name, page)) return false;
    if (options_.dumping()) {
      ExtractionPipeline pipeline(options_.analysis());
      pipeline.analyze(page.markup.c_str());
      return dump(name, pipeline);
    }
    const PageText extracted = extractPageText(page.markup, page.url, page.title, options_.analysis());
    const std::string& text = extracted.file;
    if (!holdsText(text, extracted.headerLength))
      report(name, "warning: no text was selected; the file holds the header only");
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
  // Reads the page and makes it ready for the analysis; false, with the
  // cause reported, when there is nothing to analyse.
  bool read(const std::string& input, const std::string& name, Page& page) {
    std::string bytes;
    std::string error;
    if (!readInput(input, bytes, error)) return fail(name, "cannot read: " + error);
    if (bytes.empty()) return fail(name, kEmptyBodyMessage);
    page.title = options_.title ? stripAndCollapseWhitespace(*options_.title) : std::string();
    page.url = options_.url.value_or("");
    if (options_.markupInput) {
      // The analysis reads the markup as a NUL-terminated string.
      const size_t nul = bytes.find('\0');
      if (nul == 0) return fail(name, kEmptyBodyMessage);
      if (nul != std::string::npos) {
        report(name, "warning: the markup ends at the NUL byte at offset " + std::to_string(nul) +
                         "; what follows it is not analysed");
        bytes.resize(nul);
      }
      page.markup = std::move(bytes);
    } else {
      LoadedPage loaded;
      if (loader_.load(bytes, options_.encoding.value_or(""), loaded) != LoadStatus::kLoaded)
        return fail(name, loaded.error);
      page.markup = std::move(loaded.markup);
      if (!options_.title) page.title = std::move(loaded.title);
      if (!options_.url) page.url = std::move(loaded.url);
    }
    if (!options_.url && page.url.empty() && input != "-") page.url = fileUrlOf(input);
    return true;
  }

  // With several pages, each dump starts with a heading that names its
  // page, as head(1) separates files.
  bool dump(const std::string& name, ExtractionPipeline& pipeline) {
    clearProgress();
    std::string out;
    if (options_.inputs.size() > 1) out.append(dumped_++ == 0 ? "" : "\n").append("==> " + name + " <==\n");
    if (options_.dumpTags) out.append(pipeline.dumpTags());
    if (options_.dumpTree) {
      out.append(pipeline.dumpContent(
          pipeline.chooseContent(&pipeline.root, pipeline.minParagraphs, pipeline.minPlainShare)));
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
  PageLoader loader_;
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
