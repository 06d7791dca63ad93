#include "cli/page_loader.h"

// The library's own headers, not its public api.h: the loader's guards
// against its superlinear cases read the tree builder's open elements, its
// list of formatting elements and the text it joins, which only they
// describe.
#include <mycore/mystring.h>
#include <mycore/utils/mchar_async.h>
#include <myhtml/callback.h>
#include <myhtml/myhtml.h>
#include <myhtml/tree.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "base/ascii.h"
#include "extractor/parse/html_element_table.h"

namespace brevanto::cli {
namespace {

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

// Elements whose text a browser never shows: scripts, styles, templates,
// and what stands in for scripts, frames and plug-ins.
bool hidesText(myhtml_tree_node_t* element) {
  if (element == nullptr || myhtml_node_namespace(element) != MyHTML_NAMESPACE_HTML) return false;
  switch (myhtml_node_tag_id(element)) {
    case MyHTML_TAG_SCRIPT:
    case MyHTML_TAG_STYLE:
    case MyHTML_TAG_NOSCRIPT:
    case MyHTML_TAG_TEMPLATE:
    case MyHTML_TAG_IFRAME:
    case MyHTML_TAG_NOEMBED:
    case MyHTML_TAG_NOFRAMES:
      return true;
    default:
      return false;
  }
}

// The elements that never have content nor an end tag.
bool isVoidElement(myhtml_tag_id_t tag) {
  switch (tag) {
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

// Serializes a subtree as the Windows browser gives an element's outer
// markup: text and attribute values escaped, void elements without an end
// tag, the contents of raw-text elements as they are, and a line break
// before each block-level element that does not start a line already. The
// analysis keeps those line breaks, so that blocks become lines of their
// own. The walk follows the tree's links, not the call stack, so any depth
// goes through.
class Serializer {
 public:
  Serializer(myhtml_tree_t* tree, const std::vector<bool>& blockLevel, std::string& out)
      : tree_(tree), blockLevel_(blockLevel), out_(out) {}

  // Whether the subtree holds text that a browser shows.
  bool hasText() const { return hasText_; }

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
    if (!out_.empty() && out_.back() != '\n' && isBlockLevel(node)) out_.append("\r\n");
    if (hidesText(node)) ++hiddenDepth_;
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

  void endTag(myhtml_tree_node_t* node) {
    if (hidesText(node)) --hiddenDepth_;
    out_.append("</").append(nameOf(node)).push_back('>');
  }

  void text(myhtml_tree_node_t* node) {
    myhtml_tree_node_t* parent = myhtml_node_parent(node);
    if (!hasText_ && hiddenDepth_ == 0) {
      const std::string_view shown = textOf(node);
      hasText_ = std::find_if_not(shown.begin(), shown.end(), ascii::isWhitespace) != shown.end();
    }
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

  bool isBlockLevel(myhtml_tree_node_t* node) const {
    const myhtml_tag_id_t tag = myhtml_node_tag_id(node);
    return myhtml_node_namespace(node) == MyHTML_NAMESPACE_HTML && tag < blockLevel_.size() &&
           blockLevel_[tag];
  }

  static bool isVoid(myhtml_tree_node_t* node) {
    return myhtml_node_namespace(node) == MyHTML_NAMESPACE_HTML && isVoidElement(myhtml_node_tag_id(node));
  }

  myhtml_tree_t* tree_;                  // not owned
  const std::vector<bool>& blockLevel_;  // not owned: the loader's, by tag id
  std::string& out_;                     // not owned
  bool hasText_ = false;
  int hiddenDepth_ = 0;  // the open elements whose text a browser never shows
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
  if (length > 0 && length <= rest.size()) return std::string(ascii::trim(rest.substr(0, length)));
  const size_t space = std::find_if(rest.begin(), rest.end(), ascii::isWhitespace) - rest.begin();
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
    while (pos < rel.size() && ascii::isWhitespace(rel[pos])) ++pos;
    size_t end = pos;
    while (end < rel.size() && !ascii::isWhitespace(rel[end])) ++end;
    if (end > pos && ascii::equalsIgnoringCase(rel.substr(pos, end - pos), token)) return true;
    pos = end;
  }
  return false;
}

}  // namespace

std::string stripAndCollapseWhitespace(std::string_view text) {
  std::string collapsed;
  bool space = false;
  for (char c : ascii::trim(text)) {
    if (ascii::isWhitespace(c)) {
      space = true;
      continue;
    }
    if (space) collapsed.push_back(' ');
    space = false;
    collapsed.push_back(c);
  }
  return collapsed;
}

namespace {

std::string documentTitle(myhtml_tree_t* tree) {
  myhtml_collection_t* titles = myhtml_get_nodes_by_tag_id(tree, nullptr, MyHTML_TAG_TITLE, nullptr);
  std::string title;
  for (size_t i = 0; titles != nullptr && i < titles->length; ++i) {
    // An SVG or MathML title names a drawing, not the page.
    if (myhtml_node_namespace(titles->list[i]) != MyHTML_NAMESPACE_HTML) continue;
    std::string text;
    for (myhtml_tree_node_t* c = myhtml_node_child(titles->list[i]); c != nullptr; c = myhtml_node_next(c)) {
      if (myhtml_node_tag_id(c) == MyHTML_TAG__TEXT) text.append(textOf(c));
    }
    title = stripAndCollapseWhitespace(text);
    break;
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
    const std::string_view href = ascii::trim(attributeOf(links->list[i], "href"));
    if (isAbsoluteUrl(href)) {
      url.assign(href);
      break;
    }
  }
  myhtml_collection_destroy(links);
  return url;
}

// Browsers stop nesting elements at a fixed depth; so does the loader, and
// for the same reason: the parser's tree building looks through the open
// elements for every tag, so its time grows with depth times tags. A start
// tag that would open an element deeper than this is read as a tag that the
// tree builder ignores in a body ("head"): its content joins the deepest
// element instead, and its end tag finds nothing to close.
constexpr size_t kMaxOpenElements = 512;

bool opensElement(myhtml_token_node_t* token) {
  if ((token->type & MyHTML_TOKEN_TYPE_CLOSE) != 0) return false;
  // Void elements open nothing; the tree builder reads "image" as "img".
  if (isVoidElement(token->tag_id) || token->tag_id == MyHTML_TAG_IMAGE) return false;
  switch (token->tag_id) {
    case MyHTML_TAG__UNDEF:
    case MyHTML_TAG__TEXT:
    case MyHTML_TAG__COMMENT:
    case MyHTML_TAG__DOCTYPE:
    case MyHTML_TAG__END_OF_FILE:
    // The tokenizer reads the content of these as text up to their own end
    // tag, so they never hold another element: they stay.
    case MyHTML_TAG_SCRIPT:
    case MyHTML_TAG_STYLE:
    case MyHTML_TAG_TEXTAREA:
    case MyHTML_TAG_TITLE:
    case MyHTML_TAG_XMP:
    case MyHTML_TAG_IFRAME:
    case MyHTML_TAG_NOEMBED:
    case MyHTML_TAG_NOFRAMES:
    case MyHTML_TAG_NOSCRIPT:
    case MyHTML_TAG_PLAINTEXT:
      return false;
    default:
      return true;
  }
}

// Text that follows text joins its node, and the parser grows the joined
// text by exactly what is added, copying it every time: text split by many
// ignored tags ("a</x>b</x>...") would cost time and memory that grow with
// the square of its length. Doubling the room ahead of the tree builder
// makes every join a copy of the new part only.
void makeRoomIn(myhtml_tree_t* tree, myhtml_tree_node_t* node, size_t added) {
  if (node == nullptr || node->tag_id != MyHTML_TAG__TEXT || node->token == nullptr) return;
  mycore_string_t& joined = node->token->str;
  // Only text the parser has joined before is grown in place; the first
  // join copies both parts into a new string anyway.
  if (joined.node_idx != tree->mchar_node_id || joined.data == nullptr) return;
  const size_t needed = joined.length + added + 2;
  if (needed < joined.size) return;
  // A copy, not a reallocation: the parser's allocator keeps what is freed
  // in a cache that it searches on every allocation, and the old text would
  // make that search long. The old text stays in the parser's memory until
  // the tree is cleaned, at most as much again as the text itself.
  mycore_string_t grown;
  mycore_string_init(tree->mchar, tree->mchar_node_id, &grown, std::max(needed, joined.size * 2));
  mycore_string_append(&grown, joined.data, joined.length);
  joined = grown;
}

bool isTablePart(const myhtml_tree_node_t* node) {
  if (node->ns != MyHTML_NAMESPACE_HTML) return false;
  switch (node->tag_id) {
    case MyHTML_TAG_TABLE:
    case MyHTML_TAG_TBODY:
    case MyHTML_TAG_TFOOT:
    case MyHTML_TAG_THEAD:
    case MyHTML_TAG_TR:
      return true;
    default:
      return false;
  }
}

// The text may join the current element's last child or, when it stands
// misplaced in a table, the node before that table, where browsers move it.
void makeRoomForText(myhtml_tree_t* tree, const myhtml_token_node_t* text) {
  const myhtml_tree_list_t& open = *tree->open_elements;
  if (open.length == 0) return;
  myhtml_tree_node_t* current = open.list[open.length - 1];
  makeRoomIn(tree, current->last_child, text->str.length);
  if (!isTablePart(current)) return;
  for (size_t i = open.length; i-- > 0;) {
    if (open.list[i]->tag_id == MyHTML_TAG_TABLE && open.list[i]->ns == MyHTML_NAMESPACE_HTML) {
      makeRoomIn(tree, open.list[i]->prev, text->str.length);
      return;
    }
  }
}

// A formatting element left open where its block ends (<p><b>x</p>) is
// opened again, as a copy, before the next text, together with every other
// such element since the last table cell. With each left open under a
// different attribute, every paragraph would copy all earlier ones: elements
// grow with the square of the paragraphs. So, like the depth, their number
// has a cap; a formatting tag beyond it is read as an ignored one.
constexpr size_t kMaxReopenedFormatting = 8;

bool isFormatting(myhtml_tag_id_t tag) {
  switch (tag) {
    case MyHTML_TAG_A:
    case MyHTML_TAG_B:
    case MyHTML_TAG_BIG:
    case MyHTML_TAG_CODE:
    case MyHTML_TAG_EM:
    case MyHTML_TAG_FONT:
    case MyHTML_TAG_I:
    case MyHTML_TAG_NOBR:
    case MyHTML_TAG_S:
    case MyHTML_TAG_SMALL:
    case MyHTML_TAG_STRIKE:
    case MyHTML_TAG_STRONG:
    case MyHTML_TAG_TT:
    case MyHTML_TAG_U:
      return true;
    default:
      return false;
  }
}

// Whether the list of formatting elements to reopen is full: it counts back
// to the last table-cell marker, and no further than the cap.
bool reopenedFormattingFull(myhtml_tree_t* tree) {
  const myhtml_tree_list_t& formatting = *tree->active_formatting;
  size_t count = 0;
  for (size_t i = formatting.length; i-- > 0 && count < kMaxReopenedFormatting; ++count) {
    if (myhtml_tree_active_formatting_is_marker(tree, formatting.list[i])) break;
  }
  return count >= kMaxReopenedFormatting;
}

// Before the head, a document ignores white space, and the parser drops it
// from the front of a text by moving the text's start, not its room: text
// joined to the rest later writes over whatever follows it in memory. The
// white space goes here instead, into a text of its own.
void dropLeadingWhitespace(myhtml_tree_t* tree, myhtml_token_node_t* text) {
  switch (tree->insert_mode) {
    case MyHTML_INSERTION_MODE_INITIAL:
    case MyHTML_INSERTION_MODE_BEFORE_HTML:
    case MyHTML_INSERTION_MODE_BEFORE_HEAD:
      break;
    default:
      return;
  }
  mycore_string_t& str = text->str;
  const std::string_view whole(str.data == nullptr ? "" : str.data, str.length);
  const size_t skip = std::find_if_not(whole.begin(), whole.end(), ascii::isWhitespace) - whole.begin();
  // All white space is ignored whole, with nothing left to move.
  if (skip == 0 || skip == whole.size()) return;
  mycore_string_t rest;
  mycore_string_init(tree->mchar, tree->mchar_node_id, &rest, whole.size() - skip + 1);
  mycore_string_append(&rest, whole.data() + skip, whole.size() - skip);
  str = rest;
}

// The parser's string allocator files the unusable tail of every full block
// in a cache, a search tree that it does not balance and walks on every
// allocation. The tails only pile up, a few bytes each, so the walk grows
// with the page: forgetting them once they are many keeps it short, and
// their bytes go back when the tree is cleaned.
constexpr size_t kMaxCachedTails = 64;

void forgetCachedTails(myhtml_tree_t* tree, size_t stringsNode) {
  mchar_async_cache_t& cache = tree->mchar->nodes[stringsNode].cache;
  if (cache.count > kMaxCachedTails) mchar_async_cache_clean(&cache);
}

// Called for every token after the tokenizer and before the tree builder.
void* beforeTreeBuilding(myhtml_tree_t* tree, myhtml_token_node_t* token, void* context) {
  // The tree's own strings, and those of the tokens, whose node this one shows.
  forgetCachedTails(tree, tree->mchar_node_id);
  if (token->str.mchar == tree->mchar && token->str.node_idx != tree->mchar_node_id)
    forgetCachedTails(tree, token->str.node_idx);
  if (token->tag_id == MyHTML_TAG__TEXT) {
    dropLeadingWhitespace(tree, token);
    makeRoomForText(tree, token);
  } else if (opensElement(token) && (tree->open_elements->length >= kMaxOpenElements ||
                                     (isFormatting(token->tag_id) && reopenedFormattingFull(tree)))) {
    token->tag_id = MyHTML_TAG_HEAD;
  }
  return context;
}

// The first bytes that decide whether a file is a page at all.
constexpr size_t kBinaryProbeBytes = 8192;

myhtml_tree_t* newTree(myhtml_t* parser) {
  myhtml_tree_t* tree = myhtml_tree_create();
  if (tree != nullptr && myhtml_tree_init(tree, parser) != MyHTML_STATUS_OK) tree = myhtml_tree_destroy(tree);
  return tree;
}

}  // namespace

const Encoding* chooseEncoding(std::string_view bytes, std::string_view label, size_t& bomLength,
                               std::string& error) {
  bomLength = 0;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bomLength = 3;
    return &utf8Encoding();
  }
  if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
    bomLength = 2;
    return encodingForLabel(bytes[0] == '\xFF' ? "utf-16le" : "utf-16be");
  }
  if (!label.empty()) {
    const Encoding* named = encodingForLabel(label);
    if (named == nullptr) error = "unknown encoding '" + std::string(label) + "'";
    return named;
  }
  if (const Encoding* declared = declaredEncoding(bytes)) return declared;
  return isValidUtf8(bytes) ? &utf8Encoding() : &windows1252Encoding();
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
  const HtmlElementTable& table = HtmlElementTable::of(analysis);
  blockLevel_.assign(MyHTML_TAG_LAST_ENTRY, false);
  for (myhtml_tag_id_t tag = 0; tag < MyHTML_TAG_LAST_ENTRY; ++tag) {
    size_t length = 0;
    const char* name = myhtml_tag_name_by_id(tree_, tag, &length);
    const HtmlElementInfo* row = name == nullptr ? nullptr : table.lookup(name, length);
    blockLevel_[tag] = row != nullptr && row != table.commentRow() && row->level == kLevelBlock;
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
  size_t bomLength = 0;
  const Encoding* encoding = chooseEncoding(bytes, encodingLabel, bomLength, page.error);
  if (encoding == nullptr) return LoadStatus::kUnknownEncoding;
  page.encoding = encoding->name;
  bytes.remove_prefix(bomLength);
  // Text has no NUL bytes, except as the zero half of UTF-16 units.
  if (encoding->family != Family::kUtf16 &&
      bytes.substr(0, kBinaryProbeBytes).find('\0') != std::string_view::npos) {
    page.error = "not a web page: binary data";
    return LoadStatus::kNotText;
  }
  // The parser reads UTF-8 only: every page reaches it decoded. It drops a
  // NUL in text, as browsers do, but shifts the bytes of a character next
  // to it; no NUL reaches it.
  std::optional<std::string> decoded = decodeToUtf8(bytes, *encoding);
  if (!decoded) {
    page.error = std::string("cannot read ") + encoding->name + ": this system's iconv has no " +
                 encoding->converter + " table";
    return LoadStatus::kNoConverter;
  }
  std::string& text = *decoded;
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  myhtml_tree_clean(tree_);
  myhtml_callback_after_token_done_set(tree_, beforeTreeBuilding, nullptr);
  if (myhtml_parse(tree_, MyENCODING_UTF_8, text.data(), text.size()) != MyHTML_STATUS_OK) {
    page.error = "the HTML parser failed";
    return LoadStatus::kParseFailed;
  }
  // A frameset page's body is its frameset, as a browser's document says.
  myhtml_tree_node_t* body = myhtml_tree_get_node_body(tree_);
  if (body == nullptr) body = childWithTag(myhtml_tree_get_node_html(tree_), MyHTML_TAG_FRAMESET);
  bool hasText = false;
  if (body != nullptr) {
    page.markup.reserve(text.size() + text.size() / 16);
    Serializer serializer(tree_, blockLevel_, page.markup);
    serializer.outerMarkup(body);
    hasText = serializer.hasText();
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
