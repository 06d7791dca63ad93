#include "cli/page_loader.h"

#include <myhtml/api.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "cli/markup_serializer.h"
#include "cli/parser_guards.h"

namespace brevanto::cli {

// The first encoding that a <meta> met while parsing declares.
struct LateMeta {
  const Encoding* declared = nullptr;  // not owned: a row of the encoding table
};

namespace {

// The first bytes that decide whether a file is a page at all.
constexpr size_t kBinaryProbeBytes = 8192;

// The first node with `tag` among the children of `parent`, or null.
myhtml_tree_node_t* childWithTag(myhtml_tree_node_t* parent, myhtml_tag_id_t tag) {
  if (parent == nullptr) return nullptr;
  for (myhtml_tree_node_t* node = myhtml_node_child(parent); node != nullptr; node = myhtml_node_next(node)) {
    if (myhtml_node_tag_id(node) == tag) return node;
  }
  return nullptr;
}

std::string_view valueOf(myhtml_tree_attr_t* attribute) {
  size_t length = 0;
  const char* value = myhtml_attribute_value(attribute, &length);
  return value == nullptr ? std::string_view() : std::string_view(value, length);
}

void watchForMeta(myhtml_token_node_t* token, LateMeta& lateMeta) {
  if (lateMeta.declared != nullptr || myhtml_token_node_tag_id(token) != MyHTML_TAG_META ||
      myhtml_token_node_is_close(token))
    return;
  MetaAttributes meta;
  for (myhtml_tree_attr_t* a = myhtml_token_node_attribute_first(token); a != nullptr;
       a = myhtml_attribute_next(a)) {
    size_t length = 0;
    const char* key = myhtml_attribute_key(a, &length);
    const std::string_view name = key == nullptr ? std::string_view() : std::string_view(key, length);
    // Of an attribute given twice, the first counts.
    std::optional<std::string_view>* slot = name == "charset"      ? &meta.charset
                                            : name == "http-equiv" ? &meta.httpEquiv
                                            : name == "content"    ? &meta.content
                                                                   : nullptr;
    if (slot != nullptr && !*slot) *slot = valueOf(a);
  }
  lateMeta.declared = encodingOfMeta(meta);
}

// Called for every token after the tokenizer and before the tree builder;
// `context` is the LateMeta to fill, or null.
void* beforeTreeBuilding(myhtml_tree_t* tree, myhtml_token_node_t* token, void* context) {
  if (context != nullptr) watchForMeta(token, *static_cast<LateMeta*>(context));
  guardToken(tree, token);
  return context;
}

// `bytes` in UTF-8, which is all the parser reads. It drops a NUL in text,
// as browsers do, but shifts the bytes of a character next to it; no NUL
// reaches it.
LoadStatus decode(std::string_view bytes, const Encoding& encoding, std::string& text, std::string& error) {
  std::optional<std::string> decoded = decodeToUtf8(bytes, encoding);
  if (!decoded) {
    error = std::string("cannot read ") + encoding.name + ": this system's iconv has no " +
            encoding.converter + " table";
    return LoadStatus::kNoConverter;
  }
  text = std::move(*decoded);
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  return LoadStatus::kLoaded;
}

// Whether `text` at `at` starts markup: a tag, an end tag or a comment.
bool startsMarkup(std::string_view text, size_t at) {
  return text[at] == '<' && at + 1 < text.size() &&
         (ascii::isLetter(text[at + 1]) || text[at + 1] == '/' || text[at + 1] == '!');
}

// A title without its end tag reads the rest of the page as its text, and
// a browser shows an empty page. The browsers such pages were written for
// ended the title at the next markup instead; where the body would
// otherwise hold no text, the loader does as they did. Puts the missing end
// tag into `text` where the title's next markup starts; false when no
// title runs to the end of the page or nothing follows it to read.
bool endRunawayTitle(myhtml_tree_t* tree, std::string& text) {
  myhtml_collection_t* titles = myhtml_get_nodes_by_tag_id(tree, nullptr, MyHTML_TAG_TITLE, nullptr);
  myhtml_tree_node_t* title = nullptr;
  // Only the last title can run to the end.
  for (size_t i = 0; titles != nullptr && i < titles->length; ++i) {
    if (myhtml_node_namespace(titles->list[i]) == MyHTML_NAMESPACE_HTML) title = titles->list[i];
  }
  myhtml_collection_destroy(titles);
  if (title == nullptr) return false;
  const myhtml_position_t startTag = myhtml_node_element_position(title);
  const size_t contentStart = startTag.begin + startTag.length;
  if (startTag.length == 0 || contentStart > text.size()) return false;
  constexpr std::string_view kEndTag = "</title";
  for (size_t at = text.find("</", contentStart); at != std::string::npos; at = text.find("</", at + 2)) {
    const size_t after = at + kEndTag.size();
    if (ascii::equalsIgnoringCase(std::string_view(text).substr(at, kEndTag.size()), kEndTag) &&
        after < text.size() && (ascii::isWhitespace(text[after]) || text[after] == '/' || text[after] == '>'))
      return false;
  }
  for (size_t at = contentStart; at < text.size(); ++at) {
    if (!startsMarkup(text, at)) continue;
    text.insert(at, "</title>");
    return true;
  }
  return false;
}

myhtml_tree_t* newTree(myhtml_t* parser) {
  myhtml_tree_t* tree = myhtml_tree_create();
  if (tree != nullptr && myhtml_tree_init(tree, parser) != MyHTML_STATUS_OK) tree = myhtml_tree_destroy(tree);
  return tree;
}

}  // namespace

LoadStatus PageLoader::parse(std::string_view text, LateMeta* lateMeta, std::string& error) {
  myhtml_tree_clean(tree_);
  myhtml_callback_after_token_done_set(tree_, beforeTreeBuilding, lateMeta);
  if (myhtml_parse(tree_, MyENCODING_UTF_8, text.data(), text.size()) != MyHTML_STATUS_OK) {
    error = "the HTML parser failed";
    return LoadStatus::kParseFailed;
  }
  return LoadStatus::kLoaded;
}

bool PageLoader::serializeBody(std::string& markup) const {
  markup.clear();
  // A frameset page's body is its frameset, as a browser's document says.
  myhtml_tree_node_t* body = myhtml_tree_get_node_body(tree_);
  if (body == nullptr) body = childWithTag(myhtml_tree_get_node_html(tree_), MyHTML_TAG_FRAMESET);
  return body != nullptr && serializer_->appendOuterMarkup(body, markup);
}

PageLoader::PageLoader(Analysis analysis) {
  parser_ = myhtml_create();
  if (parser_ != nullptr &&
      myhtml_init(parser_, MyHTML_OPTIONS_PARSE_MODE_SINGLE, 1, 0) != MyHTML_STATUS_OK) {
    parser_ = myhtml_destroy(parser_);
  }
  if (parser_ == nullptr) return;
  tree_ = newTree(parser_);
  if (tree_ == nullptr) return;
  serializer_ = std::make_unique<MarkupSerializer>(tree_, analysis);
}

PageLoader::~PageLoader() {
  if (tree_ != nullptr) myhtml_tree_destroy(tree_);
  if (parser_ != nullptr) myhtml_destroy(parser_);
}

LoadStatus PageLoader::load(std::string_view bytes, std::string_view encodingLabel,
                            std::string_view transportLabel, LoadedPage& page) {
  page = LoadedPage();
  if (tree_ == nullptr) {
    page.error = "the HTML parser could not be set up";
    return LoadStatus::kParseFailed;
  }
  const EncodingChoice choice = chooseEncoding(bytes, encodingLabel, transportLabel, page.error);
  if (choice.encoding == nullptr) return LoadStatus::kUnknownEncoding;
  page.encoding = choice.encoding->name;
  bytes.remove_prefix(choice.bomLength);
  // Text has no NUL bytes, except as the zero half of UTF-16 units.
  const std::string_view probe = bytes.substr(0, kBinaryProbeBytes);
  if (choice.encoding->family != Family::kUtf16 && probe.find('\0') != std::string_view::npos) {
    page.error = "not a web page: binary data";
    if (const char* utf16 = utf16LabelByShape(probe))
      page.error +=
          std::string(" (it reads like UTF-16 without a byte-order mark: try --encoding ") + utf16 + ")";
    return LoadStatus::kNotText;
  }
  // A guessed encoding gives way to the one that a <meta> met while parsing
  // declares, as in a browser that reads the page again: at most once, so
  // that loading stays linear.
  LateMeta lateMeta;
  const Encoding* encoding = choice.encoding;
  std::string text;
  LoadStatus status = decode(bytes, *encoding, text, page.error);
  if (status == LoadStatus::kLoaded)
    status = parse(text, choice.source == EncodingSource::kDetected ? &lateMeta : nullptr, page.error);
  if (status == LoadStatus::kLoaded && lateMeta.declared != nullptr && lateMeta.declared != encoding) {
    encoding = lateMeta.declared;
    status = decode(bytes, *encoding, text, page.error);
    if (status == LoadStatus::kLoaded) status = parse(text, nullptr, page.error);
  }
  page.encoding = encoding->name;
  if (status != LoadStatus::kLoaded) return status;
  page.markup.reserve(text.size() + text.size() / 16);
  bool hasText = serializeBody(page.markup);
  if (!hasText && endRunawayTitle(tree_, text)) {
    status = parse(text, nullptr, page.error);
    if (status != LoadStatus::kLoaded) return status;
    hasText = serializeBody(page.markup);
  }
  page.title = documentTitle(tree_);
  page.url = documentUrl(tree_);
  if (!hasText) {
    page.error = "the page's body holds no text";
    return LoadStatus::kNoText;
  }
  return LoadStatus::kLoaded;
}

}  // namespace brevanto::cli
