// Checks shared by the engine's tests: the invariants every analysis must
// keep, whatever the markup, and the parse stages run alone.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "extractor/extraction_pipeline.h"
#include "extractor/parse/parse.h"

namespace brevanto::testing {

// After matching: every partner is a valid index; a start tag and its end
// tag point at each other; self-contained tags are open and close; offsets
// point at the tag's "<" and ">" inside the markup.
inline void expectTagInvariants(const std::vector<HtmlTag>& tags, std::string_view markup,
                                const Rules& rules) {
  const int count = static_cast<int>(tags.size());
  for (const HtmlTag& tag : tags) {
    SCOPED_TRACE("tag " + std::to_string(tag.index));
    ASSERT_GE(tag.partner, 0);
    ASSERT_LT(tag.partner, count);
    ASSERT_GE(tag.startOffset, 0);
    ASSERT_LT(tag.endOffset, static_cast<int>(markup.size()));
    EXPECT_EQ(markup[tag.startOffset], '<');
    EXPECT_EQ(markup[tag.endOffset], '>');
    EXPECT_FALSE(tagName(markup.data(), tag, rules.anySpaceEndsName).empty());
    EXPECT_LT(tag.row, rules.elements->size());
    if (tag.partner == tag.index) continue;
    const HtmlTag& other = tags[tag.partner];
    if (!tag.isOpen) {
      EXPECT_LT(tag.partner, tag.index) << "an end tag pairs with an earlier start tag";
      EXPECT_EQ(other.partner, tag.index) << "an end tag's start tag points back at it";
    } else {
      EXPECT_GT(tag.partner, tag.index) << "an element ends after it starts";
    }
  }
}

inline void expectTagInvariants(const ExtractionPipeline& p, std::string_view markup) {
  expectTagInvariants(p.tags, markup, p.rules);
}

// The children of `node`, in order.
inline std::vector<HtmlNode*> childrenOf(const HtmlNode* node) {
  std::vector<HtmlNode*> children;
  for (HtmlNode* child = node->firstChild; child != nullptr; child = child->nextSibling)
    children.push_back(child);
  return children;
}

// After the whole analysis: the tree's links agree, and a text, where there
// is one, is never empty.
inline void expectTreeInvariants(const ExtractionPipeline& p) {
  std::vector<const HtmlNode*> pending{&p.root};
  while (!pending.empty()) {
    const HtmlNode* node = pending.back();
    pending.pop_back();
    for (const HtmlNode* child : childrenOf(node)) {
      ASSERT_EQ(child->parent, node);
      ASSERT_NE(child->tag, nullptr);
      pending.push_back(child);
    }
  }
  for (const HtmlTag& tag : p.tags) {
    EXPECT_EQ(tag.text == nullptr, tag.textLength == 0) << "tag " << tag.index;
  }
}

inline std::string textOf(const std::vector<HtmlTag>& tags, int index) {
  const HtmlTag& tag = tags.at(static_cast<size_t>(index));
  return tag.text == nullptr ? std::string("(null)") : std::string(tag.text, tag.textLength);
}

inline std::string textOf(const ExtractionPipeline& p, int index) {
  return textOf(p.tags, index);
}

// A markup run through the parse stages alone, which the later stages'
// cases can go on with. It keeps its own copy of the markup, which the tags
// point into.
struct Parsed {
  Parsed(std::string text, const Rules& parseRules) : markup(std::move(text)), rules(parseRules) {
    TagScanner scanner(*rules.elements, rules.anySpaceEndsName, rules.commentsEndAtArrow);
    scanner.scan(markup.data(), markup.data() + markup.size(), tags);
    matchTags(tags, *rules.elements, scanner.nameKeyCount());
    expectTagInvariants(tags, markup, rules);
  }
  Parsed(const Parsed&) = delete;
  Parsed& operator=(const Parsed&) = delete;

  void buildTree() { brevanto::buildTree(tags, nodes, root); }
  std::string dumpTags() const { return brevanto::dumpTags(tags, markup.c_str(), rules.anySpaceEndsName); }
  std::string_view nameOf(const HtmlTag& tag) const {
    return tagName(markup.c_str(), tag, rules.anySpaceEndsName);
  }

  const std::string markup;
  const Rules& rules;  // not owned: outlives the case
  std::vector<HtmlTag> tags;
  std::vector<HtmlNode> nodes;
  HtmlNode root;
};

}  // namespace brevanto::testing
