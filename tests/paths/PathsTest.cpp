// Generic path notation conversions and path composition, through the public
// interface. Buffer calls run in a Guarded buffer so that a write past the
// capacity they were given shows up as a changed guard byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Paths.h"

namespace {

using namespace TalqOSUtils;

// `cap` bytes, optionally starting with `text`, then 16 guard bytes; every
// other byte starts as '#'.
struct Guarded {
  explicit Guarded(std::size_t capacity, const std::string& text = std::string())
      : cap(capacity), bytes(capacity + 16, '#') {
    std::copy(text.begin(), text.end(), bytes.begin());
  }
  char* data() { return bytes.data(); }
  int isize() const { return static_cast<int>(cap); }
  unsigned usize() const { return static_cast<unsigned>(cap); }
  std::string Text() const {  // up to the first NUL within the capacity
    return std::string(bytes.begin(), std::find(bytes.begin(), bytes.begin() + cap, '\0'));
  }
  bool UntouchedFrom(std::size_t from) const {
    return std::all_of(bytes.begin() + from, bytes.end(), [](char c) { return c == '#'; });
  }
  bool TailIntact() const { return UntouchedFrom(cap); }
  std::size_t cap;
  std::vector<char> bytes;
};

// ---------------------------------------------------------------------------
// Conversions

using Converter = bool (*)(const char*, char*, int);
// Rows name a family rather than a function pointer: the address of an
// imported function need not compare equal across initialisation contexts.
enum Family { kToNT, kFromNT, kToHFS, kFromHFS, kCopy };

// Functions documented to behave exactly like the one named in a table row.
std::vector<Converter> WithAliases(Family f) {
  switch (f) {
    case kToNT:
      return {&OSPathGenericToNT, static_cast<Converter>(&OSPathLocal)};
    case kFromNT:
      return {&OSPathNTToGeneric, static_cast<Converter>(&OSPathGeneric)};
    case kToHFS:
      return {&OSPathGenericToMacHFS};
    case kFromHFS:
      return {&OSPathMacHFSToGeneric};
    case kCopy:
      return {&OSPathGenericToUnix, &OSPathUnixToGeneric, &OSPathGenericToGeneric};
  }
  return {};
}

struct Conversion {
  Family convert;
  const char* src;
  const char* expected;
  std::size_t size;  // the smallest capacity that succeeds
};

// clang-format off
const Conversion kConversions[] = {
    // Generic to NT needs room for the whole source, even when the result is shorter.
    {kToNT, "/C:/Windows", "C:\\Windows", 12}, {kToNT, "/C:/x", "C:\\x", 6}, {kToNT, "/C:", "C:", 4},
    {kToNT, "a\\/b", "a/b", 5}, {kToNT, "a\\\\b", "a\\b", 5}, {kToNT, "a/\\", "a\\", 4},
    {kToNT, "a:b", "a:b", 4}, {kToNT, "/ab:", "\\ab:", 5}, {kToNT, "", "", 1},
    {kToNT, "\xC3\xA9/\xC3\xBC", "\xC3\xA9\\\xC3\xBC", 6},
    // NT to generic: one byte more for the slash before a drive letter.
    {kFromNT, "C:\\Windows", "/C:/Windows", 12}, {kFromNT, "C:", "/C:", 4}, {kFromNT, "z:", "/z:", 4},
    {kFromNT, "1:\\a", "1:/a", 5}, {kFromNT, "a\\b/c", "a/b/c", 6}, {kFromNT, "\\\\s\\x", "//s/x", 6},
    // Generic to Mac HFS needs room for both the source and the result.
    {kToHFS, "/Disk/Docs/a", "Disk:Docs:a", 13}, {kToHFS, "Docs/a", ":Docs:a", 8}, {kToHFS, "a", ":a", 3},
    {kToHFS, "./a", ":a", 4}, {kToHFS, "././a", ":.:a", 6}, {kToHFS, "../../a", "::::a", 8},
    {kToHFS, "../", "::", 4}, {kToHFS, "../a/../b", "::a:..:b", 10}, {kToHFS, "..", ":..", 4},
    {kToHFS, "a\\/b", ":a/b", 5}, {kToHFS, "a\\", ":a", 3}, {kToHFS, "/", "", 2}, {kToHFS, "", "", 1},
    // Mac HFS to generic: one byte short leaves the cut result.
    {kFromHFS, "Disk:Docs:a", "/Disk/Docs/a", 13}, {kFromHFS, ":Docs:a", "Docs/a", 7},
    {kFromHFS, "::a", "../a", 5}, {kFromHFS, "::::", "../../", 7}, {kFromHFS, ":a:", "a/", 3},
    {kFromHFS, ":", "", 1}, {kFromHFS, "", "/", 2}, {kFromHFS, "a/b:c", "/a\\/b/c", 8},
    {kFromHFS, "a\\b", "/a\\\\b", 6},
    // The bounded copies translate nothing and keep the cut source.
    {kCopy, "abc", "abc", 4}, {kCopy, "a\\/b", "a\\/b", 5}, {kCopy, "", "", 1},
};
// clang-format on

TEST(Conversions, ExactCapacitySucceedsOneByteLessFails) {
  for (const Conversion& c : kConversions) {
    for (Converter convert : WithAliases(c.convert)) {
      SCOPED_TRACE(std::string(c.src) + " with size " + std::to_string(c.size));
      Guarded exact(c.size), tight(c.size - 1);
      EXPECT_TRUE(convert(c.src, exact.data(), exact.isize()));
      EXPECT_EQ(exact.Text(), c.expected);
      EXPECT_FALSE(convert(c.src, tight.data(), tight.isize()));
      if (tight.cap > 0 && (c.convert == kFromHFS || c.convert == kCopy)) {
        EXPECT_EQ(tight.Text(), std::string(c.expected, tight.cap - 1));
      } else {
        EXPECT_TRUE(tight.UntouchedFrom(0));
      }
      EXPECT_TRUE(exact.TailIntact() && tight.TailIntact());
    }
  }
}

TEST(Conversions, FailuresWithoutWriting) {
  for (Family convert : {kToNT, kFromNT, kToHFS, kFromHFS, kCopy}) {
    for (Converter alias : WithAliases(convert)) {
      Guarded dst(8);
      EXPECT_FALSE(alias(nullptr, dst.data(), 8) || alias("a", nullptr, 8));
      for (int size : {0, -1, INT_MIN}) EXPECT_FALSE(alias("a", dst.data(), size));
      EXPECT_TRUE(dst.UntouchedFrom(0));
    }
  }
  for (const char* odd_colons : {":::a", ":::"}) {
    Guarded dst(32);
    EXPECT_FALSE(OSPathMacHFSToGeneric(odd_colons, dst.data(), dst.isize()));
    EXPECT_TRUE(dst.UntouchedFrom(0)) << odd_colons;
  }
}

TEST(Conversions, CopiesPadWithNul) {
  for (Converter copy : WithAliases(kCopy)) {
    Guarded dst(8);
    EXPECT_TRUE(copy("ab", dst.data(), dst.isize()));
    EXPECT_EQ(std::count(dst.bytes.begin(), dst.bytes.begin() + 8, '\0'), 6);
  }
}

TEST(Conversions, StringFormsAndTheirLimits) {
  EXPECT_EQ(OSPathLocal(std::string()), "");
  const std::string longest = "/C:" + std::string(252, 'x') + "/";  // 256 bytes
  EXPECT_EQ(OSPathLocal(longest), "C:" + std::string(252, 'x') + "\\");
  try {
    OSPathLocal(longest + "y");
    ADD_FAILURE() << "a 257-byte path converted";
  } catch (const ChException& e) {
    EXPECT_STREQ(e.what(), "Unable to convert file path");
  }
  const std::string drive_path = "C:" + std::string(1021, 'x');  // 1023 bytes
  EXPECT_EQ(OSPathGeneric(drive_path), "/" + drive_path);
  EXPECT_EQ(OSPathGeneric(drive_path + "y"), "");
  // Both measure up to the first NUL: what follows neither counts nor converts.
  EXPECT_EQ(OSPathLocal(std::string("a/b\0", 4) + std::string(300, 'z')), "a\\b");
  EXPECT_EQ(OSPathGeneric(std::string("C:\\a\0", 5) + std::string(2000, 'z')), "/C:/a");
}

TEST(Conversions, RoundTrips) {
  char there[64], back[64];
  for (const char* generic : {"/Disk/Docs/a.txt", "Docs/a", "../../x/y", "a\\/b", "/V/\\\\w"}) {
    ASSERT_TRUE(OSPathGenericToMacHFS(generic, there, 64) && OSPathMacHFSToGeneric(there, back, 64))
        << generic;
    EXPECT_STREQ(back, generic);
  }
  for (const char* mac : {"Disk:Docs:a.txt", ":a:b", "::::a", "Vol:a/b", ":x\\y"}) {
    ASSERT_TRUE(OSPathMacHFSToGeneric(mac, back, 64) && OSPathGenericToMacHFS(back, there, 64))
        << mac;
    EXPECT_STREQ(there, mac);
  }
  for (const char* generic : {"/C:/Windows/System32", "/C:", "a/b", "/x/y/", "//srv/share"}) {
    EXPECT_EQ(OSPathGeneric(OSPathLocal(std::string(generic))), generic);
  }
  for (const char* nt : {"C:\\Windows\\System32", "C:", "rel\\dir", "\\\\srv\\share"}) {
    EXPECT_EQ(OSPathLocal(OSPathGeneric(std::string(nt))), nt);
  }
}

// ---------------------------------------------------------------------------
// Composition: the three forms of each family side by side.

TEST(AddNameToPath, ThreeFormsJoin) {
  struct {
    const char *path, *name, *joined, *bounded;  // bounded escapes the name's '/'
  } const cases[] = {
      {"/a/", "b", "/a/b", "/a/b"}, {"/a", "b", "/a/b", "/a/b"},      {"", "b", "b", "b"},
      {"/", "b", "/b", "/b"},       {"a", "x/y", "a/x/y", "a/x\\/y"}, {"a", "/b", "a//b", "a/\\/b"},
      {"a", "", "a/", "a/"},        {"a\\", "b", "a\\/b", "a\\/b"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " + " + c.name);
    EXPECT_EQ(OSAddNameToPath(std::string(c.path), std::string(c.name)), c.joined);
    char unbounded[256];
    EXPECT_TRUE(OSAddNameToPath(std::strcpy(unbounded, c.path), c.name));
    EXPECT_STREQ(unbounded, c.joined);

    const std::size_t length = std::strlen(c.bounded);
    Guarded exact(length + 1, std::string(c.path) + '\0'), tight(length, exact.Text() + '\0');
    EXPECT_TRUE(OSAddNameToPath(exact.data(), c.name, exact.usize()));
    EXPECT_EQ(exact.Text(), c.bounded);
    const std::vector<char> before = tight.bytes;
    EXPECT_FALSE(OSAddNameToPath(tight.data(), c.name, tight.usize()));
    EXPECT_EQ(tight.bytes, before);  // unchanged, in and beyond the capacity
    EXPECT_TRUE(exact.TailIntact());
  }
}

TEST(AddNameToPath, LimitsAliasingAndBadArguments) {
  const std::string path(200, 'p');
  char buffer[512];
  EXPECT_FALSE(OSAddNameToPath(std::strcpy(buffer, path.c_str()), std::string(55, 'n').c_str()));
  EXPECT_EQ(buffer, path);  // 256 bytes with the NUL: refused, untouched
  ASSERT_TRUE(OSAddNameToPath(buffer, std::string(54, 'n').c_str()));
  EXPECT_EQ(buffer, path + "/" + std::string(54, 'n'));
  ASSERT_TRUE(OSAddNameToPath(std::strcpy(buffer, "ab"), buffer));  // name may be path itself
  ASSERT_TRUE(OSAddNameToPath(buffer, buffer, 16));
  EXPECT_STREQ(buffer, "ab/ab/ab\\/ab");

  EXPECT_FALSE(OSAddNameToPath(nullptr, "x") || OSAddNameToPath(buffer, nullptr));
  EXPECT_FALSE(OSAddNameToPath(nullptr, "x", 16) || OSAddNameToPath(buffer, nullptr, 16));
  Guarded empty(0), unterminated(3, "abcd");
  EXPECT_FALSE(OSAddNameToPath(empty.data(), "x", 0));
  EXPECT_FALSE(OSAddNameToPath(unterminated.data(), "", unterminated.usize()));
  EXPECT_TRUE(empty.UntouchedFrom(0) && unterminated.UntouchedFrom(4));
}

struct SplitCase {
  const char *path, *narrow, *unbounded, *bounded;  // unbounded null: a null answer
};
struct CapacityCase {
  const char* path;
  unsigned size;
  bool fits;
  const char* text;
};

TEST(Basename, ThreeFormsSplit) {
  // clang-format off
  const SplitCase cases[] = {
      {"/a/b/c/", "c", "c", "c"}, {"/a/b//", "", "", ""}, {"C:\\x\\y", "C:\\x\\y", "y", "C:xy"},
      {"Disk:Docs:", "Disk:Docs:", "Docs", "Disk:Docs:"}, {"name", "name", "name", "name"},
      {"a/", "a", "a", "a"}, {"/", "", "", ""}, {"a\\/b", "b", "b", "a/b"},
      {"a/b\\/", "b\\", "", "b"}, {"", "", nullptr, ""},
  };
  // clang-format on
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(OSBasename(std::string(c.path)), c.narrow);
    Guarded unbounded(std::strlen(c.path) + 1), bounded(32);
    EXPECT_EQ(OSBasename(c.path, unbounded.data()), c.unbounded ? unbounded.data() : nullptr);
    EXPECT_TRUE(c.unbounded ? unbounded.Text() == c.unbounded : unbounded.UntouchedFrom(0));
    EXPECT_TRUE(unbounded.TailIntact());
    EXPECT_TRUE(OSBasename(c.path, bounded.data(), bounded.usize()));
    EXPECT_EQ(bounded.Text(), c.bounded);
  }
}

TEST(Basename, BoundedCapacity) {
  const CapacityCase cases[] = {
      {"dir/file", 5, true, "file"}, {"dir/file", 4, false, "fil"},
      {"a/b\\/c", 4, true, "b/c"},   {"a/b\\/c", 3, false, "b"},  // a cut ending in '/' loses it
      {"a/bc/", 4, true, "bc"},      {"a/bc/", 3, false, "bc"},   // the trailing '/' counts
      {"x", 1, false, ""},           {"/", 2, true, ""}};
  for (const CapacityCase& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " with size " + std::to_string(c.size));
    Guarded out(c.size);
    EXPECT_EQ(OSBasename(c.path, out.data(), out.usize()), c.fits);
    EXPECT_EQ(out.Text(), c.text);
    EXPECT_TRUE(out.TailIntact());
  }
  Guarded out(8);
  EXPECT_EQ(OSBasename(nullptr, out.data()), nullptr);
  EXPECT_FALSE(OSBasename(nullptr, out.data(), 8) || OSBasename("a", nullptr, 8));
  EXPECT_FALSE(OSBasename("a", out.data(), 0));
  EXPECT_TRUE(out.UntouchedFrom(0));
}

TEST(Dirname, ThreeFormsSplit) {
  // clang-format off
  const SplitCase cases[] = {
      {"/a", "/", nullptr, "/"}, {"name", ".", nullptr, "."}, {"a/", "a", nullptr, "."},
      {"/a/b/", "/a/b", "/a", "/a"}, {"a/b", "a", "a", "a"}, {"//a", "/", "/", "/"},
      {"C:\\dir\\x", ".", "C:\\dir", "."}, {"Disk:Docs:a", ".", "Disk:Docs", "."},
      {"a\\/b", "a\\", "a\\", "."}, {"a\\/b/c", "a\\/b", "a\\/b", "a\\/b"},
      {"/", "/", "/", "/"}, {":", ".", ":", "."}, {"", ".", nullptr, "."},
  };
  // clang-format on
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(OSDirname(std::string(c.path)), c.narrow);
    Guarded unbounded(std::strlen(c.path) + 1), bounded(32);
    EXPECT_EQ(OSDirname(c.path, unbounded.data()), c.unbounded ? unbounded.data() : nullptr);
    // A null answer for a non-empty path leaves the copy of the path in out.
    EXPECT_TRUE(c.path[0] == '\0' ? unbounded.UntouchedFrom(0)
                                  : unbounded.Text() == (c.unbounded ? c.unbounded : c.path));
    EXPECT_TRUE(unbounded.TailIntact());
    EXPECT_TRUE(OSDirname(c.path, bounded.data(), bounded.usize()));
    EXPECT_EQ(bounded.Text(), c.bounded);
  }
}

TEST(Dirname, BoundedCutsToCapacityTakesLongPathsAndRefusesTinyBuffers) {
  const CapacityCase cases[] = {{"/abc/d", 5, true, "/abc"}, {"/abc/d", 4, true, "/ab"},
                                {"/abc/d", 3, true, "/a"},   {"/abc/d", 2, true, "/"},
                                {"x", 2, true, "."},         {"/x", 2, true, "/"},
                                {"a/b", 1, false, ""},       {"a/b", 0, false, ""}};
  for (const CapacityCase& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " with size " + std::to_string(c.size));
    Guarded out(c.size);
    EXPECT_EQ(OSDirname(c.path, out.data(), out.usize()), c.fits);
    EXPECT_TRUE(c.fits ? out.Text() == c.text : out.UntouchedFrom(0));
    EXPECT_TRUE(out.TailIntact());
  }
  const std::string dir(299, 'd');
  Guarded out(400);
  EXPECT_TRUE(OSDirname((dir + "/f").c_str(), out.data(), out.usize()));
  EXPECT_EQ(out.Text(), dir);
  EXPECT_FALSE(OSDirname(nullptr, out.data(), 8) || OSDirname("a", nullptr, 8));
  EXPECT_EQ(OSDirname(nullptr, out.data()), nullptr);
}

}  // namespace
