// Vandrel's conversions: capacities, UTF-8, percent-encoding and the code
// pages, against published tables, third-party cases, glibc iconv and Win32.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <tuple>

#include "Kernels.h"
#include "Vandrel/Vandrel.h"
#include "support/TestSupport.h"

#if TALQ_HAVE_ICONV
#include <iconv.h>
#endif
#if defined(_WIN32)
#include <windows.h>
#endif

using namespace std::string_literals;
using namespace Vandrel;

namespace {

using U16 = std::basic_string<Uni16>;

U16 Units(std::initializer_list<unsigned> units) { return U16(units.begin(), units.end()); }

// What fn writes into a roomy buffer; it must return `want`, by default the length.
template <class D, class Fn, class S>
std::basic_string<D> Convert(Fn fn, const S& src, std::optional<int> want = {}) {
  std::vector<D> buf(9 * src.size() + 8);
  const int r = fn(src.c_str(), buf.data(), buf.size());
  const std::basic_string<D> out(buf.data());
  EXPECT_EQ(r, want.value_or(static_cast<int>(out.size()))) << testing::PrintToString(src);
  return out;
}
U16 Decode(const std::string& s) { return Convert<Uni16>(UTF8ToUni16Char, s); }
std::string Encode(const U16& s) { return Convert<char>(Uni16CharToUTF8, s); }

int MacRoman(const char* s, Uni16* d, std::size_t n) {
  return MacRomanStringToUni16Char(s ? s : "", d, n);
}

#if TALQ_HAVE_ICONV
// glibc's conversion of `in`; empty when it fails or rejects the input.
std::string Iconv(const char* to, const char* from, std::string in) {
  const iconv_t cd = iconv_open(to, from);
  std::string out(4 * in.size() + 4, '\0');
  char *ip = in.data(), *op = out.data();
  std::size_t il = in.size(), ol = out.size();
  const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  return out.substr(0, ok ? out.size() - ol : 0);
}
#endif

// Capacities 0, 1, one short (-1 and `cut`) and exact, each with a guard after
// it. A null source is the empty text; a null destination fails.
template <class Fn, class S, class D>
void CheckCapacities(Fn fn, const std::basic_string<S>& src, const std::basic_string<D>& full,
                     const std::basic_string<D>& cut) {
  SCOPED_TRACE(testing::PrintToString(src));
  std::vector<D> buf(full.size() + 3, D(0));  // the last stays NUL
  const std::basic_string<D> want[] = {
      std::basic_string<D>(full.size() + 2, D('Z')), {}, cut, full};
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t cap = i < 2 ? i : full.size() + i - 2;
    std::fill(buf.begin(), buf.end() - 1, D('Z'));
    EXPECT_EQ(fn(src.c_str(), buf.data(), cap), i == 3 ? static_cast<int>(full.size()) : -1) << cap;
    EXPECT_EQ(std::basic_string<D>(buf.data()), want[i]) << cap;
    EXPECT_EQ(buf[cap], D('Z')) << cap;
  }
  EXPECT_EQ(fn(nullptr, buf.data(), 2), 0);
  EXPECT_EQ(buf[0], D(0));
  EXPECT_EQ(fn(src.c_str(), nullptr, full.size() + 1), -1);
}

// Short texts cut inside a character; long ones run the block loops first.
TEST(Capacity, EveryConversion) {
  std::string emoji = "\xF0\x9F\x98\x80", x40(40, 'x'), x31(31, 'x'), e40;
  const U16 pair = Units({0xD83D, 0xDE00}), ux40(40, 'x'), ux31(31, 'x'), ue40(40, 0xE9);
  for (int i = 0; i < 40; ++i) e40 += "\xC3\xA9";
  CheckCapacities(UTF8ToUni16Char, e40 + emoji, ue40 + pair, ue40);
  CheckCapacities(Uni16CharToUTF8, Units({'a', 0xD800}), "a\xED\xA0\x80"s, "a"s);
  CheckCapacities(Uni16CharToUTF8, ue40 + pair, e40 + emoji, e40);
  CheckCapacities(ISOLatin1CStringToUni16Char, x40 + "\xE9", ux40 + Units({0xE9}), ux40);
  CheckCapacities(Uni16CharToISOLatin1CString, ux31 + pair, x31 + '?', x31);  // across blocks
  CheckCapacities(MacRoman, x40 + "\xA5", ux40 + Units({0x2022}), ux40);
  CheckCapacities(Uni16CharToMacRomanCString, ux40 + Units({0x2022}), x40 + "\xA5", x40);
  // ASCII reads alike in every ANSI code page; elsewhere the loops are shared.
  CheckCapacities(PlatformCStringToUni16Char, "abc"s, Units({'a', 'b', 'c'}), Units({'a', 'b'}));
  CheckCapacities(Uni16CharToPlatformCString, Units({'a', 'b', 'c'}), "abc"s, "ab"s);
  CheckCapacities(Uni16CharToURLEncoding, Units({'a'}) + pair, "a%F0%9F%98%80"s, "a"s);
  CheckCapacities(URLEncodingToUni16Char, "a%F0%9F%98%80"s, Units({'a'}) + pair, Units({'a'}));
}

// flenniken/utf8tests and CPython's "replace" decoding of each, up to the
// first NUL. Our lone surrogates become the three U+FFFD CPython gives.
TEST(Utf8Decode, MatchesCPythonOnThirdPartyCases) {
  TALQ_REQUIRE_TESTDATA(inPath, "utf8/flenniken-utf8tests/utf8tests.bin");
  TALQ_REQUIRE_TESTDATA(refPath, "utf8/flenniken-utf8tests/utf8.replace.ref.txt");
  std::ifstream ins(inPath, std::ios::binary), refs(refPath, std::ios::binary);
  int checked = 0;
  for (std::string src, want; std::getline(ins, src) && std::getline(refs, want); ++checked) {
    const std::size_t at = src.find(':', src.find(':') + 1) + 1;  // "num:valid:bytes"
    std::string ours = Encode(Decode(src.substr(at).c_str()));
    for (std::size_t i = ours.find('\xED'); i != std::string::npos; i = ours.find('\xED', i + 1))
      if (static_cast<unsigned char>(ours[i + 1]) >= 0xA0)
        ours.replace(i, 3, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(src.substr(0, at) + ours, want.c_str());
  }
  EXPECT_GT(checked, 200);
}

// Every code point and lone surrogates at block offsets decode back, and the
// length functions give the sizes written.
TEST(Utf8RoundTrip, EveryCodePointAndLoneSurrogatesWithTheirLengths) {
  const auto check = [](const U16& text) {
    const std::string utf8 = Encode(text);
    ASSERT_EQ(Decode(utf8), text) << testing::PrintToString(text);
    ASSERT_EQ(utf8.size(), Uni16CharUTF8Length(text.c_str(), text.size()));
    ASSERT_EQ(text.size(), UTF8Uni16CharLength(utf8.c_str(), utf8.size()));
  };
  U16 all;
  for (unsigned cp = 1; cp <= 0x10FFFF; cp += cp == 0xD7FF ? 0x801 : 1)  // no surrogates
    all += cp < 0x10000 ? Units({cp}) : Units({0xD7C0 + (cp >> 10), 0xDC00 | (cp & 0x3FF)});
  check(all);
#if TALQ_HAVE_ICONV
  const std::string bytes(reinterpret_cast<const char*>(all.data()), 2 * all.size());
  EXPECT_EQ(Encode(all), Iconv("UTF-8", "UTF-16LE", bytes));
#endif
  EXPECT_EQ(3u, Uni16CharUTF8Length(Units({0xD83D, 0xDE00}).c_str(), 1));  // the pair cut
  for (unsigned s = 0xD800; s <= 0xDFFF; ++s) {
    check(Units({s}));
    check(U16(s % 20, s % 2 ? 'a' : 0xE9) + Units({0xDC00, 0xD83D, 0xDE00, s}) + U16(20, 'b') +
          Units({s, s, 0x4E2D}));
  }
  // A pair across every offset of the 16- and 32-unit blocks and the 64-byte ones.
  for (std::size_t at = 0; at < 72; ++at) {
    check(U16(at, 'a') + Units({0xD83D, 0xDE00}) + U16(70, 'b'));
    check(U16(at, 0x4E2D) + Units({0xD83D, 0xDE00}) + U16(40, 0xE9));
  }
}

// Long texts run through the block kernels; their pieces, each too short for
// a block, through the scalar coder alone. Every piece is whole on its own
// (no piece starts with a byte its predecessor could take), so the text's
// conversion is the concatenation of its pieces' whatever the blocks do.
TEST(Utf8Blocks, AgreeWithTheScalarCoderPieceByPiece) {
  const std::vector<std::string> pieces[] = {
      {"a", "Hello, ", "0123456789 ", "~"},
      {"\xC3\xA9", "\xC2\x80", "\xDF\xBF", "\xC3\x9F"},
      {"\xE0\xA0\x80", "\xE4\xB8\xAD", "\xEF\xBF\xBF", "\xED\x9F\xBF", "\xEE\x80\x80"},
      {"\xF0\x90\x80\x80", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"},
      {"x\x80", "\xC3", "\xE4\xB8", "\xF0\x9F\x98", "\xC0\xAF", "\xE0\x80\x80", "\xF5\x80", "\xFF",
       "\xF4\x90\x80\x80", "\xED\xB0\x80", "\xED\xA0\x80x", "\xED\xA0\x80\xED\xB0\x80", "\xC1\xBF",
       "\xC0\x80"}};
  std::uint32_t seed = 1;
  const auto next = [&seed](std::uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  for (int round = 0; round < 240; ++round) {
    // Mostly one kind of piece, so that whole blocks of each kind occur.
    // Ill-formed pieces among every kind, overlong leads inside two-byte blocks among them.
    const std::uint32_t main = round % 4, other = next(5), bad = round % 8 >= 4 ? 30 : 0;
    std::string text, want8;
    U16 want16;
    for (std::uint32_t n = next(700); n-- > 0;) {
      const std::uint32_t roll = next(100);
      const auto& kind = pieces[roll < bad ? 4 : roll < 85 ? main : other];
      const std::string& piece = kind[next(static_cast<std::uint32_t>(kind.size()))];
      text += piece;
      want16 += Decode(piece);
    }
    SCOPED_TRACE(testing::PrintToString(text));
    ASSERT_EQ(Decode(text), want16);
    // No lone high surrogate is followed by a low one here, so each
    // character of the result encodes on its own.
    for (std::size_t i = 0; i < want16.size();) {
      const std::size_t units = detail::IsPair(want16.c_str() + i, want16.size() - i) ? 2 : 1;
      want8 += Encode(want16.substr(i, units));
      i += units;
    }
    ASSERT_EQ(Encode(want16), want8);
    ASSERT_EQ(Decode(want8), want16);
    ASSERT_EQ(Uni16CharUTF8Length(want16.c_str(), want16.size()), want8.size());
    ASSERT_EQ(UTF8Uni16CharLength(want8.c_str(), want8.size()), want16.size());
    // The sized forms: the counts say where the text ends; the conversions
    // need not look for it.
    bool nul = true;
    std::size_t end = 0;
    EXPECT_EQ(UTF8Uni16CharLengthAndNul(want8.c_str(), want8.size(), &nul), want16.size());
    EXPECT_FALSE(nul);
    EXPECT_EQ(UTF8Uni16CharLengthAndNul(want8.c_str(), want8.size() + 1, &nul), want16.size() + 1);
    EXPECT_TRUE(nul);
    EXPECT_EQ(Uni16CharUTF8LengthAndEnd(want16.c_str(), want16.size() + 1, &end), want8.size());
    EXPECT_EQ(end, want16.size());
    const std::size_t bytesIn = text.size(), unitsIn = want16.size();
    EXPECT_EQ(
        Convert<Uni16>([bytesIn](const char* s, Uni16* d,
                                 std::size_t c) { return UTF8ToUni16CharSized(s, bytesIn, d, c); },
                       text),
        want16);
    EXPECT_EQ(
        Convert<char>([unitsIn](const Uni16* s, char* d,
                                std::size_t c) { return Uni16CharToUTF8Sized(s, unitsIn, d, c); },
                      want16),
        want8);
    // Cut at half: a prefix of whole characters, nothing written past it.
    std::vector<Uni16> units(want16.size() / 2 + 2, 0xAAAA);
    EXPECT_EQ(UTF8ToUni16Char(text.c_str(), units.data(), units.size() - 1),
              want16.empty() ? 0 : -1);
    const U16 cut(units.data());
    EXPECT_EQ(want16.substr(0, cut.size()), cut);
    EXPECT_GE(cut.size() + 3, units.size());
    EXPECT_EQ(units.back(), 0xAAAA);
    EXPECT_EQ(UTF8ToUni16CharSized(text.c_str(), text.size(), units.data(), units.size() - 1),
              want16.empty() ? 0 : -1);
    EXPECT_EQ(U16(units.data()), cut);
    std::vector<char> bytes(want8.size() / 2 + 2, 'Z');
    EXPECT_EQ(Uni16CharToUTF8(want16.c_str(), bytes.data(), bytes.size() - 1),
              want8.empty() ? 0 : -1);
    const std::string cut8(bytes.data());
    EXPECT_EQ(want8.substr(0, cut8.size()), cut8);
    EXPECT_GE(cut8.size() + 5, bytes.size());
    EXPECT_EQ(bytes.back(), 'Z');
  }
}

// The scans, and the conversions that find the end as they go, stop at the
// terminator at every alignment, also where it lies on a page's edge.
TEST(Utf8Blocks, FindTheEndAtEveryOffsetAndPageEdge) {
  constexpr std::size_t kPage = 4096;
  std::vector<char> rawBytes(4 * kPage, 'b');
  std::vector<Uni16> rawUnits(2 * kPage, 'u');
  const auto pageAligned = [](auto* p) {
    return p + (kPage - reinterpret_cast<std::uintptr_t>(p) % kPage) / sizeof(*p);
  };
  char* const bytes = pageAligned(rawBytes.data());
  Uni16* const units = pageAligned(rawUnits.data());
  std::vector<Uni16> outUnits(2 * kPage);
  std::vector<char> outBytes(2 * kPage);
  const auto check = [&](std::size_t at, std::size_t n) {
    bytes[at + n] = '\0';
    units[at + n] = 0;
    EXPECT_EQ(Uni16CharGetLength(units + at), n) << at << "+" << n;
    EXPECT_EQ(UTF8ToUni16Char(bytes + at, outUnits.data(), outUnits.size()), static_cast<int>(n));
    EXPECT_EQ(Uni16CharToUTF8(units + at, outBytes.data(), outBytes.size()), static_cast<int>(n));
    bytes[at + n] = 'b';
    units[at + n] = 'u';
  };
  for (std::size_t at = 0; at < 64; ++at) {
    for (std::size_t n = 0; n < 520; n += 1 + n / 8) check(at, n);
  }
  for (std::size_t at = kPage / 2 - 130; at < kPage / 2; at += 3) {
    for (const std::size_t end : {kPage / 2 - 1, kPage / 2, kPage / 2 + 1, kPage - 1, kPage})
      check(at, end - at);
  }
}

// VANDREL_KERNELS lowers the kernel set to one this processor runs.
TEST(Utf8Blocks, RunInTheSetChosen) {
  const char* const widths[] = {"portable", "sse41", "avx2", "avx512"};
  int widest = 0;
#if !TALQ_VANDREL_PORTABLE && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();
  if (__builtin_cpu_supports("sse4.1")) widest = 1;
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2")) widest = 2;
  if (widest == 2 && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
      __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2"))
    widest = 3;
#endif
  const char* wanted = std::getenv("VANDREL_KERNELS");
  int chosen = widest;
  for (int k = 0; wanted != nullptr && k < widest; ++k)
    if (std::strcmp(wanted, widths[k]) == 0) chosen = k;
  EXPECT_STREQ(detail::KernelSetName(), widths[chosen]);
}

// Percent-encoding keeps only the unreserved characters (here with their
// ASCII neighbours and RFC 2396's marks). A '%' without two hex digits fails,
// dst keeping the units before it.
TEST(Url, EncodesInUpperCaseHexAndDecodesLikeUtf8) {
  const std::string ascii = "\x01 !%'()*+-./09:@AZ[_`az{~\x7F";
  const U16 text = U16(ascii.begin(), ascii.end()) + Units({0xE9, 0xD83D, 0xDE00, 0xDC00, 0xD800});
  const std::string encoded =
      "%01%20%21%25%27%28%29%2A%2B-.%2F09%3A%40AZ%5B_%60az%7B~%7F"
      "%C3%A9%F0%9F%98%80%ED%B0%80%ED%A0%80";
  EXPECT_EQ(Convert<char>(Uni16CharToURLEncoding, text), encoded);
  const std::tuple<std::string, int, U16> cases[] = {
      {encoded, static_cast<int>(text.size()), text},
      {"%c3%A9+\xC3\xA9", 3, Units({0xE9, '+', 0xE9})},  // raw UTF-8 passes as it is
      {"a%00b", 1, Units({'a'})},                        // a decoded NUL ends the text
      {"ab%4", -1, Units({'a', 'b'})},
      {"ab%G1", -1, Units({'a', 'b'})},
      {"ab%4g", -1, Units({'a', 'b'})},
      {"%C3%", -1, Units({0xFFFD})},
  };
  for (const auto& [src, result, units] : cases)
    EXPECT_EQ(Convert<Uni16>(URLEncodingToUni16Char, src, result), units) << src;
}

// Bytes 1..FF decode by the table (a gap: the control of the same value) and
// back; other units fail when `strict`, else give '?', also at block edges.
// glibc agrees except at the bytes listed.
template <class Decoder, class Encoder>
void CheckCodePage(const char* file, Decoder decode, Encoder encode, bool strict,
                   [[maybe_unused]] const char* charset,
                   [[maybe_unused]] const std::vector<unsigned>& iconvDiffers) {
  TALQ_REQUIRE_TESTDATA(path, file);
  std::ifstream lines(path, std::ios::binary);
  std::map<unsigned, unsigned> table, reverse;  // byte -> code point -> byte
  for (std::string line; std::getline(lines, line);) {
    unsigned b = 0, u = 0;
    if (std::sscanf(line.c_str(), "0x%x 0x%x", &b, &u) == 2) table[b] = u;
  }
  ASSERT_GE(table.size(), 223u);
  std::string all;
  U16 want;
  for (unsigned b = 1; b < 256; ++b) {
    table.emplace(b, b);  // only fills gaps
    reverse[table[b]] = b;
    all += static_cast<char>(b);
    want += static_cast<Uni16>(table[b]);
#if TALQ_HAVE_ICONV
    const std::string ours(reinterpret_cast<const char*>(&want.back()), 2);
    const bool same = Iconv("UTF-16LE", charset, std::string(1, char(b))) == ours;
    EXPECT_EQ(same, std::count(iconvDiffers.begin(), iconvDiffers.end(), b) == 0) << std::hex << b;
#endif
  }
  const U16 decoded = Convert<Uni16>(decode, all);
  EXPECT_EQ(decoded, want);
  EXPECT_EQ(Convert<char>(encode, decoded), all);
  for (unsigned u = 1; u <= 0xFFFF; ++u) {  // lone surrogates included
    const unsigned byte = reverse.count(u) ? reverse[u] : strict ? 0 : '?';
    ASSERT_EQ(Convert<char>(encode, Units({u}), byte ? 1 : -1), std::string(byte ? 1 : 0, byte))
        << std::hex << u;
  }
  for (std::size_t at : {0u, 15u, 16u, 17u, 31u, 40u}) {
    const U16 src = decoded.substr(0, at) + Units({0x4E2D}) + decoded.substr(at);
    const std::string cut = all.substr(0, at) + (strict ? "" : '?' + all.substr(at));
    EXPECT_EQ(Convert<char>(encode, src, strict ? -1 : 256), cut) << at;
  }
}

TEST(CodePage, MatchesPublishedTablesAndIconv) {
  // glibc: 0xC6 GREEK CAPITAL DELTA (Apple: INCREMENT), 0xF0 no Apple logo.
  CheckCodePage("tables/ROMAN.TXT", MacRoman, Uni16CharToMacRomanCString, true, "MACINTOSH",
                {0xC6, 0xF0});
  CheckCodePage("tables/8859-1.TXT", ISOLatin1CStringToUni16Char, Uni16CharToISOLatin1CString,
                false, "ISO-8859-1", {});
#if !defined(_WIN32)
  // glibc rejects the five bytes CP1252.TXT leaves undefined.
  CheckCodePage("tables/CP1252.TXT", PlatformCStringToUni16Char, Uni16CharToPlatformCString, false,
                "CP1252", {0x81, 0x8D, 0x8F, 0x90, 0x9D});
#endif
  Uni16 dst[8];  // a Mac OS Roman text ends at a NUL in the string
  EXPECT_EQ(MacRomanStringToUni16Char(std::string{'\xA5', 'b', '\0', 'c'}, dst, 8), 2);
  EXPECT_EQ(U16(dst), Units({0x2022, 'b'}));
}

#if defined(_WIN32)
// The process's ANSI code page varies: Win32's converters are the oracle.
TEST(CodePage, PlatformMatchesWin32Converters) {
  for (unsigned b = 1; b < 256; ++b) {
    const char src[2] = {static_cast<char>(b), 0};
    wchar_t expected[4] = {}, ours[4] = {};
    const int n = MultiByteToWideChar(CP_ACP, 0, src, 1, expected, 4);
    EXPECT_EQ(PlatformCStringToUni16Char(src, ours, 4), n > 0 ? n : -1) << b;
    EXPECT_EQ(std::wstring(ours), std::wstring(expected)) << b;
  }
  const std::wstring text = L"abc \x00E9\x20AC\x0416\x4E2D";
  char expected[64] = {}, ours[64];
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, expected, 64,
                                    nullptr, nullptr);
  EXPECT_EQ(Uni16CharToPlatformCString(text.c_str(), ours, 64), n - 1);
  EXPECT_EQ(std::string(ours), std::string(expected));
}
#endif

}  // namespace
