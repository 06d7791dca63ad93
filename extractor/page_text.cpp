#include "extractor/page_text.h"

#include "extractor/extraction_pipeline.h"

namespace brevanto {

PageText extractPageText(const std::string& bodyMarkup, std::string_view url, std::string_view title,
                         Analysis analysis, TextFileFormat format) {
  ExtractionPipeline pipeline(analysis);
  const MarkupRead read = pipeline.analyze(bodyMarkup.c_str());
  PageText page = formatTextFile(pipeline.chooseContent(), url, title, format);
  page.markupCut = read == MarkupRead::kCut;
  return page;
}

}  // namespace brevanto
