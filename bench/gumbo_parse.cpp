// An HTML5 parse alone, with the parser made for the field in C: each page
// parsed into a tree and freed.
//   gumbo_parse BUDGET_SECONDS PAGE...
#include <gumbo.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench/driver_support.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const double budget = std::atof(argv[1]);
  size_t total = 0;
  const std::vector<std::string> pages = brevanto::bench::readPages(argc, argv, 2, total);
  size_t children = 0;
  auto round = [&] {
    for (const std::string& page : pages) {
      GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
      children += output->root->v.element.children.length;
      gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
  };
  round();
  brevanto::bench::timeRounds(budget, total, round);
  return children > 0 ? 0 : 1;
}
