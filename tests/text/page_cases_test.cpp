// The page cases of tests/pages, analysed in this process: each case's page,
// loaded as the command line loads it, gives its expected.txt byte for byte.
// The command line's own test runs the same cases through the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "extractor/extraction_pipeline.h"
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
  cli::PageLoader loader;
  int cases = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(BREVANTO_SOURCE_DIR) / "tests" / "pages")) {
    SCOPED_TRACE(entry.path().filename().string());
    cli::LoadedPage page;
    const cli::LoadStatus status = loader.load(readFile(entry.path() / "source.html"), "", page);
    // A case that is no page to analyse names the loader's words for it.
    if (fs::exists(entry.path() / "expected-error.txt")) {
      EXPECT_NE(status, cli::LoadStatus::kLoaded);
      std::string expected = readFile(entry.path() / "expected-error.txt");
      if (!expected.empty() && expected.back() == '\n') expected.pop_back();
      EXPECT_EQ(page.error, expected);
      ++cases;
      continue;
    }
    ASSERT_EQ(status, cli::LoadStatus::kLoaded) << page.error;
    // Every case names the address it was saved from, so that its expected
    // header does not depend on where the case lies.
    ASSERT_FALSE(page.url.empty());
    ExtractionPipeline p;
    p.analyze(page.markup.c_str());
    testing::expectTagInvariants(p, page.markup);
    testing::expectTreeInvariants(p);
    const ContentList content = p.selectContent(&p.root, p.minParagraphs, p.minPlainShare);
    EXPECT_EQ(ExtractionPipeline::formatTextFile(content, page.url, page.title),
              readFile(entry.path() / "expected.txt"));
    ++cases;
  }
  EXPECT_GE(cases, 6);
#endif
}

}  // namespace
}  // namespace brevanto
