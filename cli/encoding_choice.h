// Which encoding a browser reads a page's bytes in: a byte-order mark, a
// label given from outside, what the page declares in a <meta>, else what
// the bytes themselves show.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "cli/decoder.h"

namespace brevanto::cli {

// The encoding that a <meta> element in the first 1024 bytes declares, as
// a browser's prescan finds it, or null. A page cannot declare UTF-16 in
// bytes that read as ASCII (it means UTF-8), and x-user-defined means
// windows-1252.
const Encoding* declaredEncoding(std::string_view bytes);

// Which encoding a browser reads `bytes` in: a byte-order mark, else the
// given label, else a <meta> charset in the first 1024 bytes, else UTF-8
// when the bytes are valid UTF-8, else windows-1252. Null, with `error`
// set, when the label names no encoding. `bomLength` is the bytes of the
// mark to skip.
const Encoding* chooseEncoding(std::string_view bytes, std::string_view label, size_t& bomLength,
                               std::string& error);

}  // namespace brevanto::cli
