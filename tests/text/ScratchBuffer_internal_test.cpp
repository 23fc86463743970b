// ScratchBuffer sizing and the inline/heap boundary of the conversions, seen
// by counting heap allocations: this file replaces the global allocation
// functions of the whole internal test executable; they record only inside
// Allocations().

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "TalqOSUtils/UnicodeString.h"
#include "text/ScratchBuffer.h"

static bool gRecording = false;
static std::size_t gSizes[8], gCount = 0;

void* operator new(std::size_t size) {
  if (gRecording && gCount < 8) gSizes[gCount++] = size;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)
using text::ScratchBuffer;
using Sizes = std::vector<std::size_t>;

// The sizes of the heap allocations fn makes, in order.
template <typename Fn>
Sizes Allocations(Fn&& fn) {
  gCount = 0;
  gRecording = true;
  fn();
  gRecording = false;
  return Sizes(gSizes, gSizes + gCount);
}

TEST(ScratchBuffer, InlineUpTo1024ElementsAndCountsPast32BitsThrow) {
  constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
  EXPECT_EQ(kMax, ScratchBuffer<char>::NeededCount(kMax - 1u, 1));
  EXPECT_THROW(ScratchBuffer<char>::NeededCount(kMax, 1), std::length_error);
  EXPECT_THROW(ScratchBuffer<char>::NeededCount(0x55555555u, 3), std::length_error);  // 2^32
  EXPECT_THROW(ScratchBuffer<char>::NeededCount((std::size_t{1} << 32) + 1, 1), std::length_error);

  // Conversions use the inline storage up to 1024 elements, then one heap
  // array of exactly the needed count. Results go to strings whose storage
  // is already large enough, so every allocation counted is a scratch buffer's.
  UnicodeString units(UniString(2048, 'x'));
  const std::string fits(1023, 'a'), over(1024, 'a');
  EXPECT_EQ(Sizes{}, Allocations([&] { units.UTF8ToUCS2(fits, units); }));
  EXPECT_EQ(Sizes{1025 * sizeof(UniChar)}, Allocations([&] { units.UTF8ToUCS2(over, units); }));

  // Bytes reserved per unit read out: UTF-8 3, Latin-1 2, ANSI code page 3, URL 9.
  // clang-format off
  const std::pair<void (UnicodeString::*)(std::string&) const, std::size_t> readOuts[] = {
      {&UnicodeString::get, 3}, {&UnicodeString::getISOLatin1Encoding, 2},
      {&UnicodeString::getPlatformEncoding, 3}, {&UnicodeString::getURLEncoding, 9}};
  // clang-format on
  std::string bytes(16384, ' ');
  for (const auto& c : readOuts) {
    const std::size_t last = 1023 / c.second;  // 341 for UTF-8
    const UnicodeString atLast(UniString(last, UniChar(0x20AC))), pastLast(atLast + UniChar('a'));
    EXPECT_EQ(Sizes{}, Allocations([&] { (atLast.*c.first)(bytes); })) << c.second;
    EXPECT_EQ(Sizes{c.second * (last + 1) + 1}, Allocations([&] { (pastLast.*c.first)(bytes); }))
        << c.second;
  }
}

}  // namespace
