// The physical limit of any extractor: read the bytes, find every "<" with
// memchr, copy the page once.
//   plain_pass BUDGET_SECONDS PAGE...
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/driver_support.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const double budget = std::atof(argv[1]);
  size_t total = 0;
  const std::vector<std::string> pages = brevanto::bench::readPages(argc, argv, 2, total);
  std::string copy;
  size_t marks = 0;
  auto round = [&] {
    for (const std::string& page : pages) {
      const char* at = page.data();
      const char* const end = at + page.size();
      while ((at = static_cast<const char*>(std::memchr(at, '<', static_cast<size_t>(end - at)))) !=
             nullptr) {
        ++marks;
        ++at;
      }
      copy.assign(page);
    }
  };
  round();  // warm-up
  brevanto::bench::timeRounds(budget, total, round);
  return marks > 0 && !copy.empty() ? 0 : 1;
}
