// The platform code page off Windows: Windows-1252, by its table
// (VandrelRules/Windows1252.h), as Windows has it, so that text written on
// one platform reads the same on the other.
// May assume: nothing beyond standard C++ (the Windows converters are in
// win32/PlatformCodePage.cpp).
#include "../CodePages.h"
#include "VandrelRules/Windows1252.h"

namespace Vandrel {
namespace {

using namespace detail;  // NOLINT(google-build-using-namespace): the code-page machinery

// Bytes 80-FF for DecodeTable.
struct Cp1252High {
  std::uint16_t unit[128] = {};
  constexpr Cp1252High() {
    for (unsigned b = 0; b < 128; ++b)
      unit[b] = cp1252::UnitOf(static_cast<unsigned char>(b + 0x80));
  }
};
constexpr DecodeTable kCp1252Decode(Cp1252High().unit);
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
