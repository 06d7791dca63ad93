// Which encoding a page is read in: the order browsers follow, and the
// <meta> prescan as they run it.
#include "cli/encoding_choice.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace brevanto::cli {
namespace {

using namespace std::string_literals;

// `utf8` in the system converter's table `table`; the test's own pages in
// the encodings that pages without a label come in.
std::string encoded(const char* table, const std::string& utf8) {
  const iconv_t converter = iconv_open(table, "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return {};  // NOLINT(performance-no-int-to-ptr)
  std::string out(utf8.size() * 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* to = out.data();
  size_t toLeft = out.size();
  const bool converted = iconv(converter, &in, &inLeft, &to, &toLeft) != static_cast<size_t>(-1);
  iconv_close(converter);
  out.resize(converted ? out.size() - toLeft : 0);
  return out;
}

TEST(ChooseEncoding, MarkThenUserThenTransportThenMetaThenTheBytes) {
  const std::string meta1251 = "<meta charset=\"windows-1251\"><p>caf\xC3\xA9";
  const struct {
    std::string bytes;
    const char* user;
    const char* transport;
    const char* encoding;
    size_t bomLength;
    EncodingSource source;
  } cases[] = {
      {"\xEF\xBB\xBF" + meta1251, "koi8-r", "big5", "UTF-8", 3, EncodingSource::kByteOrderMark},
      {"\xFF\xFE<\0"s, "koi8-r", "", "UTF-16LE", 2, EncodingSource::kByteOrderMark},
      {"\xFE\xFF\0<"s, "", "", "UTF-16BE", 2, EncodingSource::kByteOrderMark},
      {meta1251, " KOI8-r ", "big5", "KOI8-R", 0, EncodingSource::kUserLabel},
      {meta1251, "", "Big5", "Big5", 0, EncodingSource::kTransportLabel},
      // A transport label that no browser knows says nothing.
      {meta1251, "", "no-such-charset", "windows-1251", 0, EncodingSource::kPrescan},
      {"<p>caf\xC3\xA9", "", "", "UTF-8", 0, EncodingSource::kUtf8Bytes},
      {"<p>caf\xE9", "", "", "windows-1252", 0, EncodingSource::kDetected},
  };
  for (const auto& c : cases) {
    std::string error;
    const EncodingChoice choice = chooseEncoding(c.bytes, c.user, c.transport, error);
    ASSERT_NE(choice.encoding, nullptr) << c.bytes << error;
    EXPECT_EQ(choice.encoding->name, std::string(c.encoding)) << c.bytes;
    EXPECT_EQ(choice.bomLength, c.bomLength) << c.bytes;
    EXPECT_EQ(choice.source, c.source) << c.bytes;
  }
  // The user's label must name an encoding.
  std::string error;
  EXPECT_EQ(chooseEncoding("<p>", "no-such-charset", "utf-8", error).encoding, nullptr);
  EXPECT_NE(error.find("no-such-charset"), std::string::npos);
}

TEST(ChooseEncoding, MetaPrescanAsBrowsersRunIt) {
  const struct {
    std::string page;
    const char* encoding;  // empty: the prescan finds none
  } cases[] = {
      {"<meta charset=\"windows-1251\"><p>caf\xC3\xA9", "windows-1251"},  // wins over valid UTF-8
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">", "Shift_JIS"},
      {"<META HTTP-EQUIV=content-type CONTENT='text/html;charset = \"gb2312\"'>", "GBK"},
      // Labels as browsers map them.
      {"<meta charset=\"  LATIN1 \">", "windows-1252"},
      {"<meta charset=iso-8859-1>", "windows-1252"},
      {"<meta charset=us-ascii>", "windows-1252"},
      {"<meta charset=sjis>", "Shift_JIS"},
      {"<meta charset=ks_c_5601-1987>", "EUC-KR"},
      {"<meta charset=x-mac-ukrainian>", "x-mac-cyrillic"},
      // A page cannot declare UTF-16 in bytes that read as ASCII, nor x-user-defined.
      {"<meta charset=utf-16>", "UTF-8"},
      {"<meta charset=x-user-defined><p>caf\xE9", "windows-1252"},
      // A label no browser knows, or a content value without the pragma,
      // says nothing: the next meta decides.
      {"<meta charset=bogus><meta charset=koi8-u>", "KOI8-U"},
      {"<meta content=\"text/html; charset=koi8-r\"><meta charset=big5>", "Big5"},
      // Of an attribute given twice, the first counts.
      {"<meta charset=utf-8 charset=koi8-r>", "UTF-8"},
      // Comments, other tags and their attributes are skipped whole.
      {"<!-- <meta charset=koi8-r> --><p title='<meta charset=koi8-r>'><meta charset=euc-jp>", "EUC-JP"},
      // A meta beyond the first 1024 bytes is not seen.
      {"<p>" + std::string(1100, 'x') + "<meta charset=koi8-r>", ""},
  };
  for (const auto& c : cases) {
    const Encoding* declared = declaredEncoding(c.page);
    EXPECT_EQ(declared == nullptr ? "" : declared->name, std::string(c.encoding)) << c.page;
  }
}

// Where nothing declares an encoding and the bytes are not UTF-8, the
// detector decides, but only for a script that windows-1252 cannot read and
// only with text enough to judge by.
TEST(ChooseEncoding, DetectionWhereNothingDeclaresOne) {
  const std::string english(1500, 'w');
  const struct {
    const char* table;
    std::string text;
    const char* encoding;
  } cases[] = {
      {"SHIFT_JIS", "<p>港の灯台守は毎晩、天気と通り過ぎた船と燃やした油を帳簿に書き残した。</p>",
       "Shift_JIS"},
      {"EUC-KR", "<p>등대지기는 매일 밤 날씨와 지나간 배와 태운 기름을 장부에 적었다.</p>", "EUC-KR"},
      {"GB18030", "<p>灯塔看守人每天晚上都把天气、经过的船只和烧掉的油记在账本上。</p>", "gb18030"},
      {"CP1251", "<p>Смотритель маяка каждый вечер записывал погоду и проходившие суда.</p>", "windows-1251"},
      {"KOI8-R", "<p>Смотритель маяка каждый вечер записывал погоду и проходившие суда.</p>", "KOI8-R"},
      {"CP1255", "<p>שומר המגדלור רשם בכל ערב ביומן את מזג האוויר ואת הספינות שעברו.</p>", "windows-1255"},
      // Western text, which the detector takes for Central European.
      {"CP1252", "<p>It’s the harbour’s “best” boat – isn’t it? We’ll see what the keeper’s log says.</p>",
       "windows-1252"},
      // Too few letters of another script, or too small a share of the
      // text, to judge by; markup and scripts are not text.
      {"CP1251", "<p>Маяк и море.</p>", "windows-1252"},
      {"CP1251", "<p>" + english + " Смотритель маяка записывал погоду.</p>", "windows-1252"},
      {"CP1251", "<p title='" + english + "'>Смотритель маяка записывал погоду.</p>", "windows-1251"},
      {"CP1251", "<script>" + english + "</script><p>Смотритель маяка записывал погоду.</p>", "windows-1251"},
  };
  for (const auto& c : cases) {
    const std::string bytes = encoded(c.table, c.text);
    ASSERT_FALSE(bytes.empty()) << c.table;
    std::string error;
    const EncodingChoice choice = chooseEncoding(bytes, "", "", error);
    ASSERT_NE(choice.encoding, nullptr);
    EXPECT_EQ(choice.encoding->name, std::string(c.encoding)) << c.text.substr(0, 60);
    EXPECT_EQ(choice.source, EncodingSource::kDetected);
  }
}

// UTF-16 without a byte-order mark is not read as such, but told apart
// from other binary data, so that the user can be pointed at --encoding.
TEST(ChooseEncoding, Utf16WithoutAMarkIsToldByItsShape) {
  const struct {
    std::string bytes;
    const char* label;  // empty: not UTF-16 by its shape
  } cases[] = {
      {encoded("UTF-16LE", "<html><body><p>Harbour log</p></body></html>"), "utf-16le"},
      {encoded("UTF-16BE", "<html><body><p>Harbour log</p></body></html>"), "utf-16be"},
      {encoded("UTF-16LE", "<p>港の灯台守の帳簿</p>"), "utf-16le"},
      {"\x7F"
       "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x3E\0\x01\0\0\0"s,
       ""},
      {"<p>text\0 in the first kilobytes"s, ""},
      {"\0"s, ""},
  };
  for (const auto& c : cases) {
    const char* label = utf16LabelByShape(c.bytes);
    EXPECT_EQ(label == nullptr ? "" : label, std::string(c.label)) << c.bytes.size();
  }
}

}  // namespace
}  // namespace brevanto::cli
