// UnicodeString: byte-order marks, the mark flag of every constructor and
// assignment, read-out into arrays, and the UTF-8 conversions.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "TalqOSUtils/UnicodeString.h"

namespace {

using TalqOSUtils::UniChar;
using TalqOSUtils::UnicodeString;
using TalqOSUtils::UniString;

const std::string kMark = "\xEF\xBB\xBF";

UniString Units(std::initializer_list<unsigned> units) {
  UniString s;
  for (unsigned u : units) s.push_back(static_cast<UniChar>(u));
  return s;
}

// Compares as the base string, so failures print as text.
const UniString& Content(const UnicodeString& s) { return s; }

TEST(ByteOrderMark, NarrowMarkNeedsAtLeastOneByteAfterIt) {
  const struct {
    std::string text;
    bool marked;
    std::string processed;
  } cases[] = {{kMark, false, kMark},  // exactly the three bytes
               {kMark + "a", true, "a"},
               {kMark + kMark, true, kMark},
               {"\xEF\xBB", false, "\xEF\xBB"},
               {"\xEF\xBB\xBE\x61", false, "\xEF\xBB\xBE\x61"},
               {"\xFF\xFE\x61\x62", false, "\xFF\xFE\x61\x62"},
               {"", false, ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.marked, UnicodeString::HasBOM(c.text)) << c.text;
    EXPECT_EQ(c.processed, UnicodeString::ProcessBOM(c.text)) << c.text;
  }
}

struct WideCase {
  UniString text;
  bool marked;
  UniString processed;
};

const WideCase kWideCases[] = {
    {Units({}), false, Units({})},
    {Units({0xFEFF}), true, Units({})},
    {Units({0xFFFE}), true, Units({})},
    {Units({0xFFFE, 0x4100, 0x4200}), true, Units({'A', 'B'})},
    {Units({0xFEFF, 0xFEFF, 'A'}), true, Units({0xFEFF, 'A'})},  // only the first mark
    {Units({0xFFFE, 0xFFFE, 0x00D8}), true, Units({0xFEFF, 0xD800})},
    {Units({'A', 0xFEFF}), false, Units({'A', 0xFEFF})},
};

TEST(ByteOrderMark, WideMarkIsRemovedAndSwappedTextRestored) {
  for (const WideCase& c : kWideCases) {
    EXPECT_EQ(c.marked, UnicodeString::HasBOM(c.text));
    EXPECT_EQ(c.processed, UnicodeString::ProcessBOM(c.text));
  }
  EXPECT_EQ(Units({0xFFFE, 0x4100, 0x3412}),
            UnicodeString::ReverseBytes(Units({0xFEFF, 0x0041, 0x1234})));
}

TEST(UnicodeStringFlag, EveryConstructorAndAssignmentSetsIt) {
  for (const std::string& utf8 : {kMark + "ab", kMark, std::string("ab")}) {
    UnicodeString fromString(Units({0xFEFF})), fromArray(Units({0xFEFF}));  // start marked
    fromString = utf8;
    fromArray = utf8.c_str();
    const bool marked = utf8.size() > 3;
    const UniString content = utf8 == kMark ? Units({0xFEFF}) : Units({'a', 'b'});
    for (const UnicodeString& s : {UnicodeString(utf8), fromString, fromArray}) {
      EXPECT_EQ(marked, s.hasBOM()) << utf8;
      EXPECT_EQ(content, Content(s)) << utf8;
    }
  }
  for (const WideCase& c : kWideCases) {
    UnicodeString assigned(kMark + "x");
    assigned = c.text;
    for (const UnicodeString& s : {UnicodeString(c.text), assigned}) {
      EXPECT_EQ(c.marked, s.hasBOM());
      EXPECT_EQ(c.processed, Content(s));
    }
  }
  UnicodeString nulled(kMark + "x");
  nulled = static_cast<const char*>(nullptr);  // taken as ""
  EXPECT_FALSE(nulled.hasBOM() || !nulled.empty() || UnicodeString().hasBOM());
}

TEST(UnicodeStringFlag, CopyAssignmentFromAMarkedSourceDropsASecondMark) {
  const UnicodeString source(Units({0xFEFF, 0xFEFF, 'A'}));  // content FEFF A, marked
  UnicodeString temporary(source), assigned, moveAssigned, swapped;
  const UnicodeString copied(source), moved(std::move(temporary));
  assigned = source;
  moveAssigned = UnicodeString(source);
  swapped = UnicodeString(Units({0xFEFF, 0xFFFE, 0x4100}));
  const UnicodeString* const all[] = {&copied, &moved, &assigned, &moveAssigned, &swapped};
  for (const UnicodeString* s : all) {
    EXPECT_TRUE(s->hasBOM());
    EXPECT_EQ(s == &copied || s == &moved ? Units({0xFEFF, 'A'}) : Units({'A'}), Content(*s));
  }
  const UnicodeString& self = assigned;
  assigned = UnicodeString(std::string("xy"));
  assigned = self;
  EXPECT_FALSE(assigned.hasBOM());
  EXPECT_EQ(Units({'x', 'y'}), Content(assigned));
}

// Runs a read-out into an array of `size` elements plus two sentinels.
template <typename T, typename Fn>
std::basic_string<T> Array(int size, Fn&& fn) {
  std::basic_string<T> array(static_cast<std::size_t>(size < 0 ? 0 : size) + 2, T('#'));
  fn(&array[0], size);
  return array;
}

TEST(UnicodeStringGet, ArraysHoldAtMostSizeElementsWithTheNul) {
  const UnicodeString s(std::string("abcdef"));
  auto bytes = [&](int size) { return Array<char>(size, [&](char* d, int n) { s.get(d, n); }); };
  EXPECT_EQ(std::string("abcdef\0##", 9), bytes(7));  // exactly enough
  EXPECT_EQ(std::string("abcde\0##", 8), bytes(6));   // one short
  EXPECT_EQ(std::string("\0##", 3), bytes(1));
  EXPECT_EQ("##", bytes(0));
  EXPECT_EQ("##", bytes(-1));
  const UnicodeString e(Units({0xE9}));  // the cut may split a character
  EXPECT_EQ(std::string("\xC3\0##", 4), Array<char>(2, [&](char* d, int n) { e.get(d, n); }));

  using UnitGetter = void (UnicodeString::*)(UniChar*, int) const;
  const UnicodeString w(Units({0xFEFF, 'a', 'b', 'c'}));  // stored as abc
  for (UnitGetter get :
       {&UnicodeString::getUni16Char, static_cast<UnitGetter>(&UnicodeString::get)}) {
    auto units = [&](int size) {
      return Array<UniChar>(size, [&](UniChar* d, int n) { (w.*get)(d, n); });
    };
    EXPECT_EQ(Units({'a', 'b', 'c', 0, '#', '#'}), units(4));
    EXPECT_EQ(Units({'a', 'b', 0, '#', '#'}), units(3));
    EXPECT_EQ(Units({0, '#', '#'}), units(1));
    EXPECT_EQ(Units({'#', '#'}), units(0));
    (w.*get)(nullptr, 4);
  }
}

TEST(UnicodeStringUTF8, ReadOutDropsUpToTwoLeadingMarks) {
  const struct {
    UniString units;
    std::string utf8;
  } cases[] = {{Units({'A', 0xFEFF}), "A" + kMark},
               {Units({0xFEFF, 0xFEFF, 'A'}), "A"},
               {Units({0xFFFE, 0xFFFE, 0x4100}), "A"},
               {Units({0xFFFE, 0xFEFF, 'A'}), "A"},     // swapped twice
               {Units({0xFEFF, 0xFFFE, 0x4100}), "A"},  // swapped once
               {Units({0xFEFF, 0xFEFF, 0xFEFF, 'A'}), kMark + "A"},
               {Units({0xFEFF, 0, 'A'}), ""}};
  for (const auto& c : cases) {
    UnicodeString s;
    s.append(c.units);  // stored as given
    std::string out = "old";
    s.get(out);
    EXPECT_EQ(c.utf8, out);
  }
}

TEST(UnicodeStringUTF8, ConvertsBothWaysAroundTheInlineBufferSize) {
  const UniString text = Units({'a', 0xE9, 0x20AC, 0xD83D, 0xDE00, 0xD800, 'b'});  // lone D800
  const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xED\xA0\x80\x62";
  std::string out;
  UnicodeString(text).get(out);
  EXPECT_EQ(utf8, out);
  EXPECT_EQ(text, Content(UnicodeString(utf8)));
  EXPECT_EQ(Units({'a', 0xFFFD, 'b'}), Content(UnicodeString(std::string("a\xE2\x82\x62"))));
  EXPECT_EQ(Units({'a'}), Content(UnicodeString(std::string("a\0b", 3))));

  for (std::size_t n : {1023u, 1024u, 1025u}) {
    EXPECT_EQ(UniString(n, 'q'), Content(UnicodeString(std::string(n, 'q'))));
    EXPECT_EQ(UniString(n - 3, 'q'), Content(UnicodeString(kMark + std::string(n - 3, 'q'))));
  }
  for (std::size_t n : {341u, 342u, 2000u}) {
    UnicodeString(UniString(n, static_cast<UniChar>(0x20AC))).get(out);
    EXPECT_EQ(UniString(n, static_cast<UniChar>(0x20AC)), Content(UnicodeString(out)));
  }
}

}  // namespace
