// Generic path notation conversions and path composition, through the public
// interface. Buffer calls run in a Guarded buffer, so that a write past the
// capacity they were given shows up as a changed guard byte.

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/UnicodeString.h"
#include "support/TestSupport.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)

// `cap` bytes starting with `text` and its NUL (when given), then 16 guard
// bytes; every other byte is '#'.
struct Guarded {
  explicit Guarded(std::size_t capacity, const char* text = nullptr)
      : cap(capacity), bytes(capacity + 16, '#') {
    if (text != nullptr) std::copy(text, text + std::strlen(text) + 1, bytes.begin());
  }
  char* data() { return bytes.data(); }
  std::string Text() const {  // up to the first NUL within the capacity
    return std::string(bytes.begin(), std::find(bytes.begin(), bytes.begin() + cap, '\0'));
  }
  bool TailIntact() const { return std::count(bytes.begin() + cap, bytes.end(), '#') == 16; }
  std::size_t cap;
  std::vector<char> bytes;
};

// Rows name a family rather than a function pointer: the address of an
// imported function need not compare equal across initialisation contexts.
enum Family { kToNT, kFromNT, kToHFS, kFromHFS, kCopy, kAddName, kBasename, kDirname };
using Call = bool (*)(const char* src, char* dst, int size);

// The functions of a family, looked up at run time; the bounded composition
// forms take src as the name to add or the path to split.
std::vector<Call> Functions(Family f) {
  const std::vector<Call> all[] = {
      {&OSPathGenericToNT, static_cast<Call>(&OSPathLocal)},
      {&OSPathNTToGeneric, static_cast<Call>(&OSPathGeneric)},
      {&OSPathGenericToMacHFS},
      {&OSPathMacHFSToGeneric},
      {&OSPathGenericToUnix, &OSPathUnixToGeneric, &OSPathGenericToGeneric},
      {[](const char* s, char* d, int n) { return OSAddNameToPath(d, s, unsigned(n)); }},
      {[](const char* s, char* d, int n) { return OSBasename(s, d, unsigned(n)); }},
      {[](const char* s, char* d, int n) { return OSDirname(s, d, unsigned(n)); }}};
  return all[f];
}

struct SizeRule {
  Family family;
  const char *src, *result;
  std::size_t size;            // the smallest capacity that succeeds
  const char* left = nullptr;  // what one byte less leaves, NUL-terminated; null: nothing written
};

// kAddName rows: src is the name and left the path, which the buffer holds
// before the call and keeps when the name does not fit.
// clang-format off
const SizeRule kSizeRules[] = {
    // Generic to NT needs room for the whole source, even when the result is shorter.
    {kToNT, "/C:/\xC3\xA9", "C:\\\xC3\xA9", 7}, {kToNT, "/C:", "C:", 4}, {kToNT, "a:b", "a:b", 4},
    {kToNT, "a\\/b\\\\c", "a/b\\c", 8}, {kToNT, "a/\\", "a\\", 4}, {kToNT, "", "", 1},
    // NT to generic: one byte more for the slash before a drive letter.
    {kFromNT, "C:", "/C:", 4}, {kFromNT, "z:\\a/b", "/z:/a/b", 8}, {kFromNT, "1:\\a", "1:/a", 5},
    // Generic to Mac HFS needs room for both the source and the result.
    {kToHFS, "/Disk/a", "Disk:a", 8}, {kToHFS, "a", ":a", 3}, {kToHFS, "././a", ":.:a", 6},
    {kToHFS, "../../a", "::::a", 8}, {kToHFS, "../a/../b", "::a:..:b", 10}, {kToHFS, "/", "", 2},
    {kToHFS, "a\\/b\\", ":a/b", 6}, {kToHFS, "..", ":..", 4}, {kToHFS, "", "", 1},
    // Mac HFS to generic and the bounded copies leave the cut result.
    {kFromHFS, "Disk:a", "/Disk/a", 8, "/Disk/"}, {kFromHFS, "::::", "../../", 7, "../.."},
    {kFromHFS, ":Docs:a", "Docs/a", 7, "Docs/"}, {kFromHFS, "", "/", 2, ""}, {kFromHFS, ":", "", 1},
    {kFromHFS, "a/b:c", "/a\\/b/c", 8, "/a\\/b/"}, {kFromHFS, "a\\b", "/a\\\\b", 6, "/a\\\\"},
    {kCopy, "a\\/b", "a\\/b", 5, "a\\/"}, {kCopy, "", "", 1},
    // Bounded OSAddNameToPath escapes each '/' of the name.
    {kAddName, "c", "ab/c", 5, "ab"}, {kAddName, "b", "/a/b", 5, "/a/"},
    {kAddName, "x/y", "a/x\\/y", 7, "a"}, {kAddName, "b", "b", 2, ""}, {kAddName, "", "a/", 3, "a"},
    // Bounded OSBasename counts a trailing '/' before dropping it, and drops a cut's final '/'.
    {kBasename, "dir/file", "file", 5, "fil"}, {kBasename, "a/bc/", "bc", 4, "bc"},
    {kBasename, "a/b\\/c", "b/c", 4, "b"}, {kBasename, "/", "", 2, ""},
    // Bounded OSDirname: every answer needs two bytes.
    {kDirname, "a/b", "a", 2}, {kDirname, "x", ".", 2}, {kDirname, "/x", "/", 2},
};
// clang-format on

TEST(SizeRules, ExactCapacitySucceedsOneByteShortFailsBadArgumentsWriteNothing) {
  for (const SizeRule& r : kSizeRules) {
    for (Call call : Functions(r.family)) {
      SCOPED_TRACE(std::string(r.src) + " with size " + std::to_string(r.size));
      const char* path = r.family == kAddName ? r.left : nullptr;
      Guarded exact(r.size, path), tight(r.size - 1, path), spare(8, path);
      EXPECT_TRUE(call(r.src, exact.data(), static_cast<int>(exact.cap))) << "exact capacity";
      EXPECT_TRUE(exact.TailIntact()) << "wrote past the exact capacity";
      EXPECT_EQ(exact.Text(), r.result);
      EXPECT_FALSE(call(r.src, tight.data(), static_cast<int>(tight.cap))) << "one byte short";
      EXPECT_EQ(tight.bytes, Guarded(tight.cap, r.left).bytes) << "one byte short";
      const int negative = r.family < kAddName ? INT_MIN : 0;  // composition sizes are unsigned
      EXPECT_FALSE(call(nullptr, spare.data(), 8)) << "null source";
      EXPECT_FALSE(call(r.src, nullptr, 8)) << "null destination";
      EXPECT_FALSE(call(r.src, spare.data(), 0)) << "size 0";
      EXPECT_FALSE(call(r.src, spare.data(), negative)) << "negative size";
      EXPECT_EQ(spare.bytes, Guarded(8, path).bytes) << "bad arguments wrote";
    }
  }
}

TEST(Conversions, StringFormsLimitsAndRoundTrips) {
  const std::string longest = "/C:" + std::string(252, 'x') + "/";  // 256 bytes
  EXPECT_EQ(OSPathLocal(longest), "C:" + std::string(252, 'x') + "\\");
  talqtest::ExpectThrowWhat<ChException>([&] { OSPathLocal(longest + "y"); },
                                         "Unable to convert file path");
  const std::string drive_path = "C:" + std::string(1021, 'x');  // 1023 bytes
  EXPECT_EQ(OSPathGeneric(drive_path), "/" + drive_path);
  EXPECT_EQ(OSPathGeneric(drive_path + "y"), "");
  // Both measure up to the first NUL: what follows neither counts nor converts.
  EXPECT_EQ(OSPathLocal(std::string("a/b\0", 4) + std::string(300, 'z')), "a\\b");
  EXPECT_EQ(OSPathGeneric(std::string("C:\\a\0", 5) + std::string(2000, 'z')), "/C:/a");

  char mac[64], back[64];
  for (const char* generic : {"/Disk/Docs/a.txt", "../../x/y", "a/b/", "a\\/b", "/V/\\\\w"}) {
    SCOPED_TRACE(generic);
    EXPECT_TRUE(OSPathGenericToMacHFS(generic, mac, 64));
    EXPECT_TRUE(OSPathMacHFSToGeneric(mac, back, 64));
    EXPECT_STREQ(back, generic);
  }
  // An odd run of leading colons has no generic spelling: back keeps the last round trip.
  for (const char* odd : {":::a", ":::"}) EXPECT_FALSE(OSPathMacHFSToGeneric(odd, back, 64)) << odd;
  EXPECT_STREQ(back, "/V/\\\\w");
  for (const char* nt : {"C:\\Windows\\System32", "C:", "..\\x\\", "\\\\srv\\share"}) {
    EXPECT_EQ(OSPathLocal(OSPathGeneric(std::string(nt))), nt);
  }
  for (Call copy : Functions(kCopy)) {  // the bounded copies fill the rest with NUL
    std::fill(back, back + 64, '#');
    EXPECT_TRUE(copy("ab", back, 64));
    EXPECT_EQ(std::count(back, back + 64, '\0'), 62);
  }
}

TEST(AddNameToPath, StringAndUnboundedFormsAppendTheNameUnchanged) {
  const std::array<const char*, 3> cases[] = {
      {"/a/", "b", "/a/b"}, {"", "b", "b"}, {"a", "x/y", "a/x/y"}, {"a", "/b", "a//b"}};
  char buffer[512];
  for (const auto& [path, name, joined] : cases) {
    SCOPED_TRACE(std::string(path) + " + " + name);
    EXPECT_EQ(OSAddNameToPath(std::string(path), std::string(name)), joined);
    EXPECT_TRUE(OSAddNameToPath(std::strcpy(buffer, path), name));
    EXPECT_STREQ(buffer, joined);
  }
  // Unbounded: a result of 256 bytes with its NUL is refused, the path untouched.
  const std::string path(200, 'p'), name(55, 'n');
  EXPECT_FALSE(OSAddNameToPath(std::strcpy(buffer, path.c_str()), name.c_str()));
  EXPECT_EQ(buffer, path);
  EXPECT_TRUE(OSAddNameToPath(buffer, name.c_str() + 1));
  EXPECT_EQ(buffer, path + "/" + (name.c_str() + 1));
  // The name may be the path itself.
  EXPECT_TRUE(OSAddNameToPath(std::strcpy(buffer, "ab"), buffer));
  EXPECT_TRUE(OSAddNameToPath(buffer, buffer, 16));
  EXPECT_STREQ(buffer, "ab/ab/ab\\/ab");
  EXPECT_FALSE(OSAddNameToPath(nullptr, "x"));
  EXPECT_FALSE(OSAddNameToPath(buffer, nullptr));
  // A path without a NUL in its buffer leaves no room (a sanitizer build sees any read past it).
  std::vector<char> unterminated(3, 'a');
  EXPECT_FALSE(OSAddNameToPath(unterminated.data(), "", 3));
  EXPECT_EQ(unterminated, std::vector<char>(3, 'a'));
}

using Answers = std::array<std::string, 3>;

// The answers of the string form, the unbounded form (for a null answer,
// "null:" and what out then holds, '#' being an unwritten byte) and the
// bounded form with room to spare.
Answers Split(std::string (*narrow)(const std::string&), char* (*unbounded)(const char*, char*),
              bool (*bounded)(const char*, char*, unsigned), const char* path) {
  Guarded whole(std::strlen(path) + 1), roomy(32);
  const char* answer = unbounded(path, whole.data());
  EXPECT_TRUE(answer == nullptr || answer == whole.data()) << "the answer is not out";
  EXPECT_TRUE(whole.TailIntact()) << "unbounded: wrote past the path's length";
  EXPECT_TRUE(bounded(path, roomy.data(), 32)) << "bounded: no answer";
  EXPECT_TRUE(roomy.TailIntact()) << "bounded: wrote past the capacity";
  return {narrow(path), (answer == nullptr ? "null:" : "") + whole.Text(), roomy.Text()};
}

TEST(Split, TheThreeFormsDifferInSeparatorsEscapesAndDegenerateAnswers) {
  const std::tuple<const char*, Answers, Answers> cases[] = {
      // path, OSBasename, OSDirname
      {"/a/b//", {"", "", ""}, {"/a/b/", "/a/b", "/a/b"}},
      {"C:\\x\\y", {"C:\\x\\y", "y", "C:xy"}, {".", "C:\\x", "."}},
      {"Disk:Docs:", {"Disk:Docs:", "Docs", "Disk:Docs:"}, {".", "Disk", "."}},
      {"a\\/b", {"b", "b", "a/b"}, {"a\\", "a\\", "."}},
      {"a\\/b/c", {"c", "c", "c"}, {"a\\/b", "a\\/b", "a\\/b"}},
      {"a/b\\/", {"b\\", "", "b"}, {"a/b\\", "a/b", "a"}},
      {"/a", {"a", "a", "a"}, {"/", "null:/a", "/"}},
      {"a/", {"a", "a", "a"}, {"a", "null:a/", "."}},
      {"name", {"name", "name", "name"}, {".", "null:name", "."}},
      {"/", {"", "", ""}, {"/", "/", "/"}},
      {"", {"", "null:#", ""}, {".", "null:#", "."}},
  };
  for (const auto& [path, base, dir] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(Split(&OSBasename, &OSBasename, &OSBasename, path), base);
    EXPECT_EQ(Split(&OSDirname, &OSDirname, &OSDirname, path), dir);
  }
  char out[8];
  EXPECT_EQ(OSBasename(nullptr, out), nullptr);
  EXPECT_EQ(OSDirname(nullptr, out), nullptr);
  // The bounded OSDirname cuts a long answer to the capacity, and takes paths of any length.
  for (unsigned size = 2; size <= 5; ++size) {
    SCOPED_TRACE(size);
    Guarded cut(size);
    EXPECT_TRUE(OSDirname("/abc/d", cut.data(), size));
    EXPECT_TRUE(cut.TailIntact());
    EXPECT_EQ(cut.Text(), std::string("/abc", size - 1));
  }
  Guarded long_answer(400);
  EXPECT_TRUE(OSDirname((std::string(299, 'd') + "/f").c_str(), long_answer.data(), 400));
  EXPECT_EQ(long_answer.Text(), std::string(299, 'd'));
}

// Raw name bytes and the library's UTF-8, both ways; the UTF-8 forms of the
// escapes (lone surrogates) survive UnicodeString, and some text names no file.
TEST(NameBytes, EscapesRoundTripThroughUnicodeStringAndTextWithoutANameIsRefused) {
  const std::pair<std::string, std::string> both[] = {
      {"", ""},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
      {"caf\xE9", "caf\xED\xB3\xA9"},
      {"\xFF\x80\xBF\xC0", "\xED\xB3\xBF\xED\xB2\x80\xED\xB2\xBF\xED\xB3\x80"},
      {"\xED\xB3\xBF", "\xED\xB3\xAD\xED\xB2\xB3\xED\xB2\xBF"},  // spells U+DCFF: escaped
      {"\xC3\x41", "\xED\xB3\x83\x41"},                          // cut short
      {"\xC0\xAF", "\xED\xB3\x80\xED\xB2\xAF"},                  // overlong '/'
      {"\xE0\x9F\xBF", "\xED\xB3\xA0\xED\xB2\x9F\xED\xB2\xBF"},  // overlong U+07FF
      {"\xE0\x80\xAF", "\xED\xB3\xA0\xED\xB2\x80\xED\xB2\xAF"},  // overlong '/'
      {"\xF4\x90\x80\x80", "\xED\xB3\xB4\xED\xB2\x90\xED\xB2\x80\xED\xB2\x80"},  // U+110000
      {"\xF0\x9F\x98x", "\xED\xB3\xB0\xED\xB2\x9F\xED\xB2\x98x"},
  };
  for (const auto& [bytes, utf8] : both) {
    SCOPED_TRACE(utf8);
    EXPECT_EQ(OSNameBytesToUTF8(bytes), utf8);
    EXPECT_EQ(OSUTF8ToNameBytes(utf8), bytes);
    std::string back;
    UnicodeString("x" + utf8).get(back);  // "x": no mark processing
    EXPECT_EQ(back, "x" + utf8);
  }
  EXPECT_EQ(UnicodeString(std::string("x\xED\xB3\xA9")), (UniString{'x', 0xDCE9}));
  // One way only: NULs end the text; ill-formed UTF-8 is U+FFFD, as every path is read.
  const std::pair<std::string, std::string> toBytes[] = {
      {std::string("a\0\xE9", 3), "a"},
      {"a\xFF", "a\xEF\xBF\xBD"},
      {"\xED\xA0\x80", ""},                      // U+D800
      {"\xED\xB1\xBF", ""},                      // U+DC7F: below the escapes
      {"\xED\xB3\x83\xED\xB2\xA9", ""},          // reads back as U+00E9
      {"\xED\xB3\x83\xC2\xA9", "\xC3\xC2\xA9"},  // C3 before a character stays escaped
  };
  for (const auto& [utf8, bytes] : toBytes) EXPECT_EQ(OSUTF8ToNameBytes(utf8), bytes) << utf8;
  EXPECT_EQ(OSNameBytesToUTF8(std::string("a\0\xE9", 3)), "a");
}

}  // namespace
