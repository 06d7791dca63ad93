// brevanto-extract: the main text of saved web pages, written as text files
// by the same analysis, selection and output as the Windows automation server.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/batch.h"
#include "cli/interruption.h"
#include "cli/options.h"
#include "cli/ordered_workers.h"
#include "cli/page_sources.h"

namespace brevanto::cli {
namespace {

// Exit statuses.
constexpr int kAllWritten = 0;
constexpr int kSomeFailed = 1;
constexpr int kBadUsage = 2;

// How many results each worker may have waiting for the pages before them
// to be written: enough that a slow page does not leave the others idle,
// few enough that memory follows the number of workers, not of pages.
constexpr size_t kResultsAheadPerJob = 4;

const char* pages(uint64_t count) {
  return count == 1 ? "page" : "pages";
}

// What a run did, for its summary and its exit status.
struct Tally {
  uint64_t pages = 0;     // pages taken: files, and HTML records of archives
  uint64_t failed = 0;    // pages not written
  bool archives = false;  // some archive was read to its end
  uint64_t skipped = 0;   // records of archives that are not pages
  uint64_t damaged = 0;   // records of archives lost to damage
};

// "3 pages written", "2 of 3 pages written, 1 failed", and after archives
// "; 7 other records skipped, 1 damaged".
std::string summaryOf(const Tally& tally, const char* what) {
  std::string summary =
      tally.failed == 0 ? std::to_string(tally.pages)
                        : std::to_string(tally.pages - tally.failed) + " of " + std::to_string(tally.pages);
  summary.append(" ").append(pages(tally.pages)).append(" ").append(what);
  if (tally.failed != 0) summary.append(", ").append(std::to_string(tally.failed)).append(" failed");
  if (tally.archives) {
    summary.append("; ").append(std::to_string(tally.skipped));
    summary.append(tally.skipped == 1 ? " other record" : " other records");
    summary.append(" skipped, ").append(std::to_string(tally.damaged)).append(" damaged");
  }
  return summary;
}

int run(int argc, char** argv) {
  Options options;
  const long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
  switch (parseCommandLine(argc, argv, isatty(STDIN_FILENO) != 0, cpus > 0 ? static_cast<unsigned>(cpus) : 1,
                           options)) {
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
  // Before any worker starts, so that every thread holds the signals back.
  interruption::watch();
  PageSources sources(options.inputs);
  {
    // Telling a pipe may wait for its writer: a signal ends the run then.
    const interruption::AtOnce telling;
    if (settleInputs(options, sources.includesArchives()) == Command::kBadUsage) return kBadUsage;
  }
  BatchWriter writer(options);
  if (!writer.prepare()) return kSomeFailed;

  const size_t inputs = options.inputs.size();
  const bool progress = isatty(STDERR_FILENO) != 0 && (inputs > 1 || options.archives);
  // -j 1 analyses on this thread, as a run always did; more jobs get
  // workers of their own while this thread writes.
  const size_t workerThreads = options.jobs == 1 ? 0 : options.jobs;
  OrderedWorkers<PageTask> workers(
      workerThreads, options.jobs * kResultsAheadPerJob,
      [&sources](PageTask& task) { return sources.next(task.item); },
      [&options] {
        auto job = std::make_shared<PageJob>(options);
        return [job](PageTask& task) { job->run(task.item, task.result); };
      });
  Tally tally;
  // Where the next page comes from, for the progress line.
  size_t reading = 0;
  uint64_t recordsRead = 0;
  bool inArchive = false;
  // Every file completed is listed by then; the pages still being analysed
  // are given up. How many pages there were is known only without archives.
  interruption::setLastWords([&] {
    writer.closeStream();
    const bool known = !options.archives && !tally.archives && !inArchive;
    writer.report("interrupted after " + std::to_string(tally.pages) +
                  (known ? " of " + std::to_string(inputs) : std::string()) + " " +
                  pages(known ? inputs : tally.pages));
  });
  PageTask task;
  for (;;) {
    if (progress && reading < inputs) {
      std::string what = inputName(options.inputs[reading]);
      if (inArchive) what += ": " + std::to_string(recordsRead) + " records read";
      writer.showProgress(reading + 1, inputs, what);
    }
    {
      const interruption::AtOnce analysing;
      if (!workers.next(task)) break;
    }
    const PageItem& item = task.item;
    const bool written = writer.take(item, task.result);
    inArchive = item.kind == PageItem::Kind::kRecord;
    reading = inArchive ? item.input : item.input + 1;
    recordsRead = item.recordsRead;
    if (item.kind == PageItem::Kind::kArchiveEnd) {
      tally.archives = true;
      tally.skipped += item.counts.skipped;
      tally.damaged += item.counts.damaged;
    } else {
      ++tally.pages;
      if (!written) ++tally.failed;
    }
  }
  writer.clearProgress();
  const bool streamed = writer.closeStream();
  {
    // A signal that came while the last page was written ends the run
    // here, as it would have before the next page.
    const interruption::AtOnce lastPageWritten;
  }
  interruption::setLastWords(nullptr);
  interruption::endAtOnce();
  const bool finished = writer.finish();
  // One page written as asked needs no word beyond its name; a batch, an
  // archive or a failure gets its count.
  if (tally.pages != 1 || tally.failed != 0 || tally.archives) {
    std::fprintf(stderr, "%s: %s\n", kProgram,
                 summaryOf(tally, options.dumping() ? "analysed" : "written").c_str());
  }
  return tally.failed == 0 && tally.damaged == 0 && streamed && finished ? kAllWritten : kSomeFailed;
}

}  // namespace
}  // namespace brevanto::cli

int main(int argc, char** argv) {
  return brevanto::cli::run(argc, argv);
}
