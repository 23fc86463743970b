// The conversions that write straight into their results, against an
// independent oracle: Vandrel into a buffer of the documented worst-case
// size. Random, malformed and marked texts whose sizes sit around the inline
// size and the warm area's limit.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "TalqOSUtils/UnicodeString.h"
#include "Vandrel/Vandrel.h"
#include "text/ScratchBuffer.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace): the encoding names

struct Coder {
  Encoding e;
  int (*decode)(const char*, UniChar*, std::size_t);
  int (*encode)(const UniChar*, char*, std::size_t);
};

const Coder kCoders[] = {
    {kMacRomanEncoding,
     [](const char* s, UniChar* d, std::size_t c) {
       return Vandrel::MacRomanStringToUni16Char(s, d, c);
     },
     Vandrel::Uni16CharToMacRomanCString},
    {kISOLatin1Encoding, Vandrel::ISOLatin1CStringToUni16Char,
     Vandrel::Uni16CharToISOLatin1CString},
    {kURLEncoding, Vandrel::URLEncodingToUni16Char, Vandrel::Uni16CharToURLEncoding},
    {kUTF8Encoding, Vandrel::UTF8ToUni16Char, Vandrel::Uni16CharToUTF8},
    {kPlatformEncoding, Vandrel::PlatformCStringToUni16Char, Vandrel::Uni16CharToPlatformCString},
    {kDefaultEncoding, Vandrel::PlatformCStringToUni16Char, Vandrel::Uni16CharToPlatformCString},
};
const Coder& kUTF8 = kCoders[3];

// A decoding that fails gives nothing, except in UTF-8 (which never fails
// with room); a leading UTF-8 mark is skipped.
UniString RefDecode(const Coder& c, const std::string& s) {
  const bool utf8 = c.e == kUTF8Encoding;
  std::vector<UniChar> buffer(s.size() + 1024);
  const int written = c.decode(s.c_str() + (utf8 && UnicodeString::HasBOM(s) ? 3 : 0),
                               buffer.data(), buffer.size());
  return written == -1 && !utf8 ? UniString() : UniString(buffer.data());
}

// UTF-8 drops up to two leading marks, swapping after a swapped one; a failed
// Mac OS Roman encoding gives nothing.
std::string RefReadOut(const Coder& c, const UniString& u) {
  const UniString plain =
      c.e == kUTF8Encoding ? UnicodeString::ProcessBOM(UnicodeString::ProcessBOM(u)) : u;
  std::vector<char> buffer(9 * u.size() + 1024);
  const int written = c.encode(plain.c_str(), buffer.data(), buffer.size());
  return written == -1 && c.e == kMacRomanEncoding ? std::string() : std::string(buffer.data());
}

// Bytes: UTF-8 of mixed scripts, a third of the texts with ill-formed and
// percent pieces, now and then a NUL or a leading mark.
std::string RandomBytes(std::mt19937& r, std::size_t n) {
  // clang-format off
  static const char* const kPieces[] = {"a", "Z9", "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
      "\xED\xA0\x80", "\xFF", "\xE2\x82", "%41", "%e9", "%G1", "~-._", "%"};
  // clang-format on
  auto pick = [&r](unsigned k) { return std::uniform_int_distribution<unsigned>(0, k - 1)(r); };
  std::string s = pick(4) == 0 ? "\xEF\xBB\xBF" : "";
  const unsigned kinds = pick(3) == 0 ? 13 : 5;
  while (s.size() < n) {
    s += kPieces[pick(kinds)];
    if (pick(5000) == 0) s += '\0';
  }
  s.resize(n);
  return s;
}

// Units: Latin, CJK, pairs, lone surrogates, leading marks of either order.
UniString RandomUnits(std::mt19937& r, std::size_t n) {
  auto pick = [&r](unsigned k) { return std::uniform_int_distribution<unsigned>(0, k - 1)(r); };
  const UniString leads[] = {{}, {0xFEFF}, {0xFFFE}, {0xFFFE, 0xFFFE}, {0xFEFF, 0xFFFE}};
  const unsigned from[] = {'a', 0xC0, 0x4E00, 0xD800, 0x20AC, 0xD83D},
                 spread[] = {26, 64, 500, 0x800, 1, 1};
  UniString u = leads[pick(5)];
  while (u.size() < n) {
    const unsigned k = pick(6);
    u += static_cast<UniChar>(from[k] + pick(spread[k]));
    if (k == 5) u += static_cast<UniChar>(0xDE00 + pick(64));
  }
  u.resize(n);
  return u;
}

TEST(ConversionPaths, FromBytesMatchTheOracleAroundEveryThreshold) {
  const std::size_t warm = text::kWarmBytes / sizeof(UniChar);
  std::mt19937 r(17);
  for (std::size_t n : {std::size_t{0}, std::size_t{3}, std::size_t{1023}, std::size_t{1024},
                        std::size_t{1025}, std::size_t{5000}, warm, warm + 1}) {
    for (int round = 0; round < (n > 100000 ? 1 : 6); ++round) {
      const std::string bytes = RandomBytes(r, n);
      const UniString units = RefDecode(kUTF8, bytes);
      for (const Coder& c : kCoders) {
        SCOPED_TRACE(testing::Message() << n << " bytes, round " << round << ", encoding " << c.e);
        const UniString decoded = RefDecode(c, bytes);
        UnicodeString s(UniString(1, 'p'));
        s.setStringWithEncoding(c.e, bytes);
        EXPECT_EQ(c.e == kUTF8Encoding ? decoded : UniString(1, 'p') + decoded,
                  static_cast<const UniString&>(s));
        EXPECT_EQ(RefReadOut(kUTF8, decoded), UnicodeString::MapEncodingToUTF8(c.e, bytes));
        EXPECT_EQ(RefReadOut(c, units), UnicodeString::MapUTF8ToEncoding(c.e, bytes));
      }
    }
  }
}

TEST(ConversionPaths, ToBytesMatchTheOracleAroundEveryThreshold) {
  std::mt19937 r(29);
  // The inline size over 3 (UTF-8, code page), 2 (Latin-1, Mac OS Roman), 9 (URL).
  for (std::size_t n : {0, 1, 2, 340, 341, 342, 511, 512, 513, 113, 114, 3000}) {
    for (int round = 0; round < 8; ++round) {
      const UnicodeString units(RandomUnits(r, n));
      SCOPED_TRACE(testing::Message() << n << " units, round " << round);
      for (const Coder& c : kCoders)
        EXPECT_EQ(RefReadOut(c, units), units.getStringWithEncoding(c.e)) << "encoding " << c.e;
      // Caller arrays cut anywhere, with a guard after them.
      const std::string expected = RefReadOut(kUTF8, units);
      for (std::size_t size :
           {std::size_t{1}, expected.size() / 2, expected.size(), expected.size() + 1}) {
        if (size == 0) continue;
        std::vector<char> dst(size + 8, '#');
        units.get(dst.data(), static_cast<int>(size));
        EXPECT_EQ(expected.substr(0, size - 1), dst.data()) << size;
        EXPECT_EQ(std::string(8, '#'), std::string(dst.data() + size, 8)) << size;
      }
    }
  }
}

}  // namespace
