// The conversions that write straight into their results, compared with the
// plain way they replaced (Vandrel into a buffer of the documented worst-case
// size, then a copy up to the NUL) on random, malformed and marked texts
// whose sizes sit around the inline size and the warm area's limit.

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

// ---------------------------------------------------------------------------
// The reference: every conversion into a vector of the worst-case size.

template <typename T, typename Convert>
std::basic_string<T> Through(std::size_t capacity, Convert convert, bool* failed = nullptr) {
  std::vector<T> buffer(std::max<std::size_t>(capacity, 1024), T(1));
  const int written = convert(buffer.data(), buffer.size());
  if (failed != nullptr) *failed = written == -1;
  return std::basic_string<T>(buffer.data());  // up to the NUL
}

UniString RefDecodeUTF8(const std::string& s) {
  const char* src = UnicodeString::HasBOM(s) ? s.c_str() + 3 : s.c_str();
  return Through<UniChar>(
      s.size() + 1, [&](UniChar* d, std::size_t c) { return Vandrel::UTF8ToUni16Char(src, d, c); });
}

std::string RefEncodeUTF8(const UniString& u) {
  const UniString plain = UnicodeString::ProcessBOM(UnicodeString::ProcessBOM(u));
  return Through<char>(3 * u.size() + 1, [&](char* d, std::size_t c) {
    return Vandrel::Uni16CharToUTF8(plain.c_str(), d, c);
  });
}

std::string RefReadOut(Encoding e, const UniString& u) {
  if (e == kUTF8Encoding) return RefEncodeUTF8(u);
  bool failed = false;
  const std::size_t cap = 9 * u.size() + 1;
  std::string out = Through<char>(
      cap,
      [&](char* d, std::size_t c) {
        switch (e) {
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

// What setStringWithEncoding appends (or, for UTF-8, the new content).
UniString RefDecode(Encoding e, const std::string& s) {
  if (e == kUTF8Encoding) return RefDecodeUTF8(s);
  bool failed = false;
  UniString out = Through<UniChar>(
      s.size() + 1,
      [&](UniChar* d, std::size_t c) {
        switch (e) {
          case kMacRomanEncoding:
            return Vandrel::MacRomanStringToUni16Char(s, d, c);
          case kISOLatin1Encoding:
            return Vandrel::ISOLatin1CStringToUni16Char(s.c_str(), d, c);
          case kURLEncoding:
            return Vandrel::URLEncodingToUni16Char(s.c_str(), d, c);
          default:
            return Vandrel::PlatformCStringToUni16Char(s.c_str(), d, c);
        }
      },
      &failed);
  return failed ? UniString() : out;
}

// ---------------------------------------------------------------------------
// Random texts

class Texts {
 public:
  explicit Texts(std::uint32_t seed) : mRandom(seed) {}

  // n bytes: mostly well-formed UTF-8 of mixed scripts, with stray bytes,
  // cut sequences, encoded surrogates (paired ones count as ill-formed) and
  // now and then a NUL or a leading mark.
  std::string Bytes(std::size_t n) {
    static const char* const kPieces[] = {"a",
                                          "Z9",
                                          " ",
                                          "\xC3\xA9",
                                          "\xE4\xB8\xAD",
                                          "\xF0\x9F\x98\x80",
                                          "\xED\xA0\x80",
                                          "\xED\xA0\x80\xED\xB0\x80",
                                          "\xFF",
                                          "\x80",
                                          "\xE2\x82",
                                          "\xF0\x9F",
                                          "\xC0\xAF",
                                          "%",
                                          "%4",
                                          "%41",
                                          "%e9",
                                          "%G1",
                                          "~-._"};
    std::string s;
    if (Pick(4) == 0) s = "\xEF\xBB\xBF";
    const unsigned kinds = Pick(3) == 0 ? 19 : 5;  // a third of the texts ill-formed
    while (s.size() < n) {
      s += kPieces[Pick(kinds)];
      if (Pick(5000) == 0) s += '\0';
    }
    s.resize(n);
    return s;
  }

  // n units: ASCII, Latin, CJK, pairs, lone surrogates, marks.
  UniString Units(std::size_t n) {
    UniString u;
    const unsigned lead = Pick(6);
    if (lead == 1) u += UniChar(0xFEFF);
    if (lead == 2) u += UniChar(0xFFFE);
    if (lead == 3) u += {UniChar(0xFFFE), UniChar(0xFFFE)};
    if (lead == 4) u += {UniChar(0xFEFF), UniChar(0xFFFE)};
    const unsigned kinds = Pick(3) == 0 ? 7 : 4;
    while (u.size() < n) {
      switch (Pick(kinds)) {
        case 0:
          u += static_cast<UniChar>('a' + Pick(26));
          break;
        case 1:
          u += static_cast<UniChar>(0xC0 + Pick(64));
          break;
        case 2:
          u += static_cast<UniChar>(0x4E00 + Pick(500));
          break;
        case 3:
          u += {UniChar(0xD83D), static_cast<UniChar>(0xDE00 + Pick(64))};
          break;
        case 4:
          u += static_cast<UniChar>(0xD800 + Pick(0x800));
          break;
        case 5:
          u += static_cast<UniChar>(0x20AC);
          break;
        default:
          u += static_cast<UniChar>(Pick(2000) == 0 ? 0 : 0x3000 + Pick(0xC000));
          break;
      }
    }
    u.resize(n);
    return u;
  }

  unsigned Pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(mRandom); }

 private:
  std::mt19937 mRandom;
};

constexpr Encoding kEncodings[] = {kDefaultEncoding, kMacRomanEncoding, kISOLatin1Encoding,
                                   kURLEncoding,     kUTF8Encoding,     kPlatformEncoding};

// Sizes around n.
std::vector<std::size_t> Around(std::size_t n) { return {n - 2, n - 1, n, n + 1, n + 2}; }

// ---------------------------------------------------------------------------

TEST(ConversionPaths, FromBytesMatchTheReferenceAroundEveryThreshold) {
  const std::size_t warm = text::kWarmBytes / sizeof(UniChar);  // bytes in => units needed
  std::vector<std::size_t> sizes = {0, 1, 3, 4, 100, 5000};
  for (std::size_t n : Around(text::kInlineCount)) sizes.push_back(n);
  for (std::size_t n : {warm - 1, warm, warm + 1}) sizes.push_back(n);
  Texts texts(17);
  for (std::size_t n : sizes) {
    const int rounds = n > 100000 ? 1 : 6;
    for (int round = 0; round < rounds; ++round) {
      const std::string bytes = texts.Bytes(n);
      SCOPED_TRACE(testing::Message() << n << " bytes, round " << round);
      const UniString units = RefDecodeUTF8(bytes);
      EXPECT_EQ(units, static_cast<const UniString&>(UnicodeString(bytes)));
      UnicodeString assigned(UniString(3000, 'q'));
      assigned = bytes.c_str();
      EXPECT_EQ(RefDecodeUTF8(bytes.c_str()), static_cast<const UniString&>(assigned));
      for (Encoding e : kEncodings) {
        if (n > 100000 && e != kMacRomanEncoding && e != kUTF8Encoding) continue;
        SCOPED_TRACE(e);
        const UniString decoded = RefDecode(e, bytes);
        UnicodeString s(std::string("pre"));
        const UniString pre(s);
        s.setStringWithEncoding(e, bytes);
        EXPECT_EQ(e == kUTF8Encoding ? decoded : pre + decoded, static_cast<const UniString&>(s));
        EXPECT_EQ(RefEncodeUTF8(decoded), UnicodeString::MapEncodingToUTF8(e, bytes));
        EXPECT_EQ(RefReadOut(e, units), UnicodeString::MapUTF8ToEncoding(e, bytes));
      }
    }
  }
}

TEST(ConversionPaths, ToBytesMatchTheReferenceAroundEveryThreshold) {
  std::vector<std::size_t> sizes = {0, 1, 2, 3, 50, 3000};
  for (std::size_t per : {3, 2, 9}) {  // UTF-8 and code page, Latin-1 and Mac OS Roman, URL
    for (std::size_t n : Around((text::kInlineCount - 1) / per + 1)) sizes.push_back(n);
  }
  Texts texts(29);
  for (std::size_t n : sizes) {
    for (int round = 0; round < 8; ++round) {
      const UnicodeString units(UniString(texts.Units(n)));
      SCOPED_TRACE(testing::Message() << n << " units, round " << round);
      const UniString& content = units;
      std::string utf8 = "old";
      units.get(utf8);
      const std::string expected = RefEncodeUTF8(content);
      EXPECT_EQ(expected, utf8);
      std::string direct;
      units.UCS2ToUTF8(content, direct);
      EXPECT_EQ(expected, direct);
      for (Encoding e : kEncodings) {
        SCOPED_TRACE(e);
        EXPECT_EQ(RefReadOut(e, content), units.getStringWithEncoding(e));
      }
      // Caller arrays cut anywhere, around the whole length too.
      for (std::size_t size : {std::size_t{1}, std::size_t{2}, expected.size() / 2, expected.size(),
                               expected.size() + 1, expected.size() + 2}) {
        if (size == 0) continue;
        std::vector<char> dst(size + 8, '#');
        units.get(dst.data(), static_cast<int>(size));
        const std::size_t kept = std::min(expected.size(), size - 1);
        EXPECT_EQ(expected.substr(0, kept), std::string(dst.data())) << size;
        EXPECT_EQ(std::string(8, '#'), std::string(dst.data() + size, 8)) << size;
      }
    }
  }
}

}  // namespace
