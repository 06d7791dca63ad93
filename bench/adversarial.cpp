// The adversarial inputs, generated here and never stored: deep nesting, long
// runs of unclosed elements, unterminated comments and skip-content elements,
// every byte value, "<" and "&" floods, huge texts, entities and names, mixed
// case skip-content end tags and nested links, and for the modern analysis
// floods of class names and attributes, deep sections and chrome, and wide
// runs of siblings. Each goes through the whole analysis (analyze,
// chooseContent, the text file of the chosen nodes), classic and modern, in a
// process of its own, at its full size and at an eighth of it, so that its
// peak memory is its own and its growth can be told.
//
//   adversarial list                names and full sizes
//   adversarial run [NAME...]       every input (or the named ones) under both
//                                   analyses; fails on a crash, a sanitizer
//                                   report, memory above the bound, or time
//                                   that grows far faster than the input
//   adversarial seeds DIR           small forms of every input, as fuzz seeds
//   adversarial write DIR           every input at full size, as NAME.html
//   adversarial one NAME EIGHTHS classic|modern
//                                   one input at EIGHTHS/8 of its size under
//                                   one analysis (used by run)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "extractor/extraction_pipeline.h"
#include "extractor/output/output.h"

#if defined(__SANITIZE_ADDRESS__)
#define BREVANTO_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BREVANTO_SANITIZED 1
#endif
#endif

namespace {

using brevanto::Analysis;
using brevanto::ExtractionPipeline;
constexpr size_t kMB = 1000 * 1000;

// Repeats `unit` until `out` holds at least `bytes`.
void fill(std::string& out, const std::string& unit, size_t bytes) {
  out.reserve(out.size() + bytes + unit.size());
  while (out.size() < bytes) out += unit;
}

// Appends `open` `n` times, then `close` `n` times: `n` levels of nesting.
void nest(std::string& out, const std::string& open, const std::string& close, size_t n) {
  out.reserve(out.size() + n * (open.size() + close.size()));
  for (size_t i = 0; i < n; ++i) out += open;
  for (size_t i = 0; i < n; ++i) out += close;
}

struct Input {
  const char* name;
  const char* what;
  // Builds the input at `scale` (1.0 for the full size).
  std::function<std::string(double)> make;
};

size_t scaled(double scale, size_t full) {
  return static_cast<size_t>(static_cast<double>(full) * scale);
}

const std::vector<Input>& inputs() {
  static const std::vector<Input> all = {
      {"deep", "1,000,000 nested DIVs, closed",
       [](double s) {
         std::string m = "<BODY>";
         nest(m, "<DIV>w", "</DIV>", scaled(s, 1000000));
         return m + "</BODY>";
       }},
      {"deep-open", "1,000,000 nested DIVs, never closed",
       [](double s) {
         std::string m = "<BODY>";
         fill(m, "<DIV><SPAN>w", scaled(s, 12 * kMB));
         return m;
       }},
      {"unclosed", "1,000,000 unclosed optional-end elements",
       [](double s) {
         std::string m = "<BODY>";
         const size_t n = scaled(s, 1000000);
         const char* const units[] = {"<P>p", "<LI>l", "<DD>d", "<DT>t", "<TD>c", "<TR>r", "<OPTION>o"};
         for (size_t i = 0; i < n; ++i) m += units[i % 7];
         return m;
       }},
      {"comment-open", "an unterminated comment at the start of 10 MB",
       [](double s) {
         std::string m = "<BODY><!-- ";
         fill(m, "<P>text in a comment that never ends</P>\n", scaled(s, 10 * kMB));
         return m;
       }},
      {"skip-open", "an unterminated SCRIPT at the start of 10 MB",
       [](double s) {
         std::string m = "<BODY><SCRIPT>";
         fill(m, "<P>markup inside a script that never ends</P></script ></SCRIPTX>\n", scaled(s, 10 * kMB));
         return m;
       }},
      {"all-bytes", "every byte value 1-255 in text and inside tags, then a NUL",
       [](double s) {
         // Each "#" of the pattern stands for the byte: in text, in an
         // attribute value, as an attribute, in end-tag names and an entity.
         const std::string pattern = "<P>#x<DIV a=\"#\" #>#</DIV#><#></#>&#;\n";
         std::string unit;
         for (int b = 1; b < 256; ++b) {
           for (const char p : pattern) unit += p == '#' ? static_cast<char>(b) : p;
         }
         std::string m = "<BODY>";
         fill(m, unit, scaled(s, 10 * kMB));
         m += std::string(1, '\0') + "<P>after the NUL</P>";
         return m;
       }},
      {"lt-flood", "10 MB of \"<\"",
       [](double s) { return "<BODY><P>" + std::string(scaled(s, 10 * kMB), '<'); }},
      {"lt-slash-flood", "10 MB of \"</\" and \"<!\"",
       [](double s) {
         std::string m = "<BODY><P>";
         fill(m, "</<!<", scaled(s, 10 * kMB));
         return m;
       }},
      {"amp-flood", "10 MB of \"&\"",
       [](double s) { return "<BODY><P>" + std::string(scaled(s, 10 * kMB), '&') + ";"; }},
      {"entity-flood", "10 MB of entities",
       [](double s) {
         std::string m = "<BODY><P>";
         fill(m, "&lt;&amp;&#38;&nbsp;&bogus;&", scaled(s, 10 * kMB));
         return m;
       }},
      {"text-100mb", "one text run of 100 MB",
       [](double s) {
         std::string m = "<BODY><P>";
         m.append(scaled(s, 100 * kMB), 'a');
         return m + "</P></BODY>";
       }},
      {"entity-1mb", "entities of 1 MB each, 10 MB in all",
       [](double s) {
         std::string m = "<BODY><P>";
         const size_t one = scaled(s, kMB);
         for (int i = 0; i < 5; ++i) {
           m += "a&" + std::string(one, 'x') + "; b&#" + std::string(one, '9') + ";c ";
         }
         return m + "</P></BODY>";
       }},
      {"name-1mb", "tags with 1 MB names, 10 MB in all",
       [](double s) {
         std::string m = "<BODY>";
         const size_t one = scaled(s, kMB);
         for (int i = 0; i < 3; ++i) {
           m += "<" + std::string(one, 'A') + " x=1>t</" + std::string(one, 'A') + "><P>p</P>";
           m += "</" + std::string(one, 'b') + ">";
         }
         m += "<" + std::string(one, 'Q');  // a name that never ends
         return m;
       }},
      {"skip-case", "SCRIPT and STYLE closed with end tags in mixed case",
       [](double s) {
         std::string m = "<BODY>";
         fill(m,
              "<SCRIPT>a</script>b</Script>c</SCRIPT>d<style>e</STYLE>f</style>"
              "<ScRiPt>g</SCRIPT>h</ScRiPt><P>i</P>\n",
              scaled(s, 10 * kMB));
         return m;
       }},
      {"nested-links", "100,000 nested links with text",
       [](double s) {
         std::string m = "<BODY><P>";
         nest(m, "<A href=x>link text ", "</A>", scaled(s, 100000));
         return m + "</P></BODY>";
       }},
      {"wide", "1,000,000 sibling paragraphs",
       [](double s) {
         std::string m = "<BODY><DIV>";
         fill(m, "<P>a paragraph</P>", scaled(s, 17 * kMB));
         return m + "</DIV></BODY>";
       }},
      {"class-flood", "one class value of 10 MB of words, chrome words among them",
       [](double s) {
         std::string m = "<BODY><DIV class=\"";
         fill(m, "topNavBar x-ad-7 sidebarWidget fooBar ", scaled(s, 10 * kMB));
         return m + "\">x</DIV><P>a</P><P>b</P></BODY>";
       }},
      {"attribute-flood", "10 MB of tags with broken, repeated and unquoted attributes",
       [](double s) {
         std::string m = "<BODY>";
         fill(m,
              "<DIV class=menu class='x id=\"nav\" =class ==id/ id=\"comments><P>p<SPAN class=\"a\"b'c>"
              "t</SPAN></P></DIV>\n",
              scaled(s, 10 * kMB));
         return m + "</BODY>";
       }},
      {"deep-sections", "300,000 nested sections, each with a header, an aside and a paragraph",
       [](double s) {
         std::string m = "<BODY>";
         nest(m,
              "<SECTION><HEADER>a headline</HEADER><ASIDE>an aside</ASIDE><P>a paragraph of a few words</P>",
              "</SECTION>", scaled(s, 300000));
         return m + "</BODY>";
       }},
      {"deep-chrome", "1,000,000 nested NAV, SVG and named DIV elements, never closed",
       [](double s) {
         std::string m = "<BODY><P>one</P><P>two</P>";
         fill(m, "<NAV>n<SVG>s<DIV class=menu>m<TEMPLATE>t", scaled(s, 40 * kMB));
         return m;
       }},
      {"wide-siblings", "400,000 siblings beside a chosen element, each nearly a paragraph",
       [](double s) {
         std::string m = "<BODY><DIV><DIV><P>The article</P><P>goes on</P></DIV>";
         // As many tags to the megabyte as an ordinary article: the siblings
         // are many, not the tags.
         fill(m, "<DIV><P>a paragraph of a few words</P><H2>a heading</H2></DIV><P>a paragraph beside</P>",
              scaled(s, 17 * kMB));
         return m + "</DIV></BODY>";
       }},
  };
  return all;
}

const Input* find(const std::string& name) {
  for (const Input& input : inputs()) {
    if (name == input.name) return &input;
  }
  return nullptr;
}

// The whole analysis as an extraction runs it, up to the bytes of the text.
size_t extract(const std::string& markup, Analysis analysis) {
  // An exact-size copy: a read past the terminating NUL is a sanitizer report.
  std::unique_ptr<char[]> bytes(new char[markup.size() + 1]);
  std::memcpy(bytes.get(), markup.data(), markup.size());
  bytes[markup.size()] = '\0';
  ExtractionPipeline pipeline(analysis);
  pipeline.analyze(bytes.get());
  const size_t text = brevanto::formatTextFile(pipeline.chooseContent(), "", "").file.size();
  for (const brevanto::HtmlTag& tag : pipeline.tags) {
    if (tag.linkTextLength < 0 || tag.textLength < 0) {
      std::fprintf(stderr, "adversarial: tag %d has a negative length\n", tag.index);
      std::exit(3);
    }
  }
  std::printf("%zu %zu\n", pipeline.tags.size(), text);
  return text;
}

int one(const std::string& name, int eighths, Analysis analysis) {
  const Input* input = find(name);
  if (input == nullptr) return 2;
  const std::string markup = input->make(eighths / 8.0);
  std::fprintf(stderr, "%zu\n", markup.size());
  extract(markup, analysis);
  return 0;
}

const char* nameOf(Analysis analysis) {
  return analysis == Analysis::kModern ? "modern" : "classic";
}

struct Outcome {
  int status = -1;
  double seconds = 0;
  double peakMB = 0;
  size_t bytes = 0;
  size_t tags = 0;
};

Outcome spawn(const char* self, const std::string& name, int eighths, Analysis analysis) {
  Outcome out;
  int pipes[2][2];
  if (pipe(pipes[0]) != 0 || pipe(pipes[1]) != 0) return out;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipes[0][1], 1);
    dup2(pipes[1][1], 2);
    const std::string scale = std::to_string(eighths);
    execl(self, self, "one", name.c_str(), scale.c_str(), nameOf(analysis), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipes[0][1]);
  close(pipes[1][1]);
  std::string output[2];
  for (int i = 0; i < 2; ++i) {
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipes[i][0], buffer, sizeof buffer)) > 0)
      output[i].append(buffer, static_cast<size_t>(got));
    close(pipes[i][0]);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  // CPU time of the child: the machines are shared, and wall time counts
  // other programs' turns too.
  out.seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  out.peakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  out.bytes = std::strtoull(output[1].c_str(), nullptr, 10);
  out.tags = std::strtoull(output[0].c_str(), nullptr, 10);
  if (out.status != 0) std::fprintf(stderr, "%s\n", output[1].c_str());
  return out;
}

int run(const char* self, const std::vector<std::string>& names) {
#ifdef BREVANTO_SANITIZED
  const bool sanitized = true;
#else
  const bool sanitized = false;
#endif
  int failures = 0;
  int runs = 0;
  std::printf("%-15s %-8s %10s %9s %8s %9s %9s %8s  %s\n", "input", "analysis", "MB", "tags", "CPU s",
              "peak MB", "bound MB", "growth", "verdict");
  for (const Input& input : inputs()) {
    if (!names.empty() && std::find(names.begin(), names.end(), input.name) == names.end()) continue;
    for (const Analysis analysis : {Analysis::kClassic, Analysis::kModern}) {
      ++runs;
      const Outcome small = spawn(self, input.name, 1, analysis);
      const Outcome full = spawn(self, input.name, 8, analysis);
      // The time at full size against eight times the time at an eighth: 1 for
      // linear work, 8 for quadratic. Generation is part of both, and tiny runs
      // are all noise, so only a clear excess over a generous margin counts.
      const double growth = full.seconds / std::max(8 * small.seconds, 1e-3);
      const bool slow = full.seconds > 1.0 && growth > 3.0;
      // Sanitizer builds carry shadow memory and quarantine: only the plain
      // builds are held to the memory bound.
      const double bound =
          (4.0 * static_cast<double>(full.bytes) + 256.0 * static_cast<double>(full.tags)) / 1048576.0 + 48;
      const bool over = !sanitized && full.peakMB > bound;
      const bool ok = small.status == 0 && full.status == 0 && !slow && !over;
      std::printf("%-15s %-8s %10.1f %9zu %8.2f %9.1f %9.1f %8.2f  %s\n", input.name, nameOf(analysis),
                  static_cast<double>(full.bytes) / 1e6, full.tags, full.seconds, full.peakMB, bound, growth,
                  ok                                        ? "ok"
                  : (full.status != 0 || small.status != 0) ? "CRASH/REPORT"
                  : slow                                    ? "SUPERLINEAR"
                                                            : "OVER MEMORY");
      std::fflush(stdout);
      if (!ok) ++failures;
    }
  }
  std::printf("adversarial: %d passed, %d failed\n", runs - failures, failures);
  return failures == 0 ? 0 : 1;
}

// Every input at full size as a file, for programs that read pages from disk.
int write(const std::string& dir) {
  for (const Input& input : inputs()) {
    std::ofstream(dir + "/" + input.name + ".html", std::ios::binary) << input.make(1.0);
  }
  return 0;
}

int seeds(const std::string& dir) {
  for (const Input& input : inputs()) {
    // Small enough for the fuzzers' length limit.
    std::string markup = input.make(0.0005);
    if (markup.size() > 60000) markup.resize(60000);
    std::ofstream(dir + "/adversarial-" + input.name + ".html", std::ios::binary) << markup;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc >= 2 ? argv[1] : "";
  if (mode == "list") {
    for (const Input& input : inputs()) std::printf("%-15s %s\n", input.name, input.what);
    return 0;
  }
  if (mode == "run") return run(argv[0], std::vector<std::string>(argv + 2, argv + argc));
  if (mode == "seeds" && argc == 3) return seeds(argv[2]);
  if (mode == "write" && argc == 3) return write(argv[2]);
  if (mode == "one" && argc == 5) {
    return one(argv[2], std::atoi(argv[3]),
               std::strcmp(argv[4], "modern") == 0 ? Analysis::kModern : Analysis::kClassic);
  }
  std::fprintf(stderr,
               "usage: adversarial list | run [NAME...] | seeds DIR | write DIR | one NAME EIGHTHS "
               "classic|modern\n");
  return 2;
}
