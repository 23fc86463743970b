// Vandrel::Convert, the conversion by length: the fixed functions as the
// oracle where both apply, statuses and offsets on crafted text, and blocks
// cut at every byte joining to the whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "Vandrel/Vandrel.h"

namespace {

using Vandrel::Policy;
using Vandrel::Status;
using Vandrel::TextEncoding;
using Bytes = std::string;

struct Out {
  Vandrel::ConvertResult r;
  Bytes text;
};

Out Conv(TextEncoding from, TextEncoding to, const Bytes& src, Policy policy, bool last = true,
         std::size_t room = 1 << 16) {
  std::vector<char> dst(room + 1, '#');
  const Vandrel::ConvertResult r =
      Vandrel::Convert(from, to, src.data(), src.size(), dst.data(), room, policy, last);
  EXPECT_EQ(dst[room], '#') << "wrote past the room";
  return {r, Bytes(dst.data(), r.written)};
}

Bytes Le(const std::basic_string<Vandrel::Uni16>& units) {
  Bytes out;
  for (const Vandrel::Uni16 u : units) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}

// Texts of every kind: ASCII, two-, three- and four-byte characters, each
// kind of ill-formed UTF-8, across the 8-byte ASCII steps.
const std::vector<Bytes> kTexts = {
    "plain ASCII text, longer than eight bytes",
    "caf\xC3\xA9 cr\xC3\xA8me \xE2\x82\xAC \xF0\x9F\x98\x80 \xE4\xB8\xAD",
    "bad \x80 lead \xC0\xAF overlong \xF4\x90\x80\x80 big \xE2\x82 cut",
    Bytes("NUL\0inside", 10),
};

// Replacing ill-formed UTF-8 gives what UTF8ToUni16Char gives (U+FFFD per
// maximal subpart), NULs aside; back to UTF-8 gives what Uni16CharToUTF8 gives.
TEST(Convert, ReplacingMatchesTheFixedFunctions) {
  for (const Bytes& text : kTexts) {
    SCOPED_TRACE(testing::PrintToString(text));
    const Out u16 = Conv(TextEncoding::kUtf8, TextEncoding::kUtf16LE, text, Policy::kReplace);
    EXPECT_EQ(u16.r.status, Status::kDone);
    EXPECT_EQ(u16.r.read, text.size());
    const Bytes head = text.substr(0, text.find('\0'));  // the fixed function stops at a NUL
    std::vector<Vandrel::Uni16> fixed(head.size() + 1);
    Vandrel::UTF8ToUni16Char(head.c_str(), fixed.data(), fixed.size());
    const std::basic_string<Vandrel::Uni16> units(fixed.data());
    EXPECT_EQ(u16.text.substr(0, 2 * units.size()), Le(units));
    EXPECT_EQ(u16.text.size() > 2 * units.size(), head.size() < text.size()) << "NUL is data";
    const Out back = Conv(TextEncoding::kUtf16LE, TextEncoding::kUtf8, u16.text, Policy::kStop);
    EXPECT_EQ(back.r.status, Status::kDone);
    const Out again = Conv(TextEncoding::kUtf8, TextEncoding::kUtf8, text, Policy::kReplace);
    EXPECT_EQ(back.text, again.text);
  }
  // To a code page, '?' where the fixed function writes it.
  const Out latin = Conv(TextEncoding::kUtf8, TextEncoding::kLatin1, "\xC3\xA9\xE2\x82\xAC\x80",
                         Policy::kReplace);
  EXPECT_EQ(latin.text, "\xE9??");
}

// Strict: each stop says where and what; skip drops it and goes on.
TEST(Convert, StopsSayWhereAndWhatAndSkipGoesOn) {
  using T = TextEncoding;
  const std::tuple<T, T, Bytes, Status, std::size_t, std::size_t, char32_t, Bytes> rows[] = {
      // from, to, source, status, read, length, character, skipped output
      {T::kUtf8, T::kLatin1, "caf\xC3\xA9", Status::kDone, 5, 0, 0, "caf\xE9"},
      {T::kUtf8, T::kMacRoman, "a\xC4\x89z", Status::kUnrepresentable, 1, 2, 0x109, "az"},
      {T::kUtf8, T::kUtf16BE, "ab\xE0\x80\x80", Status::kIllFormed, 2, 1, 0, Bytes("\0a\0b", 4)},
      // An encoded surrogate is no character here (UTF8ToUni16Char passes it through).
      {T::kUtf8, T::kUtf16LE, "\xED\xA0\x80", Status::kIllFormed, 0, 1, 0, ""},
      {T::kUrl, T::kUtf8, "a%C3%A9%4", Status::kIllFormed, 7, 2, 0, "a\xC3\xA9"},
      {T::kUrl, T::kUtf8, "%zz", Status::kIllFormed, 0, 1, 0, "zz"},
      {T::kUtf16LE, T::kUtf8, Bytes("a\0\0\xDC", 4), Status::kIllFormed, 2, 2, 0, "a"},
      {T::kUtf16LE, T::kLatin1, Bytes("=\xD8\0\xDE", 4), Status::kUnrepresentable, 0, 4, 0x1F600,
       ""},
      {T::kLatin1, T::kUrl, "a b\xE9", Status::kDone, 4, 0, 0, "a%20b%C3%A9"},
      {T::kMacRoman, T::kUtf8, "\x8E", Status::kDone, 1, 0, 0, "\xC3\xA9"},
  };
  for (const auto& [from, to, src, status, read, length, character, skipped] : rows) {
    SCOPED_TRACE(testing::PrintToString(src));
    const Out strict = Conv(from, to, src, Policy::kStop);
    EXPECT_EQ(strict.r.status, status);
    EXPECT_EQ(strict.r.read, read);
    EXPECT_EQ(strict.r.length, length);
    EXPECT_EQ(strict.r.character, character);
    const Out skip = Conv(from, to, src, Policy::kSkip);
    EXPECT_EQ(skip.r.status, Status::kDone);
    EXPECT_EQ(skip.text, skipped);
  }
}

// A block cut inside a character is incomplete there; the caller carries the
// rest. Cut at every byte, with every room, the pieces join to the whole.
TEST(Convert, PiecesJoinToTheWhole) {
  using T = TextEncoding;
  for (const auto& [from, to] : {std::pair<T, T>{T::kUtf8, T::kUtf16LE},
                                 {T::kUtf16LE, T::kUtf8},
                                 {T::kUtf8, T::kUrl},
                                 {T::kUrl, T::kUtf16BE},
                                 {T::kUtf8, T::kLatin1}}) {
    const Bytes source = Conv(T::kUtf8, from, kTexts[1], Policy::kSkip).text;
    const Out whole = Conv(from, to, source, Policy::kSkip);
    for (std::size_t cut = 0; cut <= source.size(); ++cut) {
      // 12 bytes hold any one character (a pair as %XX%XX%XX%XX).
      for (const std::size_t room : {std::size_t{12}, std::size_t{13}, std::size_t{64}}) {
        Bytes joined;
        Bytes carry;
        for (const bool last : {false, true}) {
          Bytes block = carry + (last ? source.substr(cut) : source.substr(0, cut));
          for (;;) {
            const Out step = Conv(from, to, block, Policy::kSkip, last, room);
            joined += step.text;
            block.erase(0, step.r.read);
            if (step.r.status != Status::kTargetFull) {
              ASSERT_TRUE(step.r.status == Status::kDone ||
                          (!last && step.r.status == Status::kIncomplete))
                  << "cut " << cut << ", room " << room;
              break;
            }
            ASSERT_GT(step.r.written + step.r.read, 0u) << "no progress, room " << room;
          }
          carry = block;
        }
        ASSERT_EQ(joined, whole.text) << "cut " << cut << ", room " << room;
      }
    }
  }
}

// Long text, so that the kernel sets' block loops take part: a fault planted
// anywhere gives the same answer as through buffers the kernels cannot take
// (units one byte off their alignment), and replacing matches the fixed
// functions. The suite runs once per kernel set.
TEST(Convert, KernelsAnswerAsTheScalarPath) {
  const char* const pieces[] = {"ASCII runs of text, ", "caf\xC3\xA9 ", "\xE4\xB8\xAD\xE6\x96\x87",
                                "\xF0\x9F\x98\x80\xF0\x9F\x8E\x89"};
  Bytes clean;
  for (unsigned i = 0; clean.size() < 3000; i = i * 7 + 3) clean += pieces[i % 4];
  const Bytes faults[] = {"\x80", "\xED\xA0\x80", "\xE4\xB8", "\xC0\xAF", Bytes("\0", 1)};
  using T = TextEncoding;
  for (const std::size_t at : {std::size_t{0}, std::size_t{100}, std::size_t{1001}, clean.size()}) {
    for (const Bytes& fault : faults) {
      Bytes utf8 = clean;
      utf8.insert(at, fault);
      const Bytes utf16 = Conv(T::kUtf8, T::kUtf16LE, utf8, Policy::kReplace).text;
      Bytes lone = utf16;  // an unpaired high surrogate
      lone.insert(at & ~std::size_t{1}, "\x01\xD8");
      for (const Policy policy : {Policy::kStop, Policy::kReplace, Policy::kSkip}) {
        for (const auto& [from, to, src] :
             {std::tuple<T, T, const Bytes&>{T::kUtf8, T::kUtf16LE, utf8},
              {T::kUtf16LE, T::kUtf8, utf16},
              {T::kUtf16LE, T::kUtf8, lone}}) {
          SCOPED_TRACE(testing::Message() << "at " << at << ", policy " << int(policy));
          const Out fast = Conv(from, to, src, policy);
          std::vector<char> in(src.size() + 1), out(3 * src.size() + 8);
          std::copy(src.begin(), src.end(), in.begin() + 1);
          const Vandrel::ConvertResult slow = Vandrel::Convert(
              from, to, in.data() + 1, src.size(), out.data() + 1, out.size() - 1, policy, true);
          EXPECT_EQ(std::tie(fast.r.status, fast.r.read, fast.r.written, fast.r.length),
                    std::tie(slow.status, slow.read, slow.written, slow.length));
          EXPECT_TRUE(fast.text == Bytes(out.data() + 1, slow.written));
        }
      }
      if (fault[0] == '\0' || fault[0] == '\xED') continue;  // the fixed functions differ there
      std::vector<Vandrel::Uni16> fixed(utf8.size() + 1);
      const int n = Vandrel::UTF8ToUni16Char(utf8.c_str(), fixed.data(), fixed.size());
      EXPECT_TRUE(utf16 == Le({fixed.data(), static_cast<std::size_t>(n)}));
    }
  }
  // A character cut by the end of a source of any block size, after a fault
  // that sends the block down the careful path, is carried: nothing past the
  // end is read (the buffer is exactly the text).
  for (std::size_t length = 8; length < 100; ++length) {
    for (const Bytes cut : {Bytes("\xE4\xB8"), Bytes("\xF0\x9F\x98")}) {
      Bytes text(length, 'a');
      text.replace(length - cut.size(), cut.size(), cut);
      text[length / 2] = '\x80';
      const std::vector<char> exact(text.begin(), text.end());
      std::vector<char> out(4 * length);
      const Vandrel::ConvertResult r =
          Vandrel::Convert(T::kUtf8, T::kUtf16LE, exact.data(), exact.size(), out.data(),
                           out.size(), Policy::kSkip, false);
      EXPECT_EQ(r.status, Status::kIncomplete) << length;
      EXPECT_EQ(r.read, length - cut.size()) << length;
    }
  }
}

}  // namespace
