// Single-byte code pages against the published tables and glibc iconv.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "VandrelTestUtil.h"
#include "support/TestSupport.h"

#if TALQ_HAVE_ICONV
#include <iconv.h>
#endif
#if defined(_WIN32)
#include <windows.h>
#endif

using vtest::U16;
using vtest::Units;

namespace {

using Table = std::map<unsigned, unsigned>;  // byte -> code point

// "0xBB<tab>0xUUUU" lines of the unicode.org mapping files; bytes the file
// leaves without a code point are absent.
Table LoadTable(const std::string& path) {
  std::string text;
  EXPECT_TRUE(talqtest::ReadFileBytes(path, text));
  Table t;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    unsigned b = 0, u = 0;
    if (std::sscanf(line.c_str(), "0x%x 0x%x", &b, &u) == 2) t[b] = u;
  }
  return t;
}

std::string AllBytes() {
  std::string s;
  for (unsigned b = 1; b < 256; ++b) s += static_cast<char>(b);
  return s;
}

int DecodeMacRoman(const char* src, Vandrel::Uni16* dst, std::size_t cap) {
  return Vandrel::MacRomanStringToUni16Char(src, dst, cap);
}

struct CodePage {
  const char* file;
  int (*decode)(const char*, Vandrel::Uni16*, std::size_t);
  int (*encode)(const Vandrel::Uni16*, char*, std::size_t);
  bool strict;  // unmappable gives -1 rather than '?'
};

const CodePage kMacRoman{"tables/ROMAN.TXT", DecodeMacRoman, Vandrel::Uni16CharToMacRomanCString,
                         true};
const CodePage kLatin1{"tables/8859-1.TXT", Vandrel::ISOLatin1CStringToUni16Char,
                       Vandrel::Uni16CharToISOLatin1CString, false};
#if !defined(_WIN32)
const CodePage kCp1252{"tables/CP1252.TXT", Vandrel::PlatformCStringToUni16Char,
                       Vandrel::Uni16CharToPlatformCString, false};
#endif

// Bytes 1..FF decode to the table's code point; a byte the table omits is
// the control of the same value (ROMAN.TXT leaves out the ASCII controls,
// CP1252.TXT the five bytes Windows maps to C1 controls). Every code point
// of the table encodes back to its byte, and every other BMP unit has no
// byte: -1 for Mac OS Roman, '?' for the others.
void CheckAgainstTable(const CodePage& cp) {
  TALQ_REQUIRE_TESTDATA(path, cp.file);
  Table table = LoadTable(path);
  ASSERT_GE(table.size(), 223u);
  for (unsigned b = 1; b < 256; ++b) table.emplace(b, b);  // only fills gaps

  U16 decoded;
  EXPECT_EQ(vtest::ToUnits(cp.decode, AllBytes(), decoded), 255);
  ASSERT_EQ(decoded.size(), 255u);
  std::map<unsigned, unsigned> reverse;
  for (unsigned b = 1; b < 256; ++b) {
    EXPECT_EQ(static_cast<unsigned>(decoded[b - 1]), table[b]) << std::hex << b;
    reverse[table[b]] = b;
  }
  std::string encoded;
  EXPECT_EQ(vtest::ToBytes(cp.encode, decoded, encoded), 255);
  EXPECT_EQ(encoded, AllBytes());
  for (unsigned u = 1; u <= 0xFFFF; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    char out[4] = {'#', '#', '#', '#'};
    const Vandrel::Uni16 src[2] = {static_cast<Vandrel::Uni16>(u), 0};
    const int r = cp.encode(src, out, sizeof out);
    const auto hit = reverse.find(u);
    if (hit != reverse.end()) {
      ASSERT_EQ(r, 1) << std::hex << u;
      ASSERT_EQ(static_cast<unsigned char>(out[0]), hit->second) << std::hex << u;
    } else if (cp.strict) {
      ASSERT_EQ(r, -1) << std::hex << u;
      ASSERT_EQ(out[0], '\0');
    } else {
      ASSERT_EQ(r, 1) << std::hex << u;
      ASSERT_EQ(out[0], '?') << std::hex << u;
    }
  }
}

TEST(CodePageTables, MacRoman) { CheckAgainstTable(kMacRoman); }
TEST(CodePageTables, Latin1) { CheckAgainstTable(kLatin1); }
#if !defined(_WIN32)
TEST(CodePageTables, PlatformIsWindows1252) { CheckAgainstTable(kCp1252); }
#endif

TEST(CodePageEncode, SurrogatesHaveNoByte) {
  // A pair is one character, so one '?'; a lone surrogate is one too. Long
  // text as well, which goes by blocks.
  U16 text = Units({'a', 0xD83D, 0xDE00, 'b', 0xDC00, 'c'});
  std::string expected = "a?b?c";
  for (int round = 0; round < 2; ++round) {
    std::string out;
    EXPECT_EQ(vtest::ToBytes(Vandrel::Uni16CharToISOLatin1CString, text, out),
              static_cast<int>(expected.size()));
    EXPECT_EQ(out, expected);
#if !defined(_WIN32)
    EXPECT_EQ(vtest::ToBytes(Vandrel::Uni16CharToPlatformCString, text, out),
              static_cast<int>(expected.size()));
    EXPECT_EQ(out, expected);
#endif
    for (int k = 0; k < 4; ++k) text += text;
    for (int k = 0; k < 4; ++k) expected += expected;
  }
  // Mac OS Roman stops at the first character it cannot write.
  std::string out;
  EXPECT_EQ(vtest::ToBytes(Vandrel::Uni16CharToMacRomanCString, text, out), -1);
  EXPECT_EQ(out, "a");
}

TEST(CodePageDecode, MacRomanStringEndsAtNul) {
  const std::string text{'\xA5', 'b', '\0', 'c'};
  Vandrel::Uni16 dst[8];
  EXPECT_EQ(Vandrel::MacRomanStringToUni16Char(text, dst, 8), 2);
  EXPECT_EQ(vtest::AsVector(dst), (std::vector<unsigned>{0x2022, 'b'}));
}

#if TALQ_HAVE_ICONV
// glibc as a second, independent reading of each code page, byte by byte
// (iconv rejects the bytes its table leaves undefined).
std::map<unsigned, unsigned> IconvDecode(const char* charset) {
  std::map<unsigned, unsigned> m;
  iconv_t cd = iconv_open("UTF-32LE", charset);
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << charset;
  for (unsigned b = 1; b < 256; ++b) {
    char in = static_cast<char>(b);
    unsigned char out[8] = {};
    char* ip = &in;
    char* op = reinterpret_cast<char*>(out);
    std::size_t il = 1, ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && ol == 4) {
      m[b] = out[0] | out[1] << 8 | out[2] << 16;
    }
  }
  iconv_close(cd);
  return m;
}

void CheckAgainstIconv(const CodePage& cp, const char* charset,
                       const std::map<unsigned, unsigned>& knownDifferences) {
  const auto theirs = IconvDecode(charset);
  U16 ours;
  ASSERT_EQ(vtest::ToUnits(cp.decode, AllBytes(), ours), 255);
  std::size_t compared = 0;
  for (unsigned b = 1; b < 256; ++b) {
    const unsigned u = ours[b - 1];
    const auto known = knownDifferences.find(b);
    const auto it = theirs.find(b);
    if (known != knownDifferences.end()) {
      EXPECT_EQ(u, known->second) << std::hex << b;
      continue;
    }
    ASSERT_NE(it, theirs.end()) << std::hex << b;
    EXPECT_EQ(u, it->second) << std::hex << b;
    const Vandrel::Uni16 src[2] = {ours[b - 1], 0};
    char out[2];
    EXPECT_EQ(cp.encode(src, out, 2), 1);
    EXPECT_EQ(static_cast<unsigned char>(out[0]), b);
    ++compared;
  }
  EXPECT_EQ(compared + knownDifferences.size(), 255u);
}

TEST(CodePageIconv, Latin1) { CheckAgainstIconv(kLatin1, "ISO-8859-1", {}); }

TEST(CodePageIconv, MacRoman) {
  // Apple's table has 0xC6 INCREMENT (glibc: GREEK CAPITAL DELTA) and 0xF0
  // the Apple logo U+F8FF (glibc: a private-use code of its own). We follow
  // Apple's published table.
  CheckAgainstIconv(kMacRoman, "MACINTOSH", {{0xC6, 0x2206}, {0xF0, 0xF8FF}});
}

TEST(CodePageIconv, PlatformIsWindows1252) {
  // glibc rejects the five bytes CP1252.TXT leaves undefined; Windows (and
  // we) read them as the C1 control of the same value.
  CheckAgainstIconv(kCp1252, "CP1252",
                    {{0x81, 0x81}, {0x8D, 0x8D}, {0x8F, 0x8F}, {0x90, 0x90}, {0x9D, 0x9D}});
}
#endif

#if defined(_WIN32)
// The ANSI code page of the process is whatever Windows (or Wine) says:
// compare with the Win32 converters rather than with a fixed table.
TEST(PlatformCodePage, MatchesWin32Converters) {
  for (unsigned b = 1; b < 256; ++b) {
    const char src[2] = {static_cast<char>(b), 0};
    wchar_t expected[4] = {};
    const int n = MultiByteToWideChar(CP_ACP, 0, src, 1, expected, 4);
    wchar_t ours[4] = {};
    EXPECT_EQ(Vandrel::PlatformCStringToUni16Char(src, ours, 4), n > 0 ? n : -1) << b;
    if (n <= 0) continue;
    EXPECT_EQ(std::wstring(ours), std::wstring(expected, static_cast<std::size_t>(n))) << b;
  }
  const std::wstring text = L"abc \x00E9\x20AC\x0416\x4E2D";
  char expected[64] = {};
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(),
                                    static_cast<int>(text.size()), expected, 64, nullptr, nullptr);
  char ours[64];
  EXPECT_EQ(Vandrel::Uni16CharToPlatformCString(text.c_str(), ours, 64), n);
  EXPECT_EQ(std::string(ours), std::string(expected, static_cast<std::size_t>(n)));
}
#endif

}  // namespace
