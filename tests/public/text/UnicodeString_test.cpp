// UnicodeString: byte-order marks and the mark flag, read-out into arrays, the
// UTF-8 conversions, and the narrow encodings (dispatch and its errors, append
// versus replace, the system encoding, round trips).

#include <gmock/gmock.h>

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/UnicodeString.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace): the encoding names

const std::string kMark = "\xEF\xBB\xBF";

UniString Units(std::initializer_list<unsigned> u) { return UniString(u.begin(), u.end()); }

// hasBOM() and the content, which prints as text when a comparison fails.
using State = std::pair<bool, UniString>;
State Of(const UnicodeString& s) { return {s.hasBOM(), s}; }

// ProcessBOM(text) gives `processed`; construction and each assignment from
// text record whether it was marked and store `content`.
template <typename Text>
void ExpectMark(const Text& text, const std::decay_t<Text>& processed, bool marked,
                const UniString& content) {
  SCOPED_TRACE(testing::PrintToString(text));
  UnicodeString assigned(Units({0xFEFF, 'x'})), fromArray(assigned);  // both start marked
  assigned = text;
  fromArray = text.c_str();
  EXPECT_EQ(marked, UnicodeString::HasBOM(text));
  for (const UnicodeString& s : {UnicodeString(text), assigned, fromArray})
    EXPECT_EQ(State(marked, content), Of(s));
  EXPECT_EQ(processed, UnicodeString::ProcessBOM(text));
}

TEST(ByteOrderMark, OnlyTheFirstMarkIsRemovedAndANarrowOneNeedsAByteAfterIt) {
  ExpectMark(kMark, kMark, false, Units({0xFEFF}));  // exactly the three bytes
  ExpectMark(kMark + "a", "a", true, Units({'a'}));
  ExpectMark(kMark + kMark, kMark, true, Units({0xFEFF}));
  ExpectMark(std::string("\xEF\xBB\xBE\x61"), "\xEF\xBB\xBE\x61", false, Units({0xFEFE, 'a'}));
  ExpectMark(Units({0xFFFE, 0x4100, 0x4200}), Units({'A', 'B'}), true, Units({'A', 'B'}));
  ExpectMark(Units({0xFEFF, 0xFEFF, 'A'}), Units({0xFEFF, 'A'}), true, Units({0xFEFF, 'A'}));
  ExpectMark(Units({'A', 0xFEFF}), Units({'A', 0xFEFF}), false, Units({'A', 0xFEFF}));
  EXPECT_EQ(Units({0xFFFE, 0x4100}), UnicodeString::ReverseBytes(Units({0xFEFF, 0x0041})));
  UnicodeString nulled(kMark + "x");
  nulled = static_cast<const char*>(nullptr);
  EXPECT_EQ(State(false, UniString()), Of(nulled));

  // Copy construction keeps content and flag; assignment from a marked source
  // removes a mark again.
  const UnicodeString source(Units({0xFEFF, 0xFEFF, 'A'}));  // content FEFF A, marked
  UnicodeString temporary(source), copied(source), moved(std::move(temporary)), assigned, moved2;
  assigned = source;
  moved2 = UnicodeString(source);
  for (const UnicodeString* s : {&copied, &moved})
    EXPECT_EQ(State(true, Units({0xFEFF, 'A'})), Of(*s));
  for (const UnicodeString* s : {&assigned, &moved2}) EXPECT_EQ(State(true, Units({'A'})), Of(*s));
  UnicodeString self(Units({0xFEFF, 0xFFFE, 0x4100, 0x4200}));  // content FFFE 4100 4200
  self = std::as_const(self);                                   // swaps in place
  EXPECT_EQ(State(true, Units({'A', 'B'})), Of(self));
}

// What (s.*get)(dst, size) leaves in an array of `size` elements followed by
// two guards.
template <typename T>
std::basic_string<T> Array(const UnicodeString& s, void (UnicodeString::*get)(T*, int) const,
                           int size) {
  std::basic_string<T> array(static_cast<std::size_t>(size > 0 ? size : 0) + 2, T('#'));
  (s.*get)(&array[0], size);
  return array;
}

TEST(UnicodeStringGet, ArraysHoldAtMostSizeElementsWithTheNul) {
  const UnicodeString s(Units({0xFEFF, 'a', 0xE9}));  // stored as a, é: UTF-8 61 C3 A9
  const auto bytes = [&](int size) { return Array<char>(s, &UnicodeString::get, size); };
  EXPECT_EQ(std::string("a\xC3\xA9\0##", 6), bytes(4));  // exactly enough
  EXPECT_EQ(std::string("a\xC3\0##", 5), bytes(3));      // one short: the cut splits é
  EXPECT_EQ(std::string("\0##", 3), bytes(1));
  EXPECT_EQ("##", bytes(0));
  EXPECT_EQ("##", bytes(-1));
  using UnitGetter = void (UnicodeString::*)(UniChar*, int) const;
  for (UnitGetter get :
       {&UnicodeString::getUni16Char, static_cast<UnitGetter>(&UnicodeString::get)}) {
    EXPECT_EQ(Units({'a', 0xE9, 0, '#', '#'}), Array(s, get, 3));
    EXPECT_EQ(Units({'a', 0, '#', '#'}), Array(s, get, 2));
    EXPECT_EQ(Units({0, '#', '#'}), Array(s, get, 1));
    EXPECT_EQ(Units({'#', '#'}), Array(s, get, 0));
    (s.*get)(nullptr, 4);
  }
}

TEST(UnicodeStringUTF8, ReadOutDropsUpToTwoLeadingMarksAndRoundTripsAroundTheInlineSize) {
  // clang-format off
  const std::pair<UniString, std::string> cases[] = {
      {Units({'A', 0xFEFF}), "A" + kMark}, {Units({0xFEFF, 0xFEFF, 0xFEFF, 'A'}), kMark + "A"},
      {Units({0xFEFF, 0xFEFF, 'A'}), "A"}, {Units({0xFFFE, 0xFFFE, 0x4100}), "A"},
      {Units({0xFFFE, 0xFEFF, 'A'}), "A"}, {Units({0xFEFF, 0xFFFE, 0x4100}), "A"},
      {Units({0xFEFF, 0, 'A'}), ""}};
  // clang-format on
  for (const auto& [units, utf8] : cases) {
    std::string out = "old";
    UnicodeString().UCS2ToUTF8(units, out);
    EXPECT_EQ(utf8, out) << testing::PrintToString(units);
  }
  // Three UTF-8 bytes per unit, the last one a lone surrogate.
  for (std::size_t n : {341u, 342u, 2000u}) {
    const UniString text = UniString(n - 1, static_cast<UniChar>(0x20AC)) + UniChar(0xD800);
    std::string utf8;
    UnicodeString(text).get(utf8);
    EXPECT_EQ(State(false, text), Of(UnicodeString(utf8))) << n << " units";
  }
}

TEST(Encoding, DispatchRejectsUnsupportedAndUnknownValuesWithoutChanges) {
  for (std::int32_t value : {1, 7, -1, INT32_MAX, INT32_MIN}) {
    SCOPED_TRACE(value);
    const auto e = static_cast<Encoding>(value);
    const auto throws = testing::Throws<ChException>(testing::Property(
        &ChException::what,
        testing::StrEq(value == 1 ? "Unsupported encoding" : "Unknown encoding")));
    UnicodeString s(kMark + "k");
    UnicodeString::SetSystemEncoding(e);
    EXPECT_THAT([&] { s.getStringWithEncoding(e); }, throws);
    EXPECT_THAT([&] { s.setStringWithEncoding(e, "x"); }, throws);
    EXPECT_THAT([&] { UnicodeString::MapEncodingToUTF8(e, "x"); }, throws);
    EXPECT_THAT([&] { UnicodeString::MapUTF8ToEncoding(e, "x"); }, throws);
    EXPECT_THAT([] { UnicodeString::MapSystemEncodingToUTF8("x"); }, throws);
    EXPECT_THAT([] { UnicodeString::MapUTF8ToSystemEncoding("x"); }, throws);
    EXPECT_EQ(State(true, Units({'k'})), Of(s));
  }
  UnicodeString::SetSystemEncoding(kDefaultEncoding);
}

TEST(Encoding, SettersAppendExceptUTF8ReadOutsAndMapsRoundTrip) {
  UnicodeString s(kMark + "a");
  s.setStringWithEncoding(kISOLatin1Encoding, "\xE9");
  s.setStringWithEncoding(kMacRomanEncoding, "\x8E");
  s.setStringWithEncoding(kURLEncoding, "%EF%BB%BF");  // no mark removal outside UTF-8
  s.setStringWithEncoding(kURLEncoding, "x%G1");       // rejected: nothing appended
  s.setStringWithEncoding(kPlatformEncoding, "b");
  EXPECT_EQ(State(true, Units({'a', 0xE9, 0xE9, 0xFEFF, 'b'})), Of(s));
  s.setStringWithEncoding(kUTF8Encoding, kMark + "\xC3\xA9");
  EXPECT_EQ(State(true, Units({0xE9})), Of(s));
  s.insert(s.begin(), static_cast<UniChar>(0xFEFF));  // reaches every encoder but UTF-8's
  EXPECT_EQ("?\xE9", s.getStringWithEncoding(kISOLatin1Encoding));
  EXPECT_EQ("", UnicodeString::MapUTF8ToMacRoman("ab\xE4\xB8\xAD"));  // rejected: not even "ab"
  EXPECT_EQ("", UnicodeString::MapUTF8ToEncoding(kUTF8Encoding, kMark));

  std::string bytes;
  for (int b = 1; b <= 0xFF; ++b) bytes.push_back(static_cast<char>(b));
#if defined(_WIN32)
  const std::string platform = "ASCII survives every ANSI code page";
#else
  const std::string platform = bytes;  // Windows-1252 maps all 256 bytes
#endif
  // clang-format off
  const std::pair<Encoding, std::string> cases[] = {
      {kISOLatin1Encoding, bytes}, {kMacRomanEncoding, bytes}, {kPlatformEncoding, platform},
      {kDefaultEncoding, platform}, {kURLEncoding, "a%20%E2%82%AC"}, {kUTF8Encoding, "a\xF0\x9F\x98\x80"}};
  // clang-format on
  for (const auto& [e, text] : cases)
    EXPECT_EQ(text, UnicodeString::MapUTF8ToEncoding(e, UnicodeString::MapEncodingToUTF8(e, text)))
        << "encoding " << e;
  EXPECT_EQ("\xC3\x84", UnicodeString::MapMacRomanToUTF8("\x80"));
  EXPECT_EQ("\x80", UnicodeString::MapUTF8ToMacRoman("\xC3\x84"));
  EXPECT_EQ(kDefaultEncoding, UnicodeString::SetSystemEncoding(kMacRomanEncoding));
  EXPECT_EQ("\xC3\xA9", UnicodeString::MapSystemEncodingToUTF8("\x8E"));
  EXPECT_EQ("\x8E", UnicodeString::MapUTF8ToSystemEncoding("\xC3\xA9"));
  EXPECT_EQ(kMacRomanEncoding, UnicodeString::SetSystemEncoding(kDefaultEncoding));
}

}  // namespace
