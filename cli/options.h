// The command line of brevanto-extract: what the user asked for, read with
// the conventions of GNU tools (-dDIR, -fd DIR, --directory=DIR, "--").
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "extractor/parse/html_element_table.h"

namespace brevanto::cli {

// What each page becomes.
enum class Format : int {
  kText,       // the text file: a header with the URL and title, then the text
  kJson,       // one JSON object per page, in a file of its own
  kJsonLines,  // one JSON object per line, every page in one stream
};

struct Options {
  std::vector<std::string> inputs;        // the pages; "-" is standard input
  std::optional<std::string> outputFile;  // -o; "-" for standard output
  std::optional<std::string> directory;   // -d
  bool nameFromInput = false;
  bool force = false;
  bool open = false;
  std::optional<std::string> encoding;
  bool markupInput = false;
  std::optional<std::string> title;
  std::optional<std::string> url;
  bool classic = false;  // the Windows server's analysis instead of the modern one
  bool dumpTags = false;
  bool dumpTree = false;
  bool help = false;
  bool version = false;
  std::optional<std::string> jobsGiven;    // -j, as typed
  std::optional<std::string> formatGiven;  // --format, as typed
  bool crlf = false;                       // text lines end with CR LF

  // Resolved from what was given once the command line is read.
  unsigned jobs = 1;  // pages analysed at once
  Format format = Format::kText;
  bool archives = false;  // some input is known to be a web archive

  bool dumping() const { return dumpTags || dumpTree; }
  // JSON Lines go to standard output unless -o names a file.
  bool toStandardOutput() const {
    return outputFile ? *outputFile == "-" : format == Format::kJsonLines && !dumping();
  }
  // One stream receives every page, rather than a file each.
  bool oneStream() const { return format == Format::kJsonLines || toStandardOutput(); }
  Analysis analysis() const { return classic ? Analysis::kClassic : Analysis::kModern; }
};

enum class Command : int {
  kExtract,   // go on with the pages
  kHelp,      // print the usage and stop
  kVersion,   // print the version and stop
  kBadUsage,  // the arguments make no sense; the cause is on standard error
};

// Reads argv into `options`. `stdinIsTerminal` says whether a missing page
// means standard input (it does unless a person would be left waiting);
// `onlineCpus` is how many pages -j analyses at once by default.
Command parseCommandLine(int argc, char** argv, bool stdinIsTerminal, unsigned onlineCpus, Options& options);

// Takes note of what the inputs are, once they are told: when some are web
// archives, each of many pages, the run writes JSON Lines unless --format,
// -d or --name-from-input ask for a file per page. kBadUsage, with the
// cause said, when the options cannot apply to these inputs.
Command settleInputs(Options& options, bool archives);

extern const char kProgram[];
extern const char kUsage[];

}  // namespace brevanto::cli
