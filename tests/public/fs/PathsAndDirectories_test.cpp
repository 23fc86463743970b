// Absolute paths, local paths and the application directory.
#include <cstring>
#include <filesystem>
#include <string>

#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Paths.h"
#include "Vandrel/FileSpec.h"
#include "gtest/gtest.h"
#include "support/FsTestSupport.h"

using namespace TalqOSUtils;

namespace {

// The executable's folder as the platform itself reports it, generic, with a
// trailing '/'.
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
  // An empty setting falls back to the application directory.
  for (const char* setting : {"/D:/Shared", "x", ""}) {
    SCOPED_TRACE(setting);
    OSSetSharedResourceDirectory(setting);
    EXPECT_EQ(OSSharedResourcesDirectory(), *setting != '\0' ? setting : expected);
  }
}

TEST(MakePathAbsolute, BothForms) {
  const std::string app = OSApplicationDirectory();
  const struct {
    const char* path;
    const char* base;  // null: the one-argument form
    std::string expected;
  } rows[] = {
      {"x/y", "/a/b", "/a/b/x/y"},
      {"../x", "/a/b", "/a/x"},
      {"./x/", "/a", "/a/x/"},
      {"/abs/../p", "/a", "/abs/../p"},
      {"", "/a/./b/../c/", "/a/c"},
      {"..", "/a", ""},
      {"../../x", "/a", "/x"},  // nothing left to climb: stays at the root
      {"x", "rel/base", "/rel/base/x"},
      {"a//b/", "/r//", "/r/a/b/"},
      {"a\\/b/../c", "/r", "/r/a\\/c"},  // escapes are not interpreted here
      {"f", "", app + "f"},
      {"", nullptr, ""},
      {"/a/./b//c/", nullptr, "/a/b/c/"},
      {"/a/..", nullptr, ""},
      {"/", nullptr, ""},
      {"C:x", nullptr, "/C:x"},
      {"C:", nullptr, "/C:"},
      {"/a/../../b", nullptr, "/b"},
      {"data/", nullptr, app + "data/"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.path) + " below " + (row.base ? row.base : "(none)"));
    EXPECT_EQ(row.base ? OSMakePathAbsolute(row.path, row.base) : OSMakePathAbsolute(row.path),
              row.expected);
  }
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
  GenericPathToLocalPath(nullptr, 10);   // nothing to do
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
  EXPECT_TRUE(GenericPathToDravoFileSpec(tmp / "there.txt", spec));
  EXPECT_FALSE(GenericPathToDravoFileSpec(tmp / "missing.txt", spec));
  GenericPathToDravoFileSpec("/C:/caf\xC3\xA9\\/x", spec);  // UTF-8 becomes UTF-16
  const Vandrel::Uni16 expected[] = {'C', ':', '\\', 'c', 'a', 'f', 0xE9, '/', 'x', 0};
  EXPECT_TRUE(Vandrel::FileSpec::String(spec.Path()) == expected);
  // 1023 bytes fit; 1024 would be cut, so the FileSpec is given the empty path.
  const std::string fits = "/C:/" + std::string(1019, 'a');
  GenericPathToDravoFileSpec(fits, spec);
  EXPECT_EQ(spec.Length(), 1022u);
  EXPECT_FALSE(GenericPathToDravoFileSpec(fits + "a", spec));
  EXPECT_TRUE(spec.IsEmpty());
}

}  // namespace
