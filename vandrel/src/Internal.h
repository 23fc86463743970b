// Pieces shared by Vandrel's sources: the capacity rule every entry point
// applies, the surrogate tests, the processor switch, and the choice of an
// address-sanitizer exemption for reads that are safe but look out of bounds.
#pragma once

#include <climits>
#include <cstddef>

#include "Vandrel/Vandrel.h"

// VANDREL_PORTABLE leaves out the x86 code, so that a build can test the
// portable loops alone on a machine that would otherwise never run them.
#if (defined(__x86_64__) || defined(__i386__) || defined(_M_X64)) && !defined(VANDREL_PORTABLE)
#define VANDREL_X86 1
#else
#define VANDREL_X86 0
#endif

// Inlines a small function wherever it is called, also where the compiler
// would count its callers and decline (the one-character coders, whose calls
// would cost the portable loops a third of their speed).
#if defined(_MSC_VER) && !defined(__clang__)
#define VANDREL_FORCE_INLINE __forceinline
#else
#define VANDREL_FORCE_INLINE inline __attribute__((always_inline))
#endif

// Exempts one function from AddressSanitizer's and ThreadSanitizer's memory
// checks (both flag bytes of a neighbouring, freed block). Only for reads that
// stay inside an aligned 16-byte block known to hold a valid byte, which
// cannot cross into another page; valgrind still checks such functions.
#if defined(__clang__) || defined(__GNUC__)
#define VANDREL_NO_SANITIZE __attribute__((no_sanitize_address, no_sanitize_thread))
#elif defined(_MSC_VER)
#define VANDREL_NO_SANITIZE __declspec(no_sanitize_address)
#else
#define VANDREL_NO_SANITIZE
#endif

namespace Vandrel {
namespace detail {

/// Whether the platform code page has one byte a character (the ANSI code
/// page on Windows may not; elsewhere it is Windows-1252).
bool PlatformCodePageIsSingleByte();

// Caps the capacity so that every count fits the int result; a longer
// result is then reported as truncated rather than overflowing.
inline std::size_t ClampCapacity(std::size_t capacity) {
  constexpr std::size_t kMax = static_cast<std::size_t>(INT_MAX) + 1;
  return capacity < kMax ? capacity : kMax;
}

inline bool IsHighSurrogate(unsigned u) { return (u & 0xFC00) == 0xD800; }
inline bool IsLowSurrogate(unsigned u) { return (u & 0xFC00) == 0xDC00; }

/// Whether s[0], s[1] (of `left` units) are a surrogate pair.
inline bool IsPair(const Uni16* s, std::size_t left) {
  return left >= 2 && IsHighSurrogate(s[0]) && IsLowSurrogate(s[1]);
}

}  // namespace detail
}  // namespace Vandrel
