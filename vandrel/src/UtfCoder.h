// The scalar UTF-8 coder: one character at a time, every read and write
// tested. The portable block loops, the SIMD kernels' careful blocks and the
// entry points' last characters all run through it, so that each character
// has one definition of how it is coded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Cpu.h"
#include "Internal.h"
#include "Vandrel/Vandrel.h"

namespace Vandrel {
namespace detail {

constexpr unsigned kReplacement = 0xFFFD;

inline Uni16 Unit(unsigned v) { return static_cast<Uni16>(v); }

inline bool IsContinuation(unsigned b) { return (b & 0xC0) == 0x80; }

// Bytes of a NUL-terminated array. The decoder peeks at offset k only after
// seeing bytes 0..k-1 to be non-zero, so the terminator bounds every read.
struct CStringBytes {
  static constexpr bool kContiguous = true;
  const unsigned char* p;
  // No NUL before it: the terminator, or null until a block loop measures
  // the text (which may stop measuring where its blocks stop).
  const unsigned char* end;
  unsigned At(std::size_t k) const { return p[k]; }
  void Skip(std::size_t k) { p += k; }
};
// UTF-8 decoding. Well-formed UTF-8 decodes as usual. Anything else becomes
// one U+FFFD per maximal ill-formed subpart, except that a complete
// three-byte encoded surrogate (ED A0..BF 80..BF) decodes to that surrogate,
// so that any UTF-16 string, paired or not, survives a trip through UTF-8. A
// high one directly followed by a low one is not accepted as a pair (that
// would give U+10000 and up a second spelling): both are then ill-formed as
// in standard UTF-8, where ED is followed by at most 9F, which makes six
// U+FFFD.

// Decodes one character, or one ill-formed subpart, at src (whose first byte
// is not 0) into q, testing the room against qend. False when it does not fit.
template <class Source>
VANDREL_FORCE_INLINE bool DecodeOne(Source& src, Uni16*& q, Uni16* qend) {
  const unsigned b0 = src.At(0);
  unsigned unit = kReplacement;
  std::size_t skip = 1;
  if (b0 < 0x80) {
    unit = b0;
  } else if (b0 >= 0xC2 && b0 < 0xF5) {  // 80..C1 and F5..FF never start one
    const unsigned b1 = src.At(1);
    if (b0 < 0xE0) {
      if (IsContinuation(b1)) {
        unit = ((b0 & 0x1F) << 6) | (b1 & 0x3F);
        skip = 2;
      }
    } else if (b0 < 0xF0) {
      const bool surrogate = b0 == 0xED && b1 >= 0xA0;
      if (IsContinuation(b1) && !(b0 == 0xE0 && b1 < 0xA0)) {
        const unsigned b2 = src.At(2);
        if (IsContinuation(b2)) {
          if (surrogate && b1 < 0xB0 && src.At(3) == 0xED) {
            const unsigned b4 = src.At(4);
            if (b4 >= 0xB0 && b4 <= 0xBF && IsContinuation(src.At(5))) {
              for (int k = 0; k < 6; ++k) {
                if (q == qend) return false;
                *q++ = Unit(kReplacement);
              }
              src.Skip(6);
              return true;
            }
          }
          unit = ((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F);
          skip = 3;
        } else if (!surrogate) {  // an incomplete surrogate is ill-formed from ED on
          skip = 2;
        }
      }
    } else {
      const bool b1ok = b0 == 0xF0   ? (b1 >= 0x90 && b1 <= 0xBF)
                        : b0 == 0xF4 ? (b1 >= 0x80 && b1 <= 0x8F)
                                     : IsContinuation(b1);
      if (b1ok) {
        skip = 2;
        const unsigned b2 = src.At(2);
        if (IsContinuation(b2)) {
          skip = 3;
          const unsigned b3 = src.At(3);
          if (IsContinuation(b3)) {
            if (qend - q < 2) return false;
            const unsigned cp =
                ((b0 & 0x07) << 18) | ((b1 & 0x3F) << 12) | ((b2 & 0x3F) << 6) | (b3 & 0x3F);
            q[0] = Unit(0xD7C0 + (cp >> 10));
            q[1] = Unit(0xDC00 | (cp & 0x3FF));
            q += 2;
            src.Skip(4);
            return true;
          }
        }
      }
    }
  }
  if (q == qend) return false;
  *q++ = Unit(unit);
  src.Skip(skip);
  return true;
}

// Encodes one unit, or a surrogate pair, at s (s < send) into q, testing the
// room against qend; returns the units taken, 0 when it does not fit. A
// surrogate without its partner takes the three-byte form DecodeOne reads back.
VANDREL_FORCE_INLINE std::size_t EncodeOne(const Uni16* s, const Uni16* send, char*& q,
                                           const char* qend) {
  const unsigned u = s[0];
  if (u < 0x80) {
    if (q == qend) return 0;
    *q++ = static_cast<char>(u);
    return 1;
  }
  if (u < 0x800) {
    if (qend - q < 2) return 0;
    q[0] = static_cast<char>(0xC0 | (u >> 6));
    q[1] = static_cast<char>(0x80 | (u & 0x3F));
    q += 2;
    return 1;
  }
  if (u >= 0xD800 && u < 0xDC00 && send - s >= 2 && (s[1] & 0xFC00) == 0xDC00) {
    if (qend - q < 4) return 0;
    const unsigned cp = 0x10000 + ((u - 0xD800) << 10) + (s[1] - 0xDC00u);
    q[0] = static_cast<char>(0xF0 | (cp >> 18));
    q[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    q[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    q[3] = static_cast<char>(0x80 | (cp & 0x3F));
    q += 4;
    return 2;
  }
  if (qend - q < 3) return 0;
  q[0] = static_cast<char>(0xE0 | (u >> 12));
  q[1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
  q[2] = static_cast<char>(0x80 | (u & 0x3F));
  q += 3;
  return 1;
}

// The bounds of the byte after a lead in well-formed UTF-8 (the Unicode
// Standard's table 3-7): E0 A0..BF, ED 80..9F, F0 90..BF, F4 80..8F, any
// other lead 80..BF.
constexpr unsigned SecondByteLow(unsigned lead) {
  return lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
}
constexpr unsigned SecondByteHigh(unsigned lead) {
  return lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
}

// The block loops' steps for what their vectors do not take. Lenient codes
// everything as above. Strict takes one well-formed character (UTF-8 by the
// Unicode Standard's table: no encoded surrogate; UTF-16: no unpaired
// surrogate) lying wholly before src.end or send, and otherwise takes
// nothing and fails, so that the loop stops there.
// kStops: whether a step may fail where the loop has room (Lenient's fail
// only for want of room, which the block loops have made sure of).
struct Lenient {
  static constexpr bool kStops = false;
  static bool Decode(CStringBytes& src, Uni16*& q, Uni16* qend) { return DecodeOne(src, q, qend); }
  static std::size_t Encode(const Uni16* s, const Uni16* send, char*& q, const char* qend) {
    return EncodeOne(s, send, q, qend);
  }
};
struct Strict {
  static constexpr bool kStops = true;
  static bool Decode(CStringBytes& src, Uni16*& q, Uni16* qend) {
    const unsigned char* const p = src.p;
    const unsigned b0 = p[0];
    const std::ptrdiff_t n = b0 < 0x80   ? 1
                             : b0 < 0xC2 ? 0
                             : b0 < 0xE0 ? 2
                             : b0 < 0xF0 ? 3
                             : b0 < 0xF5 ? 4
                                         : 0;
    if (n == 0 || src.end - p < n) return false;
    if (n > 1) {
      if (p[1] < SecondByteLow(b0) || p[1] > SecondByteHigh(b0)) return false;
      for (std::ptrdiff_t k = 2; k < n; ++k) {
        if (!IsContinuation(p[k])) return false;
      }
    }
    return DecodeOne(src, q, qend);  // reads just those n bytes
  }
  static std::size_t Encode(const Uni16* s, const Uni16* send, char*& q, const char* qend) {
    const unsigned u = s[0];
    if (u >= 0xD800 && u < 0xE000 && (u >= 0xDC00 || send - s < 2 || (s[1] & 0xFC00) != 0xDC00)) {
      return 0;
    }
    return EncodeOne(s, send, q, qend);
  }
};

// One block the vectors did not take, a character at a time up to `stop`;
// false where the step fails. Out of line, so that the vector loops that
// call it keep their registers whichever step they take.
template <class Step>
[[gnu::noinline]] bool DecodeCarefully(CStringBytes& src, Uni16*& q, Uni16* qend,
                                       const unsigned char* stop) {
  while (src.p < stop) {
    if (!Step::Decode(src, q, qend) && Step::kStops) return false;
  }
  return true;
}

// Block loops, one per direction and instruction set. Each runs while the
// source and the room left are well above a block, so that it needs no room
// tests inside, and leaves the rest to the scalar coder; it stops early where
// its Step fails. The decoding loops take src.end as given (see Kernels.h for
// those that find it). The kernel sets (Kernels.h) gather them with the
// scans and counts below.
template <class Step>
void DecodeBlocksPortable(CStringBytes& src, Uni16*& q, Uni16* qend);
template <class Step>
void EncodeBlocksPortable(const Uni16*& s, const Uni16* send, char*& q, const char* qend);
#if VANDREL_X86
// (A template's instances take their instruction sets from its first
// declaration.)
#define VANDREL_SSE41 VANDREL_TARGET("sse4.1")
#define VANDREL_AVX2 VANDREL_TARGET("avx2,bmi,bmi2,popcnt")
template <class Step>
VANDREL_SSE41 void DecodeBlocksSse41(CStringBytes& src, Uni16*& q, Uni16* qend);
template <class Step>
VANDREL_SSE41 void EncodeBlocksSse41(const Uni16*& s, const Uni16* send, char*& q,
                                     const char* qend);
template <class Step>
VANDREL_AVX2 void DecodeBlocksAvx2(CStringBytes& src, Uni16*& q, Uni16* qend);
template <class Step>
VANDREL_AVX2 void EncodeBlocksAvx2(const Uni16*& s, const Uni16* send, char*& q, const char* qend);
#endif

// Scans and counts: the offset of the first NUL; UTF-8 bytes of units up to
// a NUL; UTF-16 units of bytes. The portable counts also finish the wider
// kernels' last units.
std::size_t ByteLengthPortable(const char* s);
std::size_t UTF8LengthPortable(const Uni16* s, std::size_t n, std::size_t* units);
std::size_t Uni16UnitsPortable(const unsigned char* s, std::size_t n, bool* nul);
#if VANDREL_X86
std::size_t Uni16LengthSse2(const Uni16* s);
std::size_t UTF8LengthSse2(const Uni16* s, std::size_t n, std::size_t* units);
std::size_t Uni16UnitsSse2(const unsigned char* s, std::size_t n, bool* nul);
#endif

}  // namespace detail
}  // namespace Vandrel
