#include "cli/encoding_choice.h"

#include <algorithm>

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

}  // namespace

const Encoding* declaredEncoding(std::string_view bytes) {
  return Prescan(bytes).run();
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
    choice = {&windows1252Encoding(), 0, EncodingSource::kDetected};
  }
  return choice;
}

}  // namespace brevanto::cli
