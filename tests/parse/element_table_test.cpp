#include <gtest/gtest.h>

#include <set>
#include <string>

#include "extractor/parse/html_element_table.h"

namespace brevanto {
namespace {

TEST(ElementTable, RowsAndLetterIndex) {
  HtmlElementTable table;
  ASSERT_EQ(table.rows.size(), 95u);
  EXPECT_STREQ(table.rows.front()->name, "A");
  EXPECT_STREQ(table.rows[13]->name, "BLINK") << "BLINK follows BODY";
  EXPECT_STREQ(table.rows[94]->name, "!");
  EXPECT_EQ(table.commentRow, table.rows[94]);
  const int expected[26] = {0, 6, 16, 22, 29, 31, -1, 36, 45, -1, 51, 52, 56,
                            60, 62, 66, 69, -1, 70, 81, 91, 93, -1, -1, -1, -1};
  for (int letter = 0; letter < 26; ++letter) {
    EXPECT_EQ(table.letterIndex[letter], expected[letter]) << static_cast<char>('A' + letter);
  }
  // Every row starts with its letter's range.
  for (int letter = 0; letter < 26; ++letter) {
    if (table.letterIndex[letter] >= 0) {
      EXPECT_EQ(table.rows[table.letterIndex[letter]]->name[0], 'A' + letter);
    }
  }
}

TEST(ElementTable, ColumnsThatDifferFromTheUsualIndex) {
  HtmlElementTable table;
  EXPECT_EQ(table.lookup("FRAMESET")->endTag, kEndTagForbidden);
  EXPECT_EQ(table.lookup("NOFRAMES")->endTag, kEndTagForbidden);
  EXPECT_EQ(table.lookup("NOFRAMES")->dtd, kDtdStrict);
  EXPECT_EQ(table.lookup("BIG")->level, kLevelBlock);
  EXPECT_EQ(table.lookup("BLOCKQUOTE")->level, kLevelInline);
  EXPECT_EQ(table.lookup("DD")->level, kLevelInline);
  EXPECT_EQ(table.lookup("HR")->level, kLevelInline);
  EXPECT_EQ(table.lookup("IFRAME")->dtd, kDtdTransitional);
  EXPECT_EQ(table.lookup("BLINK")->startTag, kStartTagOptional);
  EXPECT_EQ(table.lookup("EMBED")->isDeprecated, 1);
  EXPECT_EQ(table.lookup("P")->endTag, kEndTagOptional);
  EXPECT_STREQ(table.lookup("IFRAME")->description, "inline subwindow ");
  EXPECT_STREQ(table.lookup("ABBR")->description, "abbreviated form (e.g., WWW, HTTP, etc.)");
  for (const char* none : {"ACRONYM", "MARQUEE", "TABLE"}) {
    EXPECT_EQ(table.lookup(none)->description, nullptr) << none;
  }
  const HtmlElementInfo* comment = table.commentRow;
  EXPECT_EQ(comment->endTag, kEndTagForbidden);
  EXPECT_EQ(comment->level, kLevelInline);
  EXPECT_EQ(comment->isEmpty, 1);
  EXPECT_EQ(comment->rendersContent, 0);

  // Skip-content elements: content not rendered and end tag required.
  std::set<std::string> skip;
  for (const HtmlElementInfo* row : table.rows) {
    if (row->rendersContent == 0 && row->endTag == kEndTagRequired) skip.insert(row->name);
  }
  EXPECT_EQ(skip, (std::set<std::string>{"APPLET", "DEL", "MAP", "NOSCRIPT", "OBJECT", "OPTGROUP", "PRE",
                                         "SCRIPT", "SELECT", "STYLE"}));
}

TEST(ElementTable, LookupIgnoresCaseAndFallsBackToTheCommentRow) {
  HtmlElementTable table;
  const HtmlElementInfo* br = table.lookup("BR");
  ASSERT_NE(br, nullptr);
  EXPECT_STREQ(br->name, "BR");
  EXPECT_EQ(table.lookup("br"), br);
  EXPECT_EQ(table.lookup("Br"), br);
  EXPECT_STREQ(table.lookup("var")->name, "VAR") << "the last letter's range ends at the comment row";
  EXPECT_STREQ(table.lookup("blink")->name, "BLINK");
  EXPECT_STREQ(table.lookup("a")->name, "A");
  for (const char* other : {"H7", "XML", "JUNK", "RUBY", "WBR", "1X", "?xml", "!", "!DOCTYPE", "TD\tclass=x",
                            "TDX", "ABBRX", "NOBR", "section"}) {
    EXPECT_EQ(table.lookup(other), table.commentRow) << other;
  }
  EXPECT_EQ(table.lookup(""), nullptr);
  EXPECT_EQ(table.lookup(nullptr), nullptr);
  EXPECT_STREQ(table.lookup("TDxyz", 2)->name, "TD") << "only the given length counts";
}

}  // namespace
}  // namespace brevanto
