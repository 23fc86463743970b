// What the kernel sets need from the compiler and the processor, written
// once for GCC/Clang and once for Microsoft's compiler: the per-function
// instruction-set attribute, the bit scans, and the processor's features.
#pragma once

#include <cstdint>

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#define VANDREL_MSVC 1
#else
#define VANDREL_MSVC 0
#endif

// Lets one function use the named instruction sets (GCC/Clang target names).
// Microsoft's compiler takes any intrinsic anywhere and needs nothing.
#if VANDREL_MSVC
#define VANDREL_TARGET(sets)
#else
#define VANDREL_TARGET(sets) __attribute__((target(sets)))
#endif

namespace Vandrel {
namespace detail {

/// The index of the lowest set bit; x must not be 0.
inline unsigned LowestBit(std::uint64_t x) {
#if VANDREL_MSVC
  unsigned long bit = 0;
  _BitScanForward64(&bit, x);
  return static_cast<unsigned>(bit);
#else
  return static_cast<unsigned>(__builtin_ctzll(x));
#endif
}

/// The index of the highest set bit; x must not be 0.
inline unsigned HighestBit(std::uint32_t x) {
#if VANDREL_MSVC
  unsigned long bit = 0;
  _BitScanReverse(&bit, x);
  return static_cast<unsigned>(bit);
#else
  return 31u - static_cast<unsigned>(__builtin_clz(x));
#endif
}

/// The number of set bits.
inline unsigned BitCount(std::uint64_t x) {
#if VANDREL_MSVC
  return static_cast<unsigned>(__popcnt64(x));
#else
  return static_cast<unsigned>(__builtin_popcountll(x));
#endif
}

/// p, with the compiler no longer knowing what it points to (so that it
/// reloads a constant table instead of keeping it in registers).
template <typename T>
const T* Hidden(const T* p) {
#if VANDREL_MSVC
  const T* volatile q = p;
  return q;
#else
  __asm__("" : "+r"(p));
  return p;
#endif
}

/// Processor features a kernel set may need: instruction sets, and whether
/// the operating system saves the wider registers.
enum CpuFeature : std::uint32_t {
  kCpuSse41 = 1u << 0,
  kCpuPopcnt = 1u << 1,
  kCpuAvx2 = 1u << 2,
  kCpuBmi1 = 1u << 3,
  kCpuBmi2 = 1u << 4,
  kCpuAvx512F = 1u << 5,
  kCpuAvx512Bw = 1u << 6,
  kCpuAvx512Vl = 1u << 7,
  kCpuAvx512Vbmi = 1u << 8,
  kCpuAvx512Vbmi2 = 1u << 9,
  kCpuYmmSaved = 1u << 10,  // the OS saves the AVX registers (XCR0)
  kCpuZmmSaved = 1u << 11,  // and the AVX-512 ones
};

/// The features of this processor and operating system (0 off x86).
std::uint32_t CpuFeatures();

}  // namespace detail
}  // namespace Vandrel
