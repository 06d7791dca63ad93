// Loading a saved page the way a browser does: decode the bytes, parse them
// as HTML, and hand over what a browser's document would give the analysis:
// the body's outer markup, the title, and where the page came from.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "cli/decoder.h"
#include "cli/encoding_choice.h"
#include "cli/title_and_url.h"
#include "extractor/parse/html_element_table.h"

struct myhtml;       // the parser
struct myhtml_tree;  // one parsed document

namespace brevanto::cli {

class MarkupSerializer;
struct LateMeta;

enum class LoadStatus : int {
  kLoaded = 0,
  kUnknownEncoding,  // the given encoding label names no encoding
  kNoConverter,      // the system cannot decode the encoding the page is in
  kNotText,          // the bytes are plainly not a page (binary data)
  kNoText,           // the page's body holds no text to analyse
  kParseFailed,      // the parser could not be set up or gave up
};

struct LoadedPage {
  std::string markup;    // the body element's outer markup, serialized as the Windows browser hands it over
  std::string title;     // the document's title, as a browser's document.title gives it
  std::string url;       // where the page says it was saved from; empty when it does not say
  std::string encoding;  // the name of the encoding the bytes were read in
  std::string error;     // the cause, when the page could not be loaded
};

// One parser, reused for every page loaded through it.
class PageLoader {
 public:
  // The serialized markup is what the analysis `analysis` reads (see
  // MarkupSerializer).
  explicit PageLoader(Analysis analysis = Analysis::kClassic);
  ~PageLoader();
  PageLoader(const PageLoader&) = delete;
  PageLoader& operator=(const PageLoader&) = delete;

  // Loads one page. `encodingLabel` is the user's choice of encoding and
  // `transportLabel` the charset of the Content-Type the page was served
  // with; either may be empty (see chooseEncoding). `page` is overwritten in
  // every case.
  LoadStatus load(std::string_view bytes, std::string_view encodingLabel, std::string_view transportLabel,
                  LoadedPage& page);
  // A page that came without a transport label, such as a saved file.
  LoadStatus load(std::string_view bytes, std::string_view encodingLabel, LoadedPage& page) {
    return load(bytes, encodingLabel, {}, page);
  }

 private:
  // Parses `text` into tree_. `lateMeta`, when not null, records the
  // encoding that the first <meta> on the way declares.
  LoadStatus parse(std::string_view text, LateMeta* lateMeta, std::string& error);
  // Writes the parsed body's outer markup into `markup`; true when it holds
  // text that a browser shows.
  bool serializeBody(std::string& markup) const;

  myhtml* parser_ = nullptr;                      // owned
  myhtml_tree* tree_ = nullptr;                   // owned; cleaned for every page
  std::unique_ptr<MarkupSerializer> serializer_;  // owned; names tags through tree_
};

}  // namespace brevanto::cli
