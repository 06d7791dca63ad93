#include "cli/parser_guards.h"

// The library's own headers, not its public api.h: the guards read the tree
// builder's open elements, its list of formatting elements and the text it
// joins, which only they describe.
#include <mycore/mystring.h>
#include <mycore/utils/mchar_async.h>
#include <myhtml/myhtml.h>
#include <myhtml/tree.h>

#include <algorithm>
#include <string_view>

#include "base/ascii.h"
#include "cli/element_kinds.h"

namespace brevanto::cli {
namespace {

// Browsers stop nesting elements at a fixed depth; so does the loader, and
// for the same reason: the parser's tree building looks through the open
// elements for every tag, so its time grows with depth times tags. A start
// tag that would open an element deeper than this is read as a tag that the
// tree builder ignores in a body ("head"): its content joins the deepest
// element instead, and its end tag finds nothing to close.
constexpr size_t kMaxOpenElements = 512;

bool opensElement(myhtml_token_node_t* token) {
  if ((token->type & MyHTML_TOKEN_TYPE_CLOSE) != 0) return false;
  switch (token->tag_id) {
    case MyHTML_TAG__UNDEF:
    case MyHTML_TAG__TEXT:
    case MyHTML_TAG__COMMENT:
    case MyHTML_TAG__DOCTYPE:
    case MyHTML_TAG__END_OF_FILE:
      return false;
    default:
      // Void elements open nothing, and elements read as text never hold
      // another element: they stay.
      return (elementKinds(token->tag_id) & (kVoidElement | kRawTextElement | kEscapedTextElement)) == 0;
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
  return node->ns == MyHTML_NAMESPACE_HTML && (elementKinds(node->tag_id) & kTablePart) != 0;
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

}  // namespace

void guardToken(myhtml_tree* tree, myhtml_token_node* token) {
  // The tree's own strings, and those of the tokens, whose node this one shows.
  forgetCachedTails(tree, tree->mchar_node_id);
  if (token->str.mchar == tree->mchar && token->str.node_idx != tree->mchar_node_id)
    forgetCachedTails(tree, token->str.node_idx);
  if (token->tag_id == MyHTML_TAG__TEXT) {
    dropLeadingWhitespace(tree, token);
    makeRoomForText(tree, token);
  } else if (opensElement(token) &&
             (tree->open_elements->length >= kMaxOpenElements ||
              ((elementKinds(token->tag_id) & kFormattingElement) != 0 && reopenedFormattingFull(tree)))) {
    token->tag_id = MyHTML_TAG_HEAD;
  }
}

}  // namespace brevanto::cli
