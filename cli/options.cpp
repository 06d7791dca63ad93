#include "cli/options.h"

#include <getopt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/decoder.h"

namespace brevanto::cli {

const char kProgram[] = "brevanto-extract";

const char kUsage[] =
    "Usage: brevanto-extract [OPTION]... [PAGE]...\n"
    "Write the main text of each saved web PAGE to a text file: a header with the\n"
    "page's URL and title, then the text of the parts that carry the article.\n"
    "A PAGE of - is standard input, which is also read when no PAGE is given and\n"
    "standard input is not a terminal. A PAGE may be a web archive (WARC, plain or\n"
    "gzip, told by its content): each HTML response in it is a page, and unless\n"
    "--format, -d or --name-from-input say otherwise the run writes JSON Lines.\n"
    "\n"
    "Output:\n"
    "  -d, --directory=DIR    write into DIR (default: the current folder); each file\n"
    "                         is named after the page title, its characters\n"
    "                         <>/\\*|:?\". and controls made \"_\", at most 255 bytes,\n"
    "                         plus \".txt\"; without a usable title, after the PAGE\n"
    "  -o, --output=FILE      write the one PAGE to FILE; - writes to standard output\n"
    "      --name-from-input  name each file after its PAGE (stem + \".txt\") instead\n"
    "  -f, --force            replace files that existed before this run\n"
    "      --open             open each written file with the desktop's viewer\n"
    "      --format=FORMAT    text (the default without archives): a text file per\n"
    "                         page; json: a JSON object per page, in a .json file;\n"
    "                         jsonl (the default with archives): a JSON object per\n"
    "                         line, every page to one FILE of -o or else to standard\n"
    "                         output. Objects hold url, title, text, analysis,\n"
    "                         encoding, source (the PAGE, or ARCHIVE:OFFSET\n"
    "                         RECORD-ID) and warnings\n"
    "      --crlf             end text lines with CR LF rather than LF (--classic\n"
    "                         always writes the Windows server's CR LF file)\n"
    "A name that this run has already written gets \" (2)\", \" (3)\"... before its\n"
    "extension.\n"
    "\n"
    "Input:\n"
    "      --encoding=LABEL   read the pages in this encoding (after a byte-order mark);\n"
    "                         otherwise the charset an archived page was served\n"
    "                         with, else <meta> charset, else UTF-8 when valid, else\n"
    "                         windows-1252, as a browser does\n"
    "      --markup           PAGE is already the body's outer markup: analyse its bytes\n"
    "                         as they are, without decoding or re-serializing\n"
    "      --title=TEXT       the title for the header and the file name (default: the\n"
    "                         page's <title>)\n"
    "      --url=TEXT         the URL for the header (default: the page's \"saved from\"\n"
    "                         comment, else its canonical link, else its file:// URL;\n"
    "                         for a page of an archive, the URL it was fetched from)\n"
    "\n"
    "Work:\n"
    "  -j, --jobs=N           analyse N pages at once (default: one per online CPU);\n"
    "                         names, files and messages come in the order of the\n"
    "                         pages, as with -j 1\n"
    "\n"
    "Analysis:\n"
    "      --classic          the analysis of the Windows server, byte for byte; by\n"
    "                         default the modern one, which knows today's markup and\n"
    "                         leaves menus, side bars and lists of links out\n"
    "\n"
    "Debugging:\n"
    "      --dump-tags        print the tag list of the analysis instead of writing\n"
    "      --dump-tree        print the analysis, why each part of the text was\n"
    "                         chosen, and the scored element tree, instead of writing\n"
    "  -h, --help             show this help and exit\n"
    "      --version          show the version and exit\n"
    "\n"
    "The path of every file written goes to standard output, errors and a summary\n"
    "to standard error. Exit status: 0 when every page was written, 1 when any page\n"
    "failed or a record of an archive was damaged, 2 for bad usage. Interrupted\n"
    "(SIGINT, SIGTERM), it finishes the file it is writing or removes it, lists\n"
    "what it wrote, and ends by the signal (status 130, 143).\n";

namespace {

// One option: its names, and the member of Options that it sets. An option
// sets a flag or takes a value, never both.
struct OptionRow {
  const char* name;                            // the long name, after "--"; static text
  char letter;                                 // the short name, after "-"; 0 for none
  bool Options::*flag;                         // the member set to true, or null
  std::optional<std::string> Options::*value;  // the member given the value, or null
};

constexpr OptionRow kOptionRows[] = {
    {"directory", 'd', nullptr, &Options::directory},
    {"output", 'o', nullptr, &Options::outputFile},
    {"name-from-input", 0, &Options::nameFromInput, nullptr},
    {"force", 'f', &Options::force, nullptr},
    {"open", 0, &Options::open, nullptr},
    {"encoding", 0, nullptr, &Options::encoding},
    {"markup", 0, &Options::markupInput, nullptr},
    {"title", 0, nullptr, &Options::title},
    {"url", 0, nullptr, &Options::url},
    {"classic", 0, &Options::classic, nullptr},
    {"dump-tags", 0, &Options::dumpTags, nullptr},
    {"dump-tree", 0, &Options::dumpTree, nullptr},
    {"jobs", 'j', nullptr, &Options::jobsGiven},
    {"format", 0, nullptr, &Options::formatGiven},
    {"crlf", 0, &Options::crlf, nullptr},
    {"help", 'h', &Options::help, nullptr},
    {"version", 0, &Options::version, nullptr},
};
constexpr int kRowCount = static_cast<int>(sizeof kOptionRows / sizeof kOptionRows[0]);
// getopt_long reports a long option without a letter as this plus its row.
constexpr int kFirstRowCode = 256;

Command usageError(const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
  return Command::kBadUsage;
}

// More pages at once than this only wait for each other.
constexpr unsigned kMaxJobs = 1024;

constexpr struct {
  const char* name;
  Format format;
} kFormats[] = {
    {"text", Format::kText},
    {"json", Format::kJson},
    {"jsonl", Format::kJsonLines},
};

// Fills the resolved members from what was given; empty, or what is wrong.
std::string resolve(Options& o, unsigned onlineCpus) {
  o.jobs = onlineCpus > 0 ? onlineCpus : 1;
  if (o.jobsGiven) {
    const std::string& text = *o.jobsGiven;
    unsigned long value = 0;
    bool digits = !text.empty() && text.size() <= 9;
    for (const char c : text) {
      digits = digits && c >= '0' && c <= '9';
      if (digits) value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (!digits || value == 0 || value > kMaxJobs)
      return "-j takes a number of pages from 1 to " + std::to_string(kMaxJobs) + ", not '" + text + "'";
    o.jobs = static_cast<unsigned>(value);
  }
  if (o.formatGiven) {
    bool known = false;
    for (const auto& row : kFormats) {
      if (*o.formatGiven != row.name) continue;
      o.format = row.format;
      known = true;
    }
    if (!known) return "unknown format '" + *o.formatGiven + "': text, json or jsonl";
  }
  return {};
}

// The combinations that cannot mean what the user hoped; empty when none.
// Whether -o can hold what the run writes is known once the inputs are
// `told` (an archive holds many pages, and makes JSON Lines the default),
// or when the format was given.
std::string conflictIn(const Options& o, bool told) {
  const bool lines = o.format == Format::kJsonLines;
  if (o.outputFile && o.directory) return "-o and -d cannot be used together";
  if (o.outputFile && !lines && (told || o.formatGiven)) {
    if (o.archives) return "-o takes exactly one page, and an archive holds many; use -d, or --format jsonl";
    if (o.inputs.size() != 1) return "-o takes exactly one page; use -d for several, or --format jsonl";
  }
  if (lines && (o.directory || o.nameFromInput))
    return "--format jsonl writes one stream: to the FILE of -o, or to standard output";
  if (o.dumping() && o.formatGiven)
    return "--dump-tags and --dump-tree print the analysis: --format does not apply";
  if (o.outputFile && o.outputFile->empty()) return "-o needs a file name";
  if (o.directory && o.directory->empty()) return "-d needs a folder name";
  if (o.outputFile && o.nameFromInput) return "-o names the file itself: --name-from-input does not apply";
  if (o.toStandardOutput() && o.open) return "--open needs a file, not standard output";
  if (o.dumping() && (o.outputFile || o.directory || o.nameFromInput || o.open))
    return "--dump-tags and --dump-tree print to standard output and write no file";
  if (o.encoding && o.encoding->empty()) return "--encoding needs a label";
  if (o.encoding && !encodingForLabel(*o.encoding)) return "unknown encoding '" + *o.encoding + "'";
  if (o.markupInput && o.encoding) return "--markup input is analysed as it is: --encoding does not apply";
  int fromStandardInput = 0;
  for (const std::string& input : o.inputs) fromStandardInput += input == "-" ? 1 : 0;
  if (fromStandardInput > 1) return "standard input can be read only once";
  return {};
}

}  // namespace

Command parseCommandLine(int argc, char** argv, bool stdinIsTerminal, unsigned onlineCpus, Options& options) {
  std::vector<option> longOptions;
  std::string letters = ":";  // report a missing value as ':'
  for (int row = 0; row < kRowCount; ++row) {
    const OptionRow& o = kOptionRows[row];
    const int hasValue = o.value != nullptr ? required_argument : no_argument;
    longOptions.push_back({o.name, hasValue, nullptr, o.letter != 0 ? o.letter : kFirstRowCode + row});
    if (o.letter != 0) letters += std::string(1, o.letter) + (o.value != nullptr ? ":" : "");
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});

  // getopt_long reorders what it is given: it gets a copy, named as we are.
  std::vector<char*> args(argv, argv + argc);
  std::string program = kProgram;
  if (!args.empty()) args[0] = program.data();
  const int count = static_cast<int>(args.size());
  optind = 0;  // a fresh scan, also when called again
  opterr = 0;
  for (;;) {
    const int code = getopt_long(count, args.data(), letters.c_str(), longOptions.data(), nullptr);
    if (code == -1) break;
    const std::string given = args[optind - 1] != nullptr ? args[optind - 1] : "";
    if (code == '?') {
      if (optopt != 0 && optopt < kFirstRowCode && given.rfind("--", 0) != 0)
        return usageError(std::string("invalid option -- '") + static_cast<char>(optopt) + "'");
      const size_t equals = given.find('=');
      if (optopt != 0 && equals != std::string::npos)
        return usageError("option '" + given.substr(0, equals) + "' takes no value");
      return usageError("unknown or ambiguous option '" + given + "'");
    }
    if (code == ':') {
      // Named as the user typed it: "--dir" stays "--dir", "-fd" is "-d".
      const bool longName = given.rfind("--", 0) == 0;
      return usageError("option '" + (longName ? given : std::string("-") + static_cast<char>(optopt)) +
                        "' needs a value");
    }
    for (int row = 0; row < kRowCount; ++row) {
      const OptionRow& o = kOptionRows[row];
      if (code != (o.letter != 0 ? o.letter : kFirstRowCode + row)) continue;
      if (o.flag != nullptr) options.*o.flag = true;
      if (o.value != nullptr) options.*o.value = optarg;
    }
  }
  if (options.help) return Command::kHelp;
  if (options.version) return Command::kVersion;
  options.inputs.assign(args.begin() + optind, args.end());
  if (options.inputs.empty()) {
    if (stdinIsTerminal) return usageError("no page given");
    options.inputs.emplace_back("-");
  }
  std::string conflict = resolve(options, onlineCpus);
  if (conflict.empty()) conflict = conflictIn(options, false);
  if (!conflict.empty()) return usageError(conflict);
  return Command::kExtract;
}

Command settleInputs(Options& options, bool archives) {
  options.archives = archives;
  // -d and --name-from-input mean a file per page, in the default format.
  const bool formatChosen = options.formatGiven || options.directory || options.nameFromInput;
  if (archives && !formatChosen && !options.dumping()) options.format = Format::kJsonLines;
  const std::string conflict = conflictIn(options, true);
  if (!conflict.empty()) return usageError(conflict);
  return Command::kExtract;
}

}  // namespace brevanto::cli
