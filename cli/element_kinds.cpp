#include "cli/element_kinds.h"

#include <myhtml/api.h>

#include <vector>

namespace brevanto::cli {
namespace {

struct ElementRow {
  myhtml_tag_id_t tag;
  unsigned kinds;
};

constexpr unsigned kRawAndHidden = kRawTextElement | kHiddenElement;

const ElementRow kElements[] = {
    {MyHTML_TAG_A, kFormattingElement},
    {MyHTML_TAG_AREA, kVoidElement},
    {MyHTML_TAG_B, kFormattingElement},
    {MyHTML_TAG_BASE, kVoidElement},
    {MyHTML_TAG_BASEFONT, kVoidElement},
    {MyHTML_TAG_BGSOUND, kVoidElement},
    {MyHTML_TAG_BIG, kFormattingElement},
    {MyHTML_TAG_BR, kVoidElement},
    {MyHTML_TAG_CODE, kFormattingElement},
    {MyHTML_TAG_COL, kVoidElement},
    {MyHTML_TAG_EM, kFormattingElement},
    {MyHTML_TAG_EMBED, kVoidElement},
    {MyHTML_TAG_FONT, kFormattingElement},
    {MyHTML_TAG_FRAME, kVoidElement},
    {MyHTML_TAG_HR, kVoidElement},
    {MyHTML_TAG_I, kFormattingElement},
    {MyHTML_TAG_IFRAME, kRawAndHidden},
    {MyHTML_TAG_IMAGE, kVoidElement},  // the tree builder reads "image" as "img"
    {MyHTML_TAG_IMG, kVoidElement},
    {MyHTML_TAG_INPUT, kVoidElement},
    {MyHTML_TAG_KEYGEN, kVoidElement},
    {MyHTML_TAG_LINK, kVoidElement},
    {MyHTML_TAG_META, kVoidElement},
    {MyHTML_TAG_NOBR, kFormattingElement},
    {MyHTML_TAG_NOEMBED, kRawAndHidden},
    {MyHTML_TAG_NOFRAMES, kRawAndHidden},
    {MyHTML_TAG_NOSCRIPT, kRawAndHidden},  // the parser runs as with scripting on
    {MyHTML_TAG_PARAM, kVoidElement},
    {MyHTML_TAG_PLAINTEXT, kRawTextElement},
    {MyHTML_TAG_S, kFormattingElement},
    {MyHTML_TAG_SCRIPT, kRawAndHidden},
    {MyHTML_TAG_SMALL, kFormattingElement},
    {MyHTML_TAG_SOURCE, kVoidElement},
    {MyHTML_TAG_STRIKE, kFormattingElement},
    {MyHTML_TAG_STRONG, kFormattingElement},
    {MyHTML_TAG_STYLE, kRawAndHidden},
    {MyHTML_TAG_TABLE, kTablePart},
    {MyHTML_TAG_TBODY, kTablePart},
    {MyHTML_TAG_TEMPLATE, kHiddenElement},
    {MyHTML_TAG_TEXTAREA, kEscapedTextElement},
    {MyHTML_TAG_TFOOT, kTablePart},
    {MyHTML_TAG_THEAD, kTablePart},
    {MyHTML_TAG_TITLE, kEscapedTextElement},
    {MyHTML_TAG_TR, kTablePart},
    {MyHTML_TAG_TRACK, kVoidElement},
    {MyHTML_TAG_TT, kFormattingElement},
    {MyHTML_TAG_U, kFormattingElement},
    {MyHTML_TAG_WBR, kVoidElement},
    {MyHTML_TAG_XMP, kRawTextElement},
};

}  // namespace

unsigned elementKinds(size_t tag) {
  // Looked up for every node the loader writes: by index, not by search.
  static const std::vector<uint8_t> kByTag = [] {
    std::vector<uint8_t> byTag(MyHTML_TAG_LAST_ENTRY, 0);
    for (const ElementRow& row : kElements) byTag[row.tag] = static_cast<uint8_t>(row.kinds);
    return byTag;
  }();
  return tag < kByTag.size() ? kByTag[tag] : 0;
}

}  // namespace brevanto::cli
