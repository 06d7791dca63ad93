#include "cli/title_and_url.h"

#include <myhtml/api.h>

#include <algorithm>
#include <cstring>

#include "base/ascii.h"
#include "cli/node_text.h"

namespace brevanto::cli {
namespace {

std::string_view attributeOf(myhtml_tree_node_t* node, const char* key) {
  myhtml_tree_attr_t* attribute = myhtml_attribute_by_key(node, key, std::strlen(key));
  if (attribute == nullptr) return {};
  size_t length = 0;
  const char* value = myhtml_attribute_value(attribute, &length);
  return value == nullptr ? std::string_view() : std::string_view(value, length);
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

std::string documentTitle(myhtml_tree* tree) {
  myhtml_collection_t* titles = myhtml_get_nodes_by_tag_id(tree, nullptr, MyHTML_TAG_TITLE, nullptr);
  std::string title;
  for (size_t i = 0; titles != nullptr && i < titles->length; ++i) {
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

std::string documentUrl(myhtml_tree* tree) {
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

}  // namespace brevanto::cli
