// UTF-8 <-> UTF-16: malformed input, lone surrogates, round trips, oracles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "VandrelTestUtil.h"
#include "support/TestSupport.h"

#if TALQ_HAVE_ICONV
#include <iconv.h>
#endif

using vtest::AsVector;
using vtest::U16;
using vtest::Units;

namespace {

U16 Decode(const std::string& bytes, int* result = nullptr) {
  U16 out;
  const int r = vtest::ToUnits(Vandrel::UTF8ToUni16Char, bytes, out);
  if (result) *result = r;
  return out;
}

std::string Encode(const U16& units) {
  std::string out;
  const int r = vtest::ToBytes(Vandrel::Uni16CharToUTF8, units, out, 3);
  EXPECT_EQ(r, static_cast<int>(out.size()));
  return out;
}

constexpr unsigned R = 0xFFFD;

struct DecodeCase {
  const char* bytes;
  std::vector<unsigned> units;
};

// Expected outputs follow the Unicode "maximal subpart" practice (Unicode
// 15, section 3.9, U+FFFD substitution), except for encoded lone surrogates.
const DecodeCase kMalformed[] = {
    {"\x80", {R}},
    {"\xBF\x41", {R, 'A'}},
    {"\xC0\xAF", {R, R}},         // C0 can never start a sequence
    {"\xC2", {R}},                // truncated at the end
    {"\xC2\x41", {R, 'A'}},       // truncated before ASCII
    {"\xE0\x80\x80", {R, R, R}},  // overlong: E0 needs A0..BF
    {"\xE0\xA0", {R}},            // one maximal subpart
    {"\xE2\x82\x41", {R, 'A'}},
    {"\xF0\x80\x80\x80", {R, R, R, R}},  // overlong
    {"\xF0\x90\x80", {R}},
    {"\xF4\x90\x80\x80", {R, R, R, R}},  // above U+10FFFF
    {"\xF5\x80", {R, R}},
    {"\xFE\xFF", {R, R}},
    // The example of Unicode Table 3-8.
    {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
     {'a', R, R, R, 'b', R, 'c', R, R, 'd'}},
    {"\xED\x9F\xBF", {0xD7FF}},
    {"\xEF\xBF\xBF", {0xFFFF}},
    {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
    // Encoded surrogates: a complete lone one decodes to itself ...
    {"\xED\xA0\x80", {0xD800}},
    {"\xED\xBF\xBF\x35", {0xDFFF, '5'}},
    {"\xED\xB0\x80\xED\xA0\x80", {0xDC00, 0xD800}},  // low then high: two lone ones
    // ... but a high one directly followed by a low one is ill-formed as in
    // standard UTF-8: ED admits only 80..9F next, so ED, A0, 80, ED, B0, 80
    // are six maximal subparts, six U+FFFD. Accepting the pair would give
    // U+10000 a second spelling beside F0 90 80 80.
    {"\xED\xA0\x80\xED\xB0\x80", {R, R, R, R, R, R}},
    {"\xED\xA0\x80\xED\xA0\x80\xED\xB0\x80", {0xD800, R, R, R, R, R, R}},
    {"\xED\xA0\x80\xED\xB0", {0xD800, R, R}},  // the low one is incomplete
    {"\xED\xA0\x41", {R, R, 'A'}},             // incomplete: ill-formed from ED
};

TEST(Utf8Decode, MalformedInputGivesReplacementPerMaximalSubpart) {
  for (const DecodeCase& c : kMalformed) {
    int r = 0;
    const U16 out = Decode(c.bytes, &r);
    EXPECT_EQ(AsVector(out), c.units) << vtest::Hex(c.bytes);
    EXPECT_EQ(r, static_cast<int>(c.units.size()));
  }
}

// Long text goes through the block loops: every case at every offset of a
// block, after ASCII, two- and three-byte characters, and before more text.
TEST(Utf8Decode, MalformedInputAnywhereInLongText) {
  const std::pair<const char*, unsigned> fillers[] = {
      {"a", 'a'}, {"\xC3\xA9", 0xE9}, {"\xE4\xB8\xAD", 0x4E2D}};
  for (const DecodeCase& c : kMalformed) {
    for (const auto& [fillerBytes, fillerUnit] : fillers) {
      for (std::size_t pad = 0; pad < 17; ++pad) {
        std::string src;
        std::vector<unsigned> expected;
        for (std::size_t k = 0; k < pad; ++k) {
          src += fillerBytes;
          expected.push_back(fillerUnit);
        }
        src += c.bytes;
        expected.insert(expected.end(), c.units.begin(), c.units.end());
        src += std::string(40, 'z');
        expected.insert(expected.end(), 40, 'z');
        int r = 0;
        ASSERT_EQ(AsVector(Decode(src, &r)), expected) << vtest::Hex(src);
        EXPECT_EQ(r, static_cast<int>(expected.size()));
      }
    }
  }
}

TEST(Utf8Encode, SurrogatesAnywhereInLongText) {
  for (std::size_t pad = 0; pad < 20; ++pad) {
    U16 text(pad, 0xE9);
    std::string expected;
    for (std::size_t k = 0; k < pad; ++k) expected += "\xC3\xA9";
    text += Units({0xD83D, 0xDE00, 0xD800});
    expected += "\xF0\x9F\x98\x80\xED\xA0\x80";
    text += U16(20, 'b') + Units({0xDC00, 0x4E2D});
    expected += std::string(20, 'b') + "\xED\xB0\x80\xE4\xB8\xAD";
    ASSERT_EQ(vtest::Hex(Encode(text)), vtest::Hex(expected)) << pad;
    ASSERT_EQ(Decode(expected), text) << pad;
  }
}

// Every `step`th scalar value from U+0001 on, in UTF-16.
U16 CodePoints(unsigned step) {
  U16 text;
  for (unsigned cp = 1; cp <= 0x10FFFF; cp += step) {
    if (cp < 0xD800 || cp > 0xDFFF) {
      text += cp < 0x10000 ? Units({cp}) : Units({0xD7C0 + (cp >> 10), 0xDC00 | (cp & 0x3FF)});
    }
  }
  return text;
}

TEST(Utf8RoundTrip, EveryCodePointAndEveryLoneSurrogate) {
  const U16 all = CodePoints(1);
  EXPECT_EQ(Decode(Encode(all)), all);
  // Lone surrogates, alone, between text, doubled, and in reversed pairs:
  // exactly the UTF-16 strings that Windows allows in file names.
  for (unsigned s = 0xD800; s <= 0xDFFF; ++s) {
    const Vandrel::Uni16 u = static_cast<Vandrel::Uni16>(s);
    for (const U16& text : {U16(1, u), U16{'x', u, 'y'}, U16{u, u}, U16{0xDC00, u, 0xDFFF}}) {
      ASSERT_EQ(Decode(Encode(text)), text) << std::hex << s;
    }
  }
}

#if TALQ_HAVE_ICONV
TEST(Utf8Encode, MatchesIconvOnValidText) {
  U16 text = CodePoints(7);
  iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string expected(text.size() * 3, '\0');
  char* in = reinterpret_cast<char*>(&text[0]);
  char* out = &expected[0];
  std::size_t inLeft = text.size() * 2, outLeft = expected.size();
  ASSERT_NE(iconv(cd, &in, &inLeft, &out, &outLeft), static_cast<std::size_t>(-1));
  iconv_close(cd);
  expected.resize(expected.size() - outLeft);
  const std::string ours = Encode(text);
  EXPECT_TRUE(ours == expected);
  EXPECT_TRUE(Decode(expected) == text);
}
#endif

// Test-side UTF-8 reader for the well-formed expectations of the file below.
U16 DecodeWellFormed(const std::string& s) {
  U16 out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned b = static_cast<unsigned char>(s[i]);
    const int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    unsigned cp = len == 1 ? b : b & (0x7F >> len);
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out += cp < 0x10000 ? Units({cp}) : Units({0xD7C0 + (cp >> 10), 0xDC00 | (cp & 0x3FF)});
    i += static_cast<std::size_t>(len);
  }
  return out;
}

std::string FromHex(std::string field) {
  std::string hex, bytes;
  for (char c : field) {
    if (!std::isspace(static_cast<unsigned char>(c))) hex += c;
  }
  if (hex == "nothing") return bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// Complete encoded surrogates that are not a high one directly followed by a
// low one: the sequences this decoder deliberately keeps.
int CountLoneEncodedSurrogates(const std::string& s) {
  auto at = [&](std::size_t i, unsigned lo, unsigned hi) {
    return i + 2 < s.size() && static_cast<unsigned char>(s[i]) == 0xED &&
           static_cast<unsigned char>(s[i + 1]) >= lo &&
           static_cast<unsigned char>(s[i + 1]) <= hi &&
           (static_cast<unsigned char>(s[i + 2]) & 0xC0) == 0x80;
  };
  int count = 0;
  for (std::size_t i = 0; i < s.size();) {
    if (at(i, 0xA0, 0xAF) && at(i + 3, 0xB0, 0xBF)) {
      i += 6;
    } else if (at(i, 0xA0, 0xBF)) {
      ++count;
      i += 3;
    } else {
      ++i;
    }
  }
  return count;
}

// flenniken/utf8tests: each invalid case lists the output of the maximal
// subpart practice (CPython's "replace"). That practice turns an encoded lone
// surrogate into three U+FFFD, where this decoder gives the surrogate back
// (see the header), so the comparison first turns every lone surrogate of
// our output into three U+FFFD, and checks that there are exactly as many as
// the input holds. Both sides end at the first NUL: the API takes C strings.
TEST(Utf8Decode, ThirdPartyCases) {
  TALQ_REQUIRE_TESTDATA(path, "utf8/flenniken-utf8tests/utf8tests.txt");
  std::string text;
  ASSERT_TRUE(talqtest::ReadFileBytes(path, text));
  std::istringstream lines(text);
  int checked = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string x; std::getline(fields, x, ':');) f.push_back(x);
    ASSERT_GE(f.size(), 3u) << line;
    const bool ascii = f[1] == "valid";
    const bool valid = ascii || f[1].find("invalid") == std::string::npos;
    std::string src = ascii ? f[2] : FromHex(f[2]);
    std::string expected = valid ? src : FromHex(f.at(4));
    src = src.c_str();
    expected = expected.c_str();
    const U16 ours = Decode(src);
    U16 mapped;
    int lone = 0;
    for (std::size_t i = 0; i < ours.size(); ++i) {
      const unsigned u = ours[i];
      const bool high = u >= 0xD800 && u <= 0xDBFF;
      if (high && i + 1 < ours.size() && (ours[i + 1] & 0xFC00) == 0xDC00) {
        mapped += ours.substr(i, 2);
        ++i;
      } else if ((u & 0xF800) == 0xD800) {
        mapped += Units({R, R, R});
        ++lone;
      } else {
        mapped += ours[i];
      }
    }
    EXPECT_EQ(AsVector(mapped), AsVector(DecodeWellFormed(expected))) << line;
    EXPECT_EQ(lone, CountLoneEncodedSurrogates(src)) << line;
    ++checked;
  }
  EXPECT_GT(checked, 200);
}

// Markus Kuhn's stress test, line by line (it holds a NUL): whatever the
// decoder makes of a line must survive re-encoding unchanged, and the
// malformed sections must show.
TEST(Utf8Decode, KuhnStressTestIsStable) {
  TALQ_REQUIRE_TESTDATA(path, "utf8/UTF-8-test.txt");
  std::string text;
  ASSERT_TRUE(talqtest::ReadFileBytes(path, text));
  std::istringstream lines(text);
  long replacements = 0;
  for (std::string line; std::getline(lines, line);) {
    int r = 0;
    const U16 once = Decode(line, &r);
    ASSERT_EQ(r, static_cast<int>(once.size()));
    ASSERT_EQ(Decode(Encode(once)), once) << line;
    replacements += std::count(once.begin(), once.end(), static_cast<Vandrel::Uni16>(R));
  }
  EXPECT_GT(replacements, 250);
}

TEST(Uni16CharGetLength, CountsUnitsBeforeNul) {
  EXPECT_EQ(Vandrel::Uni16CharGetLength(nullptr), 0u);
  for (std::size_t n = 0; n < 40; ++n) {
    U16 s(n, static_cast<Vandrel::Uni16>(0x8000));
    // Every start alignment: the scan must not depend on where it begins.
    s.insert(0, 3, 'x');
    for (std::size_t start = 0; start < 4; ++start) {
      EXPECT_EQ(Vandrel::Uni16CharGetLength(s.c_str() + start), s.size() - start);
    }
  }
}

}  // namespace
