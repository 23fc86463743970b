// Heap allocations, counted and failed through a replaced operator new.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/UnicodeString.h"
#include "text/ScratchBuffer.h"

static std::size_t gCount = 0;  // allocations so far
static bool gFailNext = false;  // the next allocation throws std::bad_alloc

void* operator new(std::size_t size) {
  ++gCount;
  void* p = gFailNext ? nullptr : std::malloc(size == 0 ? 1 : size);
  gFailNext = false;
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
// The array form too: a libstdc++ DLL's own would bypass this one. Every delete
// form ends in free(); a sanitizer's own sized or array delete would not.
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)

std::size_t Allocations(const std::function<void()>& fn) {
  const std::size_t before = gCount;
  fn();
  return gCount - before;
}

class AllocationTest : public ::testing::Test {
 protected:
  void SetUp() override {  // valgrind puts its own allocator in place of operator new
    if (const char* p = std::getenv("LD_PRELOAD"); p && std::strstr(p, "vgpreload")) GTEST_SKIP();
  }
};

TEST_F(AllocationTest, CountsPast32BitsThrowRatherThanWrap) {
  EXPECT_EQ(0xFFFFFFFFu, text::NeededCount(0xFFFFFFFEu, 1));
  EXPECT_THROW(text::NeededCount(0x55555555u, 3), std::length_error);  // 3n+1 = 2^32
}

// Into a roomy result nothing is allocated; the maps' UTF-16 step stays warm.
TEST_F(AllocationTest, ConversionsIntoRoomyResultsAllocateNothing) {
  const UnicodeString euros(UniString(2000, UniChar(0x20AC)));
  std::string bytes(20000, ' ');
  UniString units(5000, ' ');
  const std::string roman(3000, '\xE9'), utf8 = UnicodeString::MapMacRomanToUTF8(roman);
  UnicodeString::MapUTF8ToMacRoman(utf8);  // warms the thread's area
  EXPECT_EQ(0u, Allocations([&] { euros.get(bytes); }));
  EXPECT_EQ(0u, Allocations([&] { euros.getURLEncoding(bytes); }));
  EXPECT_EQ(0u, Allocations([&] { euros.UTF8ToUCS2(roman, units); }));
  EXPECT_LE(Allocations([&] { UnicodeString::MapMacRomanToUTF8(roman); }), 1u);
  EXPECT_LE(Allocations([&] { UnicodeString::MapUTF8ToMacRoman(utf8); }), 1u);
}

// The exception keeps no stale pointer: its old message is gone.
TEST_F(AllocationTest, FailedMessageCopyLeavesNoMessage) {
  ChException e("old message");
  gFailNext = true;
  EXPECT_THROW(e.SetDescription("new message"), std::bad_alloc);
  EXPECT_STREQ(e.what(), "");
}

}  // namespace
