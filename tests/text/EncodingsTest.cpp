// UnicodeString's narrow encodings: dispatch and its errors, append versus
// replace, the system encoding, and round trips through every encoding.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/UnicodeString.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace): the encoding names

const std::string kMark = "\xEF\xBB\xBF";

UniString Units(std::initializer_list<unsigned> units) {
  UniString s;
  for (unsigned u : units) s.push_back(static_cast<UniChar>(u));
  return s;
}

const UniString& Content(const UnicodeString& s) { return s; }

template <typename Fn>
std::string ThrownMessage(Fn&& fn) {
  try {
    fn();
  } catch (const ChException& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

// Restores the process-wide system encoding however the test ends.
struct SystemEncodingGuard {
  Encoding saved = UnicodeString::GetSystemEncoding();
  ~SystemEncodingGuard() { UnicodeString::SetSystemEncoding(saved); }
};

TEST(EncodingDispatch, RejectsUnsupportedAndUnknownValuesWithoutChanges) {
  SystemEncodingGuard guard;
  for (std::int32_t value : {1, 7, -1, INT32_MAX, INT32_MIN}) {
    const std::string message = value == 1 ? "Unsupported encoding" : "Unknown encoding";
    const auto e = static_cast<Encoding>(value);
    UnicodeString s(kMark + "k");
    UnicodeString::SetSystemEncoding(e);
    EXPECT_EQ(message, ThrownMessage([&] { s.getStringWithEncoding(e); }));
    EXPECT_EQ(message, ThrownMessage([&] { s.setStringWithEncoding(e, "x"); }));
    EXPECT_EQ(message, ThrownMessage([&] { UnicodeString::MapEncodingToUTF8(e, "x"); }));
    EXPECT_EQ(message, ThrownMessage([&] { UnicodeString::MapUTF8ToEncoding(e, "x"); }));
    EXPECT_EQ(message, ThrownMessage([&] { UnicodeString::MapSystemEncodingToUTF8("x"); }));
    EXPECT_EQ(message, ThrownMessage([&] { UnicodeString::MapUTF8ToSystemEncoding("x"); }));
    EXPECT_EQ(Units({'k'}), Content(s));
    EXPECT_TRUE(s.hasBOM());
  }
}

TEST(EncodingDispatch, SettersAppendExceptUTF8WhichReplaces) {
  const struct {
    Encoding e;
    std::string text;
    UniString expected;
  } cases[] = {{kISOLatin1Encoding, "\xE9", Units({'a', 0xE9})},
               {kMacRomanEncoding, "\x8E", Units({'a', 0xE9})},
               {kURLEncoding, "%C3%a9+", Units({'a', 0xE9, '+'})},
               {kURLEncoding, "%EF%BB%BF", Units({'a', 0xFEFF})},  // no mark removal
               {kURLEncoding, "%G1", Units({'a'})},                // rejected: unchanged
               {kPlatformEncoding, "c", Units({'a', 'c'})},
               {kDefaultEncoding, "c", Units({'a', 'c'})},
               {kUTF8Encoding, kMark + "\xC3\xA9", Units({0xE9})}};
  for (const auto& c : cases) {
    UnicodeString s(kMark + "a");
    s.setStringWithEncoding(c.e, c.text);
    EXPECT_EQ(c.expected, Content(s)) << c.e << " " << c.text;
    EXPECT_TRUE(s.hasBOM());
  }
}

TEST(EncodingReadOut, EachEncodingAndItsFailures) {
  const UnicodeString s(Units({'a', ' ', 0xE9}));
  EXPECT_EQ("a \xE9", s.getStringWithEncoding(kISOLatin1Encoding));
  EXPECT_EQ("a \x8E", s.getStringWithEncoding(kMacRomanEncoding));
  EXPECT_EQ("a%20%C3%A9", s.getStringWithEncoding(kURLEncoding));
  EXPECT_EQ(s.getStringWithEncoding(kPlatformEncoding), s.getStringWithEncoding(kDefaultEncoding));
  EXPECT_EQ("", UnicodeString(Units({'a', 0x4E2D})).getStringWithEncoding(kMacRomanEncoding));
  EXPECT_EQ("a?", UnicodeString(Units({'a', 0x4E2D})).getStringWithEncoding(kISOLatin1Encoding));

  UnicodeString marked;  // a leading U+FEFF reaches every encoder but UTF-8's
  marked.append(Units({0xFEFF, 'A'}));
  EXPECT_EQ("A", marked.getStringWithEncoding(kUTF8Encoding));
  EXPECT_EQ("%EF%BB%BFA", marked.getStringWithEncoding(kURLEncoding));
  EXPECT_EQ("?A", marked.getStringWithEncoding(kISOLatin1Encoding));

  // Nine bytes per unit: a buffer of three per unit would cut this text.
  const UnicodeString euros(UniString(400, static_cast<UniChar>(0x20AC)));
  std::string url;
  euros.getURLEncoding(url);
  UnicodeString back;
  back.setURLEncoding(url);
  EXPECT_EQ(Content(euros), Content(back));
}

TEST(EncodingMap, RoundTripsThroughEveryEncoding) {
  std::string bytes;
  for (int b = 1; b <= 0xFF; ++b) bytes.push_back(static_cast<char>(b));
#if defined(_WIN32)
  const std::string platform = "ASCII survives every ANSI code page";
#else
  const std::string platform = bytes;  // Windows-1252 maps all 256 bytes
#endif
  const struct {
    Encoding e;
    std::string text;
  } cases[] = {
      {kISOLatin1Encoding, bytes},   {kMacRomanEncoding, bytes},
      {kPlatformEncoding, platform}, {kDefaultEncoding, platform},
      {kURLEncoding, "a%20b%C3%A9"}, {kUTF8Encoding, "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"}};
  for (const auto& c : cases) {
    const std::string utf8 = UnicodeString::MapEncodingToUTF8(c.e, c.text);
    EXPECT_EQ(c.text, UnicodeString::MapUTF8ToEncoding(c.e, utf8)) << c.e;
    EXPECT_EQ("", UnicodeString().getStringWithEncoding(c.e)) << c.e;
  }
  EXPECT_EQ("\xC3\x84\xC3\xA9", UnicodeString::MapMacRomanToUTF8("\x80\x8E"));
  EXPECT_EQ("\x80\x8E", UnicodeString::MapUTF8ToMacRoman("\xC3\x84\xC3\xA9"));
  EXPECT_EQ("", UnicodeString::MapUTF8ToMacRoman("ab\xE4\xB8\xAD"));
  EXPECT_EQ("abc", UnicodeString::MapUTF8ToEncoding(kUTF8Encoding, kMark + "abc"));
  EXPECT_EQ("", UnicodeString::MapUTF8ToEncoding(kUTF8Encoding, kMark));
}

TEST(EncodingSystem, StartsAtDefaultAndReturnsThePreviousValue) {
  SystemEncodingGuard guard;
  EXPECT_EQ(kDefaultEncoding, UnicodeString::GetSystemEncoding());
  EXPECT_EQ(kDefaultEncoding, UnicodeString::SetSystemEncoding(kMacRomanEncoding));
  EXPECT_EQ("\xC3\xA9", UnicodeString::MapSystemEncodingToUTF8("\x8E"));
  EXPECT_EQ("\x8E", UnicodeString::MapUTF8ToSystemEncoding("\xC3\xA9"));
  EXPECT_EQ(kMacRomanEncoding, UnicodeString::SetSystemEncoding(kISOLatin1Encoding));
  EXPECT_EQ(kISOLatin1Encoding, UnicodeString::GetSystemEncoding());
}

}  // namespace
