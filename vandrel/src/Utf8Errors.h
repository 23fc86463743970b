// The tables of the vector UTF-8 check (Keiser and Lemire, "Validating UTF-8
// in less than one instruction per byte", 2021). Each byte is judged with the
// one before it: the AND of three lookups (that byte's high and low nibble,
// this byte's high nibble) has a bit set for each error the pair shows. A
// byte that must be the second or third continuation of a three- or
// four-byte sequence shows exactly kTwoConts; the kernels check that apart.
// Encoded surrogates count as errors: the scalar coder gives them their
// meaning.
#pragma once

#include <cstdint>

namespace Vandrel {
namespace detail {

struct Utf8ErrorTables {
  enum : std::uint8_t {
    kTooShort = 1 << 0,      // lead, then no continuation
    kTooLong = 1 << 1,       // ASCII, then a continuation
    kOverlong3 = 1 << 2,     // E0 80..9F
    kTooLarge = 1 << 3,      // F4 90..BF, F5..FF 90..BF
    kSurrogate = 1 << 4,     // ED A0..BF
    kOverlong2 = 1 << 5,     // C0, C1 and a continuation
    kTooLarge1000 = 1 << 6,  // F5..FF 80..8F; for F0 80..8F: overlong
    kTwoConts = 1 << 7,      // continuation, continuation
    kCarry = kTooShort | kTooLong | kTwoConts,
    kLarge = kCarry | kTooLarge | kTooLarge1000,
    kCont8 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000,
    kCont9 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
    kContAB = kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
  };
  alignas(16) std::uint8_t byte1High[16] = {kTooLong,
                                            kTooLong,
                                            kTooLong,
                                            kTooLong,
                                            kTooLong,
                                            kTooLong,
                                            kTooLong,
                                            kTooLong,
                                            kTwoConts,
                                            kTwoConts,
                                            kTwoConts,
                                            kTwoConts,
                                            kTooShort | kOverlong2,
                                            kTooShort,
                                            kTooShort | kOverlong3 | kSurrogate,
                                            kTooShort | kTooLarge | kTooLarge1000};
  alignas(16) std::uint8_t byte1Low[16] = {kCarry | kOverlong3 | kOverlong2 | kTooLarge1000,
                                           kCarry | kOverlong2,
                                           kCarry,
                                           kCarry,
                                           kCarry | kTooLarge,
                                           kLarge,
                                           kLarge,
                                           kLarge,
                                           kLarge,
                                           kLarge,
                                           kLarge,
                                           kLarge,
                                           kLarge,
                                           kLarge | kSurrogate,
                                           kLarge,
                                           kLarge};
  alignas(16) std::uint8_t byte2High[16] = {
      kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
      kCont8,    kCont9,    kContAB,   kContAB,   kTooShort, kTooShort, kTooShort, kTooShort};
};
inline constexpr Utf8ErrorTables kUtf8Errors{};

}  // namespace detail
}  // namespace Vandrel
