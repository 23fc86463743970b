// UnicodeString's marks, arrays and encoding dispatch; see internal/text too.

#include <gmock/gmock.h>

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

// ProcessBOM(text) gives `processed`; construction and assignments from text,
// and copies of them (the list holds copies), give `marked` and `content`.
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
  ExpectMark(kMark + kMark, kMark, true, Units({0xFEFF}));
  ExpectMark(Units({0xFFFE, 0x4100, 0x4200}), Units({'A', 'B'}), true, Units({'A', 'B'}));
  ExpectMark(Units({0xFEFF, 0xFEFF, 'A'}), Units({0xFEFF, 'A'}), true, Units({0xFEFF, 'A'}));
  UnicodeString nulled(kMark + "x");
  nulled = static_cast<const char*>(nullptr);
  EXPECT_EQ(State(false, UniString()), Of(nulled));
  nulled.setStringWithEncoding(kUTF8Encoding, kMark + "\xC3\xA9");  // the flag stays
  EXPECT_EQ(State(false, Units({0xE9})), Of(nulled));

  // Assigning a marked one drops a mark, also in place.
  UnicodeString assigned;
  assigned = UnicodeString(Units({0xFEFF, 0xFEFF, 'A'}));  // content FEFF A, marked
  EXPECT_EQ(State(true, Units({'A'})), Of(assigned));
  UnicodeString self(Units({0xFEFF, 0xFFFE, 0x4100, 0x4200}));  // content FFFE 4100 4200
  self = std::as_const(self);                                   // swaps in place
  EXPECT_EQ(State(true, Units({'A', 'B'})), Of(self));

  // The UTF-8 read-out drops up to two marks, swapping after a swapped one.
  // clang-format off
  const std::pair<UniString, std::string> readOuts[] = {
      {Units({'A', 0xFEFF}), "A" + kMark}, {Units({0xFEFF, 0xFEFF, 0xFEFF, 'A'}), kMark + "A"},
      {Units({0xFFFE, 0xFEFF, 'A'}), "A"}, {Units({0xFEFF, 0, 'A'}), ""}};
  // clang-format on
  for (const auto& [units, utf8] : readOuts) {
    std::string out = "old";
    UnicodeString().UCS2ToUTF8(units, out);
    EXPECT_EQ(utf8, out) << testing::PrintToString(units);
  }
}

// What (s.*get)(dst, size) leaves in `size` elements and two guards.
template <typename T>
std::basic_string<T> Array(const UnicodeString& s, void (UnicodeString::*get)(T*, int) const,
                           int size) {
  std::basic_string<T> array(static_cast<std::size_t>(size > 0 ? size : 0) + 2, T('#'));
  (s.*get)(&array[0], size);
  return array;
}

TEST(UnicodeStringGet, ArraysHoldAtMostSizeElementsWithTheNul) {
  const UnicodeString s(Units({0xFEFF, 'a', 0xE9}));  // stored as a, é: UTF-8 61 C3 A9
  EXPECT_EQ(std::string("a\xC3\0##", 5), Array<char>(s, &UnicodeString::get, 3));  // splits é
  EXPECT_EQ("##", Array<char>(s, &UnicodeString::get, -1));
  EXPECT_EQ(Units({'a', 0xE9, 0, '#', '#'}), Array<UniChar>(s, &UnicodeString::get, 3));
  EXPECT_EQ(Units({'a', 0, '#', '#'}), Array<UniChar>(s, &UnicodeString::get, 2));
  EXPECT_EQ(Units({'#', '#'}), Array<UniChar>(s, &UnicodeString::get, 0));
  EXPECT_EQ(Units({'a', 0, '#', '#'}), Array(s, &UnicodeString::getUni16Char, 2));
  s.get(static_cast<UniChar*>(nullptr), 4);
}

// A bad encoding throws before anything changes; the system one is stored as
// is. The named forms are the dispatch's cases: same results as through it.
TEST(Encoding, DispatchRefusesBadValuesAndNamedFormsAndSystemMapsMatchIt) {
  for (int value : {1, 7, -1}) {
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
  EXPECT_EQ(static_cast<Encoding>(-1), UnicodeString::SetSystemEncoding(kMacRomanEncoding));
  EXPECT_EQ("\xC3\xA9", UnicodeString::MapSystemEncodingToUTF8("\x8E"));
  EXPECT_EQ("\x8E", UnicodeString::MapUTF8ToSystemEncoding("\xC3\xA9"));
  EXPECT_EQ(kMacRomanEncoding, UnicodeString::SetSystemEncoding(kDefaultEncoding));
  EXPECT_EQ(kDefaultEncoding, UnicodeString::GetSystemEncoding());
  EXPECT_EQ("\xC3\x84", UnicodeString::MapMacRomanToUTF8("\x80"));
  EXPECT_EQ("\x80", UnicodeString::MapUTF8ToMacRoman("\xC3\x84"));

  UnicodeString s(Units({'a'}));
  s.setISOLatin1Encoding("\x80");  // not Windows-1252's euro
  s.setURLEncoding("%41+");
  s.setURLEncoding("%G1");  // refused: nothing appended
  s.setPlatformEncoding("z");
  const UnicodeString moved(std::move(s));
  EXPECT_EQ(State(false, Units({'a', 0x80, 'A', '+', 'z'})), Of(moved));
  std::string latin, url, platform;
  moved.getISOLatin1Encoding(latin);
  moved.getURLEncoding(url);
  moved.getPlatformEncoding(platform);
  EXPECT_EQ(std::string("a\x80") + "A+z", latin);
  EXPECT_EQ("a%C2%80A%2Bz", url);
  EXPECT_EQ(moved.getStringWithEncoding(kPlatformEncoding), platform);
  UniString units;
  moved.get(units);
  EXPECT_EQ(UniString(moved), units);
  EXPECT_EQ(Units({0x4100, 0xFEFF}), UnicodeString::ReverseBytes(Units({'A', 0xFFFE})));
}

}  // namespace
