// Single-byte code pages: ISO 8859-1, Mac OS Roman, and the platform ANSI
// code page (Windows-1252 off Windows, the Win32 converters on Windows).
//
// Decoding is one table load per byte. Encoding goes through a two-level
// reverse table built at compile time from the decoding table: the high byte
// of the unit picks a 256-byte page (page 0 is empty, meaning "no byte").
#include <climits>
#include <cstdint>
#include <cstring>

#include "Vandrel/Vandrel.h"

#if (defined(__SSE2__) || defined(_M_X64)) && !defined(VANDREL_PORTABLE)
#define VANDREL_SSE2 1
#include <emmintrin.h>
#else
#define VANDREL_SSE2 0
#endif

#if defined(_WIN32)
#include <windows.h>

#include <memory>
#endif

namespace Vandrel {
namespace {

inline std::size_t ClampCapacity(std::size_t capacity) {
  constexpr std::size_t kMax = static_cast<std::size_t>(INT_MAX) + 1;
  return capacity < kMax ? capacity : kMax;
}

inline bool IsPair(const Uni16* s, std::size_t left) {
  return left >= 2 && (s[0] & 0xFC00) == 0xD800 && (s[1] & 0xFC00) == 0xDC00;
}

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

template <std::size_t kPages>
struct EncodeTable {
  std::uint8_t pageOf[256] = {};
  std::uint8_t bytes[kPages][256] = {};
  constexpr explicit EncodeTable(const DecodeTable& decode) {
    std::size_t used = 1;
    for (unsigned b = 1; b < 256; ++b) {
      const unsigned u = decode.unit[b];
      if (pageOf[u >> 8] == 0) pageOf[u >> 8] = static_cast<std::uint8_t>(used++);
      bytes[pageOf[u >> 8]][u & 0xFF] = static_cast<std::uint8_t>(b);
    }
  }
  std::uint8_t Lookup(unsigned u) const { return bytes[pageOf[u >> 8]][u & 0xFF]; }
};

// Number of pages an EncodeTable needs: the empty one plus one per high byte.
constexpr std::size_t PagesFor(const DecodeTable& decode) {
  bool seen[256] = {};
  std::size_t pages = 1;
  for (unsigned b = 1; b < 256; ++b) {
    const unsigned hi = decode.unit[b] >> 8;
    if (!seen[hi]) {
      seen[hi] = true;
      ++pages;
    }
  }
  return pages;
}

// Apple's ROMAN.TXT (2005-Apr-05), bytes 0x80-0xFF.
constexpr std::uint16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // 80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,  // 88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // 90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,  // 98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // A0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,  // A8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // B0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,  // B8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // C0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,  // C8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // D0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,  // D8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // E0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,  // E8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // F0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,  // F8
};

constexpr DecodeTable kMacRomanDecode(kMacRomanHigh);
constexpr EncodeTable<PagesFor(kMacRomanDecode)> kMacRomanEncode(kMacRomanDecode);

// Blocks of 16 elements: the tests and moves that let plain ASCII (or, for
// Latin-1, any text) skip the tables. SSE2 is part of every x86-64 processor.
#if VANDREL_SSE2
inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline bool Ascii16(const unsigned char* s) { return _mm_movemask_epi8(Load(s)) == 0; }
inline void Widen16(const unsigned char* s, Uni16* d) {
  const __m128i v = Load(s);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(v, _mm_setzero_si128()));
}
// Whether no unit of the 16 at s has a bit of `mask` set.
inline bool Clear16(const Uni16* s, std::uint16_t mask) {
  const __m128i m = _mm_set1_epi16(static_cast<short>(mask));
  const __m128i bits = _mm_and_si128(_mm_or_si128(Load(s), Load(s + 8)), m);
  return _mm_movemask_epi8(_mm_cmpeq_epi16(bits, _mm_setzero_si128())) == 0xFFFF;
}
inline void Narrow16(const Uni16* s, char* d) {  // units below 0x100
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(Load(s), Load(s + 8)));
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
inline bool Clear16(const Uni16* s, std::uint16_t mask) {
  unsigned bits = 0;
  for (int k = 0; k < 16; ++k) bits |= s[k];
  return (bits & mask) == 0;
}
inline void Narrow16(const Uni16* s, char* d) {
  for (int k = 0; k < 16; ++k) d[k] = static_cast<char>(s[k]);
}
#endif

// Bytes to units through a decoding table (null table: Latin-1). n bytes
// become exactly n units, so the cut is simply the room left.
int DecodeBytes(const unsigned char* s, std::size_t n, const DecodeTable* table, Uni16* dst,
                std::size_t capacity) {
  const std::size_t m = n < capacity - 1 ? n : capacity - 1;
  std::size_t i = 0;
  for (; m - i >= 16; i += 16) {
    if (table == nullptr || Ascii16(s + i)) {
      Widen16(s + i, dst + i);
    } else {
      for (int k = 0; k < 16; ++k) dst[i + k] = static_cast<Uni16>(table->unit[s[i + k]]);
    }
  }
  for (; i < m; ++i) dst[i] = static_cast<Uni16>(table ? table->unit[s[i]] : s[i]);
  dst[m] = 0;
  return m == n ? static_cast<int>(m) : -1;
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
    // A block needs no room test: at most 16 bytes for at most 17 units.
    const bool block = n - i >= 17 && room - o >= 16;
    if (block && Clear16(src + i, plainMask)) {
      Narrow16(src + i, dst + o);
      i += 16;
      o += 16;
      continue;
    }
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

#if !defined(_WIN32)
// Windows-1252 as Windows has it: the five bytes the published table leaves
// undefined (81, 8D, 8F, 90, 9D) stand for the C1 controls of the same value.
constexpr std::uint16_t kCp1252High[128] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,  // A8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,  // B8
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,  // C0
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,  // C8
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,  // D0
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,  // D8
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,  // E0
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,  // E8
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,  // F0
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,  // F8
};

constexpr DecodeTable kCp1252Decode(kCp1252High);
constexpr EncodeTable<PagesFor(kCp1252Decode)> kCp1252Encode(kCp1252Decode);
#endif

constexpr std::uint16_t kAsciiUnits = 0xFF80;
constexpr std::uint16_t kLatin1Units = 0xFF00;

}  // namespace

int ISOLatin1CStringToUni16Char(const char* src, Uni16* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  if (src == nullptr) src = "";
  return DecodeBytes(reinterpret_cast<const unsigned char*>(src), std::strlen(src), nullptr, dst,
                     ClampCapacity(capacity));
}

int Uni16CharToISOLatin1CString(const Uni16* src, char* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  return EncodeUnits<false>(src, dst, ClampCapacity(capacity), kLatin1Units,
                            [](unsigned u) { return u <= 0xFF ? u : 0u; });
}

int MacRomanStringToUni16Char(const std::string& src, Uni16* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  // Like the C-string forms, the text ends at the first NUL.
  const void* nul =
      std::memchr(src.data(), 0, src.size());  // NOLINT(bugprone-not-null-terminated-result)
  const std::size_t n =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - src.data()) : src.size();
  return DecodeBytes(reinterpret_cast<const unsigned char*>(src.data()), n, &kMacRomanDecode, dst,
                     ClampCapacity(capacity));
}

int Uni16CharToMacRomanCString(const Uni16* src, char* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  return EncodeUnits<true>(src, dst, ClampCapacity(capacity), kAsciiUnits,
                           [](unsigned u) -> unsigned { return kMacRomanEncode.Lookup(u); });
}

#if !defined(_WIN32)

int PlatformCStringToUni16Char(const char* src, Uni16* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  if (src == nullptr) src = "";
  return DecodeBytes(reinterpret_cast<const unsigned char*>(src), std::strlen(src), &kCp1252Decode,
                     dst, ClampCapacity(capacity));
}

int Uni16CharToPlatformCString(const Uni16* src, char* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  return EncodeUnits<false>(src, dst, ClampCapacity(capacity), kAsciiUnits,
                            [](unsigned u) -> unsigned { return kCp1252Encode.Lookup(u); });
}

#else  // _WIN32

namespace {

// WC_NO_BEST_FIT_CHARS keeps look-alikes (a fraction slash for '/', say) from
// turning into syntax in file names; code pages that refuse the flag (UTF-8,
// the ISO-2022 family) get none.
int WideToAnsi(const wchar_t* s, int n, char* out, int outSize) {
  int r = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, s, n, out, outSize, nullptr, nullptr);
  if (r == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    r = WideCharToMultiByte(CP_ACP, 0, s, n, out, outSize, nullptr, nullptr);
  }
  return r;
}

}  // namespace

int PlatformCStringToUni16Char(const char* src, Uni16* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  capacity = ClampCapacity(capacity);
  dst[0] = 0;
  if (src == nullptr || *src == 0) return 0;
  const std::size_t len = std::strlen(src);
  if (len > static_cast<std::size_t>(INT_MAX)) return -1;
  const int n = static_cast<int>(len);
  const int need = MultiByteToWideChar(CP_ACP, 0, src, n, nullptr, 0);
  if (need <= 0) return -1;
  const std::size_t room = capacity - 1;
  if (static_cast<std::size_t>(need) <= room) {
    const int r = MultiByteToWideChar(CP_ACP, 0, src, n, dst, need);
    if (r <= 0) return -1;
    dst[r] = 0;
    return r;
  }
  // Too long: convert in full elsewhere and keep what fits, without the
  // first half of a surrogate pair.
  std::unique_ptr<wchar_t[]> whole(new wchar_t[static_cast<std::size_t>(need)]);
  if (MultiByteToWideChar(CP_ACP, 0, src, n, whole.get(), need) <= 0) return -1;
  std::size_t m = room;
  if (m > 0 && (whole[m - 1] & 0xFC00) == 0xD800 && (whole[m] & 0xFC00) == 0xDC00) --m;
  std::memcpy(dst, whole.get(), m * sizeof(wchar_t));
  dst[m] = 0;
  return -1;
}

int Uni16CharToPlatformCString(const Uni16* src, char* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  capacity = ClampCapacity(capacity);
  dst[0] = 0;
  const std::size_t len = Uni16CharGetLength(src);
  if (len == 0) return 0;
  if (len > static_cast<std::size_t>(INT_MAX)) return -1;
  const int n = static_cast<int>(len);
  const int need = WideToAnsi(src, n, nullptr, 0);
  if (need <= 0) return -1;
  const int room = static_cast<int>(capacity - 1);
  if (need <= room) {
    const int r = WideToAnsi(src, n, dst, need);
    if (r <= 0) return -1;
    dst[r] = 0;
    return r;
  }
  // Too long: take whole characters (a pair is one) while their bytes fit.
  int used = 0;
  int bytes = 0;
  while (used < n) {
    const int units = IsPair(src + used, len - static_cast<std::size_t>(used)) ? 2 : 1;
    const int size = WideToAnsi(src + used, units, nullptr, 0);
    if (size <= 0 || bytes + size > room) break;
    bytes += size;
    used += units;
  }
  const int r = used > 0 ? WideToAnsi(src, used, dst, room) : 0;
  dst[r > 0 ? r : 0] = 0;
  return -1;
}

#endif  // _WIN32

}  // namespace Vandrel
