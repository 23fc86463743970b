// The platform code page off Windows: Windows-1252, by table, as Windows
// has it, so that text written on one platform reads the same on the other.
// May assume: nothing beyond standard C++ (the Windows converters are in
// win32/PlatformCodePage.cpp).
#include "../CodePages.h"

namespace Vandrel {
namespace {

using namespace detail;  // NOLINT(google-build-using-namespace): the code-page machinery

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
const EncodeTable& Cp1252Encode() {
  static const EncodeTable table(kCp1252Decode);
  return table;
}

}  // namespace

int PlatformCStringToUni16Char(const char* src, Uni16* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  if (src == nullptr) src = "";
  return DecodeBytes(reinterpret_cast<const unsigned char*>(src), Kernels().byteLength(src),
                     &kCp1252Decode, dst, ClampCapacity(capacity));
}

int Uni16CharToPlatformCString(const Uni16* src, char* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  return EncodeUnits<false>(
      src, dst, ClampCapacity(capacity), kAsciiUnits,
      [table = &Cp1252Encode()](unsigned u) -> unsigned { return table->byte[u]; });
}

namespace detail {
bool PlatformCodePageIsSingleByte() { return true; }
}  // namespace detail

}  // namespace Vandrel
