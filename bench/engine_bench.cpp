// Throughput of the analysis on real pages, and peak memory on generated
// inputs that punish recursion, copying and quadratic searches. Every form
// takes --modern first to run the modern analysis instead of the classic one.
//
//   engine_bench corpus DIR [ROUNDS]   MB/s of analyze + chooseContent + the
//                                      text of the chosen nodes, over the
//                                      body-only form of every page in DIR
//   engine_bench pages OUTDIR BUDGET PAGE...
//                                      bench/compare's driver: writes the text
//                                      of every page's body to OUTDIR/NAME.txt,
//                                      then times rounds of the same work
//                                      (output format included) for BUDGET s
//   engine_bench deep|unclosed|article  one generated input: size, tags, time,
//                                      peak memory and the bound it must keep
//   engine_bench body MB | depth LEVELS the scaling inputs: MB of article
//                                      markup, or LEVELS nested elements
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/driver_support.h"
#include "extractor/extraction_pipeline.h"
#include "extractor/output/output.h"

namespace {

using brevanto::Analysis;
using brevanto::ExtractionPipeline;
using Clock = std::chrono::steady_clock;

Analysis analysis = Analysis::kClassic;  // the analysis every form runs

// Peak resident memory of this process so far, in bytes (0 where unknown).
size_t peakResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0)
      return static_cast<size_t>(std::strtoull(line.c_str() + 6, nullptr, 10)) * 1024;
  }
  return 0;
}

std::string bodyOf(const std::string& page) {
  std::string lower(page);
  for (char& c : lower) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
  const size_t start = lower.find("<body");
  const size_t end = lower.rfind("</body>");
  if (start == std::string::npos || end == std::string::npos || end < start) return page;
  return page.substr(start, end + 7 - start);
}

// The text an extraction writes for `markup`: the output file's bytes.
std::string outputText(ExtractionPipeline& pipeline, const std::string& markup) {
  pipeline.analyze(markup.c_str());
  return brevanto::formatTextFile(pipeline.chooseContent(), "", "").file;
}

// The whole analysis as an extraction runs it, up to the bytes of the text.
size_t extract(ExtractionPipeline& pipeline, const std::string& markup) {
  return outputText(pipeline, markup).size();
}

int corpus(const char* dir, int rounds) {
  std::vector<std::string> bodies;
  size_t total = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".html") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    bodies.push_back(bodyOf(bytes.str()));
    total += bodies.back().size();
  }
  if (bodies.empty()) {
    std::fprintf(stderr, "engine_bench: no .html pages in %s\n", dir);
    return 1;
  }
  ExtractionPipeline pipeline(analysis);
  size_t text = 0;
  for (const std::string& body : bodies) text += extract(pipeline, body);  // warm-up
  const auto start = Clock::now();
  for (int round = 0; round < rounds; ++round) {
    for (const std::string& body : bodies) text += extract(pipeline, body);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double mb = static_cast<double>(total) * rounds / 1e6;
  std::printf("corpus: %zu pages, %.2f MB of body markup, %d rounds: %.1f MB/s (%.2f ms per page)\n",
              bodies.size(), static_cast<double>(total) / 1e6, rounds, mb / seconds,
              seconds * 1e3 / (static_cast<double>(bodies.size()) * rounds));
  return text > 0 ? 0 : 1;
}

int pages(const std::string& outDir, double budget, char** paths, int count) {
  std::vector<std::string> bodies;
  size_t total = 0;
  ExtractionPipeline pipeline(analysis);
  for (int i = 0; i < count; ++i) {
    bodies.push_back(bodyOf(brevanto::bench::readFile(paths[i])));
    total += bodies.back().size();
    const std::filesystem::path page(paths[i]);
    std::ofstream(outDir + "/" + page.stem().string() + ".txt", std::ios::binary)
        << outputText(pipeline, bodies.back());
  }
  size_t written = 0;
  brevanto::bench::timeRounds(budget, total, [&] {
    for (const std::string& body : bodies) written += outputText(pipeline, body).size();
  });
  return written > 0 ? 0 : 1;
}

// Ordinary article markup: headings, paragraphs with links and emphasis,
// menus and tables.
const std::string kArticleBlock =
    "<DIV class=\"story\"><H2>A heading for this part</H2>\n"
    "<P>Some ordinary article text with <A href=\"/link\">a link</A> and <B>bold words</B>, "
    "&quot;quoted&quot; &amp; decoded.</P>\n<P>Another paragraph, a little longer, that goes on "
    "about the subject at hand for a while.<BR>With a line break.</P>\n"
    "<UL><LI><A href=\"/a\">Menu one</A><LI><A href=\"/b\">Menu two</A></UL>\n"
    "<TABLE><TR><TD>cell</TD><TD>cell</TD></TR></TABLE></DIV>\n";

std::string generate(const std::string& kind, size_t amount = 0) {
  std::string markup = "<BODY>";
  if (kind == "body") {
    // `amount` MB of article markup.
    while (markup.size() < amount * 1000 * 1000) markup += kArticleBlock;
    return markup + "</BODY>";
  }
  if (kind == "depth") {
    // `amount` nested levels with a short text at each, and paragraphs at the
    // bottom.
    markup.reserve(amount * 30 + 4096);
    for (size_t i = 0; i < amount; ++i) markup += "<DIV>level ";
    for (int i = 0; i < 20; ++i) markup += "<P>A paragraph at the bottom of it all.</P>";
    for (size_t i = 0; i < amount; ++i) markup += "</DIV>";
    return markup + "</BODY>";
  }
  if (kind == "deep") {
    // A million levels with a word at each, and 1 MB of text at the bottom.
    constexpr int kDepth = 1000000;
    markup.reserve(kDepth * 12 + (1 << 20) + 64);
    for (int i = 0; i < kDepth; ++i) markup += "<DIV>w";
    markup.append(1 << 20, 't');
    for (int i = 0; i < kDepth; ++i) markup += "</DIV>";
  } else if (kind == "unclosed") {
    for (int i = 0; i < 1000000; ++i) markup += "<DD>d";
  } else if (kind == "article") {
    while (markup.size() < 50u * 1000 * 1000) markup += kArticleBlock;
  } else {
    return {};
  }
  markup += "</BODY>";
  return markup;
}

int generated(const std::string& kind, size_t amount = 0) {
  const std::string markup = generate(kind, amount);
  if (markup.empty()) {
    std::fprintf(stderr, "engine_bench: unknown input '%s'\n", kind.c_str());
    return 2;
  }
  ExtractionPipeline pipeline(analysis);
  // CPU time: the machines are shared, and wall time counts other programs'
  // turns too.
  const double start = brevanto::bench::cpuSeconds();
  const size_t text = extract(pipeline, markup);
  const double seconds = brevanto::bench::cpuSeconds() - start;
  const size_t peak = peakResidentBytes();
  const size_t bound = 4 * markup.size() + 256 * pipeline.tags.size() + (32u << 20);
  const std::string label = amount > 0 ? kind + " " + std::to_string(amount) : kind;
  std::printf(
      "%-14s %8.1f MB markup, %8zu tags, %6.2f CPU s (%6.1f MB/s), peak %7.1f MB, bound %7.1f MB: %s\n",
      label.c_str(), static_cast<double>(markup.size()) / 1e6, pipeline.tags.size(), seconds,
      static_cast<double>(markup.size()) / 1e6 / seconds, static_cast<double>(peak) / 1e6,
      static_cast<double>(bound) / 1e6, peak <= bound ? "within" : "OVER");
  return peak <= bound && text > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--modern") == 0) {
    analysis = Analysis::kModern;
    --argc;
    ++argv;
  }
  if (argc >= 3 && std::strcmp(argv[1], "corpus") == 0) {
    return corpus(argv[2], argc >= 4 ? std::max(1, std::atoi(argv[3])) : 5);
  }
  if (argc >= 5 && std::strcmp(argv[1], "pages") == 0)
    return pages(argv[2], std::atof(argv[3]), argv + 4, argc - 4);
  if (argc == 2) return generated(argv[1]);
  if (argc == 3) return generated(argv[1], std::strtoull(argv[2], nullptr, 10));
  std::fprintf(stderr,
               "usage: engine_bench [--modern] corpus DIR [ROUNDS] | pages OUTDIR BUDGET PAGE... | "
               "deep|unclosed|article | body MB | depth LEVELS\n");
  return 2;
}
