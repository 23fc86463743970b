// The conversions that write straight into their results, against an
// independent oracle: Vandrel into a buffer of the documented worst-case
// size, then a copy up to the NUL. Random, malformed and marked texts whose
// sizes sit around the inline size and the warm area's limit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "TalqOSUtils/UnicodeString.h"
#include "Vandrel/Vandrel.h"
#include "text/ScratchBuffer.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace): the encoding names

template <typename T, typename Convert>
std::basic_string<T> Through(std::size_t capacity, Convert convert, bool* failed = nullptr) {
  std::vector<T> buffer(std::max<std::size_t>(capacity, 1024), T(1));
  const int written = convert(buffer.data(), buffer.size());
  if (failed != nullptr) *failed = written == -1;
  return std::basic_string<T>(buffer.data());
}

UniString RefDecode(Encoding e, const std::string& s) {
  const char* src = e == kUTF8Encoding && UnicodeString::HasBOM(s) ? s.c_str() + 3 : s.c_str();
  bool failed = false;
  UniString out = Through<UniChar>(
      s.size() + 1,
      [&](UniChar* d, std::size_t c) {
        switch (e) {
          case kUTF8Encoding:
            return Vandrel::UTF8ToUni16Char(src, d, c);
          case kMacRomanEncoding:
            return Vandrel::MacRomanStringToUni16Char(s, d, c);
          case kISOLatin1Encoding:
            return Vandrel::ISOLatin1CStringToUni16Char(src, d, c);
          case kURLEncoding:
            return Vandrel::URLEncodingToUni16Char(src, d, c);
          default:
            return Vandrel::PlatformCStringToUni16Char(src, d, c);
        }
      },
      &failed);
  return failed && e != kUTF8Encoding ? UniString() : out;
}

std::string RefReadOut(Encoding e, const UniString& u) {
  // UTF-8 drops up to two leading marks, swapping after a swapped one.
  const UniString plain =
      e == kUTF8Encoding ? UnicodeString::ProcessBOM(UnicodeString::ProcessBOM(u)) : u;
  bool failed = false;
  std::string out = Through<char>(
      9 * u.size() + 1,
      [&](char* d, std::size_t c) {
        switch (e) {
          case kUTF8Encoding:
            return Vandrel::Uni16CharToUTF8(plain.c_str(), d, c);
          case kMacRomanEncoding:
            return Vandrel::Uni16CharToMacRomanCString(u.c_str(), d, c);
          case kISOLatin1Encoding:
            return Vandrel::Uni16CharToISOLatin1CString(u.c_str(), d, c);
          case kURLEncoding:
            return Vandrel::Uni16CharToURLEncoding(u.c_str(), d, c);
          default:
            return Vandrel::Uni16CharToPlatformCString(u.c_str(), d, c);
        }
      },
      &failed);
  return e == kMacRomanEncoding && failed ? std::string() : out;
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
  UniString u = leads[pick(5)];
  while (u.size() < n) {
    const unsigned k = pick(6);
    if (k == 0) u += static_cast<UniChar>('a' + pick(26));
    if (k == 1) u += static_cast<UniChar>(0xC0 + pick(64));
    if (k == 2) u += static_cast<UniChar>(0x4E00 + pick(500));
    if (k == 3) u += {UniChar(0xD83D), static_cast<UniChar>(0xDE00 + pick(64))};
    if (k == 4) u += static_cast<UniChar>(0xD800 + pick(0x800));
    if (k == 5) u += static_cast<UniChar>(0x20AC);
  }
  u.resize(n);
  return u;
}

constexpr Encoding kEncodings[] = {kMacRomanEncoding, kISOLatin1Encoding, kURLEncoding,
                                   kUTF8Encoding, kPlatformEncoding};

TEST(ConversionPaths, FromBytesMatchTheOracleAroundEveryThreshold) {
  const std::size_t warm = text::kWarmBytes / sizeof(UniChar);
  std::mt19937 r(17);
  for (std::size_t n : {std::size_t{0}, std::size_t{3}, std::size_t{1023}, std::size_t{1024},
                        std::size_t{1025}, std::size_t{5000}, warm, warm + 1}) {
    for (int round = 0; round < (n > 100000 ? 1 : 6); ++round) {
      const std::string bytes = RandomBytes(r, n);
      SCOPED_TRACE(testing::Message() << n << " bytes, round " << round);
      const UniString units = RefDecode(kUTF8Encoding, bytes);
      EXPECT_EQ(units, static_cast<const UniString&>(UnicodeString(bytes)));
      for (Encoding e : kEncodings) {
        SCOPED_TRACE(testing::Message() << "encoding " << e);
        const UniString decoded = RefDecode(e, bytes);
        UnicodeString s(std::string("pre"));
        const UniString pre = s;
        s.setStringWithEncoding(e, bytes);
        EXPECT_EQ(e == kUTF8Encoding ? decoded : pre + decoded, static_cast<const UniString&>(s));
        EXPECT_EQ(RefReadOut(kUTF8Encoding, decoded), UnicodeString::MapEncodingToUTF8(e, bytes));
        EXPECT_EQ(RefReadOut(e, units), UnicodeString::MapUTF8ToEncoding(e, bytes));
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
      const std::string expected = RefReadOut(kUTF8Encoding, units);
      std::string utf8 = "old";
      units.get(utf8);
      EXPECT_EQ(expected, utf8);
      for (Encoding e : kEncodings) {
        EXPECT_EQ(RefReadOut(e, units), units.getStringWithEncoding(e)) << "encoding " << e;
      }
      // Caller arrays cut anywhere, with a guard after them.
      for (std::size_t size :
           {std::size_t{1}, expected.size() / 2, expected.size(), expected.size() + 1}) {
        if (size == 0) continue;
        std::vector<char> dst(size + 8, '#');
        units.get(dst.data(), static_cast<int>(size));
        EXPECT_EQ(expected.substr(0, std::min(expected.size(), size - 1)), dst.data()) << size;
        EXPECT_EQ(std::string(8, '#'), std::string(dst.data() + size, 8)) << size;
      }
    }
  }
}

}  // namespace
