// ISO 8859-1 and Mac OS Roman. The platform code page has one file per
// platform: posix/PlatformCodePage.cpp (Windows-1252 by table) and
// win32/PlatformCodePage.cpp (the Win32 converters).
#include "CodePages.h"

#include <cstring>
#include <string>

namespace Vandrel {
namespace detail {

// Bytes to units through a decoding table (null table: Latin-1). n bytes
// become exactly n units, so the cut is simply the room left.
int DecodeBytes16(const unsigned char* s, std::size_t n, const DecodeTable* table, Uni16* dst,
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

}  // namespace detail

namespace {

using namespace detail;  // NOLINT(google-build-using-namespace): the code-page machinery

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

const EncodeTable& MacRomanEncode() {
  static const EncodeTable table(kMacRomanDecode);
  return table;
}

}  // namespace

int ISOLatin1CStringToUni16Char(const char* src, Uni16* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  if (src == nullptr) src = "";
  return DecodeBytes(reinterpret_cast<const unsigned char*>(src), Kernels().byteLength(src),
                     nullptr, dst, ClampCapacity(capacity));
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
  return EncodeUnits<true>(
      src, dst, ClampCapacity(capacity), kAsciiUnits,
      [table = &MacRomanEncode()](unsigned u) -> unsigned { return table->byte[u]; });
}

}  // namespace Vandrel
