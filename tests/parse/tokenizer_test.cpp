// Tokenizer and matcher cases: markup in, tag dump out. Every case is also
// checked against the invariants that any tag list must keep.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "extractor/extraction_pipeline.h"
#include "extractor/parse/parse.h"
#include "extractor/parse/tag_name_reader.h"
#include "tests/support/pipeline_checks.h"

namespace brevanto {
namespace {

using testing::expectTagInvariants;
using testing::Parsed;

struct TokenCase {
  const char* what;
  std::string markup;
  const char* tags;  // dumpTags after matching: index partner start end flags name
};

const TokenCase kCases[] = {
    {"plain start tag", "<P>", "0 0 0 2 O-- P\n"},
    {"end tag alone stays without content", "</TD>", "0 0 0 4 OCN TD\n"},
    {"self-closing tags", "<BR/><IMG src=x />", "0 0 0 4 OC- BR\n1 1 5 17 OC- IMG\n"},
    {"comment", "<!-- x -->", "0 0 0 9 OC- !\n"},
    {"leading blank before the name", "< B>x</B>", "0 1 0 3 O-- B\n1 0 5 8 -C- B\n"},
    {"no name: blank after slash, blanks only, empty", "</ P><  ><>x", ""},
    {"comment holding a >", "<!-- a > b -->", "0 0 0 13 OC- !\n"},
    {"comment tag ends after its first --", "<!-- a -- > b -->", "0 0 0 10 OC- !\n"},
    {"declarations and unknown names", "<!DOCTYPE html><?xml version=\"1.0\"?><NOBR>",
     "0 0 0 14 OC- !\n1 1 15 35 OC- xml\n2 2 36 41 OC- NOBR\n"},
    {"a tab does not end a name", "<TD\tclass=x>a</TD>", "0 0 0 11 OC- TD\\x09class=x\n1 1 13 17 OCN TD\n"},
    {"slash before > closes", "<A href=/x/>link", "0 0 0 11 OC- A\n"},
    {"a lone < runs to the next > and is named by the first word", "a < b c > d", "0 0 2 8 OCN b\n"},
    {"a tag open at the end is dropped", "<P>x<B", "0 0 0 2 O-- P\n"},
    {"names keep their case", "<Div>x</dIV>", "0 1 0 4 O-- Div\n1 0 6 11 -C- dIV\n"},
    {"crossed inline elements", "<B><I>x</B></I>",
     "0 2 0 2 O-- B\n1 1 3 5 OCN I\n2 0 7 10 -C- B\n3 3 11 14 OCN I\n"},
    {"an end tag closes the nearest element of its name", "<DIV><DIV>a</DIV>b</DIV>",
     "0 3 0 4 O-- DIV\n1 2 5 9 O-- DIV\n2 1 11 16 -C- DIV\n3 0 18 23 -C- DIV\n"},
    {"optional end tags end at the next block-level tag", "<P>one<B>b</B><P>two<LI>x",
     "0 3 0 2 O-- P\n1 2 6 8 O-- B\n2 1 10 13 -C- B\n3 4 14 16 O-- P\n4 4 20 23 O-- LI\n"},
    {"an end tag also ends an optional element", "<LI>a</UL>", "0 1 0 3 O-- LI\n1 1 5 9 OCN UL\n"},
    {"forbidden end tags and unknown names", "<HR><FOO>x</FOO><BAR>",
     "0 0 0 3 OC- HR\n1 2 4 8 O-- FOO\n2 1 10 15 -C- FOO\n3 3 16 20 OC- BAR\n"},
    {"a later </BR> pairs with <BR>", "<BR>x</BR>", "0 1 0 3 O-- BR\n1 0 5 9 -C- BR\n"},
    {"script content yields no tag", "<SCRIPT>if (a<b) x='</B>';</SCRIPT><P>t</P>",
     "0 1 0 7 O-- SCRIPT\n1 0 26 34 -C- SCRIPT\n2 3 35 37 O-- P\n3 2 39 42 -C- P\n"},
    {"the end of a skip-content element is matched exactly", "<script>x</SCRIPT><P>y</P>",
     "0 0 0 7 OCN script\n"},
    {"self-closed skip-content element skips nothing", "<SCRIPT/><P>y",
     "0 0 0 8 OC- SCRIPT\n1 1 9 11 O-- P\n"},
    {"an unterminated comment hides the rest", "<P><!-- abc <B>x</B>", "0 0 0 2 O-- P\n"},
};

// Where the modern analysis reads markup differently.
const TokenCase kModernCases[] = {
    {"white space of any kind ends a name", "<TD\tclass=x>a</TD><P\nid=y>",
     "0 1 0 11 O-- TD\n1 0 13 17 -C- TD\n2 2 18 25 O-- P\n"},
    {"PRE content is markup", "<PRE><B>x</B>\n y</PRE>",
     "0 3 0 4 O-- PRE\n1 2 5 7 O-- B\n2 1 9 12 -C- B\n3 0 16 21 -C- PRE\n"},
    {"chrome elements nest in their own name",
     "<SVG><SVG>x</SVG>y</SVG><TEMPLATE><TEMPLATE></TEMPLATE></TEMPLATE>",
     "0 3 0 4 O-- SVG\n1 2 5 9 O-- SVG\n2 1 11 16 -C- SVG\n3 0 18 23 -C- SVG\n"
     "4 7 24 33 O-- TEMPLATE\n5 6 34 43 O-- TEMPLATE\n6 5 44 54 -C- TEMPLATE\n7 4 55 65 -C- TEMPLATE\n"},
    {"an unmatched unknown start tag has no content", "<my-card>x<my-card>y</my-card>",
     "0 0 0 8 OCN my-card\n1 2 10 18 O-- my-card\n2 1 20 29 -C- my-card\n"},
    {"a comment ends only at -->", "<!-- a -- b -- c > d --><P>", "0 0 0 23 OC- !\n1 1 24 26 O-- P\n"},
    {"dashes and > inside a comment", "<!-- x --- > -- ---><P>", "0 0 0 19 OC- !\n1 1 20 22 O-- P\n"},
    {"--!> ends a comment too", "<!-- a --!><P>", "0 0 0 10 OC- !\n1 1 11 13 O-- P\n"},
    {"empty comments", "<!--><!---><!----><P>",
     "0 0 0 4 OC- !\n1 1 5 10 OC- !\n2 2 11 17 OC- !\n3 3 18 20 O-- P\n"},
    {"a comment without its --> hides the rest", "<P><!-- a -- > <B>x</B>", "0 0 0 2 O-- P\n"},
};

template <size_t N>
void expectTagDumps(const Rules& rules, const TokenCase (&cases)[N]) {
  for (const TokenCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Parsed parsed(c.markup, rules);
    EXPECT_EQ(parsed.dumpTags(), c.tags) << c.markup;
  }
}

TEST(Tokenizer, Cases) {
  expectTagDumps(Rules::classic(), kCases);
  expectTagDumps(Rules::modern(), kModernCases);
}

TEST(Tokenizer, TagNameReader) {
  struct NameCase {
    const char* tag;
    bool named;
    const char* name;
    bool isOpen;
    bool isClose;
  };
  const NameCase cases[] = {
      {"<P>", true, "P", true, false},       {"</TD>", true, "TD", false, true},
      {"<BR/>", true, "BR", true, true},     {"<IMG src=x />", true, "IMG", true, true},
      {"<!-- x -->", true, "!", true, true}, {"< B>", true, "B", true, false},
      {"</ P>", false, "", false, false},    {"<  >", false, "", false, false},
      {"<//>", false, "", false, false},     {"</BR/>", true, "BR", false, true},
      {"<A!B c>", true, "A!B", true, false}, {"<#x y>", true, "x", true, false},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.tag);
    TagNameReader reader;
    const char* lt = c.tag;
    const char* gt = lt + std::strlen(lt) - 1;
    EXPECT_EQ(reader.read(lt, gt), c.named);
    if (c.named) {
      EXPECT_EQ(reader.name, c.name);
      EXPECT_EQ(reader.isOpen, c.isOpen);
      EXPECT_EQ(reader.isClose, c.isClose);
    }
  }
  TagNameReader reader;
  EXPECT_FALSE(reader.read("<>", "<>" + 1));
}

TEST(Tokenizer, ScanningNeverReadsPastTheEnd) {
  // The markup sits at the very end of its own allocation, without a NUL:
  // AddressSanitizer reports any byte read past it.
  for (const Rules* rules : {&Rules::classic(), &Rules::modern()}) {
    for (const std::string text : {"x<!-", "x<!", "<", "<P>a<!--", "<P><!-- a -", "<P><!-- a --",
                                   "<P><!-- a --!", "<SCRIPT>abc</SCRIP"}) {
      SCOPED_TRACE(text);
      auto bytes = std::make_unique<char[]>(text.size());
      std::memcpy(bytes.get(), text.data(), text.size());
      TagScanner scanner(*rules->elements, rules->anySpaceEndsName, rules->commentsEndAtArrow);
      std::vector<HtmlTag> tags;
      scanner.scan(bytes.get(), bytes.get() + text.size(), tags);
      matchTags(tags, *rules->elements, scanner.nameKeyCount());
      expectTagInvariants(tags, text, *rules);
    }
  }
}

TEST(Tokenizer, LongTagsAndTextRuns) {
  // Tags and text runs of hundreds of bytes are found whole, and a tag's
  // ">" is found wherever it lies.
  std::string markup = "<DIV class=\"" + std::string(500, 'c') + "\">" + std::string(123, 't');
  markup += "<P" + std::string(46, ' ') + ">x</P></DIV>";
  const Parsed p(markup, Rules::classic());
  ASSERT_EQ(p.tags.size(), 4u);
  EXPECT_EQ(p.nameOf(p.tags[0]), "DIV");
  EXPECT_EQ(p.tags[0].partner, 3);
  EXPECT_EQ(p.nameOf(p.tags[1]), "P");
  EXPECT_EQ(p.tags[1].endOffset - p.tags[1].startOffset, 48);
  EXPECT_EQ(p.tags[1].partner, 2);
}

TEST(Tokenizer, EmptyInputAndReuse) {
  ExtractionPipeline p;
  EXPECT_EQ(p.analyze(""), MarkupRead::kWhole);
  EXPECT_TRUE(p.tags.empty());
  EXPECT_TRUE(p.root.isLeaf());
  EXPECT_EQ(p.analyze(nullptr), MarkupRead::kWhole);
  EXPECT_TRUE(p.root.isLeaf());
  p.analyze("no tags at all");
  EXPECT_TRUE(p.tags.empty());
  // One pipeline analyses several strings in turn, each from scratch.
  p.analyze("<BODY><P>a</P><P>b</P></BODY>");
  const std::string first = p.dumpTags() + p.dumpTree();
  p.analyze("<DIV>other</DIV>");
  p.analyze("<BODY><P>a</P><P>b</P></BODY>");
  EXPECT_EQ(p.dumpTags() + p.dumpTree(), first);
}

}  // namespace
}  // namespace brevanto
