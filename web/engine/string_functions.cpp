// The C library's string functions that the analysis leans on, for the
// engine in WebAssembly. The sysroot's memchr and strlen read four bytes at a
// time, and finding the next "<", ">" or line end, mostly a few dozen bytes
// away, is a quarter of the analysis' time: these read sixteen.
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

// Every load lies inside the range searched, so nothing past it is read.
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

// Whole aligned blocks of sixteen bytes once the first boundary is reached:
// such a block lies inside one page of the memory, so reading the bytes of
// the last one that follow the NUL can never fault.
extern "C" size_t strlen(const char* text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  for (; reinterpret_cast<uintptr_t>(p) % kLane != 0; ++p) {
    if (*p == 0) return static_cast<size_t>(p - reinterpret_cast<const unsigned char*>(text));
  }
  const v128_t zero = wasm_i8x16_splat(0);
  for (;; p += kLane) {
    const size_t at = firstIn(p, zero);
    if (at < kLane) return static_cast<size_t>(p + at - reinterpret_cast<const unsigned char*>(text));
  }
}

// Copies and fills as the machine's own instructions (bulk memory): the
// C library's hand large copies to JavaScript.
extern "C" void* memcpy(void* destination, const void* source, size_t n) {
  return __builtin_memcpy(destination, source, n);
}
extern "C" void* memmove(void* destination, const void* source, size_t n) {
  return __builtin_memmove(destination, source, n);
}
extern "C" void* memset(void* destination, int c, size_t n) {
  return __builtin_memset(destination, c, n);
}
