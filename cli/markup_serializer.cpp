#include "cli/markup_serializer.h"

#include <myhtml/api.h>

#include <algorithm>
#include <string_view>

#include "base/ascii.h"
#include "cli/element_kinds.h"
#include "cli/node_text.h"
#include "extractor/rules.h"

namespace brevanto::cli {
namespace {

bool hasKind(myhtml_tree_node_t* node, unsigned kind) {
  return node != nullptr && myhtml_node_namespace(node) == MyHTML_NAMESPACE_HTML &&
         (elementKinds(myhtml_node_tag_id(node)) & kind) != 0;
}

// One subtree written out; the state of the walk is the open elements whose
// text a browser never shows.
class Walk {
 public:
  Walk(myhtml_tree_t* tree, const std::vector<bool>& blockLevel, bool keepComments, std::string& out)
      : tree_(tree), blockLevel_(blockLevel), keepComments_(keepComments), out_(out) {}

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
        if (keepComments_) out_.append("<!--").append(textOf(node)).append("-->");
        return false;
      case MyHTML_TAG__DOCTYPE:
        return false;
      default:
        return openTag(node);
    }
  }

  bool openTag(myhtml_tree_node_t* node) {
    if (!out_.empty() && out_.back() != '\n' && isBlockLevel(node)) out_.append("\r\n");
    if (hasKind(node, kHiddenElement)) ++hiddenDepth_;
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
    return !hasKind(node, kVoidElement);
  }

  void endTag(myhtml_tree_node_t* node) {
    if (hasKind(node, kHiddenElement)) --hiddenDepth_;
    out_.append("</").append(nameOf(node)).push_back('>');
  }

  void text(myhtml_tree_node_t* node) {
    if (!hasText_ && hiddenDepth_ == 0) {
      const std::string_view shown = textOf(node);
      hasText_ = std::find_if_not(shown.begin(), shown.end(), ascii::isWhitespace) != shown.end();
    }
    if (hasKind(myhtml_node_parent(node), kRawTextElement)) {
      out_.append(textOf(node));
    } else {
      escape(textOf(node), false);
    }
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

  myhtml_tree_t* tree_;                  // not owned
  const std::vector<bool>& blockLevel_;  // not owned: the serializer's, by tag id
  bool keepComments_;
  std::string& out_;  // not owned
  bool hasText_ = false;
  int hiddenDepth_ = 0;  // the open elements whose text a browser never shows
};

}  // namespace

MarkupSerializer::MarkupSerializer(myhtml_tree* tree, Analysis analysis)
    : tree_(tree), blockLevel_(MyHTML_TAG_LAST_ENTRY, false), keepComments_(analysis == Analysis::kClassic) {
  const HtmlElementTable& table = *rulesFor(analysis).elements;
  for (myhtml_tag_id_t tag = 0; tag < MyHTML_TAG_LAST_ENTRY; ++tag) {
    size_t length = 0;
    const char* name = myhtml_tag_name_by_id(tree_, tag, &length);
    const HtmlElementInfo* row = name == nullptr ? nullptr : table.lookup(name, length);
    blockLevel_[tag] = row != nullptr && row != table.commentRow() && row->level == kLevelBlock;
  }
}

bool MarkupSerializer::appendOuterMarkup(myhtml_tree_node* top, std::string& out) const {
  Walk walk(tree_, blockLevel_, keepComments_, out);
  walk.outerMarkup(top);
  return walk.hasText();
}

}  // namespace brevanto::cli
