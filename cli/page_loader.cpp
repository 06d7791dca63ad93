#include "cli/page_loader.h"

#include <myencoding/encoding.h>
#include <myhtml/api.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace brevanto::cli {
namespace {

// The prescan looks no further than a browser does.
constexpr size_t kPrescanBytes = 1024;

bool isAsciiWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && isAsciiWhitespace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isAsciiWhitespace(text.back())) text.remove_suffix(1);
  return text;
}

std::string encodingName(myencoding_t encoding) {
  size_t length = 0;
  const char* name = myencoding_name_by_id(encoding, &length);
  std::string lower = name == nullptr ? std::string("unknown") : std::string(name, length);
  for (char& c : lower) c = asciiLower(c);
  return lower;
}

// The offset of the first byte that `encoding` cannot decode, or npos.
size_t firstUndecodable(std::string_view bytes, myencoding_t encoding) {
  // The library's UTF-8 decoder lets malformed sequences pass.
  if (encoding == MyENCODING_UTF_8) return firstInvalidUtf8(bytes);
  const myencoding_custom_f decode = myencoding_get_function_by_id(encoding);
  if (decode == nullptr) return std::string_view::npos;
  myencoding_result_t state{};
  size_t sequenceStart = 0;
  bool inSequence = false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (!inSequence) sequenceStart = i;
    const myencoding_status_t status = decode(static_cast<unsigned char>(bytes[i]), &state);
    if (status == MyENCODING_STATUS_ERROR) return sequenceStart;
    inSequence = status == MyENCODING_STATUS_CONTINUE;
  }
  return inSequence ? sequenceStart : std::string_view::npos;
}

std::string_view textOf(myhtml_tree_node_t* node) {
  size_t length = 0;
  const char* text = myhtml_node_text(node, &length);
  return text == nullptr ? std::string_view() : std::string_view(text, length);
}

std::string_view attributeOf(myhtml_tree_node_t* node, const char* key) {
  myhtml_tree_attr_t* attribute = myhtml_attribute_by_key(node, key, std::strlen(key));
  if (attribute == nullptr) return {};
  size_t length = 0;
  const char* value = myhtml_attribute_value(attribute, &length);
  return value == nullptr ? std::string_view() : std::string_view(value, length);
}

// Serializes a subtree as browsers give an element's outer markup: text and
// attribute values escaped, void elements without an end tag, the contents
// of raw-text elements as they are. The walk follows the tree's links, not
// the call stack, so any depth goes through.
class Serializer {
 public:
  Serializer(myhtml_tree_t* tree, std::string& out) : tree_(tree), out_(out) {}

  void outerMarkup(myhtml_tree_node_t* top) {
    if (!openTag(top)) return;
    myhtml_tree_node_t* node = myhtml_node_child(top);
    while (node != nullptr) {
      const bool hasContent = start(node);
      if (hasContent && myhtml_node_child(node) != nullptr) {
        node = myhtml_node_child(node);
        continue;
      }
      if (hasContent) endTag(node);
      // Climb until a node has a next sibling, closing the elements left.
      while (node != nullptr && myhtml_node_next(node) == nullptr) {
        node = myhtml_node_parent(node);
        if (node == top) node = nullptr;
        if (node != nullptr) endTag(node);
      }
      if (node != nullptr) node = myhtml_node_next(node);
    }
    endTag(top);
  }

 private:
  // Writes the node's start; true when an element whose children and end
  // tag follow.
  bool start(myhtml_tree_node_t* node) {
    switch (myhtml_node_tag_id(node)) {
      case MyHTML_TAG__TEXT:
        text(node);
        return false;
      case MyHTML_TAG__COMMENT:
        out_.append("<!--").append(textOf(node)).append("-->");
        return false;
      case MyHTML_TAG__DOCTYPE:
        return false;
      default:
        return openTag(node);
    }
  }

  bool openTag(myhtml_tree_node_t* node) {
    out_.push_back('<');
    out_.append(nameOf(node));
    for (myhtml_tree_attr_t* a = myhtml_node_attribute_first(node); a != nullptr;
         a = myhtml_attribute_next(a)) {
      size_t keyLength = 0;
      const char* key = myhtml_attribute_key(a, &keyLength);
      size_t valueLength = 0;
      const char* value = myhtml_attribute_value(a, &valueLength);
      out_.push_back(' ');
      switch (myhtml_attribute_namespace(a)) {
        case MyHTML_NAMESPACE_XML:
          out_.append("xml:");
          break;
        case MyHTML_NAMESPACE_XLINK:
          out_.append("xlink:");
          break;
        case MyHTML_NAMESPACE_XMLNS:
          if (std::string_view(key, keyLength) != "xmlns") out_.append("xmlns:");
          break;
        default:
          break;
      }
      out_.append(key, keyLength).append("=\"");
      escape(std::string_view(value == nullptr ? "" : value, value == nullptr ? 0 : valueLength), true);
      out_.push_back('"');
    }
    out_.push_back('>');
    return !isVoid(node);
  }

  void endTag(myhtml_tree_node_t* node) { out_.append("</").append(nameOf(node)).push_back('>'); }

  void text(myhtml_tree_node_t* node) {
    myhtml_tree_node_t* parent = myhtml_node_parent(node);
    if (parent != nullptr && myhtml_node_namespace(parent) == MyHTML_NAMESPACE_HTML) {
      switch (myhtml_node_tag_id(parent)) {
        case MyHTML_TAG_STYLE:
        case MyHTML_TAG_SCRIPT:
        case MyHTML_TAG_XMP:
        case MyHTML_TAG_IFRAME:
        case MyHTML_TAG_NOEMBED:
        case MyHTML_TAG_NOFRAMES:
        case MyHTML_TAG_PLAINTEXT:
        case MyHTML_TAG_NOSCRIPT:  // the parser runs as with scripting on
          out_.append(textOf(node));
          return;
        default:
          break;
      }
    }
    escape(textOf(node), false);
  }

  void escape(std::string_view text, bool inAttribute) {
    size_t copied = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      const char* replacement = nullptr;
      size_t skip = 1;
      if (c == '&') {
        replacement = "&amp;";
      } else if (c == '<') {
        replacement = "&lt;";
      } else if (c == '>') {
        replacement = "&gt;";
      } else if (c == '"' && inAttribute) {
        replacement = "&quot;";
      } else if (c == '\n' && !inAttribute) {
        // The parser leaves LF alone for every line end; the analysis and the
        // text file it writes work in CR LF lines, as the Windows browser hands
        // its markup over. Without this, blank lines would survive cleaning and
        // the file would mix two kinds of line end.
        replacement = "\r\n";
      } else if (c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
        replacement = "&nbsp;";  // U+00A0 in UTF-8
        skip = 2;
      }
      if (replacement == nullptr) continue;
      out_.append(text.substr(copied, i - copied)).append(replacement);
      copied = i + skip;
      i += skip - 1;
    }
    out_.append(text.substr(copied));
  }

  std::string_view nameOf(myhtml_tree_node_t* node) const {
    size_t length = 0;
    const char* name = myhtml_tag_name_by_id(tree_, myhtml_node_tag_id(node), &length);
    return name == nullptr ? std::string_view("unknown") : std::string_view(name, length);
  }

  static bool isVoid(myhtml_tree_node_t* node) {
    if (myhtml_node_namespace(node) != MyHTML_NAMESPACE_HTML) return false;
    switch (myhtml_node_tag_id(node)) {
      case MyHTML_TAG_AREA:
      case MyHTML_TAG_BASE:
      case MyHTML_TAG_BASEFONT:
      case MyHTML_TAG_BGSOUND:
      case MyHTML_TAG_BR:
      case MyHTML_TAG_COL:
      case MyHTML_TAG_EMBED:
      case MyHTML_TAG_FRAME:
      case MyHTML_TAG_HR:
      case MyHTML_TAG_IMG:
      case MyHTML_TAG_INPUT:
      case MyHTML_TAG_KEYGEN:
      case MyHTML_TAG_LINK:
      case MyHTML_TAG_META:
      case MyHTML_TAG_PARAM:
      case MyHTML_TAG_SOURCE:
      case MyHTML_TAG_TRACK:
      case MyHTML_TAG_WBR:
        return true;
      default:
        return false;
    }
  }

  myhtml_tree_t* tree_;  // not owned
  std::string& out_;     // not owned
};

// The first node with `tag` among the children of `parent`, or null.
myhtml_tree_node_t* childWithTag(myhtml_tree_node_t* parent, myhtml_tag_id_t tag) {
  if (parent == nullptr) return nullptr;
  for (myhtml_tree_node_t* node = myhtml_node_child(parent); node != nullptr; node = myhtml_node_next(node)) {
    if (myhtml_node_tag_id(node) == tag) return node;
  }
  return nullptr;
}

// The URL of a "saved from url=(NNNN)URL" comment: NNNN is the URL's
// length in bytes.
std::string savedFromUrl(std::string_view comment) {
  constexpr std::string_view kMark = "saved from url=(";
  const size_t mark = comment.find(kMark);
  if (mark == std::string_view::npos) return {};
  std::string_view rest = comment.substr(mark + kMark.size());
  const size_t close = rest.find(')');
  if (close == std::string_view::npos) return {};
  size_t length = 0;
  for (char c : rest.substr(0, close)) {
    if (c < '0' || c > '9' || length > 100000) return {};
    length = length * 10 + static_cast<size_t>(c - '0');
  }
  rest = rest.substr(close + 1);
  if (length > 0 && length <= rest.size()) return std::string(trim(rest.substr(0, length)));
  const size_t space = std::find_if(rest.begin(), rest.end(), isAsciiWhitespace) - rest.begin();
  return std::string(rest.substr(0, space));
}

// Only an absolute URL says where the page is: a relative one would need
// the address it was read from.
bool isAbsoluteUrl(std::string_view url) {
  if (url.empty() || !((url[0] >= 'a' && url[0] <= 'z') || (url[0] >= 'A' && url[0] <= 'Z'))) return false;
  for (char c : url.substr(1)) {
    if (c == ':') return true;
    const bool schemeChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                            c == '+' || c == '-' || c == '.';
    if (!schemeChar) return false;
  }
  return false;
}

bool hasRelToken(std::string_view rel, std::string_view token) {
  size_t pos = 0;
  while (pos < rel.size()) {
    while (pos < rel.size() && isAsciiWhitespace(rel[pos])) ++pos;
    size_t end = pos;
    while (end < rel.size() && !isAsciiWhitespace(rel[end])) ++end;
    if (end > pos && equalsIgnoringCase(rel.substr(pos, end - pos), token)) return true;
    pos = end;
  }
  return false;
}

std::string collapseWhitespace(std::string_view text) {
  std::string collapsed;
  bool space = false;
  for (char c : trim(text)) {
    if (isAsciiWhitespace(c)) {
      space = true;
      continue;
    }
    if (space) collapsed.push_back(' ');
    space = false;
    collapsed.push_back(c);
  }
  return collapsed;
}

std::string documentTitle(myhtml_tree_t* tree) {
  myhtml_collection_t* titles = myhtml_get_nodes_by_tag_id(tree, nullptr, MyHTML_TAG_TITLE, nullptr);
  std::string title;
  if (titles != nullptr && titles->length > 0) {
    std::string text;
    for (myhtml_tree_node_t* c = myhtml_node_child(titles->list[0]); c != nullptr; c = myhtml_node_next(c)) {
      if (myhtml_node_tag_id(c) == MyHTML_TAG__TEXT) text.append(textOf(c));
    }
    title = collapseWhitespace(text);
  }
  myhtml_collection_destroy(titles);
  return title;
}

// Where the page says it came from: the comment a browser writes when it
// saves a page, else the canonical link.
std::string documentUrl(myhtml_tree_t* tree) {
  myhtml_tree_node_t* html = myhtml_tree_get_node_html(tree);
  for (myhtml_tree_node_t* parent : {myhtml_tree_get_document(tree), html, myhtml_tree_get_node_head(tree),
                                     myhtml_tree_get_node_body(tree)}) {
    if (parent == nullptr) continue;
    for (myhtml_tree_node_t* node = myhtml_node_child(parent); node != nullptr;
         node = myhtml_node_next(node)) {
      if (myhtml_node_tag_id(node) != MyHTML_TAG__COMMENT) continue;
      std::string url = savedFromUrl(textOf(node));
      if (!url.empty()) return url;
    }
  }
  std::string url;
  myhtml_collection_t* links = myhtml_get_nodes_by_tag_id(tree, nullptr, MyHTML_TAG_LINK, nullptr);
  for (size_t i = 0; links != nullptr && i < links->length; ++i) {
    if (!hasRelToken(attributeOf(links->list[i], "rel"), "canonical")) continue;
    const std::string_view href = trim(attributeOf(links->list[i], "href"));
    if (isAbsoluteUrl(href)) {
      url.assign(href);
      break;
    }
  }
  myhtml_collection_destroy(links);
  return url;
}

}  // namespace

namespace {

// Reads the UTF-8 sequence at `i`. Returns true for a valid one; either way
// `length` is the bytes it takes: the sequence, or the maximal part of one
// that a decoder replaces by a single U+FFFD (at least one byte).
bool utf8SequenceAt(std::string_view bytes, size_t i, size_t& length) {
  const auto c = static_cast<unsigned char>(bytes[i]);
  length = 1;
  if (c < 0x80) return true;
  size_t extra = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    extra = 1;
  } else if (c >= 0xE0 && c <= 0xEF) {
    extra = 2;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    extra = 3;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return false;
  }
  for (size_t k = 1; k <= extra; ++k) {
    if (i + k >= bytes.size()) return false;
    const auto b = static_cast<unsigned char>(bytes[i + k]);
    if (k == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF)) return false;
    length = k + 1;
  }
  return true;
}

}  // namespace

size_t firstInvalidUtf8(std::string_view bytes) {
  size_t length = 0;
  for (size_t i = 0; i < bytes.size(); i += length) {
    if (!utf8SequenceAt(bytes, i, length)) return i;
  }
  return std::string_view::npos;
}

std::string replaceInvalidUtf8(std::string_view bytes) {
  std::string repaired;
  repaired.reserve(bytes.size() + bytes.size() / 8);
  size_t length = 0;
  for (size_t i = 0; i < bytes.size(); i += length) {
    if (utf8SequenceAt(bytes, i, length)) {
      repaired.append(bytes.substr(i, length));
    } else {
      repaired.append("\xEF\xBF\xBD");
    }
  }
  return repaired;
}

bool isValidUtf8(std::string_view bytes) {
  return firstInvalidUtf8(bytes) == std::string_view::npos;
}

bool isKnownEncoding(std::string_view label) {
  const std::string_view trimmed = trim(label);
  myencoding_t encoding = MyENCODING_DEFAULT;
  return !trimmed.empty() && myencoding_by_name(trimmed.data(), trimmed.size(), &encoding);
}

bool chooseEncoding(std::string_view bytes, std::string_view label, int& encoding, size_t& bomLength,
                    std::string& error) {
  bomLength = 0;
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    encoding = MyENCODING_UTF_8;
    bomLength = 3;
    return true;
  }
  if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
    encoding = bytes[0] == '\xFF' ? MyENCODING_UTF_16LE : MyENCODING_UTF_16BE;
    bomLength = 2;
    return true;
  }
  if (!label.empty()) {
    const std::string_view trimmed = trim(label);
    myencoding_t byName = MyENCODING_DEFAULT;
    if (!myencoding_by_name(trimmed.data(), trimmed.size(), &byName)) {
      error = "unknown encoding '" + std::string(label) + "'";
      return false;
    }
    encoding = byName;
    return true;
  }
  myencoding_t declared =
      myencoding_prescan_stream_to_determine_encoding(bytes.data(), std::min(bytes.size(), kPrescanBytes));
  if (declared != MyENCODING_NOT_DETERMINED) {
    // A page cannot declare itself UTF-16 in bytes that the prescan could
    // read as ASCII; x-user-defined in a page means windows-1252.
    if (declared == MyENCODING_UTF_16LE || declared == MyENCODING_UTF_16BE) declared = MyENCODING_UTF_8;
    if (declared == MyENCODING_X_USER_DEFINED) declared = MyENCODING_WINDOWS_1252;
    encoding = declared;
    return true;
  }
  encoding = isValidUtf8(bytes) ? MyENCODING_UTF_8 : MyENCODING_WINDOWS_1252;
  return true;
}

PageLoader::PageLoader() {
  parser_ = myhtml_create();
  if (parser_ != nullptr &&
      myhtml_init(parser_, MyHTML_OPTIONS_PARSE_MODE_SINGLE, 1, 0) != MyHTML_STATUS_OK) {
    myhtml_destroy(parser_);
    parser_ = nullptr;
  }
  if (parser_ == nullptr) return;
  tree_ = myhtml_tree_create();
  if (tree_ != nullptr && myhtml_tree_init(tree_, parser_) != MyHTML_STATUS_OK) {
    myhtml_tree_destroy(tree_);
    tree_ = nullptr;
  }
}

PageLoader::~PageLoader() {
  if (tree_ != nullptr) myhtml_tree_destroy(tree_);
  if (parser_ != nullptr) myhtml_destroy(parser_);
}

LoadStatus PageLoader::load(std::string_view bytes, std::string_view encodingLabel, LoadedPage& page) {
  page = LoadedPage();
  if (tree_ == nullptr) {
    page.error = "the HTML parser could not be set up";
    return LoadStatus::kParseFailed;
  }
  int encoding = MyENCODING_UTF_8;
  size_t bomLength = 0;
  if (!chooseEncoding(bytes, encodingLabel, encoding, bomLength, page.error))
    return LoadStatus::kUnknownEncoding;
  const auto chosen = static_cast<myencoding_t>(encoding);
  page.encoding = encodingName(chosen);
  bytes.remove_prefix(bomLength);
  if (!encodingLabel.empty() && bomLength == 0) {
    const size_t bad = firstUndecodable(bytes, chosen);
    if (bad != std::string_view::npos) {
      page.error = "not valid " + page.encoding + " (byte " + std::to_string(bad) + ")";
      return LoadStatus::kUndecodable;
    }
  }
  // A tree that has parsed UTF-16 keeps decoder state that cleaning does not
  // reset, and the next page then crashes the parser: such a tree is not
  // reused.
  if (treeNeedsRenewal_) {
    myhtml_tree_destroy(tree_);
    tree_ = myhtml_tree_create();
    if (tree_ != nullptr && myhtml_tree_init(tree_, parser_) != MyHTML_STATUS_OK) {
      myhtml_tree_destroy(tree_);
      tree_ = nullptr;
    }
    if (tree_ == nullptr) {
      page.error = "the HTML parser could not be set up";
      return LoadStatus::kParseFailed;
    }
  }
  treeNeedsRenewal_ = chosen != MyENCODING_UTF_8 && chosen != MyENCODING_WINDOWS_1252;
  myhtml_tree_clean(tree_);
  // Bytes that are not UTF-8 in a page read as UTF-8 become U+FFFD, as a
  // browser shows them, instead of reaching the text as they are.
  std::string repaired;
  if (chosen == MyENCODING_UTF_8 && firstInvalidUtf8(bytes) != std::string_view::npos) {
    repaired = replaceInvalidUtf8(bytes);
    bytes = repaired;
  }
  if (myhtml_parse(tree_, chosen, bytes.data(), bytes.size()) != MyHTML_STATUS_OK) {
    page.error = "the HTML parser failed";
    return LoadStatus::kParseFailed;
  }
  // A frameset page's body is its frameset, as a browser's document says.
  myhtml_tree_node_t* body = myhtml_tree_get_node_body(tree_);
  if (body == nullptr) body = childWithTag(myhtml_tree_get_node_html(tree_), MyHTML_TAG_FRAMESET);
  if (body != nullptr) {
    page.markup.reserve(bytes.size());
    Serializer(tree_, page.markup).outerMarkup(body);
  }
  page.title = documentTitle(tree_);
  page.url = documentUrl(tree_);
  return LoadStatus::kLoaded;
}

}  // namespace brevanto::cli
