// Which encoding a browser reads a page's bytes in, in the order browsers
// follow: a byte-order mark, the user's choice, the label the page came
// with (HTTP), a <meta> in the first 1024 bytes, else what the bytes
// themselves show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/decoder.h"

namespace brevanto::cli {

// Where a choice of encoding came from, strongest first.
enum class EncodingSource : uint8_t {
  kByteOrderMark,
  kUserLabel,       // the user named the encoding
  kTransportLabel,  // the charset of the HTTP Content-Type the page was served with
  kPrescan,         // a <meta> in the first 1024 bytes
  kUtf8Bytes,       // nothing declares one, and the bytes are valid UTF-8
  // Nothing declares one, and the bytes are not UTF-8: detected from them,
  // else windows-1252. Only such a guess gives way to a <meta> that parsing
  // meets after the first 1024 bytes: some browsers honour such a late
  // meta and others ignore it, and bytes that are valid UTF-8 are UTF-8
  // whatever it says.
  kDetected,
};

struct EncodingChoice {
  const Encoding* encoding = nullptr;  // not owned: a row of the table; null when the user's label names none
  size_t bomLength = 0;                // bytes of the byte-order mark to skip
  EncodingSource source = EncodingSource::kDetected;
};

// The encoding that a <meta> element in the first 1024 bytes declares, as
// a browser's prescan finds it, or null. A page cannot declare UTF-16 in
// bytes that read as ASCII (it means UTF-8), and x-user-defined means
// windows-1252.
const Encoding* declaredEncoding(std::string_view bytes);

// The attributes of a <meta> element that the parser met; absent ones are
// empty optionals.
struct MetaAttributes {
  std::optional<std::string_view> charset;
  std::optional<std::string_view> httpEquiv;
  std::optional<std::string_view> content;
};

// The encoding that a <meta> met while parsing declares, read as a browser
// reads it there (its charset, else a Content-Type pragma), with the same
// meaning as in the prescan; null when it declares none.
const Encoding* encodingOfMeta(const MetaAttributes& meta);

// Which encoding a browser reads `bytes` in. `userLabel` and
// `transportLabel` are labels or empty; a user's label that names no
// encoding is an error (`error` set, no encoding), a transport label that
// names none is ignored, as browsers ignore it.
EncodingChoice chooseEncoding(std::string_view bytes, std::string_view userLabel,
                              std::string_view transportLabel, std::string& error);

// "utf-16le" or "utf-16be" when `bytes` look like UTF-16 without a
// byte-order mark (NUL bytes at alternate places: the zero halves of ASCII
// characters), else null. Browsers do not read such bytes as UTF-16 unless
// told to.
const char* utf16LabelByShape(std::string_view bytes);

}  // namespace brevanto::cli
