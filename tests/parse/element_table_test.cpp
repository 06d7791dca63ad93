#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>
#include <string>

#include "base/ascii.h"
#include "extractor/parse/html_element_table.h"
#include "extractor/rules.h"

namespace brevanto {
namespace {

TEST(ElementTable, RowsGroupedByFirstLetter) {
  const HtmlElementTable& table = HtmlElementTable::classic();
  ASSERT_EQ(table.size(), 95);
  EXPECT_STREQ(table[0].name, "A");
  EXPECT_STREQ(table[13].name, "BLINK") << "BLINK follows BODY";
  EXPECT_STREQ(table[94].name, "!");
  EXPECT_EQ(table.commentRow(), &table[94]);
  // The first row of each letter A..Z, or -1 for a letter without rows.
  const int expected[26] = {0,  6,  16, 22, 29, 31, -1, 36, 45, -1, 51, 52, 56,
                            60, 62, 66, 69, -1, 70, 81, 91, 93, -1, -1, -1, -1};
  int first[26];
  std::fill(std::begin(first), std::end(first), -1);
  for (int row = table.size() - 2; row >= 0; --row) {
    const int letter = table[static_cast<ElementRow>(row)].name[0] - 'A';
    ASSERT_TRUE(letter >= 0 && letter < 26) << table[static_cast<ElementRow>(row)].name;
    first[letter] = row;
    if (row > 0) {
      EXPECT_LE(table[static_cast<ElementRow>(row - 1)].name[0], 'A' + letter) << "rows grouped by letter";
    }
  }
  for (int letter = 0; letter < 26; ++letter)
    EXPECT_EQ(first[letter], expected[letter]) << char('A' + letter);
}

TEST(ElementTable, EveryRowIsFoundByItsNameInAnyCase) {
  const HtmlElementTable& table = HtmlElementTable::classic();
  for (int i = 0; i + 1 < table.size(); ++i) {
    const HtmlElementInfo& row = table[static_cast<ElementRow>(i)];
    std::string lower(row.name);
    for (char& c : lower) c = ascii::toLower(c);
    std::string mixed(lower);
    mixed[0] = row.name[0];
    for (const std::string& name : {std::string(row.name), lower, mixed}) {
      EXPECT_EQ(table.lookup(name.c_str()), &row) << name;
      EXPECT_EQ(table.rowOf(name.data(), name.size()), i) << name;
    }
  }
}

TEST(ElementTable, ColumnsThatDifferFromTheUsualIndex) {
  const HtmlElementTable table;
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
  const HtmlElementInfo* comment = table.commentRow();
  EXPECT_EQ(comment->endTag, kEndTagForbidden);
  EXPECT_EQ(comment->level, kLevelInline);
  EXPECT_EQ(comment->isEmpty, 1);
  EXPECT_EQ(comment->rendersContent, 0);

  // Skip-content elements: content not rendered and end tag required.
  std::set<std::string> skip;
  for (int i = 0; i < table.size(); ++i) {
    const HtmlElementInfo& row = table[static_cast<ElementRow>(i)];
    if (row.rendersContent == 0 && row.endTag == kEndTagRequired) skip.insert(row.name);
  }
  EXPECT_EQ(skip, (std::set<std::string>{"APPLET", "DEL", "MAP", "NOSCRIPT", "OBJECT", "OPTGROUP", "PRE",
                                         "SCRIPT", "SELECT", "STYLE"}));
}

TEST(ElementTable, LookupIgnoresCaseAndFallsBackToTheCommentRow) {
  const HtmlElementTable& table = HtmlElementTable::classic();
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
    EXPECT_EQ(table.lookup(other), table.commentRow()) << other;
  }
  EXPECT_EQ(table.lookup(""), nullptr);
  EXPECT_EQ(table.lookup(nullptr), nullptr);
  EXPECT_STREQ(table.lookup("TDxyz", 2)->name, "TD") << "only the given length counts";
  const std::string longer(HtmlElementTable::kLongestName + 1, 'A');
  EXPECT_EQ(table.lookup(longer.c_str()), table.commentRow());
  EXPECT_EQ(table.lookup("BR\0", 3), table.commentRow()) << "a NUL is part of the name";
}

TEST(ElementTable, ModernTableIsTheClassicOneWithTodaysElements) {
  const HtmlElementTable& classic = HtmlElementTable::classic();
  const HtmlElementTable& modern = HtmlElementTable::modern();
  EXPECT_EQ(rulesFor(Analysis::kClassic).elements, &classic);
  EXPECT_EQ(rulesFor(Analysis::kModern).elements, &modern);

  // Every classic row is there, unchanged but where a browser shows more:
  // PRE and DEL render their content (PRE shows the markup that classic hides
  // inside it), and BIG runs on in its line.
  for (int i = 0; i < classic.size(); ++i) {
    const HtmlElementInfo& row = classic[static_cast<ElementRow>(i)];
    const std::string name = row.name;
    SCOPED_TRACE(name);
    const HtmlElementInfo* same = modern.lookup(row.name);
    EXPECT_STREQ(same->name, row.name);
    EXPECT_EQ(same->endTag, row.endTag);
    EXPECT_EQ(same->level, name == "BIG" ? kLevelInline : row.level);
    EXPECT_EQ(same->isEmpty, row.isEmpty);
    EXPECT_EQ(same->rendersContent, name == "PRE" || name == "DEL" ? 1 : row.rendersContent);
    EXPECT_EQ(same->part, kPartText);
  }
  EXPECT_EQ(modern.commentRow(), modern.lookup("!DOCTYPE"));

  struct Added {
    const char* name;
    int32_t level;
    int32_t part;
  };
  const Added added[] = {
      {"article", kLevelBlock, kPartSection},   {"SECTION", kLevelBlock, kPartSection},
      {"Main", kLevelBlock, kPartSection},      {"HEADER", kLevelBlock, kPartPageChrome},
      {"footer", kLevelBlock, kPartPageChrome}, {"NAV", kLevelBlock, kPartChrome},
      {"ASIDE", kLevelBlock, kPartChrome},      {"TEMPLATE", kLevelBlock, kPartChrome},
      {"svg", kLevelInline, kPartChrome},       {"CANVAS", kLevelInline, kPartChrome},
      {"FIGURE", kLevelBlock, kPartText},       {"FIGCAPTION", kLevelBlock, kPartText},
      {"DETAILS", kLevelBlock, kPartText},      {"SUMMARY", kLevelBlock, kPartText},
      {"HGROUP", kLevelBlock, kPartText},       {"time", kLevelInline, kPartText},
      {"MARK", kLevelInline, kPartText},        {"NOBR", kLevelInline, kPartText},
      {"WBR", kLevelInline, kPartText},         {"SOURCE", kLevelInline, kPartText},
  };
  for (const Added& row : added) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(classic.lookup(row.name), classic.commentRow());
    const HtmlElementInfo* info = modern.lookup(row.name);
    EXPECT_NE(modern.rowOf(row.name, std::strlen(row.name)), modern.otherRowNumber());
    EXPECT_EQ(info->level, row.level);
    EXPECT_EQ(info->part, row.part);
    EXPECT_EQ(info->rendersContent, 1) << "no new element is skip-content: same-name nesting must work";
  }
  EXPECT_EQ(modern.lookup("WBR")->isEmpty, 1);

  // A name outside the table is an inline element whose text is kept, not a
  // comment.
  for (const char* other : {"my-card", "RUBY", "H7", "1X", "TD\tclass=x"}) {
    const HtmlElementInfo* info = modern.lookup(other);
    EXPECT_EQ(info, &modern[modern.otherRowNumber()]) << other;
    EXPECT_NE(info, modern.commentRow());
    EXPECT_EQ(info->level, kLevelInline);
    EXPECT_EQ(info->rendersContent, 1);
    EXPECT_EQ(info->isEmpty, 0);
  }
}

}  // namespace
}  // namespace brevanto
