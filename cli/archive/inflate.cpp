#include "cli/archive/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace brevanto::archive {
namespace {

// zlib's window bits for each wrapper: 15 is the largest window, +16 asks
// for the gzip header and trailer, a negative value for no wrapper at all.
constexpr int kWindowBits[] = {15 + 16, 15, -15};
constexpr size_t kOutputStep = size_t{64} * 1024;

}  // namespace

InflateStatus inflateBytes(std::string_view in, Wrapper wrapper, size_t limit, std::string& out) {
  out.clear();
  z_stream z{};
  if (inflateInit2(&z, kWindowBits[static_cast<int>(wrapper)]) != Z_OK) return InflateStatus::kCorrupt;
  InflateStatus status = InflateStatus::kTruncated;
  // zlib counts its input in unsigned int; a larger body is fed in slices.
  const auto* next = reinterpret_cast<const Bytef*>(in.data());
  size_t left = in.size();
  for (;;) {
    if (z.avail_in == 0 && left > 0) {
      z.next_in = const_cast<Bytef*>(next);
      z.avail_in = static_cast<uInt>(std::min<size_t>(left, UINT_MAX));
      next += z.avail_in;
      left -= z.avail_in;
    }
    const size_t used = out.size();
    if (used >= limit + 1) {
      status = InflateStatus::kTooLarge;
      break;
    }
    // One byte beyond the limit tells a body of exactly `limit` bytes from a
    // longer one.
    const size_t step = std::min(kOutputStep, limit + 1 - used);
    out.resize(used + step);
    z.next_out = reinterpret_cast<Bytef*>(&out[used]);
    z.avail_out = static_cast<uInt>(step);
    const int result = inflate(&z, Z_NO_FLUSH);
    out.resize(used + step - z.avail_out);
    if (result == Z_STREAM_END) {
      status = out.size() > limit ? InflateStatus::kTooLarge : InflateStatus::kDone;
      break;
    }
    if (result == Z_BUF_ERROR && z.avail_in == 0 && left == 0) break;  // input ended inside the data
    if (result != Z_OK && result != Z_BUF_ERROR) {
      status = InflateStatus::kCorrupt;
      break;
    }
  }
  inflateEnd(&z);
  if (status == InflateStatus::kCorrupt || status == InflateStatus::kTooLarge) out.clear();
  return status;
}

}  // namespace brevanto::archive
