#include "extractor/page_text.h"

#include "extractor/extraction_pipeline.h"

namespace brevanto {

PageText extractPageText(const std::string& bodyMarkup, std::string_view url, std::string_view title,
                         Analysis analysis) {
  ExtractionPipeline pipeline(analysis);
  pipeline.analyze(bodyMarkup.c_str());
  PageText page;
  page.file = ExtractionPipeline::formatChosenText(
      pipeline.chooseContent(&pipeline.root, pipeline.minParagraphs, pipeline.minPlainShare), url, title);
  page.headerLength = ExtractionPipeline::formatTextFile(ContentList(), url, title).size();
  return page;
}

}  // namespace brevanto
