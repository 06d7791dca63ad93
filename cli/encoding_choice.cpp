#include "cli/encoding_choice.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <memory>

#include "base/ascii.h"

namespace brevanto::cli {
namespace {

// The prescan looks no further than a browser does.
constexpr size_t kPrescanBytes = 1024;

// What an encoding a page declares of itself means: bytes that read as
// ASCII cannot be UTF-16 (they are UTF-8), and x-user-defined means
// windows-1252.
const Encoding* asDeclaredInPage(const Encoding* declared) {
  if (declared == nullptr) return nullptr;
  if (declared->family == Family::kUtf16) return &utf8Encoding();
  if (declared->family == Family::kUserDefined) return &windows1252Encoding();
  return declared;
}

// The encoding named by "charset=" in a content-type value, or null. The
// value comes lower-cased.
const Encoding* charsetInContent(std::string_view content) {
  for (size_t at = 0;;) {
    const size_t found = content.find("charset", at);
    if (found == std::string_view::npos) return nullptr;
    at = found + 7;
    while (at < content.size() && ascii::isWhitespace(content[at])) ++at;
    if (at >= content.size() || content[at] != '=') continue;
    ++at;
    while (at < content.size() && ascii::isWhitespace(content[at])) ++at;
    if (at >= content.size()) return nullptr;
    const char quote = content[at];
    if (quote == '"' || quote == '\'') {
      const size_t close = content.find(quote, at + 1);
      if (close == std::string_view::npos) return nullptr;
      return encodingForLabel(content.substr(at + 1, close - at - 1));
    }
    size_t end = at;
    while (end < content.size() && !ascii::isWhitespace(content[end]) && content[end] != ';') ++end;
    return encodingForLabel(content.substr(at, end - at));
  }
}

// The <meta> prescan of a browser, over at most kPrescanBytes: markup-like
// structure is skipped, and the first <meta> that names a known encoding,
// by charset or by a content-type pragma, decides.
class Prescan {
 public:
  explicit Prescan(std::string_view bytes) : bytes_(bytes.substr(0, std::min(bytes.size(), kPrescanBytes))) {}

  const Encoding* run() {
    while (at_ < bytes_.size()) {
      if (startsWith("<!--")) {
        const size_t end = bytes_.find("-->", at_ + 2);
        if (end == std::string_view::npos) return nullptr;
        at_ = end + 3;
      } else if (startsWithIgnoringCase("<meta") && at_ + 5 < bytes_.size() &&
                 (ascii::isWhitespace(bytes_[at_ + 5]) || bytes_[at_ + 5] == '/')) {
        at_ += 5;
        if (const Encoding* found = meta()) return found;
      } else if (startsWith("<") && at_ + 1 < bytes_.size() &&
                 (ascii::isLetter(bytes_[at_ + 1]) ||
                  (bytes_[at_ + 1] == '/' && at_ + 2 < bytes_.size() && ascii::isLetter(bytes_[at_ + 2])))) {
        while (at_ < bytes_.size() && !ascii::isWhitespace(bytes_[at_]) && bytes_[at_] != '>') ++at_;
        std::string name, value;
        while (attribute(name, value)) {
        }
      } else if (startsWith("<!") || startsWith("</") || startsWith("<?")) {
        const size_t end = bytes_.find('>', at_);
        if (end == std::string_view::npos) return nullptr;
        at_ = end + 1;
      } else {
        ++at_;
      }
    }
    return nullptr;
  }

 private:
  // The attributes of one <meta>: the encoding it declares, or null.
  const Encoding* meta() {
    std::string seen = " ";  // the names met so far, each followed by a space
    bool gotPragma = false;
    enum class NeedPragma { kUnknown, kYes, kNo } needPragma = NeedPragma::kUnknown;
    const Encoding* charset = nullptr;
    std::string name, value;
    while (attribute(name, value)) {
      if (seen.find(" " + name + " ") != std::string::npos) continue;
      seen += name + " ";
      if (name == "http-equiv") {
        gotPragma = gotPragma || value == "content-type";
      } else if (name == "content" && charset == nullptr) {
        if (const Encoding* e = charsetInContent(value)) {
          charset = e;
          needPragma = NeedPragma::kYes;
        }
      } else if (name == "charset") {
        charset = encodingForLabel(value);
        needPragma = NeedPragma::kNo;
      }
    }
    if (needPragma == NeedPragma::kUnknown || (needPragma == NeedPragma::kYes && !gotPragma)) return nullptr;
    return asDeclaredInPage(charset);
  }

  // Reads the next attribute at `at_`; false at the end of the tag or of
  // the bytes. Names and values come lower-cased, as the prescan compares
  // them.
  bool attribute(std::string& name, std::string& value) {
    name.clear();
    value.clear();
    while (at_ < bytes_.size() && (ascii::isWhitespace(bytes_[at_]) || bytes_[at_] == '/')) ++at_;
    if (at_ >= bytes_.size() || bytes_[at_] == '>') return false;
    for (;; ++at_) {
      if (at_ >= bytes_.size()) return false;
      const char c = bytes_[at_];
      if (c == '=' && !name.empty()) {
        ++at_;
        break;
      }
      if (ascii::isWhitespace(c)) {
        skipWhitespace();
        if (at_ >= bytes_.size()) return false;
        if (bytes_[at_] != '=') return true;
        ++at_;
        break;
      }
      if (c == '/' || c == '>') return true;
      name.push_back(ascii::toLower(c));
    }
    skipWhitespace();
    if (at_ >= bytes_.size()) return false;
    const char quote = bytes_[at_];
    if (quote == '"' || quote == '\'') {
      for (++at_; at_ < bytes_.size(); ++at_) {
        if (bytes_[at_] == quote) {
          ++at_;
          return true;
        }
        value.push_back(ascii::toLower(bytes_[at_]));
      }
      return false;
    }
    if (quote == '>') return true;
    for (; at_ < bytes_.size(); ++at_) {
      if (ascii::isWhitespace(bytes_[at_]) || bytes_[at_] == '>') return true;
      value.push_back(ascii::toLower(bytes_[at_]));
    }
    return false;
  }

  bool startsWith(std::string_view prefix) const { return bytes_.substr(at_, prefix.size()) == prefix; }
  bool startsWithIgnoringCase(std::string_view prefix) const {
    return ascii::equalsIgnoringCase(bytes_.substr(at_, prefix.size()), prefix);
  }
  void skipWhitespace() {
    while (at_ < bytes_.size() && ascii::isWhitespace(bytes_[at_])) ++at_;
  }

  std::string_view bytes_;
  size_t at_ = 0;
};

// What the detector's answers mean to a browser, for the scripts it is
// trusted with: those that windows-1252 cannot read at all. Between Latin
// tables (Central European, Baltic, Turkish, Vietnamese, Western) it guesses
// wrong on Western pages more often than right, naming windows-1250 for a
// few curly quotes and ISO-8859-4 for Spanish, and such pages read as
// Latin letters either way: for them windows-1252 stays. Each answer is
// named by a browser's label, so that it reads as a browser reads it.
struct DetectorAnswer {
  const char* detected;  // the detector's name
  const char* label;     // a browser's label for the same encoding
};

const DetectorAnswer kTrustedAnswers[] = {
    {"SHIFT_JIS", "shift_jis"},
    {"EUC-JP", "euc-jp"},
    {"ISO-2022-JP", "iso-2022-jp"},
    {"GB18030", "gb18030"},
    {"BIG5", "big5"},
    {"EUC-KR", "euc-kr"},
    {"UHC", "euc-kr"},  // code page 949, as browsers read EUC-KR
    {"WINDOWS-1251", "windows-1251"},
    {"KOI8-R", "koi8-r"},
    {"IBM866", "ibm866"},
    {"ISO-8859-5", "iso-8859-5"},
    {"MAC-CYRILLIC", "x-mac-cyrillic"},
    {"WINDOWS-1253", "windows-1253"},
    {"ISO-8859-7", "iso-8859-7"},
    {"WINDOWS-1255", "windows-1255"},
    {"ISO-8859-8", "iso-8859-8"},
    {"WINDOWS-1256", "windows-1256"},
    {"ISO-8859-6", "iso-8859-6"},
    {"TIS-620", "windows-874"},
};

// The detector judges by the statistics of letters. Where a few accented
// letters or curly quotes are all that the text has beyond ASCII, it names
// Greek, Thai or Japanese tables for Western pages; so its answer counts
// only when the non-ASCII bytes are many and a real share of the letters a
// reader sees.
constexpr size_t kMinNonAsciiBytes = 16;
constexpr size_t kMinNonAsciiPercent = 3;
// Detection reads no more than the first mebibyte: a page's script shows
// long before that, and reading a huge page whole would cost as much as
// parsing it.
constexpr size_t kMostDetectedBytes = size_t{1} << 20;

struct LetterCounts {
  size_t ascii = 0;
  size_t nonAscii = 0;  // bytes 0x80-0xFF: letters, or parts of letters, of other scripts
};

// Where the markup that starts with the '<' at `at` ends: after a tag or a
// comment, and after the contents of a script or a style, which a reader
// never sees. A '<' that starts no markup is text, and ends at once.
size_t endOfMarkup(std::string_view bytes, size_t at) {
  const std::string_view rest = bytes.substr(at);
  if (rest.substr(0, 4) == "<!--") {
    const size_t end = bytes.find("-->", at + 4);
    return end == std::string_view::npos ? bytes.size() : end + 3;
  }
  if (rest.size() < 2 || !(ascii::isLetter(rest[1]) || rest[1] == '/' || rest[1] == '!' || rest[1] == '?'))
    return at + 1;
  const size_t close = bytes.find('>', at);
  if (close == std::string_view::npos) return bytes.size();
  for (const std::string_view hidden : {"script", "style"}) {
    const std::string_view name = rest.substr(1, hidden.size());
    if (!ascii::equalsIgnoringCase(name, hidden) || rest.size() <= hidden.size() + 1 ||
        ascii::isLetter(rest[hidden.size() + 1]))
      continue;
    // Each search starts where the last one stopped: linear in the page.
    for (size_t end = bytes.find("</", close); end != std::string_view::npos;
         end = bytes.find("</", end + 2)) {
      if (ascii::equalsIgnoringCase(bytes.substr(end + 2, hidden.size()), hidden)) return end;
    }
    return bytes.size();
  }
  return close + 1;
}

LetterCounts countShownLetters(std::string_view bytes) {
  LetterCounts counts;
  for (size_t at = 0; at < bytes.size();) {
    const char c = bytes[at];
    if (c == '<') {
      at = endOfMarkup(bytes, at);
      continue;
    }
    if (ascii::isLetter(c)) ++counts.ascii;
    if ((c & 0x80) != 0) ++counts.nonAscii;
    ++at;
  }
  return counts;
}

struct DetectorDeleter {
  void operator()(uchardet* detector) const { uchardet_delete(detector); }
};

// The detector's name for the encoding of `bytes`; empty when it has none.
std::string detectorGuess(std::string_view bytes) {
  const std::unique_ptr<uchardet, DetectorDeleter> detector(uchardet_new());
  if (detector == nullptr || uchardet_handle_data(detector.get(), bytes.data(), bytes.size()) != 0) return {};
  uchardet_data_end(detector.get());
  const char* guess = uchardet_get_charset(detector.get());
  return guess == nullptr ? std::string() : std::string(guess);
}

// The encoding of bytes that are not valid UTF-8 and that nothing declares
// an encoding for: the detector's guess where it is sure of a script that
// windows-1252 cannot read, else windows-1252.
const Encoding& detectedEncoding(std::string_view bytes) {
  bytes = bytes.substr(0, kMostDetectedBytes);
  const LetterCounts letters = countShownLetters(bytes);
  if (letters.nonAscii < kMinNonAsciiBytes ||
      letters.nonAscii * 100 < (letters.ascii + letters.nonAscii) * kMinNonAsciiPercent)
    return windows1252Encoding();
  const std::string guess = detectorGuess(bytes);
  for (const DetectorAnswer& answer : kTrustedAnswers) {
    if (guess != answer.detected) continue;
    const Encoding* encoding = encodingForLabel(answer.label);
    return encoding != nullptr ? *encoding : windows1252Encoding();
  }
  return windows1252Encoding();
}

}  // namespace

const Encoding* declaredEncoding(std::string_view bytes) {
  return Prescan(bytes).run();
}

const Encoding* encodingOfMeta(const MetaAttributes& meta) {
  if (meta.charset) {
    if (const Encoding* named = encodingForLabel(*meta.charset)) return asDeclaredInPage(named);
  }
  if (!meta.httpEquiv || !meta.content || !ascii::equalsIgnoringCase(*meta.httpEquiv, "content-type"))
    return nullptr;
  std::string content(*meta.content);
  std::transform(content.begin(), content.end(), content.begin(), ascii::toLower);
  return asDeclaredInPage(charsetInContent(content));
}

EncodingChoice chooseEncoding(std::string_view bytes, std::string_view userLabel,
                              std::string_view transportLabel, std::string& error) {
  EncodingChoice choice;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    choice = {&utf8Encoding(), 3, EncodingSource::kByteOrderMark};
  } else if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
    choice = {encodingForLabel(bytes[0] == '\xFF' ? "utf-16le" : "utf-16be"), 2,
              EncodingSource::kByteOrderMark};
  } else if (!userLabel.empty()) {
    choice = {encodingForLabel(userLabel), 0, EncodingSource::kUserLabel};
    if (choice.encoding == nullptr) error = "unknown encoding '" + std::string(userLabel) + "'";
  } else if (const Encoding* served = encodingForLabel(transportLabel)) {
    choice = {served, 0, EncodingSource::kTransportLabel};
  } else if (const Encoding* declared = declaredEncoding(bytes)) {
    choice = {declared, 0, EncodingSource::kPrescan};
  } else if (isValidUtf8(bytes)) {
    choice = {&utf8Encoding(), 0, EncodingSource::kUtf8Bytes};
  } else {
    choice = {&detectedEncoding(bytes), 0, EncodingSource::kDetected};
  }
  return choice;
}

const char* utf16LabelByShape(std::string_view bytes) {
  size_t evenNuls = 0, oddNuls = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\0') ++(i % 2 == 0 ? evenNuls : oddNuls);
  }
  // Markup is mostly ASCII, so in UTF-16 most units have a NUL half, and
  // always the same half.
  const size_t units = bytes.size() / 2;
  if (units == 0) return nullptr;
  if (oddNuls * 4 >= units && evenNuls * 8 <= oddNuls) return "utf-16le";
  if (evenNuls * 4 >= units && oddNuls * 8 <= evenNuls) return "utf-16be";
  return nullptr;
}

}  // namespace brevanto::cli
