// The AVX-512 kernels of the UTF-8 coder (with BW, VL, VBMI and VBMI2: Ice
// Lake and later, Zen 4 and later), 64 bytes or 32 units a block.
//
// Decoding finds each byte's role with mask compares, checks the block with
// Utf8Errors.h's tables, computes in every 16-bit lane the unit a character
// starting there would give, and keeps the lanes of characters with one
// compress (Lemire and Mula, "Transcoding billions of Unicode characters per
// second with SIMD instructions", 2022, do the same with other steps). A
// four-byte character gives its high surrogate in its lead's lane and the
// low one in the next lane. Encoding builds each unit's bytes in its lane
// and compresses the bytes that are not zero (a text holds no NUL).
//
// Blocks the fast paths cannot take (ill-formed bytes, encoded or unpaired
// surrogates) go through the scalar coder, so every result is the scalar
// coder's.
#include "CodePages.h"
#include "Cpu.h"
#include "Kernels.h"
#include "Utf8Errors.h"
#include "UtfCoder.h"

#if VANDREL_X86
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 sees the intrinsics' undefined upper halves as uninitialized.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <cstdint>

#define VANDREL_AVX512 \
  VANDREL_TARGET("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,popcnt")

namespace Vandrel {
namespace detail {

std::size_t ByteLengthAvx512(const char* s);
std::size_t Uni16LengthAvx512(const Uni16* s);

namespace {

// Permute indexes: each byte from the one before it; each unit from the one
// after it; the low bytes of two vectors of units.
struct Permutes {
  alignas(64) std::uint8_t index[64] = {};
  alignas(64) std::uint16_t nextUnit[32] = {};  // i + 1: the next unit
  alignas(64) std::uint8_t lowBytes[64] = {};   // the low bytes of two vectors of units
  constexpr Permutes() {
    for (int i = 0; i < 64; ++i) {
      index[i] = static_cast<std::uint8_t>((i + 63) & 63);
      lowBytes[i] = static_cast<std::uint8_t>(2 * i);
    }
    for (int i = 0; i < 32; ++i) nextUnit[i] = static_cast<std::uint16_t>((i + 1) & 31);
  }
};
constexpr Permutes kPermutes;

VANDREL_AVX512 inline __m512i Load512(const void* p) { return _mm512_loadu_si512(p); }
VANDREL_AVX512 inline void Store512(void* p, __m512i v) { _mm512_storeu_si512(p, v); }
VANDREL_AVX512 inline __m512i Splat(int v) { return _mm512_set1_epi16(static_cast<short>(v)); }
VANDREL_AVX512 inline __m512i Tables(const std::uint8_t (&t)[16]) {
  return _mm512_broadcast_i32x4(_mm_load_si128(reinterpret_cast<const __m128i*>(t)));
}

// Half 0 or 1 of x: its bytes widened to 16 bits, or its units to 32.
VANDREL_AVX512 inline __m512i WidenBytes(__m512i x, int half) {
  return _mm512_cvtepu8_epi16(half ? _mm512_extracti64x4_epi64(x, 1) : _mm512_castsi512_si256(x));
}
VANDREL_AVX512 inline __m512i WidenUnits(__m512i x, int half) {
  return _mm512_cvtepu16_epi32(half ? _mm512_extracti64x4_epi64(x, 1) : _mm512_castsi512_si256(x));
}

inline unsigned Count(std::uint64_t m) { return BitCount(m); }

// Whether 64 bytes that start at a character boundary hold no ill-formed
// sequence and no encoded surrogate, given masks of the bytes >= E0 and
// >= F0; a sequence cut off at the end is not looked at.
VANDREL_AVX512 inline bool Valid(__m512i v, std::uint64_t ge3, std::uint64_t ge4) {
  // What comes before the block counts as ASCII (0).
  const __m512i prev1 = _mm512_maskz_permutexvar_epi8(~1ull, Load512(kPermutes.index), v);
  const __m512i nibble = _mm512_set1_epi8(0x0F);
  const __m512i special = _mm512_ternarylogic_epi64(
      _mm512_shuffle_epi8(Tables(kUtf8Errors.byte1High),
                          _mm512_and_si512(_mm512_srli_epi16(prev1, 4), nibble)),
      _mm512_shuffle_epi8(Tables(kUtf8Errors.byte1Low), _mm512_and_si512(prev1, nibble)),
      _mm512_shuffle_epi8(Tables(kUtf8Errors.byte2High),
                          _mm512_and_si512(_mm512_srli_epi16(v, 4), nibble)),
      0x80);  // a & b & c
  // The second and third continuations show kTwoConts alone; anything else
  // is an error.
  const std::uint64_t must23 = (ge3 << 2) | (ge4 << 3);
  const __m512i expected = _mm512_maskz_mov_epi8(must23, _mm512_set1_epi8(static_cast<char>(0x80)));
  return _mm512_cmpneq_epi8_mask(special, expected) == 0;
}

// The unit in each 16-bit lane of a character starting with byte w0, w1
// and w2 being the next ones (all widened to 16 bits). lead2..lead4 mark the
// lanes of leads of each length, low the lanes that take the low surrogate
// of a four-byte character from its last two bytes (then in w1 and w2).
VANDREL_AVX512 inline __m512i Units(__m512i w0, __m512i w1, __m512i w2, std::uint32_t lead2,
                                    std::uint32_t lead3, std::uint32_t lead4, std::uint32_t low) {
  // bits 6..11 from w1, 0..5 from w2: the last two bytes' payload
  const __m512i t = _mm512_ternarylogic_epi64(Splat(0x0FC0), _mm512_slli_epi16(w1, 6), w2, 0xCA);
  // 110xxxxx 10yyyyyy: xxxxx from w0 at 6..10, yyyyyy from w1
  __m512i units = _mm512_mask_blend_epi16(
      lead2, w0, _mm512_ternarylogic_epi64(Splat(0x07C0), _mm512_slli_epi16(w0, 6), w1, 0xCA));
  units = _mm512_mask_blend_epi16(lead3, units, _mm512_or_si512(_mm512_slli_epi16(w0, 12), t));
  if (lead4 | low) {
    // high: D800 + (code point - 10000h) >> 10 = D7C0 + (w0 & 7) << 8 + t >> 4
    const __m512i high =
        _mm512_add_epi16(_mm512_ternarylogic_epi64(Splat(0x0700), _mm512_slli_epi16(w0, 8),
                                                   _mm512_srli_epi16(t, 4), 0xCA),
                         Splat(0xD7C0));
    units = _mm512_mask_blend_epi16(lead4, units, high);
    units = _mm512_mask_blend_epi16(
        low, units, _mm512_ternarylogic_epi64(t, Splat(0x3FF), Splat(0xDC00), 0xEA));
  }
  return units;
}

// Bit i: element i of the aligned 64 bytes at p is 0.
VANDREL_AVX512 VANDREL_NO_SANITIZE inline std::uint64_t Nul(const unsigned char* p) {
  const __m512i v = _mm512_load_si512(p);
  return _mm512_testn_epi8_mask(v, v);
}
VANDREL_AVX512 VANDREL_NO_SANITIZE inline std::uint64_t Nul(const Uni16* p) {
  const __m512i v = _mm512_load_si512(p);
  return _mm512_testn_epi16_mask(v, v);
}

// The first NUL at or after `from` in from's page, found = true; or, when
// the page holds none from there, the page's end, found = false. T is a byte
// or a unit (from then even). Aligned 64-byte loads never leave the page,
// so reading past the NUL inside it is harmless (as in every C library's
// strlen); the sanitizers would still call it an overflow, so the scans are
// exempt from them.
template <typename T>
VANDREL_AVX512 VANDREL_NO_SANITIZE const T* ScanPage(const T* from, bool& found) {
  const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(from);
  const auto* block = reinterpret_cast<const T*>(at & ~std::uintptr_t{63});
  const auto* const pageEnd = reinterpret_cast<const T*>((at | 4095) + 1);
  std::uint64_t nul = Nul(block) >> ((at & 63) / sizeof(T));
  found = true;
  if (nul != 0) return from + LowestBit(nul);
  for (block += 64 / sizeof(T); block < pageEnd; block += 64 / sizeof(T)) {
    nul = Nul(block);
    if (nul != 0) return block + LowestBit(nul);
  }
  found = false;
  return pageEnd;
}

// The start of a NUL-terminated text known to hold no NUL: [.., limit).
// Until the NUL is found (`measured`), Reach moves limit on a page at a time.
template <typename T>
struct Frontier {
  const T* limit;
  bool measured;
  // Whether the `need` elements from `at` hold no NUL, measuring as far as
  // that takes.
  VANDREL_AVX512 bool Reach(const T* at, std::ptrdiff_t need) {
    while (limit - at < need) {
      if (measured) return false;
      limit = ScanPage(limit, measured);
    }
    return true;
  }
};

}  // namespace

template <class Step>
VANDREL_AVX512 void DecodeBlocksAvx512(CStringBytes& src, Uni16*& qRef, Uni16* qend) {
  const unsigned char* p = src.p;
  // An unmeasured text is measured a page ahead of the blocks, in the same
  // pass.
  Frontier<unsigned char> text{src.end != nullptr ? src.end : p, src.end != nullptr};
  Uni16* q = qRef;
  // Per block: 66 bytes loaded, 64 units stored at most. The careful path
  // reads and writes a few more past the block (a character or a six-byte
  // encoded pair started in it).
  while (qend - q >= 80 && text.Reach(p, 80)) {
    const __m512i v = Load512(p);
    const std::uint64_t high = _mm512_movepi8_mask(v);
    if (high == 0) {
      Store512(q, _mm512_cvtepu8_epi16(_mm512_castsi512_si256(v)));
      Store512(q + 32, _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(v, 1)));
      q += 64;
      p += 64;
      continue;
    }
    const std::uint64_t ge2 = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xC0)));
    const std::uint64_t ge3 = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xE0)));
    const std::uint64_t ge4 = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xF0)));
    const std::uint64_t cont = high & ~ge2;
    // A character that runs past the block waits for the next one.
    // From the last three bytes read on their own: the next block's start
    // then waits for one short load, not for the vector compares.
    const unsigned size = p[61] >= 0xF0 ? 61 : p[62] >= 0xE0 ? 62 : p[63] >= 0xC0 ? 63 : 64;
    const std::uint64_t inside = size == 64 ? ~0ull : (1ull << size) - 1;
    bool valid;
    if (ge3 == 0) {
      // One and two bytes: each continuation right after a C2..DF lead.
      const std::uint64_t overlong =
          _mm512_cmple_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xC1))) & ge2;
      valid = overlong == 0 && (ge2 << 1) == cont;
    } else {
      valid = Valid(v, ge3, ge4);
    }
    if (!valid) {
      src.p = p;
      if (!DecodeCarefully<Step>(src, q, qend, p + 64)) {  // at most 69 units
        qRef = q;
        return;
      }
      p = src.p;
      continue;
    }
    const std::uint64_t keep = ~cont & inside;
    const std::uint64_t lead2 = ge2 & ~ge3;
    const __m512i v1 = Load512(p + 1);
    if (ge3 == 0) {
      // One and two bytes: a unit in every lane, then the lanes of
      // characters closed up.
      for (int half = 0; half < 2; ++half) {
        const std::uint32_t lanes = static_cast<std::uint32_t>(keep >> (32 * half));
        const __m512i units =
            Units(WidenBytes(v, half), WidenBytes(v1, half), _mm512_setzero_si512(),
                  static_cast<std::uint32_t>(lead2 >> (32 * half)), 0, 0, 0);
        Store512(q, _mm512_maskz_compress_epi16(lanes, units));
        q += Count(lanes);
      }
    } else {
      // Fewer characters than bytes: each one's bytes (lead, next, the one
      // after) are closed up first, so that its unit is computed in one lane
      // only. A four-byte character takes two lanes, the second from its
      // first continuation on.
      const std::uint64_t lead4 = ge4 & inside;
      const std::uint64_t lanes = keep | (lead4 << 1);
      const __m512i b0 = _mm512_maskz_compress_epi8(lanes, v);
      const __m512i b1 = _mm512_maskz_compress_epi8(lanes, v1);
      const __m512i b2 = _mm512_maskz_compress_epi8(lanes, Load512(p + 2));
      const std::uint64_t two = _pext_u64(lead2, lanes), three = _pext_u64(ge3 & ~ge4, lanes);
      const std::uint64_t four = _pext_u64(lead4, lanes), low = _pext_u64(lead4 << 1, lanes);
      const unsigned n = Count(lanes);
      for (int half = 0; half < 2 && 32 * half < static_cast<int>(n); ++half) {
        const int shift = 32 * half;
        Store512(q + shift, Units(WidenBytes(b0, half), WidenBytes(b1, half), WidenBytes(b2, half),
                                  static_cast<std::uint32_t>(two >> shift),
                                  static_cast<std::uint32_t>(three >> shift),
                                  static_cast<std::uint32_t>(four >> shift),
                                  static_cast<std::uint32_t>(low >> shift)));
      }
      q += n;
    }
    p += size;
  }
  text.Reach(p, 256);  // where the room ran out first: enough for the room left
  src.p = p;
  src.end = text.limit;  // the rest of an unmeasured text, if the room lasts, one at a time
  qRef = q;
  DecodeBlocksAvx2<Step>(src, qRef, qend);  // the last bytes, and short texts
}

namespace {

// Encodes from sRef while there is room, up to the text's limit when it is
// measured, else up to the NUL, found a page ahead of the blocks (sRef even).
template <class Step>
VANDREL_AVX512 inline void EncodeUpTo(const Uni16*& sRef, Frontier<Uni16> text, char*& qRef,
                                      const char* qend) {
  const Uni16* s = sRef;
  char* q = qRef;
  // Per block: 64 units read (33 on the paths that are not ASCII), 128
  // bytes stored at most.
  while (qend - q >= 128 && text.Reach(s, 65)) {
    const __m512i v = Load512(s);
    const __m512i v2 = Load512(s + 32);
    if (_mm512_test_epi16_mask(_mm512_or_si512(v, v2), Splat(0xFF80)) == 0) {
      Store512(q, _mm512_permutex2var_epi8(v, Load512(kPermutes.lowBytes), v2));
      q += 64;
      s += 64;
      continue;
    }
    const std::uint32_t beyond7 = _mm512_test_epi16_mask(v, Splat(0xFF80));
    const std::uint32_t beyond11 = _mm512_test_epi16_mask(v, Splat(0xF800));
    if (beyond11 == 0) {
      // One or two bytes a unit, in the unit's 16-bit lane: 110xxxxx 10yyyyyy.
      const __m512i two = _mm512_ternarylogic_epi64(
          _mm512_srli_epi16(v, 6), _mm512_slli_epi16(v, 8), Splat(0x3F00), 0xF8);  // a | (b & c)
      const __m512i bytes = _mm512_mask_blend_epi16(
          beyond7, v, _mm512_or_si512(two, Splat(static_cast<short>(0x80C0))));
      const std::uint64_t keep = _mm512_test_epi8_mask(bytes, bytes);
      Store512(q, _mm512_maskz_compress_epi8(keep, bytes));
      q += Count(keep);
      s += 32;
      continue;
    }
    const __m512i kind = _mm512_and_si512(v, Splat(0xFC00));
    const std::uint32_t highs = _mm512_cmpeq_epi16_mask(kind, Splat(0xD800));
    const std::uint32_t lows = _mm512_cmpeq_epi16_mask(kind, Splat(0xDC00));
    // Every low unit right after a high one; a high unit in the last lane
    // waits for the next block.
    const unsigned take = 32 - ((s[31] & 0xFC00) == 0xD800);  // read alone: s waits for less
    if (lows != (highs << 1)) {
      const Uni16* const stop = s + 32;
      while (s < stop) {
        const std::size_t taken = Step::Encode(s, text.limit, q, qend);  // at most 100 bytes
        if (Step::kStops && taken == 0) {
          sRef = s;
          qRef = q;
          return;
        }
        s += taken;
      }
      continue;
    }
    // The next unit in each lane, for the high half of a pair.
    const __m512i next = _mm512_permutexvar_epi16(Load512(kPermutes.nextUnit), v);
    const std::uint32_t two = beyond7 & ~beyond11, three = beyond11 & ~(highs | lows);
    for (int half = 0; half < 2; ++half) {
      const int shift = 16 * half;
      const __m512i u = WidenUnits(v, half);
      const __m512i x3F = _mm512_set1_epi32(0x3F);
      __m512i lane = u;
      if (two) {
        // 110xxxxx 10yyyyyy, lead in the low byte
        lane = _mm512_mask_blend_epi32(
            static_cast<std::uint16_t>(two >> shift), lane,
            _mm512_ternarylogic_epi32(_mm512_srli_epi32(u, 6),
                                      _mm512_slli_epi32(_mm512_and_si512(u, x3F), 8),
                                      _mm512_set1_epi32(0x80C0), 0xFE));
      }
      if (three) {
        // 1110xxxx 10yyyyyy 10zzzzzz
        lane = _mm512_mask_blend_epi32(
            static_cast<std::uint16_t>(three >> shift), lane,
            _mm512_or_si512(
                _mm512_ternarylogic_epi32(
                    _mm512_srli_epi32(u, 12),
                    _mm512_and_si512(_mm512_slli_epi32(u, 2), _mm512_set1_epi32(0x3F00)),
                    _mm512_slli_epi32(_mm512_and_si512(u, x3F), 16), 0xFE),
                _mm512_set1_epi32(0x8080E0)));
      }
      if (highs) {
        // A pair's four bytes in its high unit's lane, from the code point
        // (high's ten bits + 40h) << 10 | low's ten bits; its low unit's lane
        // gives none.
        const __m512i cp = _mm512_ternarylogic_epi32(
            _mm512_slli_epi32(_mm512_add_epi32(_mm512_and_si512(u, _mm512_set1_epi32(0x3FF)),
                                               _mm512_set1_epi32(0x40)),
                              10),
            WidenUnits(next, half), _mm512_set1_epi32(0x3FF), 0xF8);  // a | (b & c)
        const __m512i four = _mm512_or_si512(
            _mm512_ternarylogic_epi32(
                _mm512_srli_epi32(cp, 18),
                _mm512_and_si512(_mm512_srli_epi32(cp, 4), _mm512_set1_epi32(0x3F00)),
                _mm512_and_si512(_mm512_slli_epi32(cp, 10), _mm512_set1_epi32(0x3F0000)), 0xFE),
            _mm512_ternarylogic_epi32(_mm512_slli_epi32(cp, 24), _mm512_set1_epi32(0x3F000000),
                                      _mm512_set1_epi32(static_cast<int>(0x808080F0u)), 0xEA));
        lane = _mm512_mask_blend_epi32(static_cast<std::uint16_t>(highs >> shift), lane, four);
        lane = _mm512_maskz_mov_epi32(static_cast<std::uint16_t>(~(lows >> shift)), lane);
      }
      // A waiting high unit's lane is left out.
      const std::uint64_t usable = half && take == 31 ? ~0ull >> 4 : ~0ull;
      const std::uint64_t keep = _mm512_mask_test_epi8_mask(usable, lane, lane);
      Store512(q, _mm512_maskz_compress_epi8(keep, lane));
      q += Count(keep);
    }
    s += take;
  }
  text.Reach(s, 256);  // where the room ran out first: enough for the room left
  sRef = s;
  qRef = q;
  // The last units, and short texts; the rest of an unmeasured text, if the
  // room lasts, goes one character at a time.
  EncodeBlocksAvx2<Step>(sRef, text.limit, qRef, qend);
}

}  // namespace

template <class Step>
VANDREL_AVX512 void EncodeBlocksAvx512(const Uni16*& s, const Uni16* send, char*& q,
                                       const char* qend) {
  EncodeUpTo<Step>(s, {send, true}, q, qend);
}

VANDREL_AVX512 void EncodeStringAvx512(const Uni16*& s, char*& q, const char* qend) {
  if (reinterpret_cast<std::uintptr_t>(s) & 1) {  // units off their alignment
    EncodeUpTo<Lenient>(s, {s + Uni16LengthSse2(s), true}, q, qend);
  } else {
    EncodeUpTo<Lenient>(s, {s, false}, q, qend);
  }
}

// ---------------------------------------------------------------------------
// Scans and counts

VANDREL_AVX512 std::size_t ByteLengthAvx512(const char* s) {
  const auto* const start = reinterpret_cast<const unsigned char*>(s);
  const unsigned char* at = start;
  bool found = false;
  do at = ScanPage(at, found);
  while (!found);
  return static_cast<std::size_t>(at - start);
}

VANDREL_AVX512 std::size_t Uni16LengthAvx512(const Uni16* s) {
  if (reinterpret_cast<std::uintptr_t>(s) & 1)
    return Uni16LengthSse2(s);  // units off their alignment
  const Uni16* at = s;
  bool found = false;
  do at = ScanPage(at, found);
  while (!found);
  return static_cast<std::size_t>(at - s);
}

VANDREL_AVX512 std::size_t UTF8LengthAvx512(const Uni16* s, std::size_t n, std::size_t* units) {
  // A unit takes one byte, one more from 80h, one more from 800h; a pair
  // takes two less, counted at its high unit. A block holding a NUL is left
  // to the portable count, which stops there.
  std::size_t bytes = 0, i = 0;
  for (; n - i >= 33; i += 32) {
    const __m512i v = Load512(s + i);
    if (_mm512_testn_epi16_mask(v, v) != 0) break;
    const std::uint32_t beyond7 = _mm512_test_epi16_mask(v, Splat(0xFF80));
    if (beyond7 == 0) {
      bytes += 32;
      continue;
    }
    const std::uint32_t beyond11 = _mm512_test_epi16_mask(v, Splat(0xF800));
    const __m512i next = Load512(s + i + 1);
    const std::uint32_t pairs =
        _mm512_cmpeq_epi16_mask(_mm512_and_si512(v, Splat(0xFC00)), Splat(0xD800)) &
        _mm512_cmpeq_epi16_mask(_mm512_and_si512(next, Splat(0xFC00)), Splat(0xDC00));
    bytes += 32 + Count(beyond7) + Count(beyond11) - 2 * Count(pairs);
  }
  // A low unit there that ends a pair started in the blocks takes its 3
  // bytes as in the blocks (the pair's start took off 2).
  std::size_t rest = 0;
  const std::size_t tail = UTF8LengthPortable(s + i, n - i, &rest);
  *units = i + rest;
  return bytes + tail;
}

VANDREL_AVX512 std::size_t Uni16UnitsAvx512(const unsigned char* s, std::size_t n, bool* nul) {
  // One unit a byte that is not a continuation, two for a four-byte lead.
  std::size_t units = 0, i = 0;
  std::uint64_t zeros = 0;
  for (; n - i >= 64; i += 64) {
    const __m512i v = Load512(s + i);
    zeros |= _mm512_testn_epi8_mask(v, v);
    const std::uint64_t cont =
        _mm512_cmplt_epi8_mask(v, _mm512_set1_epi8(-64));  // 80..BF as signed bytes
    const std::uint64_t four = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xF0)));
    units += 64 - Count(cont) + Count(four);
  }
  units += Uni16UnitsPortable(s + i, n - i, nul);
  *nul = *nul || zeros != 0;
  return units;
}

// ---------------------------------------------------------------------------
// Single-byte code pages

namespace {

// Half 0 or 1 of 64 bytes as units: through the table's upper half (four
// registers of 32 entries) where `high` marks bytes 80..FF, `top` C0..FF.
VANDREL_AVX512 inline __m512i TableUnits(__m512i bytes, int half, const __m512i (&upper)[4],
                                         std::uint64_t high, std::uint64_t top) {
  const __m512i w = WidenBytes(bytes, half);
  const int shift = 32 * half;
  if (static_cast<std::uint32_t>(high >> shift) == 0) return w;
  // The low six bits of each byte pick one of 64 entries from two registers.
  const __m512i from80 = _mm512_permutex2var_epi16(upper[0], w, upper[1]);
  const __m512i fromC0 = _mm512_permutex2var_epi16(upper[2], w, upper[3]);
  return _mm512_mask_blend_epi16(
      static_cast<std::uint32_t>(high >> shift), w,
      _mm512_mask_blend_epi16(static_cast<std::uint32_t>(top >> shift), from80, fromC0));
}

}  // namespace

// 64 bytes a block: ASCII (and, for Latin-1, every byte) widened as it is;
// bytes 80..FF of a table looked up 32 at a time in its upper half, held in
// four registers. The last bytes go through masked loads and stores.
VANDREL_AVX512 int DecodeBytesAvx512(const unsigned char* s, std::size_t n,
                                     const DecodeTable* table, Uni16* dst, std::size_t capacity) {
  const std::size_t m = n < capacity - 1 ? n : capacity - 1;
  __m512i upper[4] = {};
  if (table != nullptr) {
    for (int k = 0; k < 4; ++k) upper[k] = Load512(table->unit + 128 + 32 * k);
  }
  for (std::size_t i = 0; i < m;) {
    const std::size_t left = m - i;
    const std::uint64_t take = left >= 64 ? ~0ull : (1ull << left) - 1;
    const __m512i v = _mm512_maskz_loadu_epi8(take, s + i);
    // Latin-1: no table, every byte as it is.
    const std::uint64_t high = table != nullptr ? _mm512_movepi8_mask(v) : 0;
    const std::uint64_t top = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xC0)));
    _mm512_mask_storeu_epi16(dst + i, static_cast<std::uint32_t>(take),
                             TableUnits(v, 0, upper, high, top));
    if (left > 32) {
      _mm512_mask_storeu_epi16(dst + i + 32, static_cast<std::uint32_t>(take >> 32),
                               TableUnits(v, 1, upper, high, top));
    }
    i += left >= 64 ? 64 : left;
  }
  dst[m] = 0;
  return m == n ? static_cast<int>(m) : -1;
}

constexpr KernelSet kAvx512Kernels = [] {
  KernelSet k{};
  k.name = "avx512";
  k.needs = kCpuAvx512F | kCpuAvx512Bw | kCpuAvx512Vl | kCpuAvx512Vbmi | kCpuAvx512Vbmi2 |
            kCpuAvx2 | kCpuBmi1 | kCpuBmi2 | kCpuPopcnt | kCpuSse41 | kCpuYmmSaved | kCpuZmmSaved;
  k.decodeBlocks = DecodeBlocksAvx512<Lenient>;
  k.encodeBlocks = EncodeBlocksAvx512<Lenient>;
  k.decodeStrict = DecodeBlocksAvx512<Strict>;
  k.encodeStrict = EncodeBlocksAvx512<Strict>;
  k.encodeString = EncodeStringAvx512;
  k.byteLength = ByteLengthAvx512;
  k.unitLength = Uni16LengthAvx512;
  k.utf8Length = UTF8LengthAvx512;
  k.uni16Units = Uni16UnitsAvx512;
  k.decodeBytes = DecodeBytesAvx512;
  return k;
}();

}  // namespace detail
}  // namespace Vandrel

#endif  // VANDREL_X86
