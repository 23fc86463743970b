// Capacities, null arguments and percent-encoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "VandrelTestUtil.h"

using vtest::AsVector;
using vtest::U16;
using vtest::Units;

namespace {

// Runs `convert(dst, capacity)` with capacities 0, 1, exactly enough and one
// short, in a buffer whose tail shows any write past the capacity. One short
// must give -1 and the longest whole-character prefix `cut`.
template <class Dst, class Fn>
void CheckCapacities(Fn convert, const std::basic_string<Dst>& full,
                     const std::basic_string<Dst>& cut) {
  const Dst kUntouched = static_cast<Dst>(0x5A);
  std::vector<Dst> buf(full.size() + 4);
  auto run = [&](std::size_t capacity) {
    std::fill(buf.begin(), buf.end(), kUntouched);
    return convert(buf.data(), capacity);
  };
  EXPECT_EQ(run(0), -1);
  EXPECT_EQ(buf[0], kUntouched);
  EXPECT_EQ(run(1), -1);
  EXPECT_EQ(buf[0], Dst(0));
  EXPECT_EQ(buf[1], kUntouched);
  EXPECT_EQ(run(full.size() + 1), static_cast<int>(full.size()));
  EXPECT_TRUE(std::basic_string<Dst>(buf.data()) == full);
  EXPECT_EQ(buf[full.size() + 1], kUntouched);
  EXPECT_EQ(run(full.size()), -1);
  EXPECT_TRUE(std::basic_string<Dst>(buf.data()) == cut);
  EXPECT_EQ(buf[full.size()], kUntouched);
}

using Decoder = int (*)(const char*, Vandrel::Uni16*, std::size_t);
using Encoder = int (*)(const Vandrel::Uni16*, char*, std::size_t);

void Decoding(Decoder fn, const std::string& src, const U16& full, const U16& cut) {
  SCOPED_TRACE(vtest::Hex(src));
  CheckCapacities<Vandrel::Uni16>(
      [&](Vandrel::Uni16* dst, std::size_t cap) { return fn(src.c_str(), dst, cap); }, full, cut);
}

void Encoding(Encoder fn, const U16& src, const std::string& full, const std::string& cut) {
  SCOPED_TRACE(full);
  CheckCapacities<char>([&](char* dst, std::size_t cap) { return fn(src.c_str(), dst, cap); }, full,
                        cut);
}

int MacRomanDecoder(const char* src, Vandrel::Uni16* dst, std::size_t cap) {
  return Vandrel::MacRomanStringToUni16Char(src, dst, cap);
}

const std::string kLetters = "abcdefghijklmnopqrstuvwxyz";
const U16 kLetterUnits(kLetters.begin(), kLetters.end());

TEST(Capacity, UtfConversionsCutBetweenCharacters) {
  using namespace Vandrel;
  Decoding(UTF8ToUni16Char, "a\xF0\x9F\x98\x80", Units({'a', 0xD83D, 0xDE00}), Units({'a'}));
  Decoding(UTF8ToUni16Char, "a\xC3\xA9\xE2\x82\xAC", Units({'a', 0xE9, 0x20AC}),
           Units({'a', 0xE9}));
  Decoding(UTF8ToUni16Char, kLetters, kLetterUnits, kLetterUnits.substr(0, 25));
  Encoding(Uni16CharToUTF8, Units({'a', 0xE9}), "a\xC3\xA9", "a");
  Encoding(Uni16CharToUTF8, Units({'a', 0xD83D, 0xDE00}), "a\xF0\x9F\x98\x80", "a");
  Encoding(Uni16CharToUTF8, Units({'a', 0xD800}), "a\xED\xA0\x80", "a");
  Encoding(Uni16CharToUTF8, kLetterUnits, kLetters, kLetters.substr(0, 25));
}

TEST(Capacity, CodePages) {
  using namespace Vandrel;
  Decoding(ISOLatin1CStringToUni16Char, "a\xE9", Units({'a', 0xE9}), Units({'a'}));
  Encoding(Uni16CharToISOLatin1CString, Units({'a', 0xD83D, 0xDE00}), "a?", "a");
  Encoding(Uni16CharToISOLatin1CString, kLetterUnits, kLetters, kLetters.substr(0, 25));
  Decoding(MacRomanDecoder, "a\xA5", Units({'a', 0x2022}), Units({'a'}));
  Decoding(MacRomanDecoder, kLetters, kLetterUnits, kLetterUnits.substr(0, 25));
  Encoding(Uni16CharToMacRomanCString, Units({'a', 0x2022}), "a\xA5", "a");
  Encoding(Uni16CharToMacRomanCString, kLetterUnits, kLetters, kLetters.substr(0, 25));
  // ASCII reads the same in every ANSI code page.
  Decoding(PlatformCStringToUni16Char, "abc", Units({'a', 'b', 'c'}), Units({'a', 'b'}));
  Encoding(Uni16CharToPlatformCString, Units({'a', 'b', 'c'}), "abc", "ab");
#if !defined(_WIN32)
  Decoding(PlatformCStringToUni16Char, "a\x80", Units({'a', 0x20AC}), Units({'a'}));
  Encoding(Uni16CharToPlatformCString, Units({'a', 0xD83D, 0xDE00}), "a?", "a");
#endif
}

TEST(Capacity, UrlEscapesStayWhole) {
  using namespace Vandrel;
  Encoding(Uni16CharToURLEncoding, Units({'a', 0xE9}), "a%C3%A9", "a");
  Encoding(Uni16CharToURLEncoding, Units({'a', 'b', ' '}), "ab%20", "ab");
  Decoding(URLEncodingToUni16Char, "a%C3%A9", Units({'a', 0xE9}), Units({'a'}));
  Decoding(URLEncodingToUni16Char, "ab%F0%9F%98%80", Units({'a', 'b', 0xD83D, 0xDE00}),
           Units({'a', 'b'}));
}

TEST(NullArguments, NullSourceIsEmptyAndNullDestinationFails) {
  using namespace Vandrel;
  const Decoder decoders[] = {UTF8ToUni16Char, PlatformCStringToUni16Char,
                              ISOLatin1CStringToUni16Char, URLEncodingToUni16Char};
  const Encoder encoders[] = {Uni16CharToUTF8, Uni16CharToPlatformCString,
                              Uni16CharToISOLatin1CString, Uni16CharToMacRomanCString,
                              Uni16CharToURLEncoding};
  for (Decoder fn : decoders) {
    Uni16 dst[2] = {'x', 'x'};
    EXPECT_EQ(fn(nullptr, dst, 2), 0);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(fn("a", nullptr, 2), -1);
  }
  for (Encoder fn : encoders) {
    char dst[2] = {'x', 'x'};
    EXPECT_EQ(fn(nullptr, dst, 2), 0);
    EXPECT_EQ(dst[0], 0);
    const Uni16 a[2] = {'a', 0};
    EXPECT_EQ(fn(a, nullptr, 2), -1);
  }
  EXPECT_EQ(MacRomanStringToUni16Char("a", nullptr, 2), -1);
}

TEST(UrlEncode, KeepsUnreservedAndEscapesEveryOtherUtf8Byte) {
  U16 ascii;
  std::string expected;
  for (unsigned c = 1; c < 128; ++c) {
    ascii += static_cast<Vandrel::Uni16>(c);
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      std::string("-._~").find(char(c)) != std::string::npos;
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02X", c);
    expected += keep ? std::string(1, static_cast<char>(c)) : std::string(escaped);
  }
  std::string out;
  EXPECT_EQ(vtest::ToBytes(Vandrel::Uni16CharToURLEncoding, ascii, out),
            static_cast<int>(expected.size()));
  EXPECT_EQ(out, expected);
  EXPECT_EQ(vtest::ToBytes(Vandrel::Uni16CharToURLEncoding,
                           Units({0xE9, 0xD83D, 0xDE00, 0xD800, '+'}), out),
            30);
  EXPECT_EQ(out, "%C3%A9%F0%9F%98%80%ED%A0%80%2B");
}

struct UrlDecodeCase {
  const char* src;
  int result;
  std::vector<unsigned> units;  // what dst holds, also after a failure
};

const UrlDecodeCase kUrlDecode[] = {
    {"%41%62c", 3, {'A', 'b', 'c'}},
    {"%c3%A9%C3%a9", 2, {0xE9, 0xE9}},  // either case of hex digit
    {"a+b%2B", 4, {'a', '+', 'b', '+'}},
    {"\xC3\xA9", 1, {0xE9}},  // raw UTF-8 bytes pass as they are
    {"%ED%A0%80", 1, {0xD800}},
    {"%ED%A0%80%ED%B0%80", 6, {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
    {"%FFa", 2, {0xFFFD, 'a'}},
    {"a%00b", 1, {'a'}},  // a decoded NUL ends the text
    // A '%' without two hex digits fails; dst keeps what came before it.
    {"%", -1, {}},
    {"ab%4", -1, {'a', 'b'}},
    {"ab%G1", -1, {'a', 'b'}},
    {"ab%4g", -1, {'a', 'b'}},
    {"ab% 41", -1, {'a', 'b'}},
    {"%C3%", -1, {0xFFFD}},
};

TEST(UrlDecode, Cases) {
  for (const UrlDecodeCase& c : kUrlDecode) {
    U16 out;
    EXPECT_EQ(vtest::ToUnits(Vandrel::URLEncodingToUni16Char, c.src, out), c.result) << c.src;
    EXPECT_EQ(AsVector(out), c.units) << c.src;
  }
}

TEST(UrlRoundTrip, TextAndLoneSurrogates) {
  for (const U16& text : {Units({'a', '/', ' ', '%', 0xE9, 0x4E2D, 0xD83D, 0xDE00, '~'}),
                          Units({0xDC00, 'x', 0xD800, 0xDBFF}), U16()}) {
    std::string encoded;
    ASSERT_GE(vtest::ToBytes(Vandrel::Uni16CharToURLEncoding, text, encoded), 0);
    U16 decoded;
    EXPECT_EQ(vtest::ToUnits(Vandrel::URLEncodingToUni16Char, encoded, decoded),
              static_cast<int>(text.size()));
    EXPECT_EQ(AsVector(decoded), AsVector(text)) << encoded;
  }
}

}  // namespace
