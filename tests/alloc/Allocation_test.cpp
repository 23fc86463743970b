// ScratchBuffer and WorkUnits sizing, and the allocations of the
// conversions on either side of the inline size, seen by counting heap
// allocations. This file replaces the global allocation functions, so it is
// an executable of its own; they record only inside Allocations().

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
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
using text::WorkStorage;
using text::WorkUnits;
using Sizes = std::vector<std::size_t>;

// valgrind puts its own allocator in place of operator new (its preload
// library), so the counts below would see nothing.
bool UnderValgrind() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload != nullptr && std::strstr(preload, "vgpreload") != nullptr;
}

class AllocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (UnderValgrind()) GTEST_SKIP() << "valgrind replaces operator new; counts are meaningless";
  }
};

// The sizes of the heap allocations fn makes, in order.
template <typename Fn>
Sizes Allocations(Fn&& fn) {
  gCount = 0;
  gRecording = true;
  fn();
  gRecording = false;
  return Sizes(gSizes, gSizes + gCount);
}

TEST_F(AllocationTest, ScratchBufferInlineUpTo1024ElementsAndCountsPast32BitsThrow) {
  constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
  EXPECT_EQ(kMax, ScratchBuffer<char>::NeededCount(kMax - 1u, 1));
  EXPECT_THROW(ScratchBuffer<char>::NeededCount(kMax, 1), std::length_error);
  EXPECT_THROW(ScratchBuffer<char>::NeededCount(0x55555555u, 3), std::length_error);  // 2^32
  EXPECT_THROW(ScratchBuffer<char>::NeededCount((std::size_t{1} << 32) + 1, 1), std::length_error);

  // Up to 1024 elements inline, then one heap array of exactly the needed count.
  EXPECT_EQ(Sizes{}, Allocations([] { ScratchBuffer<UniChar> b(1024); }));
  EXPECT_EQ(Sizes{1025 * sizeof(UniChar)}, Allocations([] { ScratchBuffer<UniChar> b(1025); }));
}

TEST_F(AllocationTest, WorkUnitsInlineThenTheThreadsWarmAreaUpToItsLimitThenOwnArrays) {
  WorkUnits::ReleaseWarmArea();
  const auto limit = static_cast<std::uint32_t>(text::kWarmBytes / sizeof(UniChar));
  EXPECT_EQ(WorkStorage::kInline, WorkUnits(1024).storage());
  EXPECT_EQ(Sizes{4096 * sizeof(UniChar)},
            Allocations([] { EXPECT_EQ(WorkStorage::kWarm, WorkUnits(2049).storage()); }));
  // Kept: the same or a smaller need allocates nothing; a nested one gets
  // its own array.
  EXPECT_EQ(Sizes{}, Allocations([] {
              WorkUnits outer(4096);
              EXPECT_EQ(WorkStorage::kWarm, outer.storage());
              EXPECT_EQ(4096u, outer.capacity());
            }));
  EXPECT_EQ(Sizes{1500 * sizeof(UniChar)}, Allocations([] {
              WorkUnits outer(1500), inner(1500);
              EXPECT_EQ(WorkStorage::kOwn, inner.storage());
            }));
  EXPECT_EQ(Sizes{limit * sizeof(UniChar)},
            Allocations([&] { EXPECT_EQ(WorkStorage::kWarm, WorkUnits(limit - 5).storage()); }));
  EXPECT_EQ(Sizes{(limit + 1) * sizeof(UniChar)},
            Allocations([&] { EXPECT_EQ(WorkStorage::kOwn, WorkUnits(limit + 1).storage()); }));
  EXPECT_EQ(Sizes{}, Allocations([&] { WorkUnits(limit).storage(); }));
  WorkUnits::ReleaseWarmArea();
}

// Whether the standard strings' own allocations reach the replaced operator
// new. With mingw-w64 they do not: the string code is compiled into the
// shared C++ runtime, which keeps its own operator new. There only the
// library's other allocations can be seen (and must be none).
bool StringAllocationsSeen() {
  static volatile char sink;
  return !Allocations([] {
            const std::string s(100, 'x');
            sink = s[50];
          }).empty();
}

// Past the inline size a conversion allocates exactly once, for its result
// (length plus NUL), and nothing when the result's storage is large enough;
// below it, nothing but a result too long for the string's own storage.
// A result returned by value is always new storage (intoStorage false).
template <typename Out, typename Convert>
void ExpectOneAllocationForTheResult(Convert convert, const char* what, bool intoStorage = true) {
  SCOPED_TRACE(what);
  Out result;
  convert(result);
  ASSERT_GT(result.size(), 15u);
  Out fresh, roomy;
  roomy.reserve(result.size());
  const Sizes forResult{(result.size() + 1) * sizeof(typename Out::value_type)};
  EXPECT_EQ(StringAllocationsSeen() ? forResult : Sizes{}, Allocations([&] { convert(fresh); }));
  EXPECT_EQ(result, fresh);
  if (!intoStorage) return;
  EXPECT_EQ(Sizes{}, Allocations([&] { convert(roomy); }));
  EXPECT_EQ(result, roomy);
}

TEST_F(AllocationTest, LargeConversionsAllocateOnlyTheirResult) {
  UnicodeString units(UniString(2048, 'x'));
  const std::string fits(1023, 'a'), over(1024, 'a');
  EXPECT_EQ(Sizes{}, Allocations([&] { units.UTF8ToUCS2(fits, units); }));
  EXPECT_EQ(Sizes{}, Allocations([&] { units.UTF8ToUCS2(over, units); }));
  const std::string latin = std::string(2000, 'e') + "\xC3\xA9";
  ExpectOneAllocationForTheResult<UniString>([&](UniString& out) { units.UTF8ToUCS2(latin, out); },
                                             "UTF8ToUCS2");

  // Bytes reserved per unit read out: UTF-8 3, Latin-1 2, ANSI code page 3,
  // URL 9; past that many units the conversion writes into the result.
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
    EXPECT_EQ(Sizes{}, Allocations([&] { (pastLast.*c.first)(bytes); })) << c.second;
    ExpectOneAllocationForTheResult<std::string>(
        [&](std::string& out) { (pastLast.*c.first)(out); }, "read-out");
  }
  const UnicodeString wide(UniString(3000, UniChar(0xE9)));
  for (Encoding e : {kMacRomanEncoding, kUTF8Encoding}) {
    ExpectOneAllocationForTheResult<std::string>(
        [&](std::string& out) { out = wide.getStringWithEncoding(e); }, "getStringWithEncoding",
        false);
  }

  // Setters decode behind the content.
  UnicodeString appended;
  appended.reserve(5000);
  const std::string macE(2000, '\x8E'), latinE(2000, '\xE9');
  EXPECT_EQ(Sizes{}, Allocations([&] {
              appended.setStringWithEncoding(kMacRomanEncoding, macE);
              appended.setStringWithEncoding(kISOLatin1Encoding, latinE);
            }));
  EXPECT_EQ(UniString(4000, UniChar(0xE9)), static_cast<const UniString&>(appended));

  // The map functions' UTF-16 step stays in the thread's warm area.
  const std::string roman(100000, '\x8E'), utf8 = UnicodeString::MapMacRomanToUTF8(roman);
  ExpectOneAllocationForTheResult<std::string>(
      [&](std::string& out) { out = UnicodeString::MapMacRomanToUTF8(roman); }, "to UTF-8", false);
  ExpectOneAllocationForTheResult<std::string>(
      [&](std::string& out) { out = UnicodeString::MapUTF8ToMacRoman(utf8); }, "from UTF-8", false);
}

}  // namespace
