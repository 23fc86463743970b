// ScratchBuffer sizing and the inline/heap boundary of the conversions,
// observed by counting heap allocations.
//
// This file replaces the global allocation functions of the whole internal
// test executable; they record only inside AllocationsDuring.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "TalqOSUtils/UnicodeString.h"
#include "text/ScratchBuffer.h"

namespace {

constexpr std::size_t kMaxRecorded = 16;
std::atomic<bool> gRecording{false};
std::atomic<std::size_t> gAllocations{0};
std::size_t gSizes[kMaxRecorded];

void* Allocate(std::size_t size) {
  if (gRecording.load(std::memory_order_relaxed)) {
    const std::size_t i = gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (i < kMaxRecorded) gSizes[i] = size;
  }
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

using Sizes = std::vector<std::size_t>;

// The sizes of the heap allocations fn makes, smallest first.
template <typename Fn>
Sizes AllocationsDuring(Fn&& fn) {
  gAllocations = 0;
  gRecording = true;
  fn();
  gRecording = false;
  Sizes sizes(gSizes, gSizes + std::min(gAllocations.load(), kMaxRecorded));
  std::sort(sizes.begin(), sizes.end());
  return sizes;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using TalqOSUtils::UniChar;
using TalqOSUtils::UnicodeString;
using TalqOSUtils::UniString;
using TalqOSUtils::text::ScratchBuffer;

TEST(ScratchBuffer, CountsPast32BitsThrowInsteadOfWrapping) {
  constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
  EXPECT_EQ(1024u, ScratchBuffer<char>::NeededCount(341, 3));
  EXPECT_EQ(kMax, ScratchBuffer<char>::NeededCount(kMax - 1u, 1));
  EXPECT_EQ(kMax - 2u, ScratchBuffer<char>::NeededCount(0x55555554u, 3));
  EXPECT_THROW(ScratchBuffer<char>::NeededCount(kMax, 1), std::length_error);
  EXPECT_THROW(ScratchBuffer<char>::NeededCount(0x55555555u, 3), std::length_error);  // 2^32
  EXPECT_THROW(ScratchBuffer<char>::NeededCount(477218589u, 9), std::length_error);   // 2^32 + 6
  EXPECT_THROW(ScratchBuffer<char>::NeededCount(SIZE_MAX, 9), std::length_error);

  const ScratchBuffer<char> fits(1024u), over(1025u);
  EXPECT_TRUE(fits.capacity() == 1024u && !fits.onHeap());
  EXPECT_TRUE(over.capacity() == 1025u && over.onHeap());
}

// Results go into storage reserved beforehand, so every allocation counted
// below is a scratch buffer's.
TEST(ScratchBufferUse, UTF8InIsInlineUpTo1023Bytes) {
  UnicodeString out;
  out.reserve(4096);
  const std::string fits(1023, 'a'), over(1024, 'a');
  EXPECT_EQ(Sizes{}, AllocationsDuring([&] { out.UTF8ToUCS2(fits, out); }));
  EXPECT_EQ(Sizes{1025 * sizeof(UniChar)}, AllocationsDuring([&] { out.UTF8ToUCS2(over, out); }));
  EXPECT_EQ(UniString(1024, 'a'), out);
  out.clear();
  EXPECT_EQ(Sizes{}, AllocationsDuring([&] { out.setISOLatin1Encoding(fits); }));
  EXPECT_EQ(1023u, out.size());
}

TEST(ScratchBufferUse, UTF8OutIsInlineUpTo341Units) {
  std::vector<char> dst(8192);
  std::string out;
  out.reserve(8192);
  const UnicodeString fits(UniString(341, static_cast<UniChar>(0x20AC)));
  const UnicodeString over(UniString(342, static_cast<UniChar>(0x20AC)));
  EXPECT_EQ(Sizes{}, AllocationsDuring([&] { fits.get(dst.data(), 8192); }));
  EXPECT_EQ(Sizes{}, AllocationsDuring([&] { fits.get(out); }));
  EXPECT_EQ(3u * 341u, out.size());
  EXPECT_EQ(Sizes{3 * 342 + 1}, AllocationsDuring([&] { over.get(dst.data(), 8192); }));
  EXPECT_EQ(3u * 342u, std::string(dst.data()).size());

  // Swapped text is copied into a unit buffer, inline up to 1023 units.
  for (std::size_t n : {1023u, 1024u}) {
    UnicodeString swapped;
    swapped.push_back(static_cast<UniChar>(0xFFFE));
    swapped.append(n - 1, static_cast<UniChar>(0x6100));
    Sizes expected{3 * n + 1};
    if (n == 1024) expected.insert(expected.begin(), (n + 1) * sizeof(UniChar));
    EXPECT_EQ(expected, AllocationsDuring([&] { swapped.get(dst.data(), 8192); }));
    EXPECT_EQ(std::string(n - 1, 'a'), std::string(dst.data()));
  }
}

TEST(ScratchBufferUse, NarrowReadOutsReserveBytesPerUnit) {
  std::string out;
  out.reserve(8192);
  const struct {
    void (UnicodeString::*readOut)(std::string&) const;
    std::size_t perUnit;
  } cases[] = {{&UnicodeString::getISOLatin1Encoding, 2},
               {&UnicodeString::getPlatformEncoding, 3},
               {&UnicodeString::getURLEncoding, 9}};
  for (const auto& c : cases) {
    const std::size_t lastInline = 1023 / c.perUnit;
    const UnicodeString fits(UniString(lastInline, 'a')), over(UniString(lastInline + 1, 'a'));
    EXPECT_EQ(Sizes{}, AllocationsDuring([&] { (fits.*c.readOut)(out); })) << c.perUnit;
    EXPECT_EQ(Sizes{c.perUnit * (lastInline + 1) + 1},
              AllocationsDuring([&] { (over.*c.readOut)(out); }))
        << c.perUnit;
    EXPECT_EQ(lastInline + 1, out.size());
  }
}

}  // namespace
