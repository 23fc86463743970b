// The x86 kernels of the UTF-8 coder: SSE4.1 block loops for both
// directions (chosen at run time, so the library still loads on processors
// without SSE4.1) and SSE2 counts.
//
// Why they exist: on the 1 MiB texts of bench/ (Release, one run on a
// shared two-core Xeon) they convert 1.3-5 times faster than the portable
// loops of UtfPortable.cpp, which move only ASCII in blocks. Decode and
// encode, portable time over kernel time: ASCII 2.1 and 3.3, Latin 4.2 and
// 4.9, CJK 2.3 and 5.1, emoji 1.3 and 2.2. Every kernel is checked against
// the scalar coder (tests/vandrel, the fuzzer), and the VANDREL_PORTABLE
// build runs the same tests on the portable path alone.
#include "CodePages.h"
#include "Cpu.h"
#include "Kernels.h"
#include "ShuffleRows.h"
#include "Utf8Errors.h"
#include "UtfCoder.h"

#if VANDREL_X86
#include <immintrin.h>

#include <cstdint>
#include <cstring>

namespace Vandrel {
namespace detail {
namespace {

// Shuffle tables for the SSE loops, built at compile time.
//
// Decoding looks at the first 12 bytes of a validated 16-byte block. Bit k of
// its index says that byte k ends a character; the entry gives a pattern and
// the bytes consumed. Patterns 0..63 gather six characters of one or two
// bytes into 16-bit lanes (last byte low, lead high); 64..144 gather four of
// one to three bytes into 32-bit lanes (last byte lowest); 145..208 gather
// three of one to four bytes the same way.
//
// Decoding closes up three 32-bit lanes of one unit (bit j clear) or two
// with close3.
//
// Encoding packs eight units of one or two bytes each, or four units of one
// to three bytes, with ShuffleRows.h's rows; so are the 16-bit lanes of a
// block of one- and two-byte characters closed up.
struct SimdTables {
  std::uint8_t pattern[4096] = {};
  std::uint8_t consumed[4096] = {};
  std::int8_t gather[209][16] = {};
  std::int8_t close3[8][16] = {};

  constexpr SimdTables() {
    for (int id = 0; id < 209; ++id) {
      int lengths[6] = {};
      int count = 0, lane = 0;
      if (id < 64) {
        count = 6, lane = 2;
        for (int j = 0; j < 6; ++j) lengths[j] = 1 + ((id >> j) & 1);
      } else if (id < 145) {
        count = 4, lane = 4;
        for (int j = 0, t = id - 64; j < 4; ++j, t /= 3) lengths[j] = 1 + t % 3;
      } else {
        count = 3, lane = 4;
        for (int j = 0, t = id - 145; j < 3; ++j, t /= 4) lengths[j] = 1 + t % 4;
      }
      for (int k = 0; k < 16; ++k) gather[id][k] = -1;
      for (int j = 0, start = 0; j < count; start += lengths[j], ++j) {
        const int last = start + lengths[j] - 1;
        for (int k = 0; k < lengths[j] && k < lane; ++k) {
          gather[id][j * lane + k] = static_cast<std::int8_t>(last - k);
        }
      }
    }
    for (int mask = 0; mask < 4096; ++mask) {
      int lengths[12] = {};
      int count = 0;
      for (int k = 0, start = 0; k < 12; ++k) {
        if (mask & (1 << k)) {
          lengths[count++] = k + 1 - start;
          start = k + 1;
        }
      }
      auto fits = [&](int n, int most) {
        if (count < n) return false;
        for (int j = 0; j < n; ++j) {
          if (lengths[j] > most) return false;
        }
        return true;
      };
      int id = 255, n = 0;
      if (fits(6, 2)) {
        id = 0, n = 6;
        for (int j = 0; j < 6; ++j) id |= (lengths[j] - 1) << j;
      } else if (fits(4, 3)) {
        id = 0, n = 4;
        for (int j = 3; j >= 0; --j) id = id * 3 + lengths[j] - 1;
        id += 64;
      } else if (fits(3, 4)) {
        id = 0, n = 3;
        for (int j = 2; j >= 0; --j) id = id * 4 + lengths[j] - 1;
        id += 145;
      }
      int used = 0;
      for (int j = 0; j < n; ++j) used += lengths[j];
      pattern[mask] = static_cast<std::uint8_t>(id);
      consumed[mask] = static_cast<std::uint8_t>(used);
    }
    for (int m = 0; m < 8; ++m) {
      ShuffleRow(close3[m], 3, 4, [m](int j) { return (m >> j) & 1 ? 4 : 2; });
    }
  }
};
constexpr SimdTables kSimd;

}  // namespace

inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void Store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

// Whether 16 bytes that start at a character boundary hold no ill-formed
// sequence and no encoded surrogate; a sequence cut off at the end is not
// looked at (the tables are Utf8Errors.h's).
VANDREL_SSE41 inline bool Utf8BlockValid(__m128i v) {
  const __m128i byte1High = Load(kUtf8Errors.byte1High);
  const __m128i byte1Low = Load(kUtf8Errors.byte1Low);
  const __m128i byte2High = Load(kUtf8Errors.byte2High);
  const __m128i nibble = _mm_set1_epi8(0x0F);
  // The block starts at a boundary, so what comes before it counts as ASCII.
  const __m128i prev1 = _mm_slli_si128(v, 1);
  const __m128i special = _mm_and_si128(
      _mm_and_si128(_mm_shuffle_epi8(byte1High, _mm_and_si128(_mm_srli_epi16(prev1, 4), nibble)),
                    _mm_shuffle_epi8(byte1Low, _mm_and_si128(prev1, nibble))),
      _mm_shuffle_epi8(byte2High, _mm_and_si128(_mm_srli_epi16(v, 4), nibble)));
  const __m128i third = _mm_subs_epu8(_mm_slli_si128(v, 2), _mm_set1_epi8(0xE0 - 0x80));
  const __m128i fourth = _mm_subs_epu8(_mm_slli_si128(v, 3), _mm_set1_epi8(0xF0 - 0x80));
  const __m128i must23 =
      _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(static_cast<char>(0x80)));
  const __m128i error = _mm_xor_si128(must23, special);
  return _mm_testz_si128(error, error) != 0;
}

template <class Step>
VANDREL_SSE41 void DecodeBlocksSse41(CStringBytes& src, Uni16*& q, Uni16* qend) {
  const __m128i zero = _mm_setzero_si128();
  // Per block: 16 bytes loaded (the careful path reads on up to the
  // terminator at most), 22 units written. Short texts gain from going on
  // while a single load still fits.
  while (src.end - src.p >= 16 && qend - q >= 32) {
    const __m128i v = Load(src.p);
    const unsigned topBit = static_cast<unsigned>(_mm_movemask_epi8(v));
    if (topBit == 0) {
      Store(q, _mm_unpacklo_epi8(v, zero));
      Store(q + 8, _mm_unpackhi_epi8(v, zero));
      q += 16;
      src.p += 16;
      continue;
    }
    // Bytes 0x80..0xBF, as signed bytes, are those below -64.
    const unsigned continuation =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(-64))));
    // Latin and the like: only one- and two-byte characters. The block is
    // well formed when the continuations are exactly the bytes after a lead
    // (a lead in the last byte is left for the next block) and every lead is
    // C2..DF. Each lead and its continuation make one unit in the lead's
    // 16-bit lane, and the lanes of continuations are closed up, eight lanes
    // at a time. The pattern lookup, which the general path needs anyway,
    // tells whether the first bytes hold such characters, so other text pays
    // one test.
    const unsigned ends = (~continuation >> 1) & 0xFFF;
    const unsigned id = kSimd.pattern[ends];
    const unsigned lead = topBit & ~continuation;
    if (id < 64 && ((lead << 1) & 0xFFFF) == continuation) {
      // Less 0x42, C2..DF are the 30 lowest signed bytes.
      const __m128i twoByteLead =
          _mm_cmplt_epi8(_mm_sub_epi8(v, _mm_set1_epi8(0x42)), _mm_set1_epi8(-98));
      if (static_cast<unsigned>(_mm_movemask_epi8(twoByteLead)) == lead) {
        // Each lane: the byte in the high half, the next one in the low half.
        // For a lead, (lead - C0) * 64 + (continuation - 80) is the unit;
        // ASCII lanes take their byte as it is.
        const __m128i next = _mm_srli_si128(v, 1);
        const __m128i scale = _mm_set1_epi16(0x4001);
        const __m128i bias = _mm_set1_epi16(0x3080);
        const __m128i pairsLo = _mm_unpacklo_epi8(next, v);
        const __m128i pairsHi = _mm_unpackhi_epi8(next, v);
        const __m128i unitsLo = _mm_blendv_epi8(
            _mm_unpacklo_epi8(v, zero), _mm_sub_epi16(_mm_maddubs_epi16(pairsLo, scale), bias),
            _mm_srai_epi16(pairsLo, 15));
        const __m128i unitsHi = _mm_blendv_epi8(
            _mm_unpackhi_epi8(v, zero), _mm_sub_epi16(_mm_maddubs_epi16(pairsHi, scale), bias),
            _mm_srai_epi16(pairsHi, 15));
        const unsigned cut = lead >> 15;  // 1 when the last byte is a lead
        const unsigned keep = ~continuation & (0xFFFFu >> cut);
        const unsigned keepLo = keep & 0xFF, keepHi = keep >> 8;
        Store(q, _mm_shuffle_epi8(unitsLo, Load(kShuffleRows.keep16[keepLo])));
        q += kShuffleRows.keep16Length[keepLo];
        Store(q, _mm_shuffle_epi8(unitsHi, Load(kShuffleRows.keep16[keepHi])));
        q += kShuffleRows.keep16Length[keepHi];
        src.p += 16 - cut;
        continue;
      }
    }
    if (id == 255 || !Utf8BlockValid(v)) {
      // Ill-formed input or encoded surrogates: one careful block.
      if (!DecodeCarefully<Step>(src, q, qend, src.p + 16)) return;
      continue;
    }
    const __m128i gathered = _mm_shuffle_epi8(v, Load(kSimd.gather[id]));
    const __m128i low7 = _mm_and_si128(gathered, _mm_set1_epi32(0x7F));
    if (id < 64) {
      const __m128i high = _mm_and_si128(gathered, _mm_set1_epi16(0x1F00));
      Store(q,
            _mm_or_si128(_mm_and_si128(gathered, _mm_set1_epi16(0x7F)), _mm_srli_epi16(high, 2)));
      q += 6;
    } else if (id < 145) {
      const __m128i middle = _mm_srli_epi32(_mm_and_si128(gathered, _mm_set1_epi32(0x3F00)), 2);
      const __m128i high = _mm_srli_epi32(_mm_and_si128(gathered, _mm_set1_epi32(0x0F0000)), 4);
      const __m128i cps = _mm_or_si128(_mm_or_si128(low7, middle), high);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(q), _mm_packus_epi32(cps, cps));
      q += 4;
    } else {
      const __m128i middle = _mm_srli_epi32(_mm_and_si128(gathered, _mm_set1_epi32(0x3F00)), 2);
      // Byte 2 is a continuation (six bits) or a three-byte lead (four): the
      // lead's bit 6 tells, and cancels its bit 5.
      __m128i third = _mm_and_si128(gathered, _mm_set1_epi32(0x3F0000));
      third = _mm_xor_si128(third,
                            _mm_srli_epi32(_mm_and_si128(gathered, _mm_set1_epi32(0x400000)), 1));
      const __m128i high = _mm_srli_epi32(_mm_and_si128(gathered, _mm_set1_epi32(0x07000000)), 6);
      const __m128i cps =
          _mm_or_si128(_mm_or_si128(low7, middle), _mm_or_si128(_mm_srli_epi32(third, 4), high));
      // Characters above U+FFFF become a pair in their lane (high unit
      // first); then the lanes are closed up.
      const __m128i pair = _mm_cmpgt_epi32(cps, _mm_set1_epi32(0xFFFF));
      const __m128i offset = _mm_sub_epi32(cps, _mm_set1_epi32(0x10000));
      const __m128i units = _mm_or_si128(
          _mm_or_si128(_mm_srli_epi32(offset, 10), _mm_set1_epi32(static_cast<int>(0xDC00D800u))),
          _mm_slli_epi32(_mm_and_si128(offset, _mm_set1_epi32(0x3FF)), 16));
      const unsigned m = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(pair))) & 7;
      Store(q, _mm_shuffle_epi8(_mm_blendv_epi8(cps, units, pair), Load(kSimd.close3[m])));
      q += 3 + ((m & 1) + (m >> 1 & 1) + (m >> 2));
    }
    src.p += kSimd.consumed[ends];
  }
}

// Eight units as UTF-8, stored at q. Each 16-bit lane of `first` holds the
// first two bytes of its unit's encoding (lead in the low byte), `third` the
// third byte; `oneByte` marks ASCII lanes and `threeBytes` the lanes that take
// three bytes. Surrogate halves take two bytes each.
VANDREL_SSE41 inline void PackEight(__m128i first, __m128i third, __m128i oneByte,
                                    __m128i threeBytes, char*& q) {
  const __m128i zero = _mm_setzero_si128();
  if (_mm_testz_si128(threeBytes, threeBytes)) {
    // One or two bytes a unit: close up the 16-bit lanes with one shuffle.
    const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(oneByte, zero)));
    Store(q, _mm_shuffle_epi8(first, Load(kShuffleRows.pack12[m])));
    q += kShuffleRows.pack12Length[m];
    return;
  }
  // Up to three bytes a unit: widen to 32-bit lanes and close up each half.
  // The movemasks give two equal bits a lane, so masking every other bit and
  // adding leaves the byte count less one in bits 2j..2j+1 of unit j.
  const unsigned counts =
      (static_cast<unsigned>(_mm_movemask_epi8(_mm_xor_si128(oneByte, _mm_set1_epi8(-1)))) &
       0x5555u) +
      (static_cast<unsigned>(_mm_movemask_epi8(threeBytes)) & 0x5555u);
  const unsigned lo = counts & 0xFF, hi = counts >> 8;
  Store(q, _mm_shuffle_epi8(_mm_unpacklo_epi16(first, third), Load(kShuffleRows.pack123[lo])));
  q += kShuffleRows.pack123Length[lo];
  Store(q, _mm_shuffle_epi8(_mm_unpackhi_epi16(first, third), Load(kShuffleRows.pack123[hi])));
  q += kShuffleRows.pack123Length[hi];
}

template <class Step>
VANDREL_SSE41 void EncodeBlocksSse41(const Uni16*& sRef, const Uni16* send, char*& qRef,
                                     const char* qend) {
  // Local copies: the stores through q could otherwise alias the references,
  // which would keep both pointers in memory.
  const Uni16* s = sRef;
  char* q = qRef;
  const __m128i zero = _mm_setzero_si128();
  const __m128i x3F = _mm_set1_epi16(0x3F);
  // Per block: at most 16 units read, 24 bytes written (28 stored).
  while (send - s >= 9 && qend - q >= 32) {
    const __m128i v = Load(s);
    // Sixteen ASCII units at once, so that running text with an accent now
    // and then mostly takes one path below. (Near the end, eight ASCII units
    // take the path for one or two bytes.)
    if (send - s >= 16) {
      const __m128i v2 = Load(s + 8);
      if (_mm_testz_si128(_mm_or_si128(v, v2), _mm_set1_epi16(-0x80))) {
        Store(q, _mm_packus_epi16(v, v2));
        q += 16;
        s += 16;
        continue;
      }
    }
    const __m128i oneByte = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x80)), zero);
    const __m128i upToTwo = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(-0x800)), zero);
    const __m128i last = _mm_and_si128(v, x3F);
    // Two bytes: 110xxxxx 10xxxxxx.
    const __m128i two =
        _mm_or_si128(_mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(static_cast<short>(0x80C0))),
                     _mm_slli_epi16(last, 8));
    if (_mm_movemask_epi8(upToTwo) == 0xFFFF) {
      PackEight(_mm_blendv_epi8(two, v, oneByte), zero, oneByte, zero, q);
      s += 8;
      continue;
    }
    // Three bytes: 1110xxxx 10xxxxxx, then 10xxxxxx.
    __m128i first = _mm_or_si128(
        _mm_or_si128(_mm_srli_epi16(v, 12), _mm_set1_epi16(static_cast<short>(0x80E0))),
        _mm_and_si128(_mm_slli_epi16(v, 2), _mm_set1_epi16(0x3F00)));
    const __m128i third = _mm_or_si128(last, _mm_set1_epi16(0x80));
    first = _mm_blendv_epi8(_mm_blendv_epi8(first, two, upToTwo), v, oneByte);
    const __m128i kind = _mm_and_si128(v, _mm_set1_epi16(-0x400));
    const __m128i high = _mm_cmpeq_epi16(kind, _mm_set1_epi16(static_cast<short>(0xD800)));
    const __m128i low = _mm_cmpeq_epi16(kind, _mm_set1_epi16(static_cast<short>(0xDC00)));
    const __m128i halves = _mm_or_si128(high, low);
    if (_mm_testz_si128(halves, halves)) {
      PackEight(first, third, oneByte, _mm_xor_si128(upToTwo, _mm_set1_epi8(-1)), q);
      s += 8;
      continue;
    }
    // Pairs: every low unit right after a high one. A high unit in the last
    // lane waits for the next block; then a block never starts with a low.
    const __m128i unpaired = _mm_xor_si128(low, _mm_slli_si128(high, 2));
    if (!_mm_testz_si128(unpaired, unpaired)) {
      const Uni16* const stop = s + 8;
      while (s < stop) {
        const std::size_t taken = Step::Encode(s, send, q, qend);  // at most 28 bytes
        if (Step::kStops && taken == 0) {
          sRef = s;
          qRef = q;
          return;
        }
        s += taken;
      }
      continue;
    }
    // A pair is U+10000 + (high - D800) * 400h + (low - DC00). The high unit
    // gives the first two bytes, from h = (high & 3FF) + 40h:
    // 11110hhh 10hhhhhh; the low one the last two, from the high's two low
    // bits and its own ten: 10hhllll 10llllll.
    const __m128i h = _mm_add_epi16(_mm_and_si128(v, _mm_set1_epi16(0x3FF)), _mm_set1_epi16(0x40));
    const __m128i highBytes =
        _mm_or_si128(_mm_or_si128(_mm_srli_epi16(h, 8), _mm_set1_epi16(static_cast<short>(0x80F0))),
                     _mm_and_si128(_mm_slli_epi16(h, 6), _mm_set1_epi16(0x3F00)));
    const __m128i lowBytes = _mm_or_si128(
        _mm_or_si128(_mm_slli_epi16(_mm_and_si128(_mm_slli_si128(v, 2), _mm_set1_epi16(3)), 4),
                     _mm_and_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(0xF))),
        _mm_or_si128(_mm_slli_epi16(last, 8), _mm_set1_epi16(static_cast<short>(0x8080))));
    first = _mm_blendv_epi8(_mm_blendv_epi8(first, highBytes, high), lowBytes, low);
    // A waiting unit is encoded as one byte, which is then taken back.
    const bool waits = (s[7] & 0xFC00) == 0xD800;
    const __m128i waiting = _mm_and_si128(high, _mm_setr_epi16(0, 0, 0, 0, 0, 0, 0, -1));
    PackEight(
        first, third, _mm_or_si128(oneByte, waiting),
        _mm_andnot_si128(_mm_or_si128(upToTwo, _mm_or_si128(halves, waiting)), _mm_set1_epi8(-1)),
        q);
    q -= waits;
    s += 8 - waits;
  }
  sRef = s;
  qRef = q;
}

// ---------------------------------------------------------------------------
// Counts (SSE2, part of every x86-64 processor)

// Sixteen bytes at a time from an aligned address: such a load never crosses
// into another page, so reading past the terminator inside it is harmless
// (the same reasoning as every C library's strlen). The sanitizers would
// still call it an overflow, so this one function is exempt from them.
VANDREL_NO_SANITIZE std::size_t Uni16LengthSse2(const Uni16* s) {
  const Uni16* p = s;
  while (reinterpret_cast<std::uintptr_t>(p) & 15) {
    if (*p == 0) return static_cast<std::size_t>(p - s);
    ++p;
  }
  const __m128i zero = _mm_setzero_si128();
  for (;; p += 8) {
    const int nul = _mm_movemask_epi8(
        _mm_cmpeq_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(p)), zero));
    if (nul != 0)
      return static_cast<std::size_t>(p - s) +
             static_cast<std::size_t>(LowestBit(static_cast<unsigned>(nul))) / 2;
  }
}

namespace {

// The sum of the 16-bit lanes of v, as signed numbers.
inline std::int64_t SumLanes16(__m128i v) {
  const __m128i pairs = _mm_madd_epi16(v, _mm_set1_epi16(1));
  const __m128i quads = _mm_add_epi32(pairs, _mm_shuffle_epi32(pairs, 0x4E));
  const __m128i all = _mm_add_epi32(quads, _mm_shuffle_epi32(quads, 0xB1));
  return _mm_cvtsi128_si32(all);
}

}  // namespace

std::size_t UTF8LengthSse2(const Uni16* s, std::size_t n, std::size_t* units) {
  // Sixteen units a block. ASCII blocks take a byte a unit. Others take 3
  // bytes a unit, less one for each unit below 800h and one more below 80h,
  // less two for each unit that starts a pair: the 16-bit lanes of `acc`
  // gather those corrections, at most -8 a block, summed every 2048 blocks.
  // A block holding a NUL is left to the portable count, which stops there.
  const __m128i ascii = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i two = _mm_set1_epi16(static_cast<short>(0xF800));
  const __m128i kind = _mm_set1_epi16(static_cast<short>(0xFC00));
  const __m128i high = _mm_set1_epi16(static_cast<short>(0xD800));
  const __m128i low = _mm_set1_epi16(static_cast<short>(0xDC00));
  const __m128i zero = _mm_setzero_si128();
  std::int64_t bytes = 0;
  std::size_t i = 0;
  bool nul = false;
  while (!nul && n - i >= 17) {
    __m128i acc = zero;
    for (int k = 0; k < 2048 && n - i >= 17; ++k) {
      const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 8));
      if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v1, zero), _mm_cmpeq_epi16(v2, zero)))) {
        nul = true;
        break;
      }
      const __m128i top = _mm_and_si128(_mm_or_si128(v1, v2), ascii);
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(top, zero)) == 0xFFFF) {
        bytes += 16;
        i += 16;
        continue;
      }
      for (const __m128i v : {v1, v2}) {
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 1));
        const __m128i below80 = _mm_cmpeq_epi16(_mm_and_si128(v, ascii), zero);
        const __m128i below800 = _mm_cmpeq_epi16(_mm_and_si128(v, two), zero);
        const __m128i pair = _mm_and_si128(_mm_cmpeq_epi16(_mm_and_si128(v, kind), high),
                                           _mm_cmpeq_epi16(_mm_and_si128(next, kind), low));
        acc = _mm_add_epi16(
            acc, _mm_add_epi16(_mm_add_epi16(below80, below800), _mm_add_epi16(pair, pair)));
        bytes += 24;
        i += 8;
      }
    }
    bytes += SumLanes16(acc);
  }
  // The rest one unit at a time. A low unit there that ends a pair started
  // in the blocks takes its 3 bytes as in the blocks (the pair's start took
  // off 2).
  std::size_t rest = 0;
  const std::size_t tail = UTF8LengthPortable(s + i, n - i, &rest);
  *units = i + rest;
  return static_cast<std::size_t>(bytes) + tail;
}

std::size_t Uni16UnitsSse2(const unsigned char* s, std::size_t n, bool* nul) {
  // A byte above BFh as signed is above -65; F0h and up are their own max
  // with F0h. Each block adds at most 2 to an 8-bit lane: summed every 127.
  const __m128i contMax = _mm_set1_epi8(-65);
  const __m128i four = _mm_set1_epi8(static_cast<char>(0xF0));
  const __m128i zero = _mm_setzero_si128();
  std::size_t units = 0;
  std::size_t i = 0;
  __m128i zeros = zero;
  while (n - i >= 16) {
    __m128i acc = zero;
    for (int k = 0; k < 127 && n - i >= 16; ++k, i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      zeros = _mm_or_si128(zeros, _mm_cmpeq_epi8(v, zero));
      const __m128i lead = _mm_cmpgt_epi8(v, contMax);
      const __m128i big = _mm_cmpeq_epi8(_mm_max_epu8(v, four), v);
      acc = _mm_sub_epi8(_mm_sub_epi8(acc, lead), big);
    }
    const __m128i sums = _mm_sad_epu8(acc, zero);
    units += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }
  units += Uni16UnitsPortable(s + i, n - i, nul);
  *nul = *nul || _mm_movemask_epi8(zeros) != 0;
  return units;
}

template void DecodeBlocksSse41<Lenient>(CStringBytes&, Uni16*&, Uni16*);
template void DecodeBlocksSse41<Strict>(CStringBytes&, Uni16*&, Uni16*);
template void EncodeBlocksSse41<Lenient>(const Uni16*&, const Uni16*, char*&, const char*);
template void EncodeBlocksSse41<Strict>(const Uni16*&, const Uni16*, char*&, const char*);

constexpr KernelSet kSse41Kernels = [] {
  KernelSet k{};
  k.name = "sse41";
  k.needs = kCpuSse41;
  k.decodeBlocks = DecodeMeasured<DecodeBlocksSse41<Lenient>, ByteLengthPortable>;
  k.encodeBlocks = EncodeBlocksSse41<Lenient>;
  k.encodeString = EncodeMeasured<EncodeBlocksSse41<Lenient>, Uni16LengthSse2>;
  k.decodeStrict = DecodeBlocksSse41<Strict>;
  k.encodeStrict = EncodeBlocksSse41<Strict>;
  k.byteLength = ByteLengthPortable;
  k.unitLength = Uni16LengthSse2;
  k.utf8Length = UTF8LengthSse2;
  k.uni16Units = Uni16UnitsSse2;
  k.decodeBytes = DecodeBytes16;
  return k;
}();

}  // namespace detail
}  // namespace Vandrel

#endif  // VANDREL_X86
