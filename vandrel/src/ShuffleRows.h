// Shuffle rows for one 128-bit half, built at compile time and shared by the
// SSE4.1 and AVX2 loops. Each is indexed by a mask of eight bits:
//   keep16: the 16-bit lanes whose bit is set (decoding);
//   pack12: eight units in 16-bit lanes, one byte where the bit is set, two
//           otherwise (encoding);
//   pack123: four units in 32-bit lanes, bits 2j..2j+1 giving the bytes of
//           unit j less one (encoding).
// The lengths count what a row keeps: lanes for keep16, bytes for the others.
#pragma once

#include <cstdint>

namespace Vandrel {
namespace detail {

// A shuffle row that takes, in order, the first bytesOf(j) bytes of each
// `stride`-byte lane j of 16 bytes and clears the rest (-1). Returns the
// number of bytes taken.
template <typename BytesOf>
constexpr int ShuffleRow(std::int8_t (&row)[16], int lanes, int stride, BytesOf bytesOf) {
  int out = 0;
  for (int j = 0; j < lanes; ++j) {
    for (int k = 0; k < bytesOf(j); ++k) row[out++] = static_cast<std::int8_t>(stride * j + k);
  }
  for (int k = out; k < 16; ++k) row[k] = -1;
  return out;
}

struct ShuffleRows {
  std::int8_t keep16[256][16] = {};
  std::uint8_t keep16Length[256] = {};
  std::int8_t pack12[256][16] = {};
  std::uint8_t pack12Length[256] = {};
  std::int8_t pack123[256][16] = {};
  std::uint8_t pack123Length[256] = {};

  constexpr ShuffleRows() {
    for (int m = 0; m < 256; ++m) {
      keep16Length[m] = static_cast<std::uint8_t>(
          ShuffleRow(keep16[m], 8, 2, [m](int j) { return (m >> j) & 1 ? 2 : 0; }) / 2);
      pack12Length[m] = static_cast<std::uint8_t>(
          ShuffleRow(pack12[m], 8, 2, [m](int j) { return (m >> j) & 1 ? 1 : 2; }));
      pack123Length[m] = static_cast<std::uint8_t>(
          ShuffleRow(pack123[m], 4, 4, [m](int j) { return 1 + ((m >> (2 * j)) & 3); }));
    }
  }
};
inline constexpr ShuffleRows kShuffleRows{};

}  // namespace detail
}  // namespace Vandrel
