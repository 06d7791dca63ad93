#include "cli/decoder.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "base/ascii.h"

namespace brevanto::cli {
namespace {

// One encoding a browser knows, and the labels it answers to, separated by
// spaces. Where browsers and iconv's table for a name differ, the row names
// the table that reads as browsers do: GBK is read as its superset GB18030,
// Big5 with the Hong Kong additions, Shift_JIS and EUC-JP with the Windows
// mapping of JIS X 0208, EUC-KR as the Windows code page 949, and KOI8-U
// with the Belarusian letters of KOI8-RU.
struct EncodingRow {
  Encoding encoding;
  const char* labels;
};

const EncodingRow kEncodings[] = {
    {{"UTF-8", nullptr, Family::kUtf8, 0},
     "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
    {{"IBM866", "CP866", Family::kSingleByte, 0}, "866 cp866 csibm866 ibm866"},
    {{"ISO-8859-2", "ISO-8859-2", Family::kSingleByte, 0},
     "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 iso_8859-2:1987 l2 latin2"},
    {{"ISO-8859-3", "ISO-8859-3", Family::kSingleByte, 0},
     "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 iso_8859-3:1988 l3 latin3"},
    {{"ISO-8859-4", "ISO-8859-4", Family::kSingleByte, 0},
     "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 iso_8859-4:1988 l4 latin4"},
    {{"ISO-8859-5", "ISO-8859-5", Family::kSingleByte, 0},
     "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 iso_8859-5 iso_8859-5:1988"},
    {{"ISO-8859-6", "ISO-8859-6", Family::kSingleByte, 0},
     "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 iso-8859-6 iso-8859-6-e iso-8859-6-i "
     "iso-ir-127 iso8859-6 iso88596 iso_8859-6 iso_8859-6:1987"},
    {{"ISO-8859-7", "ISO-8859-7", Family::kSingleByte, 0},
     "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 iso8859-7 iso88597 iso_8859-7 "
     "iso_8859-7:1987 sun_eu_greek"},
    {{"ISO-8859-8", "ISO-8859-8", Family::kSingleByte, 0},
     "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 iso8859-8 iso88598 iso_8859-8 "
     "iso_8859-8:1988 visual"},
    {{"ISO-8859-8-I", "ISO-8859-8", Family::kSingleByte, 0}, "csiso88598i iso-8859-8-i logical"},
    {{"ISO-8859-10", "ISO-8859-10", Family::kSingleByte, 0},
     "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6"},
    {{"ISO-8859-13", "ISO-8859-13", Family::kSingleByte, 0}, "iso-8859-13 iso8859-13 iso885913"},
    {{"ISO-8859-14", "ISO-8859-14", Family::kSingleByte, 0}, "iso-8859-14 iso8859-14 iso885914"},
    {{"ISO-8859-15", "ISO-8859-15", Family::kSingleByte, 0},
     "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
    {{"ISO-8859-16", "ISO-8859-16", Family::kSingleByte, 0}, "iso-8859-16"},
    {{"KOI8-R", "KOI8-R", Family::kSingleByte, 0}, "cskoi8r koi koi8 koi8-r koi8_r"},
    {{"KOI8-U", "KOI8-RU", Family::kSingleByte, 0}, "koi8-ru koi8-u"},
    {{"macintosh", "MACINTOSH", Family::kSingleByte, 0}, "csmacintosh mac macintosh x-mac-roman"},
    {{"windows-874", "CP874", Family::kWindows, 0},
     "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
    {{"windows-1250", "CP1250", Family::kWindows, 0}, "cp1250 windows-1250 x-cp1250"},
    {{"windows-1251", "CP1251", Family::kWindows, 0}, "cp1251 windows-1251 x-cp1251"},
    {{"windows-1252", "CP1252", Family::kWindows, 0},
     "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 iso8859-1 iso88591 "
     "iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii windows-1252 x-cp1252"},
    {{"windows-1253", "CP1253", Family::kWindows, 0}, "cp1253 windows-1253 x-cp1253"},
    {{"windows-1254", "CP1254", Family::kWindows, 0},
     "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 iso_8859-9:1989 l5 latin5 "
     "windows-1254 x-cp1254"},
    {{"windows-1255", "CP1255", Family::kWindows, 0}, "cp1255 windows-1255 x-cp1255"},
    {{"windows-1256", "CP1256", Family::kWindows, 0}, "cp1256 windows-1256 x-cp1256"},
    {{"windows-1257", "CP1257", Family::kWindows, 0}, "cp1257 windows-1257 x-cp1257"},
    {{"windows-1258", "CP1258", Family::kWindows, 0}, "cp1258 windows-1258 x-cp1258"},
    {{"x-mac-cyrillic", "MAC-CYRILLIC", Family::kSingleByte, 0}, "x-mac-cyrillic x-mac-ukrainian"},
    {{"GBK", "GB18030", Family::kMultiByte, 0x20AC},
     "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 x-gbk"},
    {{"gb18030", "GB18030", Family::kMultiByte, 0x20AC}, "gb18030"},
    {{"Big5", "BIG5-HKSCS", Family::kMultiByte, 0}, "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
    {{"EUC-JP", "EUC-JP-MS", Family::kMultiByte, 0}, "cseucpkdfmtjapanese euc-jp x-euc-jp"},
    {{"ISO-2022-JP", "ISO-2022-JP-2", Family::kMultiByte, 0}, "csiso2022jp iso-2022-jp"},
    {{"Shift_JIS", "CP932", Family::kMultiByte, 0x80},
     "csshiftjis ms932 ms_kanji shift-jis shift_jis sjis windows-31j x-sjis"},
    {{"EUC-KR", "CP949", Family::kMultiByte, 0},
     "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 ksc5601 ksc_5601 "
     "windows-949"},
    {{"replacement", nullptr, Family::kReplacement, 0},
     "csiso2022kr hz-gb-2312 iso-2022-cn iso-2022-cn-ext iso-2022-kr replacement"},
    {{"UTF-16BE", "UTF-16BE", Family::kUtf16, 0}, "unicodefffe utf-16be"},
    {{"UTF-16LE", "UTF-16LE", Family::kUtf16, 0},
     "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le"},
    {{"x-user-defined", nullptr, Family::kUserDefined, 0}, "x-user-defined"},
};

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

bool hasLabel(const char* labels, std::string_view label) {
  for (std::string_view rest = labels; !rest.empty();) {
    const size_t space = std::min(rest.find(' '), rest.size());
    if (ascii::equalsIgnoringCase(rest.substr(0, space), label)) return true;
    rest.remove_prefix(std::min(space + 1, rest.size()));
  }
  return false;
}

void appendCodePoint(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// What stands for the bytes at the start of `rest` that the converter
// refused, and how many bytes that is (at least one).
size_t replaceRefused(std::string_view rest, const Encoding& encoding, std::string& out) {
  const auto first = static_cast<unsigned char>(rest[0]);
  switch (encoding.family) {
    case Family::kUtf16:
      out.append(kReplacementCharacter);
      return std::min<size_t>(2, rest.size());
    case Family::kWindows:
      if (first >= 0x80 && first <= 0x9F) {
        appendCodePoint(out, first);
        return 1;
      }
      break;
    case Family::kMultiByte:
      if (first == 0x80 && encoding.lone80 != 0) {
        appendCodePoint(out, encoding.lone80);
        return 1;
      }
      // A browser reads a lead byte and the byte after it as one broken
      // character, but reads an ASCII byte again, so that markup survives.
      out.append(kReplacementCharacter);
      return first >= 0x81 && first <= 0xFE && rest.size() > 1 && static_cast<unsigned char>(rest[1]) >= 0x80
                 ? 2
                 : 1;
    default:
      break;
  }
  out.append(kReplacementCharacter);
  return 1;
}

// Closes the converter on every path.
class Converter {
 public:
  explicit Converter(const char* from) : handle_(iconv_open("UTF-8", from)) {}
  ~Converter() {
    if (ok()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  // iconv_open reports failure as this value, not as null.
  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }  // NOLINT(performance-no-int-to-ptr)
  iconv_t handle() const { return handle_; }

 private:
  iconv_t handle_;  // owned
};

std::optional<std::string> convert(std::string_view bytes, const Encoding& encoding) {
  const Converter converter(encoding.converter);
  if (!converter.ok()) return std::nullopt;
  std::string out(bytes.size() * 2 + 16, '\0');
  size_t written = 0;
  std::string_view rest = bytes;
  for (bool flushed = false; !flushed;) {
    // Once the input is used up, one more call writes what a stateful table
    // still holds.
    const bool flushing = rest.empty();
    char* in = const_cast<char*>(rest.data());  // iconv's interface; it only reads
    size_t inLeft = rest.size();
    char* to = out.data() + written;
    size_t toLeft = out.size() - written;
    const bool failed = iconv(converter.handle(), flushing ? nullptr : &in, flushing ? nullptr : &inLeft, &to,
                              &toLeft) == static_cast<size_t>(-1);
    const int error = failed ? errno : 0;
    written = static_cast<size_t>(to - out.data());
    if (!flushing) rest.remove_prefix(rest.size() - inLeft);
    if (error == E2BIG) {
      out.resize(out.size() * 2);
    } else if (failed && !flushing) {
      // Bytes the table refuses (EILSEQ), or a character cut off by the end
      // of the page (EINVAL).
      std::string replacement;
      rest.remove_prefix(replaceRefused(rest, encoding, replacement));
      if (out.size() - written < replacement.size()) out.resize(out.size() * 2 + replacement.size());
      out.replace(written, replacement.size(), replacement);
      written += replacement.size();
    } else {
      flushed = flushing;
    }
  }
  out.resize(written);
  return out;
}

// Reads a UTF-8 sequence at `i`. Returns true for a valid one; either way
// `length` is the bytes it takes: the sequence, or the maximal part of one
// that a decoder replaces by a single U+FFFD (at least one byte).
bool utf8SequenceAt(std::string_view bytes, size_t i, size_t& length) {
  const auto c = static_cast<unsigned char>(bytes[i]);
  length = 1;
  if (c < 0x80) return true;
  size_t extra = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    extra = 1;
  } else if (c >= 0xE0 && c <= 0xEF) {
    extra = 2;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    extra = 3;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return false;
  }
  for (size_t k = 1; k <= extra; ++k) {
    if (i + k >= bytes.size()) return false;
    const auto b = static_cast<unsigned char>(bytes[i + k]);
    if (k == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF)) return false;
    length = k + 1;
  }
  return true;
}

}  // namespace

const Encoding* encodingForLabel(std::string_view label) {
  const std::string_view trimmed = ascii::trim(label);
  if (trimmed.empty()) return nullptr;
  for (const EncodingRow& row : kEncodings) {
    if (hasLabel(row.labels, trimmed)) return &row.encoding;
  }
  return nullptr;
}

const Encoding& utf8Encoding() {
  return *encodingForLabel("utf-8");
}

const Encoding& windows1252Encoding() {
  return *encodingForLabel("windows-1252");
}

std::optional<std::string> decodeToUtf8(std::string_view bytes, const Encoding& encoding) {
  switch (encoding.family) {
    case Family::kUtf8:
      return replaceInvalidUtf8(bytes);
    case Family::kReplacement:
      return bytes.empty() ? std::string() : std::string(kReplacementCharacter);
    case Family::kUserDefined: {
      std::string out;
      out.reserve(bytes.size() * 3);
      for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        appendCodePoint(out, b < 0x80 ? b : 0xF780 + (b - 0x80));
      }
      return out;
    }
    default:
      return convert(bytes, encoding);
  }
}

size_t firstInvalidUtf8(std::string_view bytes) {
  size_t length = 0;
  for (size_t i = 0; i < bytes.size(); i += length) {
    if (!utf8SequenceAt(bytes, i, length)) return i;
  }
  return std::string_view::npos;
}

std::string replaceInvalidUtf8(std::string_view bytes) {
  if (firstInvalidUtf8(bytes) == std::string_view::npos) return std::string(bytes);
  std::string repaired;
  repaired.reserve(bytes.size() + bytes.size() / 8);
  size_t length = 0;
  for (size_t i = 0; i < bytes.size(); i += length) {
    if (utf8SequenceAt(bytes, i, length)) {
      repaired.append(bytes.substr(i, length));
    } else {
      repaired.append(kReplacementCharacter);
    }
  }
  return repaired;
}

bool isValidUtf8(std::string_view bytes) {
  return firstInvalidUtf8(bytes) == std::string_view::npos;
}

}  // namespace brevanto::cli
