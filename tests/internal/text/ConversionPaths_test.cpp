// Random, malformed and marked texts around the inline and warm sizes, against Vandrel.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TalqOSUtils/UnicodeString.h"
#include "Vandrel/Vandrel.h"
#include "text/ScratchBuffer.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace): the encoding names
using namespace Vandrel;      // NOLINT(google-build-using-namespace): the conversions

const struct Coder {
  Encoding e;
  int (*decode)(const char*, UniChar*, std::size_t);
  int (*encode)(const UniChar*, char*, std::size_t);
} kCoders[] = {
    {kUTF8Encoding, UTF8ToUni16Char, Uni16CharToUTF8},
    {kMacRomanEncoding,
     [](const char* s, UniChar* d, std::size_t c) { return MacRomanStringToUni16Char(s, d, c); },
     Uni16CharToMacRomanCString},
    {kISOLatin1Encoding, ISOLatin1CStringToUni16Char, Uni16CharToISOLatin1CString},
    {kURLEncoding, URLEncodingToUni16Char, Uni16CharToURLEncoding},
    {kPlatformEncoding, PlatformCStringToUni16Char, Uni16CharToPlatformCString},
    {kDefaultEncoding, PlatformCStringToUni16Char, Uni16CharToPlatformCString},
};

// With room only a bad escape fails, giving nothing; UTF-8 skips a mark.
UniString RefDecode(const Coder& c, const std::string& s) {
  std::vector<UniChar> buffer(s.size() + 1024);
  const char* from = s.c_str() + (c.e == kUTF8Encoding && UnicodeString::HasBOM(s) ? 3 : 0);
  return c.decode(from, buffer.data(), buffer.size()) == -1 ? UniString() : buffer.data();
}

// UTF-8 drops up to two marks, swapping after a swapped one; only Mac OS Roman fails.
std::string RefReadOut(const Coder& c, const UniString& u) {
  const UniString plain =
      c.e == kUTF8Encoding ? UnicodeString::ProcessBOM(UnicodeString::ProcessBOM(u)) : u;
  std::vector<char> buffer(9 * u.size() + 1024);
  return c.encode(plain.c_str(), buffer.data(), buffer.size()) == -1 ? "" : buffer.data();
}

// Mixed scripts; in a third of the texts ill-formed and percent pieces too.
std::string RandomBytes(std::mt19937& r, std::size_t n, bool nuls = true) {
  // clang-format off
  static const char* const kPieces[] = {"a", "Z9", "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
      "\xED\xA0\x80", "\xFF", "\xE2\x82", "%41", "%e9", "%G1", "~-._", "%"};
  // clang-format on
  auto pick = [&r](unsigned k) { return std::uniform_int_distribution<unsigned>(0, k - 1)(r); };
  std::string s = pick(4) == 0 ? "\xEF\xBB\xBF" : "";
  const unsigned kinds = pick(3) == 0 ? 13 : 5;
  while (s.size() < n) {
    s += kPieces[pick(kinds)];
    if (nuls && pick(5000) == 0) s += '\0';
  }
  return s.substr(0, n);
}

// Bytes in, then units out: random ones after marks of either order.
TEST(ConversionPaths, MatchTheOracleAroundEveryThreshold) {
  const int warm = text::kWarmBytes / sizeof(UniChar);
  std::mt19937 r(17);
  for (std::size_t n : {0, 3, 1023, 1024, 1025, 5000, warm, warm + 1}) {
    for (int round = 0; round < (n > 100000 ? 1 : 6); ++round) {
      const std::string bytes = RandomBytes(r, n);
      const UniString units = RefDecode(kCoders[0], bytes);
      for (const Coder& c : kCoders) {
        SCOPED_TRACE(testing::Message() << n << " bytes, round " << round << ", encoding " << c.e);
        const UniString decoded = RefDecode(c, bytes);
        UnicodeString s(UniString(1, 'p'));
        s.setStringWithEncoding(c.e, bytes);
        EXPECT_EQ(c.e == kUTF8Encoding ? decoded : UniString(1, 'p') + decoded, UniString(s));
        EXPECT_EQ(RefReadOut(kCoders[0], decoded), UnicodeString::MapEncodingToUTF8(c.e, bytes));
        EXPECT_EQ(RefReadOut(c, units), UnicodeString::MapUTF8ToEncoding(c.e, bytes));
      }
    }
  }
  const UniString leads[] = {{}, {0xFEFF}, {0xFFFE}, {0xFFFE, 0xFFFE}, {0xFEFF, 0xFFFE}};
  // The inline size over 3 (UTF-8, code page), 2 (Latin-1, Mac OS Roman), 9 (URL).
  for (std::size_t n : {0, 1, 2, 340, 341, 342, 511, 512, 513, 113, 114, 3000}) {
    for (int round = 0; round < 10; ++round) {
      UnicodeString units(leads[round % 5] + RefDecode(kCoders[0], RandomBytes(r, 4 * n, false)));
      units.resize(n);
      SCOPED_TRACE(testing::Message() << n << " units, round " << round);
      for (const Coder& c : kCoders)
        EXPECT_EQ(RefReadOut(c, units), units.getStringWithEncoding(c.e)) << "encoding " << c.e;
      const std::string expected = RefReadOut(kCoders[0], units);
      for (std::size_t size :
           {std::size_t{1}, expected.size() / 2 + 1, expected.size(), expected.size() + 1}) {
        if (size == 0) continue;
        std::string dst(size + 8, '#');
        units.get(&dst[0], static_cast<int>(size));
        EXPECT_EQ(expected.substr(0, size - 1) + '\0' + std::string(8, '#'), dst) << size;
      }
    }
  }
}

}  // namespace
