// The gzip and deflate content codings of an HTTP body, decoded with zlib.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brevanto::archive {

// How the compressed bytes are wrapped.
enum class Wrapper : int {
  kGzip,  // a gzip member (RFC 1952)
  kZlib,  // a zlib stream (RFC 1950), what "deflate" names
  kRaw,   // bare deflate data (RFC 1951), what many servers send as "deflate"
};

enum class InflateStatus : int {
  kDone = 0,
  kCorrupt,    // the bytes are not data of that wrapper
  kTruncated,  // the data ends before its end
  kTooLarge,   // the decoded bytes would exceed the limit
};

// Decodes `in` into `out` (replaced). At most `limit` decoded bytes are kept;
// bytes after the end of the compressed data are ignored, as a browser
// ignores them. A truncated stream leaves in `out` what it decoded to, as a
// browser shows a page whose transfer broke off; otherwise `out` is empty
// unless the status is kDone.
InflateStatus inflateBytes(std::string_view in, Wrapper wrapper, size_t limit, std::string& out);

}  // namespace brevanto::archive
