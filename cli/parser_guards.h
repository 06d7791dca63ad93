// The guards that keep the parser library's faults away: the cases where
// its time or memory grows faster than the page, and one write past the end
// of a string. They read and change the library's internal structures (the
// tree builder's open elements and formatting elements, the texts it joins,
// its string allocator's cache), so this is the one file that an upgrade of
// the library touches, and the only one that includes its private headers.
#pragma once

struct myhtml_tree;        // one parsed document
struct myhtml_token_node;  // one token of it

namespace brevanto::cli {

// To be called for every token after the tokenizer and before the tree
// builder. Like a browser, it nests elements at most 512 deep and lets at
// most 8 formatting elements wait to be opened again: a start tag beyond
// either cap is read as one the tree builder ignores in a body.
void guardToken(myhtml_tree* tree, myhtml_token_node* token);

}  // namespace brevanto::cli
