// The AVX2 kernels of the UTF-8 coder: 32-byte block loops for both
// directions, 32-byte scans and counts.
//
// Decoding judges a 32-byte block at once. ASCII is widened as it is. A block
// of one- and two-byte characters is known well formed from its lead and
// continuation bits alone; any other block is validated (Keiser and Lemire,
// "Validating UTF-8 in less than one instruction per byte", 2021). Then every
// byte position that ends a character computes its unit from itself and the
// three bytes before it, as a low and a high byte; the third byte of a
// four-byte character gives the high surrogate, the fourth the low one. The
// other positions are dropped with one shuffle per eight 16-bit lanes.
//
// Encoding takes 32 ASCII units, or 32 units of one or two bytes, at once;
// otherwise sixteen units. Units of one or two bytes, and the halves of a
// pair (two bytes each), are closed up in 16-bit lanes, eight a shuffle; with
// three-byte units among them, in 32-bit lanes, four a shuffle (after Lemire
// and Mula, "Transcoding billions of Unicode characters per second with SIMD
// instructions", 2022).
//
// Blocks with ill-formed bytes or encoded surrogates (decoding) or unpaired
// surrogates (encoding) go through the scalar coder, and so do the last bytes,
// after the SSE4.1 loops have taken what they can of them.
//
// Why they exist: on the 1 MiB texts of bench/ (Release, medians of three
// interleaved runs on a shared two-core Xeon) they convert 1.2-2.3 times
// faster than the SSE4.1 kernels. Decode and encode, SSE4.1 time over AVX2
// time: ASCII 1.7 and 1.2, Latin 1.9 and 2.1, CJK 1.8 and 1.7, emoji 2.3 and
// 1.5; on the 64-byte texts 1.05 to 2.1.
#include "CodePages.h"
#include "Cpu.h"
#include "Kernels.h"
#include "ShuffleRows.h"
#include "Utf8Errors.h"
#include "UtfCoder.h"

#if VANDREL_X86
#include <immintrin.h>

#include <cstdint>

namespace Vandrel {
namespace detail {
namespace {

VANDREL_AVX2 inline __m256i Load32(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
VANDREL_AVX2 inline void Store32(void* p, __m256i v) {
  _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}
VANDREL_AVX2 inline void Store16(void* p, __m128i v) {
  _mm_storeu_si128(static_cast<__m128i*>(p), v);
}
VANDREL_AVX2 inline __m256i Bytes(int b) { return _mm256_set1_epi8(static_cast<char>(b)); }
VANDREL_AVX2 inline __m256i Units(int u) { return _mm256_set1_epi16(static_cast<short>(u)); }
VANDREL_AVX2 inline unsigned Mask(__m256i v) {
  return static_cast<unsigned>(_mm256_movemask_epi8(v));
}

// Two shuffle rows, one per 128-bit half.
VANDREL_AVX2 inline __m256i Rows(const std::int8_t (&low)[16], const std::int8_t (&high)[16]) {
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(low));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(high));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}

// The bytes of v moved N places up, across the halves; zeros come in.
template <int N>
VANDREL_AVX2 inline __m256i ShiftUp(__m256i v) {
  return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, v, 0x08), 16 - N);
}

// Whether 32 bytes that start at a character boundary hold no ill-formed
// sequence and no encoded surrogate. prev1 is the block moved a byte up;
// `later` has its top bit set in the bytes two after a lead E0..FF or three
// after F0..FF. A sequence cut off at the end is not looked at (the tables
// are Utf8Errors.h's).
VANDREL_AVX2 inline bool BlockValid(__m256i v, __m256i prev1, __m256i later, __m256i nibble,
                                    __m256i x80) {
  const auto table = [](const std::uint8_t(&t)[16]) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(t));
  };
  const __m256i byte1High = _mm256_broadcastsi128_si256(table(kUtf8Errors.byte1High));
  const __m256i byte1Low = _mm256_broadcastsi128_si256(table(kUtf8Errors.byte1Low));
  const __m256i byte2High = _mm256_broadcastsi128_si256(table(kUtf8Errors.byte2High));
  const __m256i special = _mm256_and_si256(
      _mm256_and_si256(
          _mm256_shuffle_epi8(byte1High, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), nibble)),
          _mm256_shuffle_epi8(byte1Low, _mm256_and_si256(prev1, nibble))),
      _mm256_shuffle_epi8(byte2High, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
  const __m256i error = _mm256_xor_si256(_mm256_and_si256(later, x80), special);
  return _mm256_testz_si256(error, error) != 0;
}

// An 8-bit constant in all lanes.
struct alignas(32) Splat8 {
  std::uint8_t bytes[32] = {};
  constexpr explicit Splat8(unsigned b) {
    for (std::uint8_t& x : bytes) x = static_cast<std::uint8_t>(b);
  }
};

// The decoder's constants (see EncodeConstants).
struct DecodeConstants {
  Splat8 x0f{0x0F}, x60{0x60}, x70{0x70}, x80{0x80}, xc0{0xC0}, xc2{0xC2}, xf0{0xF0}, xdc{0xDC},
      x03{0x03}, x30{0x30}, x40{0x40}, x07{0x07}, xd8{0xD8};
};
constexpr DecodeConstants kDecodeConstants;

// A 16-bit constant in all lanes.
struct alignas(32) Splat16 {
  std::uint16_t units[16] = {};
  constexpr explicit Splat16(unsigned u) {
    for (std::uint16_t& x : units) x = static_cast<std::uint16_t>(u);
  }
};

// The encoder's constants. Like the decoder's, they are loaded from memory as
// operands (see Hidden), which costs less than rebuilding them from
// immediates every round and needs no registers or setup for short texts.
struct EncodeConstants {
  Splat16 ff80{0xFF80}, f800{0xF800}, d800{0xD800}, dc00{0xDC00}, fc00{0xFC00}, x3f{0x3F},
      x80{0x80}, x80c0{0x80C0}, x80e0{0x80E0}, x3f00{0x3F00}, x3ff{0x3FF}, x40{0x40}, x80f0{0x80F0},
      x3{0x3}, xf{0xF}, x8080{0x8080};
};
constexpr EncodeConstants kEncodeConstants;

VANDREL_AVX2 inline __m256i Get(const Splat8& c) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c.bytes));
}
VANDREL_AVX2 inline __m256i Get(const Splat16& c) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c.units));
}

// Stores the units of the positions set in `keep`: position i's unit has its
// low byte in byte i of lo and its high byte in byte i of hi.
VANDREL_AVX2 inline void StoreKept(__m256i lo, __m256i hi, unsigned keep, Uni16*& q) {
  // Lanes 0-7 and 16-23, then 8-15 and 24-31.
  const __m256i units0 = _mm256_unpacklo_epi8(lo, hi);
  const __m256i units1 = _mm256_unpackhi_epi8(lo, hi);
  const unsigned k0 = keep & 0xFF, k1 = (keep >> 8) & 0xFF, k2 = (keep >> 16) & 0xFF,
                 k3 = keep >> 24;
  const __m256i kept0 =
      _mm256_shuffle_epi8(units0, Rows(kShuffleRows.keep16[k0], kShuffleRows.keep16[k2]));
  const __m256i kept1 =
      _mm256_shuffle_epi8(units1, Rows(kShuffleRows.keep16[k1], kShuffleRows.keep16[k3]));
  Store16(q, _mm256_castsi256_si128(kept0));
  q += _mm_popcnt_u32(k0);
  Store16(q, _mm256_castsi256_si128(kept1));
  q += _mm_popcnt_u32(k1);
  Store16(q, _mm256_extracti128_si256(kept0, 1));
  q += _mm_popcnt_u32(k2);
  Store16(q, _mm256_extracti128_si256(kept1, 1));
  q += _mm_popcnt_u32(k3);
}

}  // namespace

template <class Step>
VANDREL_AVX2 void DecodeBlocksAvx2(CStringBytes& src, Uni16*& qRef, Uni16* qend) {
  const unsigned char* p = src.p;
  Uni16* q = qRef;
  const __m256i zero = _mm256_setzero_si256();
  const DecodeConstants& c = *Hidden(&kDecodeConstants);
  // Per block: 32 bytes loaded, at most 32 units stored; the careful path
  // reads on up to the terminator at most and tests the room itself.
  while (src.end - p >= 32 && qend - q >= 32) {
    const __m256i v = Load32(p);
    const unsigned top = Mask(v);
    if (top == 0) {
      Store32(q, _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)));
      Store32(q + 16, _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)));
      q += 32;
      p += 32;
      // ASCII runs on 64 bytes a round.
      while (src.end - p >= 64 && qend - q >= 64) {
        const __m256i a = Load32(p), b = Load32(p + 32);
        if (Mask(_mm256_or_si256(a, b)) != 0) break;
        Store32(q, _mm256_cvtepu8_epi16(_mm256_castsi256_si128(a)));
        Store32(q + 16, _mm256_cvtepu8_epi16(_mm256_extracti128_si256(a, 1)));
        Store32(q + 32, _mm256_cvtepu8_epi16(_mm256_castsi256_si128(b)));
        Store32(q + 48, _mm256_cvtepu8_epi16(_mm256_extracti128_si256(b, 1)));
        q += 64;
        p += 64;
      }
      continue;
    }
    // Bits 6 and 5 of each byte, as the top bits of the block shifted left:
    // leads C0..FF and E0..FF among the bytes above 7F.
    const unsigned bit6 = Mask(_mm256_slli_epi16(v, 1));
    const unsigned lead = top & bit6, cont = top & ~bit6;
    const unsigned lead34 = lead & Mask(_mm256_slli_epi16(v, 2));
    const __m256i prev1 = ShiftUp<1>(v);
    // A character's last byte gives the low byte of its unit: six bits of its
    // own and two of the byte before (the ASCII byte alone).
    const __m256i lo = _mm256_blendv_epi8(
        v,
        _mm256_xor_si256(
            v, _mm256_and_si256(_mm256_xor_si256(v, _mm256_slli_epi16(prev1, 6)), Get(c.xc0))),
        v);
    const __m256i nonAscii = _mm256_cmpgt_epi8(zero, v);
    // Four bits of the byte before go to the high byte.
    const __m256i hiPrev1 = _mm256_and_si256(_mm256_srli_epi16(prev1, 2), Get(c.x0f));
    // One and two bytes: the block is well formed when the continuations are
    // exactly the bytes after a lead and every lead is C2..DF. A lead in the
    // last byte waits for the next block.
    if (lead34 == 0 && (lead << 1) == cont &&
        (lead & ~Mask(_mm256_cmpeq_epi8(_mm256_max_epu8(v, Get(c.xc2)), v))) == 0) {
      StoreKept(lo, _mm256_and_si256(hiPrev1, nonAscii), ~lead, q);
      p += 32 - (lead >> 31);
      continue;
    }
    const __m256i prev2 = ShiftUp<2>(v);
    // Top bits: the byte two after a lead E0..FF, three after F0..FF.
    const __m256i third = _mm256_subs_epu8(prev2, Get(c.x60));
    const __m256i fourth = _mm256_subs_epu8(ShiftUp<3>(v), Get(c.x70));
    if (!BlockValid(v, prev1, _mm256_or_si256(third, fourth), Get(c.x0f), Get(c.x80))) {
      // Ill-formed input or encoded surrogates: one careful block.
      src.p = p;
      if (!DecodeCarefully<Step>(src, q, qend, p + 32)) {
        qRef = q;
        return;
      }
      p = src.p;
      continue;
    }
    const unsigned lead4 = lead34 & Mask(_mm256_slli_epi16(v, 3));
    const unsigned lead3 = lead34 & ~lead4;
    const unsigned lead2 = lead & ~lead34;
    // The last byte of each character; a character cut off at the end waits
    // for the next block. A valid block ends one in its first four bytes.
    const unsigned ends = ~top | (lead2 << 1) | (lead3 << 2) | (lead4 << 3);
    const unsigned consumed = 1 + HighestBit(ends);
    const unsigned keep = _bzhi_u32(ends | (lead4 << 2), consumed);
    // Three bytes: the lead's four bits are the top of the high byte (the
    // third byte of a four-byte character is redone below).
    __m256i hi = _mm256_and_si256(
        _mm256_or_si256(hiPrev1,
                        _mm256_and_si256(_mm256_and_si256(_mm256_slli_epi16(prev2, 4), Get(c.xf0)),
                                         _mm256_cmpgt_epi8(zero, third))),
        nonAscii);
    __m256i units = lo;
    if (lead4 != 0) {
      // The fourth byte gives DC00 | (cp & 3FF): its low byte as above, the
      // high one DC | two bits of the third byte.
      hi = _mm256_blendv_epi8(hi, _mm256_or_si256(hiPrev1, Get(c.xdc)), fourth);
      // The third byte gives D800 + x - 40h, x = cp >> 10: the lead's three
      // bits, then six of the second byte and two of the third. Its low byte
      // x - 40h wraps; the high one borrows when x's low byte is below 40h.
      const __m256i third4 = _mm256_subs_epu8(prev2, Get(c.x70));
      const __m256i shifted = _mm256_slli_epi16(prev1, 2);
      const __m256i x = _mm256_xor_si256(
          shifted,
          _mm256_and_si256(_mm256_xor_si256(shifted, _mm256_srli_epi16(v, 4)), Get(c.x03)));
      const __m256i borrow = _mm256_cmpeq_epi8(_mm256_and_si256(prev1, Get(c.x30)), zero);
      units = _mm256_blendv_epi8(units, _mm256_sub_epi8(x, Get(c.x40)), third4);
      hi = _mm256_blendv_epi8(
          hi,
          _mm256_or_si256(_mm256_add_epi8(_mm256_and_si256(prev2, Get(c.x07)), borrow), Get(c.xd8)),
          third4);
    }
    StoreKept(units, hi, keep, q);
    p += consumed;
  }
  src.p = p;
  qRef = q;
  // The SSE4.1 loop takes 16 bytes while 32 units of room are left.
  if (src.end - p >= 16 && qend - q >= 32) DecodeBlocksSse41<Step>(src, qRef, qend);
}

// Sixteen units as UTF-8, stored at q. Each 16-bit lane of `first` holds the
// first two bytes of its unit's encoding (lead in the low byte), `third` the
// third byte; `oneByte` marks the lanes that take one byte and `threeBytes`
// those that take three.
VANDREL_AVX2 inline void PackSixteen(__m256i first, __m256i third, __m256i oneByte,
                                     __m256i threeBytes, char*& q) {
  // Two equal bits a lane: masking every other bit and adding leaves the
  // byte count less one in bits 2j..2j+1 of unit j.
  const unsigned counts = (~Mask(oneByte) & 0x55555555u) + (Mask(threeBytes) & 0x55555555u);
  const unsigned c0 = counts & 0xFF, c1 = (counts >> 8) & 0xFF, c2 = (counts >> 16) & 0xFF,
                 c3 = counts >> 24;
  // Units 0-3 and 8-11, then 4-7 and 12-15, in 32-bit lanes.
  const __m256i packed0 =
      _mm256_shuffle_epi8(_mm256_unpacklo_epi16(first, third),
                          Rows(kShuffleRows.pack123[c0], kShuffleRows.pack123[c2]));
  const __m256i packed1 =
      _mm256_shuffle_epi8(_mm256_unpackhi_epi16(first, third),
                          Rows(kShuffleRows.pack123[c1], kShuffleRows.pack123[c3]));
  Store16(q, _mm256_castsi256_si128(packed0));
  q += kShuffleRows.pack123Length[c0];
  Store16(q, _mm256_castsi256_si128(packed1));
  q += kShuffleRows.pack123Length[c1];
  Store16(q, _mm256_extracti128_si256(packed0, 1));
  q += kShuffleRows.pack123Length[c2];
  Store16(q, _mm256_extracti128_si256(packed1, 1));
  q += kShuffleRows.pack123Length[c3];
}

// Sixteen units of one or two bytes as UTF-8, stored at q: in each 16-bit
// lane of `bytes` the first byte low, the second high; `oneByte` marks the
// lanes that take one. One shuffle row a half closes up the lanes.
VANDREL_AVX2 inline void PackOneTwo(__m256i bytes, __m256i oneByte, char*& q) {
  const unsigned m = Mask(_mm256_packs_epi16(oneByte, _mm256_setzero_si256()));
  const unsigned m0 = m & 0xFF, m1 = (m >> 16) & 0xFF;
  const __m256i packed =
      _mm256_shuffle_epi8(bytes, Rows(kShuffleRows.pack12[m0], kShuffleRows.pack12[m1]));
  Store16(q, _mm256_castsi256_si128(packed));
  q += kShuffleRows.pack12Length[m0];
  Store16(q, _mm256_extracti128_si256(packed, 1));
  q += kShuffleRows.pack12Length[m1];
}

template <class Step>
VANDREL_AVX2 void EncodeBlocksAvx2(const Uni16*& sRef, const Uni16* send, char*& qRef,
                                   const char* qend) {
  // Local copies: the stores through q could otherwise alias the references.
  const Uni16* s = sRef;
  char* q = qRef;
  const EncodeConstants& k = *Hidden(&kEncodeConstants);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i ones = _mm256_set1_epi8(-1);
  // Units below 800h: 110xxxxx 10xxxxxx, or the unit itself below 80h.
  const auto oneOrTwo = [&k](__m256i v, __m256i oneByte) VANDREL_AVX2 {
    return _mm256_blendv_epi8(
        _mm256_or_si256(_mm256_or_si256(_mm256_srli_epi16(v, 6), Get(k.x80c0)),
                        _mm256_slli_epi16(_mm256_and_si256(v, Get(k.x3f)), 8)),
        v, oneByte);
  };
  // Per block: at most 32 units read, 64 bytes stored.
  while (send - s >= 17 && qend - q >= 64) {
    if (send - s >= 32) {
      __m256i v = Load32(s), v2 = Load32(s + 16);
      if (_mm256_testz_si256(_mm256_or_si256(v, v2), Get(k.ff80))) {
        // ASCII runs on 32 units a round.
        do {
          Store32(q, _mm256_permute4x64_epi64(_mm256_packus_epi16(v, v2), 0xD8));
          q += 32;
          s += 32;
          if (send - s < 32 || qend - q < 64) break;
          v = Load32(s);
          v2 = Load32(s + 16);
        } while (_mm256_testz_si256(_mm256_or_si256(v, v2), Get(k.ff80)));
        continue;
      }
      if (_mm256_testz_si256(_mm256_or_si256(v, v2), Get(k.f800))) {
        // Latin and the like: 32 units of one or two bytes.
        const __m256i one1 = _mm256_cmpeq_epi16(_mm256_and_si256(v, Get(k.ff80)), zero);
        const __m256i one2 = _mm256_cmpeq_epi16(_mm256_and_si256(v2, Get(k.ff80)), zero);
        PackOneTwo(oneOrTwo(v, one1), one1, q);
        PackOneTwo(oneOrTwo(v2, one2), one2, q);
        s += 32;
        continue;
      }
    }
    const __m256i v = Load32(s);
    const __m256i topBits = _mm256_and_si256(v, Get(k.f800));
    const __m256i oneByte = _mm256_cmpeq_epi16(_mm256_and_si256(v, Get(k.ff80)), zero);
    const __m256i upToTwo = _mm256_cmpeq_epi16(topBits, zero);
    const __m256i last = _mm256_and_si256(v, Get(k.x3f));
    const __m256i two = oneOrTwo(v, oneByte);
    if (Mask(upToTwo) == 0xFFFFFFFFu) {
      PackOneTwo(two, oneByte, q);
      s += 16;
      continue;
    }
    // Three bytes: 1110xxxx 10xxxxxx, then 10xxxxxx.
    __m256i first = _mm256_or_si256(_mm256_or_si256(_mm256_srli_epi16(v, 12), Get(k.x80e0)),
                                    _mm256_and_si256(_mm256_slli_epi16(v, 2), Get(k.x3f00)));
    const __m256i third = _mm256_or_si256(last, Get(k.x80));
    first = _mm256_blendv_epi8(first, two, upToTwo);
    const __m256i halves = _mm256_cmpeq_epi16(topBits, Get(k.d800));
    if (_mm256_testz_si256(halves, halves)) {
      PackSixteen(first, third, oneByte, _mm256_xor_si256(upToTwo, ones), q);
      s += 16;
      continue;
    }
    // Pairs: every low unit right after a high one. A high unit in the last
    // lane waits for the next block; then a block never starts with a low.
    const __m256i kind = _mm256_and_si256(v, Get(k.fc00));
    const __m256i high = _mm256_cmpeq_epi16(kind, Get(k.d800));
    const __m256i low = _mm256_cmpeq_epi16(kind, Get(k.dc00));
    const __m256i unpaired = _mm256_xor_si256(low, ShiftUp<2>(high));
    if (!_mm256_testz_si256(unpaired, unpaired)) {
      const Uni16* const stop = s + 16;
      while (s < stop) {
        const std::size_t taken = Step::Encode(s, send, q, qend);
        if (taken == 0) break;
        s += taken;
      }
      if (s < stop) break;
      continue;
    }
    // A pair is U+10000 + (high - D800) * 400h + (low - DC00). The high unit
    // gives the first two bytes, from h = (high & 3FF) + 40h:
    // 11110hhh 10hhhhhh; the low one the last two, from the high's two low
    // bits and its own ten: 10hhllll 10llllll.
    const __m256i h = _mm256_add_epi16(_mm256_and_si256(v, Get(k.x3ff)), Get(k.x40));
    const __m256i highBytes =
        _mm256_or_si256(_mm256_or_si256(_mm256_srli_epi16(h, 8), Get(k.x80f0)),
                        _mm256_and_si256(_mm256_slli_epi16(h, 6), Get(k.x3f00)));
    const __m256i lowBytes = _mm256_or_si256(
        _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(ShiftUp<2>(v), Get(k.x3)), 4),
                        _mm256_and_si256(_mm256_srli_epi16(v, 6), Get(k.xf))),
        _mm256_or_si256(_mm256_slli_epi16(last, 8), Get(k.x8080)));
    first = _mm256_blendv_epi8(_mm256_blendv_epi8(first, highBytes, high), lowBytes, low);
    // A waiting unit is encoded as one byte, which is then taken back.
    const bool waits = (s[15] & 0xFC00) == 0xD800;
    const __m256i waiting =
        _mm256_and_si256(high, _mm256_setr_epi16(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1));
    const __m256i threeBytes =
        _mm256_andnot_si256(_mm256_or_si256(upToTwo, _mm256_or_si256(halves, waiting)), ones);
    if (_mm256_testz_si256(threeBytes, threeBytes)) {
      PackOneTwo(first, _mm256_or_si256(oneByte, waiting), q);  // emoji and the like
    } else {
      PackSixteen(first, third, _mm256_or_si256(oneByte, waiting), threeBytes, q);
    }
    q -= waits;
    s += 16 - waits;
  }
  sRef = s;
  qRef = q;
  // The SSE4.1 loop takes 8 units while 9 are left and 32 bytes of room.
  if (send - s >= 9 && qend - q >= 32) EncodeBlocksSse41<Step>(sRef, send, qRef, qend);
}

namespace {

// ---------------------------------------------------------------------------
// Scans: 32 bytes at a time from an aligned address. Such a load never
// crosses into another page, so reading before the text or past the
// terminator inside it is harmless (the same reasoning as every C library's
// strlen); each load holds at least one byte of the text, which keeps
// valgrind content. The sanitizers would still call it an overflow.

// The NUL bytes of the aligned block at `at`, one bit each.
VANDREL_NO_SANITIZE VANDREL_AVX2 inline unsigned NulBytesAt(std::uintptr_t at) {
  return Mask(_mm256_cmpeq_epi8(_mm256_load_si256(reinterpret_cast<const __m256i*>(at)),
                                _mm256_setzero_si256()));
}

VANDREL_NO_SANITIZE VANDREL_AVX2 std::size_t ByteLengthAvx2(const char* s) {
  const auto start = reinterpret_cast<std::uintptr_t>(s);
  std::uintptr_t at = start & ~std::uintptr_t{31};
  unsigned nul = NulBytesAt(at) >> (start & 31);
  if (nul != 0) return _tzcnt_u32(nul);
  // Four blocks a round, each loaded only after the one before held no NUL.
  for (;;) {
    if ((nul = NulBytesAt(at + 32)) != 0) return at + 32 - start + _tzcnt_u32(nul);
    if ((nul = NulBytesAt(at + 64)) != 0) return at + 64 - start + _tzcnt_u32(nul);
    if ((nul = NulBytesAt(at + 96)) != 0) return at + 96 - start + _tzcnt_u32(nul);
    at += 128;
    if ((nul = NulBytesAt(at)) != 0) return at - start + _tzcnt_u32(nul);
  }
}

// The NUL units of the aligned block at `at`, two bits each.
VANDREL_NO_SANITIZE VANDREL_AVX2 inline unsigned NulUnitsAt(std::uintptr_t at) {
  return Mask(_mm256_cmpeq_epi16(_mm256_load_si256(reinterpret_cast<const __m256i*>(at)),
                                 _mm256_setzero_si256()));
}

VANDREL_NO_SANITIZE VANDREL_AVX2 std::size_t Uni16LengthAvx2(const Uni16* s) {
  const auto start = reinterpret_cast<std::uintptr_t>(s);
  if (start & 1) {  // not a unit boundary of the aligned blocks
    const Uni16* p = s;
    while (*p != 0) ++p;
    return static_cast<std::size_t>(p - s);
  }
  std::uintptr_t at = start & ~std::uintptr_t{31};
  unsigned nul = NulUnitsAt(at) >> (start & 31);
  if (nul != 0) return _tzcnt_u32(nul) / 2;
  for (;;) {
    if ((nul = NulUnitsAt(at + 32)) != 0) return (at + 32 - start + _tzcnt_u32(nul)) / 2;
    if ((nul = NulUnitsAt(at + 64)) != 0) return (at + 64 - start + _tzcnt_u32(nul)) / 2;
    if ((nul = NulUnitsAt(at + 96)) != 0) return (at + 96 - start + _tzcnt_u32(nul)) / 2;
    at += 128;
    if ((nul = NulUnitsAt(at)) != 0) return (at - start + _tzcnt_u32(nul)) / 2;
  }
}

// ---------------------------------------------------------------------------
// Counts

VANDREL_AVX2 std::size_t UTF8LengthAvx2(const Uni16* s, std::size_t n, std::size_t* units) {
  // Sixteen units a block. ASCII blocks take a byte a unit. Others take 3
  // bytes a unit, less one for each unit below 800h and one more below 80h,
  // less two for each unit that starts a pair: the 16-bit lanes of `acc`
  // gather those corrections, at most -2 a block, summed every 8192 blocks.
  // A block holding a NUL is left to the portable count, which stops there.
  const __m256i ascii = Units(0xFF80);
  const __m256i two = Units(0xF800);
  const __m256i kind = Units(0xFC00);
  const __m256i high = Units(0xD800);
  const __m256i low = Units(0xDC00);
  const __m256i zero = _mm256_setzero_si256();
  std::int64_t bytes = 0;
  std::size_t i = 0;
  bool nul = false;
  while (!nul && n - i >= 17) {
    __m256i acc = zero;
    for (int k = 0; k < 8192 && n - i >= 17; ++k) {
      const __m256i v = Load32(s + i);
      if (Mask(_mm256_cmpeq_epi16(v, zero)) != 0) {
        nul = true;
        break;
      }
      if (_mm256_testz_si256(v, ascii)) {
        bytes += 16;
        i += 16;
        continue;
      }
      const __m256i next = Load32(s + i + 1);
      const __m256i below80 = _mm256_cmpeq_epi16(_mm256_and_si256(v, ascii), zero);
      const __m256i below800 = _mm256_cmpeq_epi16(_mm256_and_si256(v, two), zero);
      const __m256i pair = _mm256_and_si256(_mm256_cmpeq_epi16(_mm256_and_si256(v, kind), high),
                                            _mm256_cmpeq_epi16(_mm256_and_si256(next, kind), low));
      acc = _mm256_add_epi16(
          acc, _mm256_add_epi16(_mm256_add_epi16(below80, below800), _mm256_add_epi16(pair, pair)));
      bytes += 48;
      i += 16;
    }
    const __m256i pairs = _mm256_madd_epi16(acc, Units(1));
    __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(pairs), _mm256_extracti128_si256(pairs, 1));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
    bytes += _mm_cvtsi128_si32(sum);
  }
  // The rest one unit at a time. A low unit there that ends a pair started
  // in the blocks takes its 3 bytes as in the blocks (the pair's start took
  // off 2).
  std::size_t rest = 0;
  const std::size_t tail = UTF8LengthPortable(s + i, n - i, &rest);
  *units = i + rest;
  return static_cast<std::size_t>(bytes) + tail;
}

VANDREL_AVX2 std::size_t Uni16UnitsAvx2(const unsigned char* s, std::size_t n, bool* nul) {
  // A byte above BFh as signed is above -65; F0h and up are their own max
  // with F0h. Each block adds at most 2 to an 8-bit lane: summed every 127.
  const __m256i contMax = Bytes(-65);
  const __m256i four = Bytes(0xF0);
  const __m256i zero = _mm256_setzero_si256();
  std::size_t units = 0;
  std::size_t i = 0;
  __m256i zeros = zero;
  while (n - i >= 32) {
    __m256i acc = zero;
    for (int k = 0; k < 127 && n - i >= 32; ++k, i += 32) {
      const __m256i v = Load32(s + i);
      zeros = _mm256_or_si256(zeros, _mm256_cmpeq_epi8(v, zero));
      const __m256i lead = _mm256_cmpgt_epi8(v, contMax);
      const __m256i big = _mm256_cmpeq_epi8(_mm256_max_epu8(v, four), v);
      acc = _mm256_sub_epi8(_mm256_sub_epi8(acc, lead), big);
    }
    const __m256i sums = _mm256_sad_epu8(acc, zero);
    const __m128i both =
        _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    units += static_cast<std::size_t>(_mm_cvtsi128_si32(both)) +
             static_cast<std::size_t>(_mm_extract_epi32(both, 2));
  }
  units += Uni16UnitsPortable(s + i, n - i, nul);
  *nul = *nul || !_mm256_testz_si256(zeros, zeros);
  return units;
}

}  // namespace

template void DecodeBlocksAvx2<Lenient>(CStringBytes&, Uni16*&, Uni16*);
template void DecodeBlocksAvx2<Strict>(CStringBytes&, Uni16*&, Uni16*);
template void EncodeBlocksAvx2<Lenient>(const Uni16*&, const Uni16*, char*&, const char*);
template void EncodeBlocksAvx2<Strict>(const Uni16*&, const Uni16*, char*&, const char*);

constexpr KernelSet kAvx2Kernels = [] {
  KernelSet k{};
  k.name = "avx2";
  k.needs = kCpuAvx2 | kCpuBmi1 | kCpuBmi2 | kCpuPopcnt | kCpuSse41 | kCpuYmmSaved;
  k.decodeBlocks = DecodeMeasured<DecodeBlocksAvx2<Lenient>, ByteLengthAvx2>;
  k.encodeBlocks = EncodeBlocksAvx2<Lenient>;
  k.encodeString = EncodeMeasured<EncodeBlocksAvx2<Lenient>, Uni16LengthAvx2>;
  k.decodeStrict = DecodeBlocksAvx2<Strict>;
  k.encodeStrict = EncodeBlocksAvx2<Strict>;
  k.byteLength = ByteLengthAvx2;
  k.unitLength = Uni16LengthAvx2;
  k.utf8Length = UTF8LengthAvx2;
  k.uni16Units = Uni16UnitsAvx2;
  k.decodeBytes = DecodeBytes16;
  return k;
}();

}  // namespace detail
}  // namespace Vandrel

#endif  // VANDREL_X86
