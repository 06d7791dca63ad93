// Which encoding a page is read in: the order browsers follow, and the
// <meta> prescan as they run it.
#include "cli/encoding_choice.h"

#include <gtest/gtest.h>

#include <string>

namespace brevanto::cli {
namespace {

using namespace std::string_literals;

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

}  // namespace
}  // namespace brevanto::cli
