// Windows-1252 as Windows has it: one table for Vandrel's platform code page
// off Windows and for TalqOSUtils' .lnk reader, which reads ANSI strings of
// shortcuts as Windows-1252 on every platform. Header only, below both
// libraries. Bytes 00-7F and A0-FF are the code points of the same value; the
// five bytes the published table leaves undefined (81, 8D, 8F, 90, 9D) stand
// for the C1 controls of the same value, as MultiByteToWideChar gives them.
//   80 => U+20AC   81 => U+0081   9F => U+0178   E9 => U+00E9
#pragma once

#include <cstdint>

namespace Vandrel {
namespace cp1252 {

/// The UTF-16 unit of each byte 80-9F, at [byte - 0x80].
inline constexpr std::uint16_t kC1[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

/// The UTF-16 unit of one Windows-1252 byte.
constexpr std::uint16_t UnitOf(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kC1[byte - 0x80] : byte;
}

}  // namespace cp1252
}  // namespace Vandrel
