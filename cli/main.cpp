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
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/page_loader.h"
#include "extractor/extraction_pipeline.h"
#include "platform/output_file.h"

namespace brevanto::cli {
namespace {

constexpr char kProgram[] = "brevanto-extract";

// Exit statuses.
constexpr int kAllWritten = 0;
constexpr int kSomeFailed = 1;
constexpr int kBadUsage = 2;

constexpr char kUsage[] =
    "Usage: brevanto-extract [OPTION]... [PAGE]...\n"
    "Write the main text of each saved web PAGE to a text file: a header with the\n"
    "page's URL and title, then the text of the parts that carry the article.\n"
    "With no PAGE, or when PAGE is -, read standard input.\n"
    "\n"
    "Output:\n"
    "  -d, --directory DIR    write into DIR (default: the current folder), each file\n"
    "                         named after the page title made safe, plus \".txt\"\n"
    "  -o, --output FILE      write the one PAGE to FILE; - writes to standard output\n"
    "      --name-from-input  name each file after its PAGE (stem + \".txt\") instead\n"
    "  -f, --force            replace files that exist (never one written in this run)\n"
    "      --open             open each written file with the desktop's viewer\n"
    "\n"
    "Input:\n"
    "      --encoding LABEL   read the pages in this encoding (after a byte-order mark);\n"
    "                         otherwise <meta> charset, else UTF-8 when valid, else\n"
    "                         windows-1252, as a browser does\n"
    "      --markup           PAGE is already the body's outer markup: analyse its bytes\n"
    "                         as they are, without decoding or re-serializing\n"
    "      --title TEXT       the title for the header and the file name (default: the\n"
    "                         page's <title>)\n"
    "      --url TEXT         the URL for the header (default: the page's \"saved from\"\n"
    "                         comment, else its canonical link, else its file:// URL)\n"
    "\n"
    "Debugging:\n"
    "      --dump-tags        print the tag list of the analysis instead of writing\n"
    "      --dump-tree        print the scored element tree instead of writing\n"
    "  -h, --help             show this help and exit\n"
    "      --version          show the version and exit\n"
    "\n"
    "The path of every file written goes to standard output, errors and a summary\n"
    "to standard error. Exit status: 0 when every page was written, 1 when any page\n"
    "failed, 2 for bad usage.\n";

struct Options {
  std::vector<std::string> inputs;
  std::string outputFile;  // -o; "-" for standard output
  bool hasOutputFile = false;
  std::string directory = ".";
  bool hasDirectory = false;
  bool nameFromInput = false;
  bool force = false;
  bool open = false;
  std::string encoding;
  bool markupInput = false;
  std::string title;
  bool hasTitle = false;
  std::string url;
  bool hasUrl = false;
  bool dumpTags = false;
  bool dumpTree = false;
};

void usageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram, message.c_str(),
               kProgram);
}

// Reads the options into `options`; returns -1 to go on, otherwise the exit
// status.
int parseArguments(int argc, char** argv, Options& options) {
  bool onlyInputs = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (onlyInputs || arg == "-" || arg.empty() || arg[0] != '-') {
      options.inputs.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyInputs = true;
      continue;
    }
    std::string value;
    bool hasInlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      const size_t equals = arg.find('=');
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
        arg.resize(equals);
        hasInlineValue = true;
      }
    }
    auto takeValue = [&](std::string& into) {
      if (hasInlineValue) {
        into = value;
        return true;
      }
      if (i + 1 >= argc) {
        usageError("option '" + arg + "' needs a value");
        return false;
      }
      into = argv[++i];
      return true;
    };
    auto noValue = [&]() {
      if (hasInlineValue) usageError("option '" + arg + "' takes no value");
      return !hasInlineValue;
    };
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return kAllWritten;
    }
    if (arg == "--version") {
      std::printf("%s %s\n", kProgram, BREVANTO_VERSION);
      return kAllWritten;
    }
    bool ok = true;
    if (arg == "-o" || arg == "--output") {
      ok = takeValue(options.outputFile);
      options.hasOutputFile = true;
    } else if (arg == "-d" || arg == "--directory") {
      ok = takeValue(options.directory);
      options.hasDirectory = true;
    } else if (arg == "--encoding") {
      ok = takeValue(options.encoding);
    } else if (arg == "--title") {
      ok = takeValue(options.title);
      options.hasTitle = true;
    } else if (arg == "--url") {
      ok = takeValue(options.url);
      options.hasUrl = true;
    } else if (arg == "--name-from-input") {
      ok = noValue() && (options.nameFromInput = true);
    } else if (arg == "-f" || arg == "--force") {
      ok = noValue() && (options.force = true);
    } else if (arg == "--open") {
      ok = noValue() && (options.open = true);
    } else if (arg == "--markup") {
      ok = noValue() && (options.markupInput = true);
    } else if (arg == "--dump-tags") {
      ok = noValue() && (options.dumpTags = true);
    } else if (arg == "--dump-tree") {
      ok = noValue() && (options.dumpTree = true);
    } else {
      usageError("unknown option '" + arg + "'");
      return kBadUsage;
    }
    if (!ok) return kBadUsage;
  }
  if (options.inputs.empty()) {
    if (isatty(STDIN_FILENO)) {
      usageError("no page given");
      return kBadUsage;
    }
    options.inputs.emplace_back("-");
  }
  if (options.hasOutputFile && options.hasDirectory) {
    usageError("-o and -d cannot be used together");
    return kBadUsage;
  }
  if (options.hasOutputFile && options.inputs.size() != 1) {
    usageError("-o takes exactly one page; use -d for several");
    return kBadUsage;
  }
  if (options.hasOutputFile && options.outputFile.empty()) {
    usageError("-o needs a file name");
    return kBadUsage;
  }
  if (options.hasOutputFile && options.outputFile == "-" && options.open) {
    usageError("--open needs a file, not standard output");
    return kBadUsage;
  }
  if (!options.encoding.empty() && !isKnownEncoding(options.encoding)) {
    usageError("unknown encoding '" + options.encoding + "'");
    return kBadUsage;
  }
  if (options.markupInput && !options.encoding.empty()) {
    usageError("--markup input is analysed as it is: --encoding does not apply");
    return kBadUsage;
  }
  int stdinCount = 0;
  for (const std::string& input : options.inputs) stdinCount += input == "-" ? 1 : 0;
  if (stdinCount > 1) {
    usageError("standard input can be read only once");
    return kBadUsage;
  }
  return -1;
}

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

// The stem of the input's file name: up to its last dot, unless the dot
// starts the name.
std::string inputStem(const std::string& input) {
  if (input == "-") return "stdin";
  std::string name = input.substr(input.rfind('/') == std::string::npos ? 0 : input.rfind('/') + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name.empty() ? "page" : name;
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

class Extractor {
 public:
  explicit Extractor(const Options& options) : options_(options) {}

  // One page, start to end; true when its file was written.
  bool extract(const std::string& input) {
    const std::string name = displayName(input);
    std::string bytes;
    std::string error;
    if (!readInput(input, bytes, error)) return fail(name, "cannot read: " + error);

    std::string title = options_.title;
    std::string url = options_.url;
    std::string markup;
    if (options_.markupInput) {
      markup = std::move(bytes);
    } else {
      LoadedPage page;
      if (loader_.load(bytes, options_.encoding, page) != LoadStatus::kLoaded) return fail(name, page.error);
      markup = std::move(page.markup);
      if (!options_.hasTitle) title = std::move(page.title);
      if (!options_.hasUrl) url = std::move(page.url);
    }
    if (!options_.hasUrl && url.empty() && input != "-") url = fileUrlOf(input);
    if (markup.empty() || markup[0] == '\0') {
      clearProgress();
      std::fprintf(stderr, "%s: %s: Sorry! cannot get content!\n", kProgram, name.c_str());
      return false;
    }

    ExtractionPipeline pipeline;
    pipeline.analyze(markup.c_str());
    if (options_.dumpTags || options_.dumpTree) {
      clearProgress();
      if (options_.dumpTags) std::fputs(pipeline.dumpTags().c_str(), stdout);
      if (options_.dumpTree) std::fputs(pipeline.dumpTree().c_str(), stdout);
      return true;
    }
    const ContentList content =
        pipeline.selectContent(&pipeline.root, pipeline.minParagraphs, pipeline.minPlainShare);
    const std::string text = ExtractionPipeline::formatTextFile(content, url, title);
    if (options_.hasOutputFile && options_.outputFile == "-") {
      if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        return fail(name, std::string("cannot write to standard output: ") + std::strerror(errno));
      }
      return true;
    }
    return save(name, outputPathFor(input, title), text);
  }

 private:
  std::string outputPathFor(const std::string& input, const std::string& title) const {
    if (options_.hasOutputFile) return options_.outputFile;
    std::string fileName;
    if (options_.nameFromInput) {
      fileName = inputStem(input) + ".txt";
    } else {
      // The same cleaning as the proposal of the Save As dialog.
      const std::string proposed = title + ".txt";
      fileName = ExtractionPipeline::defaultFileName(proposed.c_str()).value_or("_txt.txt");
    }
    std::string folder = options_.directory;
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder == "./" ? fileName : folder + fileName;
  }

  bool save(const std::string& name, const std::string& path, const std::string& text) {
    if (written_.count(path) != 0) {
      return fail(name,
                  "'" + path + "' was already written by another page of this run; use --name-from-input");
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
    written_.insert(path);
    clearProgress();
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    if (options_.open) {
      const size_t slash = path.rfind('/');
      const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
      platform::openWithViewer(folder.c_str(), path.c_str() + (slash == std::string::npos ? 0 : slash + 1));
    }
    return true;
  }

  static bool fail(const std::string& name, const std::string& cause) {
    clearProgress();
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, name.c_str(), cause.c_str());
    return false;
  }

  const Options& options_;
  PageLoader loader_;
  std::set<std::string> written_;
};

int run(int argc, char** argv) {
  Options options;
  if (const int status = parseArguments(argc, argv, options); status >= 0) return status;
  const bool progress = isatty(STDERR_FILENO) != 0 && options.inputs.size() > 1;
  Extractor extractor(options);
  size_t failed = 0;
  const size_t total = options.inputs.size();
  for (size_t i = 0; i < total; ++i) {
    if (progress) showProgress(i + 1, total, options.inputs[i]);
    if (!extractor.extract(options.inputs[i])) ++failed;
  }
  clearProgress();
  const bool dumping = options.dumpTags || options.dumpTree;
  const char* done = dumping ? "analysed" : "written";
  if (failed == 0) {
    std::fprintf(stderr, "%s: %zu page%s %s\n", kProgram, total, total == 1 ? "" : "s", done);
  } else {
    std::fprintf(stderr, "%s: %zu of %zu page%s %s, %zu failed\n", kProgram, total - failed, total,
                 total == 1 ? "" : "s", done, failed);
  }
  return failed == 0 ? kAllWritten : kSomeFailed;
}

}  // namespace
}  // namespace brevanto::cli

int main(int argc, char** argv) {
  return brevanto::cli::run(argc, argv);
}
