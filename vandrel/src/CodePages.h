// The machinery of the single-byte code pages, shared by CodePages.cpp
// (ISO 8859-1, Mac OS Roman) and the platform code page off Windows
// (posix/PlatformCodePage.cpp).
//
// Decoding is one table load per byte, and so is encoding: a 64 KiB reverse
// table, one byte a unit, built from the decoding table on first use (a
// two-level table took two dependent loads a unit and ran at half speed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Internal.h"
#include "Kernels.h"
#include "Vandrel/Vandrel.h"

#if (defined(__SSE2__) || defined(_M_X64)) && !defined(VANDREL_PORTABLE)
#define VANDREL_SSE2 1
#include <emmintrin.h>
#else
#define VANDREL_SSE2 0
#endif

namespace Vandrel {
namespace detail {

struct DecodeTable {
  std::uint16_t unit[256] = {};
  // 0x00-0x7F are ASCII in every table here.
  constexpr explicit DecodeTable(const std::uint16_t (&high)[128]) {
    for (unsigned b = 0; b < 128; ++b) {
      unit[b] = static_cast<std::uint16_t>(b);
      unit[b + 128] = high[b];
    }
  }
};

// Unit => byte, 0 for none.
struct EncodeTable {
  std::uint8_t byte[0x10000] = {};
  explicit EncodeTable(const DecodeTable& decode) {
    for (unsigned b = 1; b < 256; ++b) byte[decode.unit[b]] = static_cast<std::uint8_t>(b);
  }
};

// Blocks of 16 elements: the tests and moves that let plain ASCII (or, for
// Latin-1, any text) skip the tables. SSE2 is part of every x86-64 processor.
#if VANDREL_SSE2
inline __m128i Load16(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline bool Ascii16(const unsigned char* s) { return _mm_movemask_epi8(Load16(s)) == 0; }
inline void Widen16(const unsigned char* s, Uni16* d) {
  const __m128i v = Load16(s);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(v, _mm_setzero_si128()));
}
// When no unit of the 16 at s has a bit of `mask` set (so each is below
// 0x100), writes them as 16 bytes at d; returns whether it did.
inline bool NarrowIfClear16(const Uni16* s, std::uint16_t mask, char* d) {
  const __m128i lo = Load16(s), hi = Load16(s + 8);
  const __m128i bits =
      _mm_and_si128(_mm_or_si128(lo, hi), _mm_set1_epi16(static_cast<short>(mask)));
  if (_mm_movemask_epi8(_mm_cmpeq_epi16(bits, _mm_setzero_si128())) != 0xFFFF) return false;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(lo, hi));
  return true;
}
#else
inline bool Ascii16(const unsigned char* s) {
  std::uint64_t w[2];
  std::memcpy(w, s, 16);
  return ((w[0] | w[1]) & 0x8080808080808080ull) == 0;
}
inline void Widen16(const unsigned char* s, Uni16* d) {
  for (int k = 0; k < 16; ++k) d[k] = static_cast<Uni16>(s[k]);
}
inline bool NarrowIfClear16(const Uni16* s, std::uint16_t mask, char* d) {
  unsigned bits = 0;
  for (int k = 0; k < 16; ++k) bits |= s[k];
  if ((bits & mask) != 0) return false;
  for (int k = 0; k < 16; ++k) d[k] = static_cast<char>(s[k]);
  return true;
}
#endif

// Bytes to units through a decoding table (null table: Latin-1). n bytes
// become exactly n units, so the cut is simply the room left. DecodeBytes16
// goes 16 bytes at a time; the kernel set may have a wider loop.
int DecodeBytes16(const unsigned char* s, std::size_t n, const DecodeTable* table, Uni16* dst,
                  std::size_t capacity);
inline int DecodeBytes(const unsigned char* s, std::size_t n, const DecodeTable* table, Uni16* dst,
                       std::size_t capacity) {
  return Kernels().decodeBytes(s, n, table, dst, capacity);
}

// Units to bytes through a lookup, one byte per character (a pair is one
// character). `lookup(u)` gives the byte, or 0 when there is none: then
// kStrict stops with -1, otherwise '?' is written. Blocks of 16 units with
// no bit of `plainMask` set are copied as they are.
template <bool kStrict, class Lookup>
int EncodeUnits(const Uni16* src, char* dst, std::size_t capacity, std::uint16_t plainMask,
                Lookup lookup) {
  const std::size_t n = Uni16CharGetLength(src);
  const std::size_t room = capacity - 1;
  std::size_t i = 0;
  std::size_t o = 0;
  while (i < n) {
    // Sixteen plain units are sixteen bytes. A block of others needs no
    // room test either: at most 16 bytes for at most 17 units.
    if (n - i >= 16 && room - o >= 16 && NarrowIfClear16(src + i, plainMask, dst + o)) {
      i += 16;
      o += 16;
      continue;
    }
    // Sixteen units that all have a byte (surrogates have none) are looked
    // up without a branch each; a block with a unit that has none is left
    // to the loop below, which writes '?' for it, or stops there.
    if (n - i >= 16 && room - o >= 16) {
      unsigned below = 0;  // b - 1 wraps past 0xFF only for a missing b = 0
      for (int k = 0; k < 16; ++k) {
        const unsigned b = lookup(static_cast<unsigned>(src[i + k]));
        below |= b - 1;
        dst[o + k] = static_cast<char>(b);
      }
      if (below <= 0xFF) {
        i += 16;
        o += 16;
        continue;
      }
    }
    const bool block = n - i >= 17 && room - o >= 16;
    const std::size_t stop = block ? i + 16 : i + 1;
    if (!block && o == room) break;
    while (i < stop) {
      const unsigned b = lookup(static_cast<unsigned>(src[i]));
      if (b != 0) {
        dst[o++] = static_cast<char>(b);
        ++i;
      } else if (kStrict) {
        dst[o] = 0;
        return -1;
      } else {
        dst[o++] = '?';
        i += IsPair(src + i, n - i) ? 2 : 1;
      }
    }
  }
  dst[o] = 0;
  return i == n ? static_cast<int>(o) : -1;
}

constexpr std::uint16_t kAsciiUnits = 0xFF80;
constexpr std::uint16_t kLatin1Units = 0xFF00;

}  // namespace detail
}  // namespace Vandrel
