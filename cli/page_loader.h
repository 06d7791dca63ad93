// Loading a saved page the way a browser does: decode the bytes, parse them
// as HTML, and hand over what a browser's document would give the analysis:
// the body's outer markup, the title, and where the page came from.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct myhtml;       // the parser
struct myhtml_tree;  // one parsed document

namespace brevanto::cli {

enum class LoadStatus : int {
  kLoaded = 0,
  kUnknownEncoding,  // the given encoding label names no encoding
  kUndecodable,      // the bytes are not valid in the given encoding
  kParseFailed,      // the parser could not be set up or gave up
};

struct LoadedPage {
  std::string markup;    // the body element's outer markup, serialized as browsers do, in UTF-8
  std::string title;     // the document's title, its white space collapsed
  std::string url;       // where the page says it was saved from; empty when it does not say
  std::string encoding;  // the name of the encoding the bytes were read in
  std::string error;     // the cause, when the page could not be loaded
};

// Which encoding a browser reads `bytes` in: a byte-order mark, else the
// given label, else a <meta> charset in the first 1024 bytes, else UTF-8
// when the bytes are valid UTF-8, else windows-1252. Returns false, with
// `error` set, when the label names no encoding. `encoding` is a myencoding
// id; `bomLength` the bytes of the mark to skip.
bool chooseEncoding(std::string_view bytes, std::string_view label, int& encoding, size_t& bomLength,
                    std::string& error);

// The offset of the first byte that is not part of valid UTF-8, or npos.
size_t firstInvalidUtf8(std::string_view bytes);
// The bytes with each maximal run that is not part of valid UTF-8 replaced by
// U+FFFD, as a browser's UTF-8 decoder does.
std::string replaceInvalidUtf8(std::string_view bytes);
bool isValidUtf8(std::string_view bytes);

// Whether `label` names an encoding a browser knows.
bool isKnownEncoding(std::string_view label);

// One parser, reused for every page loaded through it.
class PageLoader {
 public:
  PageLoader();
  ~PageLoader();
  PageLoader(const PageLoader&) = delete;
  PageLoader& operator=(const PageLoader&) = delete;

  // Loads one page. `encodingLabel` empty means: detect as a browser would.
  // `page` is overwritten in every case.
  LoadStatus load(std::string_view bytes, std::string_view encodingLabel, LoadedPage& page);

 private:
  myhtml* parser_ = nullptr;     // owned
  myhtml_tree* tree_ = nullptr;  // owned; cleaned for every page
  bool treeNeedsRenewal_ = false;  // the last page left state that cleaning keeps
};

}  // namespace brevanto::cli
