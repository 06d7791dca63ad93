// memchr for the engine in WebAssembly, sixteen bytes at a time. The C
// library of emscripten's sysroot reads four bytes at a time, and finding the
// next "<", ">" or line end, mostly a few dozen bytes away, is a quarter of
// the analysis' time. Every load lies inside the range searched, so nothing
// past it is ever read.
#include <wasm_simd128.h>

#include <cstddef>
#include <cstdint>

namespace {

constexpr size_t kLane = 16;

// The position of the first `wanted` byte among the 16 at `p`, or kLane.
inline size_t firstIn(const unsigned char* p, v128_t wanted) {
  const uint32_t hits = wasm_i8x16_bitmask(wasm_i8x16_eq(wasm_v128_load(p), wanted));
  return hits == 0 ? kLane : static_cast<size_t>(__builtin_ctz(hits));
}

}  // namespace

extern "C" void* memchr(const void* source, int c, size_t n) {
  const auto* p = static_cast<const unsigned char*>(source);
  const auto byte = static_cast<unsigned char>(c);
  if (n < kLane) {
    for (; n > 0; ++p, --n) {
      if (*p == byte) return const_cast<unsigned char*>(p);
    }
    return nullptr;
  }
  const v128_t wanted = wasm_i8x16_splat(static_cast<int8_t>(byte));
  const unsigned char* const last = p + n - kLane;  // the last full load, which may overlap the one before
  for (; p < last; p += kLane) {
    const size_t at = firstIn(p, wanted);
    if (at < kLane) return const_cast<unsigned char*>(p + at);
  }
  const size_t at = firstIn(last, wanted);
  return at < kLane ? const_cast<unsigned char*>(last + at) : nullptr;
}
