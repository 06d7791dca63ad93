// Reading bytes in an encoding as a browser does: the labels, the text each
// family decodes to, and what stands for bytes that encode nothing.
#include "cli/decoder.h"

#include <gtest/gtest.h>

#include <string>

namespace brevanto::cli {
namespace {

using namespace std::string_literals;

// Real text of every family, read through its label; each expected text is
// the same words in UTF-8.
TEST(Decoding, EveryFamilyReadsItsText) {
  const struct {
    const char* label;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"Shift_JIS", "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67", u8"日本語のテキスト"},
      {"EUC-JP", "\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xA5\xC6\xA5\xAD\xA5\xB9\xA5\xC8", u8"日本語のテキスト"},
      {"ISO-2022-JP",
       "\x1B\x24\x42\x46\x7C\x4B\x5C\x38\x6C\x24\x4E\x25\x46\x25\x2D\x25\x39\x25\x48\x1B\x28\x42",
       u8"日本語のテキスト"},
      {"GBK", "\xD6\xD0\xCE\xC4\xCD\xF8\xD2\xB3", u8"中文网页"},
      {"gb18030", "\xD6\xD0\xCE\xC4\x94\x39\xFC\x36", u8"中文😀"},  // a four-byte sequence
      {"gb2312", "\x94\x39\xFC\x36", u8"😀"},                       // read as GB18030 too
      {"Big5", "\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5", u8"繁體中文"},
      {"EUC-KR", "\xC7\xD1\xB1\xB9\xBE\xEE\x20\x8C\x63", u8"한국어 똠"},  // 똠 only in code page 949
      {"cp1251", "\xCF\xF0\xE8\xE2\xE5\xF2", u8"Привет"},
      {"KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", u8"Привет"},
      {"koi8-u", "\xF5\xCB\xD2\xC1\xA7\xCE\xC1\x20\xAE", u8"Україна ў"},
      {"windows-1250", "\xAF\xF3\xB3\xE6", u8"Żółć"},
      {"latin2", "\xAF\xF3\xB3\xE6", u8"Żółć"},
      {"windows-1256", "\xE3\xD1\xCD\xC8\xC7", u8"مرحبا"},
      {"arabic", "\xE5\xD1\xCD\xC8\xC7", u8"مرحبا"},
      {"windows-1255", "\xF9\xEC\xE5\xED", u8"שלום"},
      {"iso-8859-8-i", "\xF9\xEC\xE5\xED", u8"שלום"},
      {"utf-16le", "\x41\x00\xE9\x00\x3D\xD8\x00\xDE"s, u8"Aé😀"},
      {"UTF-16BE", "\x00\x41\x00\xE9\xD8\x3D\xDE\x00"s, u8"Aé😀"},
      {"latin1", "\x80\xE9", u8"€é"},
      {"ascii", "\x80\xE9", u8"€é"},
      {"x-user-defined", "a\x80\xFF", "a\xEF\x9E\x80\xEF\x9F\xBF"},  // U+F780, U+F7FF
  };
  for (const auto& c : cases) {
    const Encoding* encoding = encodingForLabel(c.label);
    ASSERT_NE(encoding, nullptr) << c.label;
    EXPECT_EQ(decodeToUtf8(c.bytes, *encoding), c.text) << c.label;
  }
}

// What the bytes do not encode becomes U+FFFD, one for each broken
// character, and the markup around it survives.
TEST(Decoding, BrokenBytesBecomeReplacementCharacters) {
  const std::string fffd = u8"\uFFFD";
  const struct {
    const char* label;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"utf-8", "caf\xE9 \xE2\x82x \xF0\x9F\x98\x80 \xC0\xAF",
       "caf" + fffd + " " + fffd + u8"x 😀 " + fffd + fffd},
      {"Shift_JIS", "\x81\xFF<p>\x81<p>",
       fffd + "<p>" + fffd + "<p>"},  // a non-ASCII trail goes with its lead
      {"Shift_JIS", "\x80\xA0", u8"\u0080" + fffd},
      {"gb18030", "\x80\xFF", u8"€" + fffd},
      {"EUC-KR", "\xC7", fffd},  // cut off by the end
      {"windows-1252", "\x81\x9D", u8"\u0081\u009D"},
      {"windows-1253", "\xAA\x81", fffd + u8"\u0081"},
      {"iso-8859-8", "\xBF", fffd},
      {"utf-16le", "\x3D\xD8\x41\x00\x42"s, fffd + "A" + fffd},  // an unpaired surrogate, an odd byte
      {"iso-2022-kr", "\x1B\x24\x29\x43 anything", fffd},
  };
  for (const auto& c : cases) {
    const Encoding* encoding = encodingForLabel(c.label);
    ASSERT_NE(encoding, nullptr) << c.label;
    EXPECT_EQ(decodeToUtf8(c.bytes, *encoding), c.text) << c.label;
  }
  EXPECT_TRUE(isValidUtf8("\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
  for (const char* broken :
       {"\xC3", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80"})
    EXPECT_FALSE(isValidUtf8(broken)) << broken;
  EXPECT_EQ(firstInvalidUtf8("ok \xC3\xA9 \xE2\x82"), 6u);
}

}  // namespace
}  // namespace brevanto::cli
