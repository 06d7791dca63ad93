// One run of brevanto-extract over its pages, in two halves: the work a
// page needs by itself (reading, analysing, formatting), which any worker
// thread may do, and what depends on the pages before it (names with
// " (2)", saving, the list of written files, messages), which one thread
// does in the pages' order. So a run with many workers names, writes and
// says exactly what a run with one does.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli/options.h"
#include "cli/output_names.h"
#include "cli/page_extraction.h"
#include "cli/page_sources.h"

namespace brevanto::platform {
class OutputStream;
class UnnamedFile;
}  // namespace brevanto::platform

namespace brevanto::cli {

// What one page gave its worker.
struct PageResult {
  bool ok = false;
  std::string error;                  // why there is nothing to write, when not ok
  std::vector<std::string> warnings;  // what the user should know of a page written
  std::string title;                  // names the page's file
  std::string bytes;                  // the page's file, its JSON object, or its dump
  // `bytes` already written in the output folder, to be given its name;
  // null when they were not.
  std::unique_ptr<platform::UnnamedFile> file;

  PageResult();
  ~PageResult();
  PageResult(PageResult&&) noexcept;
  PageResult& operator=(PageResult&&) noexcept;
};

// One page on its way through the run: where it comes from, then what it
// gave.
struct PageTask {
  PageItem item;
  PageResult result;
};

// The work of one page. Each worker thread has its own: it holds a parser.
class PageJob {
 public:
  explicit PageJob(const Options& options);
  // Reads what is left of the page, analyses and formats it. The bytes of
  // `item` are its no more.
  void run(PageItem& item, PageResult& result);

 private:
  PageRequest requestFor(const PageItem& item) const;
  bool dump(const std::string& bytes, const PageRequest& request, PageResult& result);

  const Options& options_;  // not owned: the run's, outlives the job
  PageExtractor pages_;
};

// Everything that follows the analysis, on one thread, page after page.
class BatchWriter {
 public:
  explicit BatchWriter(const Options& options);
  ~BatchWriter();
  BatchWriter(const BatchWriter&) = delete;
  BatchWriter& operator=(const BatchWriter&) = delete;

  // What can fail for every page alike is checked once, before the first
  // (the folder of -d, the stream of JSON Lines); false, with the cause
  // reported, when the run cannot write anything.
  bool prepare();

  // Reports the damage met in an archive before the page, then names,
  // writes and lists its result, or reports why it has none; true when the
  // page was written, or when `item` is the end of an archive.
  bool take(const PageItem& item, const PageResult& result);

  // Puts the stream of JSON Lines in place under its name with the pages
  // taken so far, and lists it; true when there is no such stream.
  bool closeStream();

  // Ends the run: the written files on the disk and the list of their
  // paths complete. False, with the cause reported, when either failed.
  bool finish();

  // "[N/TOTAL] WHAT": the input being read, of the run's inputs.
  void showProgress(size_t current, size_t total, const std::string& what);
  void clearProgress();
  void report(const std::string& message);

 private:
  bool save(const std::string& name, const std::string& input, const PageResult& result);
  bool writeToStandardOutput(const std::string& name, const std::string& bytes);
  bool writeToStream(const std::string& name, const std::string& bytes);
  bool dump(const std::string& name, const std::string& bytes);
  bool isInput(const std::string& path) const;
  void list(const std::string& path);
  void open(const std::string& path);
  bool fail(const std::string& name, const std::string& cause);

  const Options& options_;  // not owned: the run's, outlives the writer
  OutputNames names_;
  std::set<std::pair<uint64_t, uint64_t>> inputs_;  // device and inode of each input file
  std::unique_ptr<platform::OutputStream> stream_;  // owned: the JSON Lines file of -o, if any
  int dumped_ = 0;                                  // the dumps printed so far
  int stdoutError_ = 0;                             // the first error writing to standard output
  bool stdoutErrorReported_ = false;                // said once, not for every page
  bool streamFailed_ = false;                       // the stream's failure was said
  bool viewerMissing_ = false;                      // said once, not for every page
  bool progressShown_ = false;
};

}  // namespace brevanto::cli
