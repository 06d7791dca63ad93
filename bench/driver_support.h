// What the comparison's in-process drivers share: loading the pages, timing
// rounds over all of them until a time budget is spent, and the one line of
// JSON that bench/compare reads.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace brevanto::bench {

inline std::string readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The pages named by argv[first...], and their total size in `total`.
inline std::vector<std::string> readPages(int argc, char** argv, int first, size_t& total) {
  std::vector<std::string> pages;
  total = 0;
  for (int i = first; i < argc; ++i) {
    pages.push_back(readFile(argv[i]));
    total += pages.back().size();
  }
  return pages;
}

// CPU seconds (user and system) of this process so far. The machines are
// shared, so wall time also counts other programs' turns.
inline double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs `round` (one pass over every page) until `budgetSeconds` have passed,
// at least once, and prints {"bytes": per round, "rounds", "seconds", "cpu"}.
template <typename Round>
void timeRounds(double budgetSeconds, size_t bytesPerRound, Round round) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const double cpuStart = cpuSeconds();
  int rounds = 0;
  double seconds = 0;
  do {
    round();
    ++rounds;
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  } while (seconds < budgetSeconds);
  std::printf("{\"bytes\": %zu, \"rounds\": %d, \"seconds\": %.6f, \"cpu\": %.6f}\n", bytesPerRound, rounds,
              seconds, cpuSeconds() - cpuStart);
}

}  // namespace brevanto::bench
