#include "extractor/page_text.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "extractor/extraction_pipeline.h"

namespace brevanto {

PageText extractPageText(const std::string& bodyMarkup, std::string_view url, std::string_view title,
                         Analysis analysis, TextFileFormat format) {
  ExtractionPipeline pipeline(analysis);
  const MarkupRead read = pipeline.analyze(bodyMarkup.c_str());
  const std::vector<ContentChoice> choices = pipeline.chooseContent();
  // How the texts follow one another is the analysis' own, in any format:
  // the Windows server's way for its analysis, and every text set apart for
  // the modern one, whichever line ends a caller asks for.
  TextFileFormat written = format;
  written.setsTextsApart = pipeline.rules.setsTextsApart;
  PageText page = formatTextFile(choices, url, title, written);
  page.markupCut = read == MarkupRead::kCut;
  // Only an analysis that reconsiders a choice holding little says how
  // little it still holds.
  if (pipeline.rules.secondOpinion.applies)
    page.chosenShare = chosenShareOf(choices, pipeline.body, pipeline.rules);
  return page;
}

std::string littleTextWarning(const PageText& page) {
  if (page.chosenShare <= 0 || page.chosenShare >= kLittleTextShare) return {};
  // Cut, not rounded, to a tenth: a share under the bar never reads as the bar.
  char share[32];
  std::snprintf(share, sizeof share, "%.1f", std::floor(page.chosenShare * 10.0) / 10.0);
  return std::string("only ") + share +
         " % of the page's visible text was selected; the article may be elsewhere on the page";
}

}  // namespace brevanto
