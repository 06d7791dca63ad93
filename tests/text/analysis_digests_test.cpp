// Each analysis must not move by one byte while the engine around it
// changes, unless a change means to move it. For every page of the shared
// corpus, whole and cut down to its body element, this pins a digest of the
// written file, of the tag dump and of the tree dump to the values in a
// table: classic_digests.tsv for the Windows server's analysis, which never
// moves, and modern_digests.tsv for the modern one, which moves only with a
// rule that is meant to change its output. Setting BREVANTO_WRITE_DIGESTS=1
// rewrites the tables: only after such a change, and with the diff of the
// written texts looked at.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "extractor/extraction_pipeline.h"
#include "extractor/output/output.h"
#include "tests/support/corpus.h"

namespace brevanto {
namespace {

namespace fs = std::filesystem;
using testing::bodyOf;
using testing::readFile;

const fs::path kCorpus = testing::corpusPages();
const fs::path kTables = fs::path(BREVANTO_SOURCE_DIR) / "tests" / "text";

// FNV-1a, 64 bits: stable on every platform and compiler.
std::string digest(const std::string& bytes) {
  uint64_t hash = 14695981039346656037ULL;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ULL;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

// The three digests of one markup, separated by tabs.
std::string digestsOf(const std::string& markup, Analysis analysis) {
  ExtractionPipeline p(analysis);
  p.analyze(markup.c_str());
  // Each analysis' file as brevanto-extract writes it.
  const TextFileFormat format = analysis == Analysis::kClassic ? windowsTextFile() : lfTextFile();
  const std::string file = formatTextFile(p.chooseContent(), "u", "t", format).file;
  return digest(file) + "\t" + digest(p.dumpTags()) + "\t" + digest(p.dumpTree());
}

// Every corpus page under `analysis` against the table `tableName`.
void expectDigestTable(Analysis analysis, const char* tableName) {
  if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
  const fs::path table = kTables / tableName;
  std::map<std::string, std::string> actual;  // "id/whole" or "id/body" -> digests
  for (const auto& entry : fs::directory_iterator(kCorpus)) {
    if (entry.path().extension() != ".html") continue;
    const std::string page = readFile(entry.path());
    const std::string id = entry.path().stem().string();
    actual[id + "/whole"] = digestsOf(page, analysis);
    actual[id + "/body"] = digestsOf(bodyOf(page), analysis);
  }
  ASSERT_FALSE(actual.empty());
  if (const char* write = std::getenv("BREVANTO_WRITE_DIGESTS"); write != nullptr && *write == '1') {
    std::ofstream out(table, std::ios::binary);
    for (const auto& [key, value] : actual) out << key << '\t' << value << '\n';
    GTEST_SKIP() << "wrote " << table;
  }
  std::map<std::string, std::string> expected;
  std::istringstream lines(readFile(table));
  for (std::string line; std::getline(lines, line);) {
    const size_t tab = line.find('\t');
    if (tab != std::string::npos) expected[line.substr(0, tab)] = line.substr(tab + 1);
  }
  ASSERT_EQ(expected.size(), actual.size()) << "the corpus and " << table << " list different pages";
  for (const auto& [key, value] : actual) EXPECT_EQ(value, expected[key]) << key;
}

TEST(ClassicDigests, EveryCorpusPageAnalysesAsItAlwaysHas) {
  expectDigestTable(Analysis::kClassic, "classic_digests.tsv");
}

TEST(ModernDigests, EveryCorpusPageAnalysesAsItsRulesSay) {
  expectDigestTable(Analysis::kModern, "modern_digests.tsv");
}

}  // namespace
}  // namespace brevanto
