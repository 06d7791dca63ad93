// brevanto-extract: the main text of saved web pages, written as text files
// by the same analysis, selection and output as the Windows automation server.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "cli/batch.h"
#include "cli/interruption.h"
#include "cli/options.h"
#include "cli/ordered_workers.h"

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

const char* pages(size_t count) {
  return count == 1 ? "page" : "pages";
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
  BatchWriter writer(options);
  if (!writer.prepare()) return kSomeFailed;

  const size_t total = options.inputs.size();
  const bool progress = isatty(STDERR_FILENO) != 0 && total > 1;
  // -j 1 analyses on this thread, as a run always did; more jobs get
  // workers of their own while this thread writes.
  const size_t workerThreads = options.jobs == 1 ? 0 : options.jobs;
  OrderedWorkers<PageResult> workers(total, workerThreads, options.jobs * kResultsAheadPerJob, [&options] {
    auto job = std::make_shared<PageJob>(options);
    return [job, &options](size_t index, PageResult& result) { job->run(options.inputs[index], result); };
  });
  size_t done = 0;
  size_t failed = 0;
  // Every file completed is listed by then; the pages still being analysed
  // are given up.
  interruption::setLastWords([&] {
    writer.closeStream();
    writer.report("interrupted after " + std::to_string(done) + " of " + std::to_string(total) + " " +
                  pages(total));
  });
  PageResult result;
  while (done < total) {
    if (progress) writer.showProgress(done + 1, total, options.inputs[done]);
    {
      const interruption::AtOnce analysing;
      workers.next(result);
    }
    if (!writer.take(options.inputs[done], result)) ++failed;
    ++done;
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
  const char* what = options.dumping() ? "analysed" : "written";
  if (failed == 0) {
    std::fprintf(stderr, "%s: %zu %s %s\n", kProgram, total, pages(total), what);
  } else {
    std::fprintf(stderr, "%s: %zu of %zu %s %s, %zu failed\n", kProgram, total - failed, total, pages(total),
                 what, failed);
  }
  return failed == 0 && streamed && finished ? kAllWritten : kSomeFailed;
}

}  // namespace
}  // namespace brevanto::cli

int main(int argc, char** argv) {
  return brevanto::cli::run(argc, argv);
}
