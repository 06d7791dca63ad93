// The page cases of tests/pages, analysed in this process: each case's page,
// loaded as the command line loads it, gives the expected text of each
// analysis byte for byte, through the same loader and formatter the command
// line uses.
#include "tests/support/page_cases.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "extractor/extraction_pipeline.h"
#include "extractor/output/output.h"
#include "tests/support/corpus.h"
#include "tests/support/pipeline_checks.h"

#ifdef BREVANTO_HAVE_PAGE_LOADER
#include "cli/page_loader.h"
#endif

namespace brevanto {
namespace {

namespace fs = std::filesystem;
using testing::readFile;

TEST(PageCases, EachPageGivesItsExpectedText) {
#ifndef BREVANTO_HAVE_PAGE_LOADER
  GTEST_SKIP() << "the page cases are whole pages, and this build has no page loader";
#else
  int cases = 0;
  for (const Analysis analysis : {Analysis::kClassic, Analysis::kModern}) {
    SCOPED_TRACE(analysis == Analysis::kClassic ? "classic" : "modern");
    // The loader breaks lines before the block-level elements of the
    // analysis' table.
    cli::PageLoader loader(analysis);
    for (const fs::path& folder : testing::pageCaseFolders()) {
      SCOPED_TRACE(folder.filename().string());
      cli::LoadedPage page;
      // Markup given as it is goes to the analysis without the loader, with
      // the header the options name.
      bool markupAsItIs = false;
      for (const std::string& argument : testing::pageCaseArguments(folder)) {
        if (argument == "--markup") {
          markupAsItIs = true;
        } else if (argument.rfind("--url=", 0) == 0) {
          page.url = argument.substr(6);
        } else if (argument.rfind("--title=", 0) == 0) {
          page.title = argument.substr(8);
        } else {
          ADD_FAILURE() << "no page case gives " << argument;
        }
      }
      if (markupAsItIs) page.markup = readFile(folder / "source.html");
      const cli::LoadStatus status =
          markupAsItIs ? cli::LoadStatus::kLoaded : loader.load(readFile(folder / "source.html"), "", page);
      // A case that is no page to analyse names the loader's words for it.
      if (fs::exists(folder / "expected-error.txt")) {
        EXPECT_NE(status, cli::LoadStatus::kLoaded);
        std::string expected = readFile(folder / "expected-error.txt");
        if (!expected.empty() && expected.back() == '\n') expected.pop_back();
        EXPECT_EQ(page.error, expected);
        ++cases;
        continue;
      }
      ASSERT_EQ(status, cli::LoadStatus::kLoaded) << page.error;
      // Every case names the address it was saved from, so that its expected
      // header does not depend on where the case lies.
      ASSERT_FALSE(page.url.empty());
      ExtractionPipeline p(analysis);
      p.analyze(page.markup.c_str());
      testing::expectTagInvariants(p, page.markup);
      testing::expectTreeInvariants(p);
      // Each analysis' file as brevanto-extract writes it: the Windows
      // server's for the classic one, LF line ends for the modern one.
      const TextFileFormat format = analysis == Analysis::kClassic ? windowsTextFile() : lfTextFile();
      EXPECT_EQ(formatTextFile(p.chooseContent(), page.url, page.title, format).file,
                readFile(testing::expectedTextOf(folder, analysis)));
      ++cases;
    }
  }
  EXPECT_GE(cases, 2 * 6);
#endif
}

}  // namespace
}  // namespace brevanto
