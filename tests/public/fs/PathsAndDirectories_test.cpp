// Absolute paths, local paths and the application directory.
#include <cstring>
#include <filesystem>
#include <string>

#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Paths.h"
#include "Vandrel/FileSpec.h"
#include "gtest/gtest.h"
#include "support/FsTestSupport.h"

#if defined(_WIN32)
#include <windows.h>
#endif

using namespace TalqOSUtils;

namespace {

// The executable's folder as the platform itself reports it, in generic
// notation with a trailing '/'.
std::string ExecutableFolder() {
#if defined(_WIN32)
  wchar_t buffer[4096];
  const DWORD n = ::GetModuleFileNameW(nullptr, buffer, 4096);
  std::filesystem::path exe(std::wstring(buffer, n));
#else
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
#endif
  return OSPathGeneric(exe.parent_path().u8string()) + "/";
}

TEST(ApplicationDirectory, IsTheExecutablesFolderUnderThreeNames) {
  const std::string expected = ExecutableFolder();
  EXPECT_EQ(OSApplicationDirectory(), expected);
  EXPECT_EQ(OSApplicationBinaryDirectory(), expected);
  EXPECT_EQ(OSApplicationResourcesDirectory(), expected);
  EXPECT_TRUE(OSDirectoryExists(expected.c_str()));
}

TEST(SharedResourcesDirectory, FallsBackToTheApplicationDirectory) {
  OSSetSharedResourceDirectory("");
  EXPECT_EQ(OSSharedResourcesDirectory(), OSApplicationDirectory());
  for (const char* setting : {"/D:/Shared", "C:\\local\\notation", "/no/such/dir/", "x"}) {
    SCOPED_TRACE(setting);
    OSSetSharedResourceDirectory(setting);
    EXPECT_EQ(OSSharedResourcesDirectory(), setting);
  }
  OSSetSharedResourceDirectory("");
  EXPECT_EQ(OSSharedResourcesDirectory(), OSApplicationDirectory());
}

TEST(MakePathAbsolute, TwoArgumentForm) {
  const struct {
    const char* path;
    const char* base;
    const char* expected;
  } rows[] = {
      {"x/y", "/a/b", "/a/b/x/y"},
      {"../x", "/a/b", "/a/x"},
      {"./x/", "/a", "/a/x/"},
      {"/abs/../p", "/a", "/abs/../p"},
      {"", "/a/./b/../c/", "/a/c"},
      {"..", "/a", ""},
      {"../../x", "/a", "/x"},  // nothing left to climb: stays at the root
      {"../../../", "/a/b", ""},
      {"tool", "/C:/apps", "/C:/apps/tool"},
      {"x", "rel/base", "/rel/base/x"},
      {"a//b/", "/r//", "/r/a/b/"},
      {"a\\/b/../c", "/r", "/r/a\\/c"},  // escapes are not interpreted here
      {"", "/", ""},
      {".", "/a", "/a"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.path) + " below " + row.base);
    EXPECT_EQ(OSMakePathAbsolute(row.path, row.base), row.expected);
  }
  const std::string app = OSApplicationDirectory();
  EXPECT_EQ(OSMakePathAbsolute("f", ""), app + "f");
}

TEST(MakePathAbsolute, OneArgumentForm) {
  const struct {
    const char* path;
    const char* expected;
  } rows[] = {
      {"", ""},      {"/a/./b//c/", "/a/b/c/"}, {"/a/..", ""},
      {"/", ""},     {"C:x", "/C:x"},           {"C:\\x", "/C:\\x"},
      {"C:", "/C:"}, {"/a/../../b", "/b"},      {"//srv/s", "/srv/s"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(OSMakePathAbsolute(row.path), row.expected);
  }
  const std::string app = OSApplicationDirectory();
  EXPECT_EQ(OSMakePathAbsolute("data/file"), app + "data/file");
  EXPECT_EQ(OSMakePathAbsolute("data/"), app + "data/");
  // One step up from the application directory, by an independent route.
  const std::string parent = OSDirname(app.substr(0, app.size() - 1));
  EXPECT_EQ(OSMakePathAbsolute("../x"), OSMakePathAbsolute(parent + "/x"));
}

TEST(GenericPathToLocalPath, RewritesInPlaceWhenItFits) {
  const struct {
    const char* path;
    std::size_t size;
    const char* expected;
  } rows[] = {
      {"/C:/a/b", 8, "C:\\a\\b"},
      {"/C:/a/b", 7, "/C:/a/b"},
      {"a\\/b", 5, "a/b"},
      {"a\\/b", 4, "a\\/b"},
      {"/C:/a/b", 0, "/C:/a/b"},
      {"x/", 100, "x\\"},
      {"", 1, ""},
      {"\\", 2, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.path) + " in " + std::to_string(row.size));
    char buffer[128];
    std::memset(buffer, '#', sizeof buffer);
    std::strcpy(buffer, row.path);
    GenericPathToLocalPath(buffer, row.size);
    EXPECT_STREQ(buffer, row.expected);
    EXPECT_EQ(buffer[std::strlen(row.path) + 1], '#') << "wrote past the path";
  }
  GenericPathToLocalPath(nullptr, 10);   // no crash, nothing to do
  char noNul[4] = {'/', 'a', '/', 'b'};  // no NUL within the size given
  GenericPathToLocalPath(noNul, sizeof noNul);
  EXPECT_EQ(std::string(noNul, 4), "/a/b");
}

std::string Narrow(const Vandrel::Uni16* s) {
  std::string out;
  for (; *s != 0; ++s) out += static_cast<char>(*s);
  return out;
}

TEST(GenericPathToDravoFileSpec, AssignsTheNtFormAndAnswersExists) {
  talqtest::TempDir tmp;
  tmp.Write("there.txt");
  Vandrel::FileSpec spec;
  EXPECT_FALSE(GenericPathToDravoFileSpec("/C:/dir/file", spec));
  EXPECT_EQ(Narrow(spec.Path()), "C:\\dir\\file");
  EXPECT_FALSE(GenericPathToDravoFileSpec("", spec));
  EXPECT_EQ(Narrow(spec.Path()), "");
  EXPECT_TRUE(GenericPathToDravoFileSpec(tmp / "there.txt", spec));
  EXPECT_FALSE(GenericPathToDravoFileSpec(tmp / "missing.txt", spec));
  GenericPathToDravoFileSpec("/C:/caf\xC3\xA9\\/x", spec);  // UTF-8 becomes UTF-16
  const Vandrel::Uni16 expected[] = {'C', ':', '\\', 'c', 'a', 'f', 0xE9, '/', 'x', 0};
  EXPECT_TRUE(Vandrel::FileSpec::String(spec.Path()) == expected);

  // 1023 bytes fit; 1024 would be cut, so the spec gets the empty path.
  const std::string fits = "/C:/" + std::string(1019, 'a');
  ASSERT_EQ(fits.size(), 1023u);
  GenericPathToDravoFileSpec(fits, spec);
  EXPECT_EQ(spec.Length(), 1022u);
  EXPECT_FALSE(GenericPathToDravoFileSpec(fits + "a", spec));
  EXPECT_TRUE(spec.IsEmpty());
}

}  // namespace
