// FileSystem.h on real folders and shortcuts, and the paths handed to platform code.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/FindFile.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/Streams.h"
#include "Vandrel/FileSpec.h"
#include "gtest/gtest.h"
#include "support/FsTestSupport.h"
#include "support/LnkWriter.h"
#include "support/TestSupport.h"

using namespace TalqOSUtils;
namespace stdfs = std::filesystem;

namespace {

const char* const kNoConversion = "Unable to convert file path";

// Each path is asked about, made a directory, asked again, deleted; errno
// stays at zero whatever happens. 255 bytes as written are handed to the OS;
// 256 are refused (the flag unwritten) even though their NT form (escapes
// removed) is much shorter.
TEST(FileQueries, ExistenceMakeDirectoryAndDeleteUpTo255BytesAsWritten) {
  talqtest::TempDir tmp;
  stdfs::create_directory(tmp.Native("dir"));
  enum Kind { kNone, kFile, kDirectory };
  Vandrel::FileSpec spec;
  // path, what it is, made, a directory after
  const std::tuple<std::string, Kind, bool, bool> rows[] = {
      {tmp.Write("file"), kFile, false, false},
      {tmp / "dir/", kDirectory, true, true},
      {tmp / "a/b/c/", kNone, true, true},
      {"/", kDirectory, false, true},
      {"/talq-fs-never-created-7d1c", kNone, false, false},  // below the root: never made
      {"/C:", kDirectory, true, true},                       // the current drive
      {".", kDirectory, true, true}};
  for (const auto& [path, kind, made, directoryAfter] : rows) {
    SCOPED_TRACE(path);
    bool flag = kind != kDirectory;
    EXPECT_EQ(OSFileExists(path.c_str(), &flag), kind != kNone);
    EXPECT_EQ(flag, kind == kDirectory);
    EXPECT_EQ(OSFileExists(path.c_str()), kind == kFile);
    EXPECT_EQ(OSDirectoryExists(path.c_str()), kind == kDirectory);
    EXPECT_EQ(GenericPathToDravoFileSpec(path, spec), kind != kNone);
    EXPECT_EQ(OSMakeDirectory(path.c_str()), made);
    EXPECT_EQ(OSDirectoryExists(path.c_str()), directoryAfter);
    errno = EINVAL;
    EXPECT_EQ(OSDeleteFile(path.c_str()), kind == kFile);
    EXPECT_EQ(errno, 0);
  }
  // dir/name made `total` bytes long by escaping ("\n" for n) the first bytes of the name.
  const std::string name(150, 'n');
  tmp.Write(name);
  const auto spelled = [&](const std::string& dir, std::size_t total) {
    std::string out = dir + "/" + name;
    for (std::size_t at = dir.size() + 1; out.size() < total; at += 2) out.insert(at, 1, '\\');
    return out;
  };
  const std::string file = spelled(tmp.Generic(), 256), made = spelled(tmp / "d", 256);
  for (const char* refused : {static_cast<const char*>(nullptr), "", file.c_str(), made.c_str()}) {
    SCOPED_TRACE(refused == nullptr ? "null" : refused);
    bool flag = true;
    EXPECT_FALSE(OSFileExists(refused, &flag));
    EXPECT_TRUE(flag) << "a refused path must not write the flag";
    EXPECT_FALSE(OSMakeDirectory(refused));
    EXPECT_FALSE(OSDeleteFile(refused));
  }
  EXPECT_FALSE(stdfs::exists(tmp.Native("d")));
  EXPECT_TRUE(OSFileExists(spelled(tmp.Generic(), 255).c_str()));
  EXPECT_TRUE(OSMakeDirectory(spelled(tmp / "d", 255).c_str()));
  EXPECT_TRUE(OSDeleteFile(spelled(tmp.Generic(), 255).c_str()));
  EXPECT_FALSE(stdfs::exists(tmp.Native(name)));
}

// Relative names reach the current directory, whatever they hold: a one-letter name's fork is
// its own (not drive X's AFP_Resource), on Linux "q:f" is a name holding a colon (not /f), and
// only NAME:AFP_Resource makes or takes NAME with it. Text that is not UTF-8 names no file, not
// even the one with U+FFFD in its place.
TEST(FileQueries, RelativeNamesColonsAndTextThatIsNotUtf8) {
  talqtest::TempDir tmp;
  const talqtest::InDirectory here(tmp.Native(""));
  const auto write = [](const std::string& path, bool fork, const std::string& text) {
    ChOutputStream out;
    out.openFork(path, fork);
    out.write(text);
    return out.error();
  };
  const auto read = [](const std::string& path, bool fork) {
    ChInputStream in;
    in.openFork(path, fork);
    std::string text(16, '\0');
    text.resize(in.read(&text[0], 16));
    return in.error() != 0 ? "error " + std::to_string(in.error()) : text;
  };
  tmp.Write("x", "data");
  EXPECT_EQ(write("x", true, "fork"), 0);
  EXPECT_EQ(read("x", true), "fork");
  EXPECT_EQ(read("x", false), "data");
#if !defined(_WIN32)
  EXPECT_EQ(talqtest::ReadAll(tmp.Native("x:AFP_Resource")), "fork");
#endif
  // Wine lists the stream as an entry "x:AFP_Resource", which std::filesystem takes for drive X.
  EXPECT_TRUE(OSDeleteFile("./x:AFP_Resource"));
  EXPECT_EQ(read("x", true), "error 2");

  const std::string raw = "caf\xE9", namesake = "caf\xEF\xBF\xBD";
  tmp.Write(namesake, "kept");
  EXPECT_FALSE(OSFileExists(raw.c_str(), nullptr));
  Vandrel::FileSpec spec;
  EXPECT_FALSE(GenericPathToDravoFileSpec(raw, spec));
  EXPECT_FALSE(OSDeleteFile(raw.c_str()));
  EXPECT_FALSE(OSMakeDirectory((raw + "/d").c_str()));
  EXPECT_EQ(read(raw, false), "error 123");
  EXPECT_EQ(read(raw, true), "error 123");
  EXPECT_EQ(write(raw, false, "lost"), 123);
  EXPECT_EQ(talqtest::ReadAll(tmp.Native(namesake)), "kept");
  ASSERT_TRUE(talqtest::MakeShortcut(tmp / (namesake + ".lnk"), tmp / namesake));
  EXPECT_EQ(ResolveAliasOrLink(tmp / (raw + ".lnk")), tmp / (raw + ".lnk"));
  talqtest::ExpectThrowWhat<ChFindFileException>([&] { ChFindFile search(raw.c_str()); },
                                                 "Bad directory specification");
#if !defined(_WIN32)
  tmp.Write("q:f", "colon");
  EXPECT_TRUE(OSFileExists("q:f"));
  EXPECT_EQ(read("q:f", false), "colon");
  EXPECT_TRUE(OSMakeDirectory("c:dir/sub"));
  EXPECT_TRUE(stdfs::is_directory(tmp.Native("c:dir/sub")));
  for (const char* name : {"note:draft", "12:30.log", "1700.M1.host:2,S"}) {
    EXPECT_EQ(write(name, false, name), 0);
    EXPECT_EQ(write(name, true, "rsrc"), 0);
  }
  EXPECT_EQ(talqtest::ReadAll(tmp.Native("12:30.log:AFP_Resource")), "rsrc");
  for (const char* nobodys : {"note", "12", "1700.M1.host"})
    EXPECT_FALSE(stdfs::exists(tmp.Native(nobodys))) << nobodys;
  // An orphan fork's file is made, empty, when the fork is written; a fork that cannot be made
  // takes away only the file this made.
  tmp.Write("y:AFP_Resource", "old");
  EXPECT_EQ(write("y", true, "new"), 0);
  EXPECT_EQ(talqtest::ReadAll(tmp.Native("y")), "");
  tmp.Write("kept", "kept");
  for (const char* name : {"gone", "kept"}) {
    stdfs::create_directory(tmp.Native(name + std::string(":AFP_Resource")));
    EXPECT_EQ(write(name, true, "x"), 5);
  }
  EXPECT_FALSE(stdfs::exists(tmp.Native("gone")));
  EXPECT_EQ(talqtest::ReadAll(tmp.Native("kept")), "kept");
  // A deleted file takes its fork only when that is a regular file; a fork has none.
  stdfs::create_symlink("y", tmp.Native("q:f:AFP_Resource"));
  EXPECT_TRUE(OSDeleteFile("q:f"));
  EXPECT_TRUE(OSDeleteFile("12:30.log"));
  EXPECT_TRUE(OSDeleteFile("y:AFP_Resource"));
  EXPECT_TRUE(stdfs::is_symlink(tmp.Native("q:f:AFP_Resource")));
  EXPECT_FALSE(stdfs::exists(tmp.Native("12:30.log:AFP_Resource")));
  EXPECT_TRUE(stdfs::exists(tmp.Native("y")));
#endif
}

TEST(MakePathAbsolute, BothForms) {
  const std::string app = OSApplicationDirectory();
  // path, base (null: the one-argument form), expected
  // clang-format off
  const std::tuple<const char*, const char*, std::string> rows[] = {
      {"/abs/../p", "/a", "/abs/../p"}, {"", "/a/./b/../c/", "/a/c"}, {"..", "/a", ""},
      {"../../x", "/a", "/x"},  // nothing left to climb: stays at the root
      {"./a\\/b//../c/", "/r", "/r/a\\/c/"},  // escapes are not interpreted here
      {"x", "rel/base", "/rel/base/x"}, {"f", "", app + "f"}, {"", nullptr, ""},
      {"/a/./b//c/", nullptr, "/a/b/c/"}, {"C:", nullptr, "/C:"}, {"data/", nullptr, app + "data/"}};
  // clang-format on
  for (const auto& [path, base, expected] : rows) {
    SCOPED_TRACE(std::string(path) + " below " + (base ? base : "(none)"));
    EXPECT_EQ(base ? OSMakePathAbsolute(path, base) : OSMakePathAbsolute(path), expected);
  }
}

// In place when it fits; a FileSpec takes 1023 bytes, and 1024 would be cut: it gets "".
TEST(GenericPathTo, LocalPathAndDravoFileSpecWhenTheyFit) {
  const std::tuple<const char*, std::size_t, const char*> rows[] = {
      {"/C:/a/b", 8, "C:\\a\\b"}, {"/C:/a/b", 7, "/C:/a/b"}, {"a\\/b", 5, "a/b"}};
  for (const auto& [path, size, expected] : rows) {
    SCOPED_TRACE(std::string(path) + " in " + std::to_string(size));
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    std::strcpy(buffer, path);
    GenericPathToLocalPath(buffer, size);
    EXPECT_STREQ(buffer, expected);
    EXPECT_EQ(buffer[std::strlen(path) + 1], '#') << "wrote past the path";
  }
  GenericPathToLocalPath(nullptr, 10);  // nothing to do
  Vandrel::FileSpec spec;
  const std::string fits = "/C:/" + std::string(1019, 'a');
  EXPECT_FALSE(GenericPathToDravoFileSpec(fits, spec));
  EXPECT_EQ(spec.Length(), 1022u);  // C:\ and the rest
  EXPECT_FALSE(GenericPathToDravoFileSpec(fits + "a", spec));
  EXPECT_TRUE(spec.IsEmpty());
}

TEST(ResolveAliasOrLink, PlainEntriesNamesBesideAShortcutOneLevelAndTheLimit) {
  talqtest::TempDir tmp;
  ASSERT_TRUE(talqtest::MakeShortcut(tmp / "Y.lnk", tmp.Write("target.txt")));
  ASSERT_TRUE(talqtest::MakeShortcut(tmp / "outer.lnk", tmp / "Y.lnk"));
  tmp.Write("Y");  // Y exists: it is no shortcut, so it comes back itself
  tmp.Write("bad.lnk", "not a shortcut at all");
  EXPECT_EQ(ResolveAliasOrLink(tmp / "outer.lnk"), talqtest::Resolved(tmp / "Y.lnk"))
      << "one level";
  for (const char* same : {"Y", "bad", "bad.lnk"})
    EXPECT_EQ(ResolveAliasOrLink(tmp / same), tmp / same) << same;
  // The absolute form may have 256 bytes, after normalisation.
  const std::string at256 = "/" + std::string(255, 'q');
  EXPECT_EQ(ResolveAliasOrLink("/a/.." + at256 + "/./."), "/a/.." + at256 + "/./.");
  talqtest::ExpectThrowWhat<ChException>([&] { ResolveAliasOrLink(at256 + "q"); }, kNoConversion);
  // A crafted target holding what no Windows path can (controls, < > " | ? *) is no shortcut.
  const std::string nt = OSPathLocal(tmp.Generic()) + "\\";
  tmp.Write("x ~");
  for (const std::string bad : {"a\nb", "\x01", "\x1F", "<", ">", "\"", "|", "?", "*", ""}) {
    SCOPED_TRACE(static_cast<int>(bad.empty() ? 0 : bad.back()));
    tmp.Write("crafted.lnk", talqtest::MakeLnk(talqtest::LnkParts().Local(nt + "x" + bad + " ~")));
    EXPECT_EQ(ResolveAliasOrLink(tmp / "crafted.lnk"),
              bad.empty() ? talqtest::Resolved(tmp / "x ~") : tmp / "crafted.lnk");
  }
}

// An environment block names only the system's variables; one naming another is read as if it
// were absent (the IDList, then RELATIVE_PATH, else no target: the path comes back), and the
// host's variable never reaches the answer. Wine's shell link reads no environment block at all
// (its answers in the last column), and its raw path is LinkInfo's: one naming a variable sends
// the Windows backend to the IDList, where the portable reader takes it as written.
TEST(ResolveAliasOrLink, EnvironmentTargetsNameOnlyTheSystemsVariables) {
  const std::string secret = "talq-s3cret-9f4e";
#if defined(_WIN32)
  ::SetEnvironmentVariableA("TALQ_TEST_SECRET", secret.c_str());
  const bool wine = true;
#else
  ::setenv("TALQ_TEST_SECRET", secret.c_str(), 1);
  const bool wine = false;
#endif
  talqtest::TempDir tmp;
  const std::string file = talqtest::Resolved(tmp.Write("f.txt")), link = tmp / "l.lnk";
  const std::string items = talqtest::Root("{20D04FE0-3AEA-1069-A2D8-08002B30309D}") +
                            talqtest::Drive("C:\\") + talqtest::Entry(0x31, u"talq") +
                            talqtest::Entry(0x32, u"f.txt");
  const std::string byItems = OSPathGeneric("C:\\talq\\f.txt");
  const char* windir = std::getenv("windir");
  const std::string windows = OSPathGeneric(windir != nullptr ? windir : "C:\\Windows");
  const std::u16string leak = u"\\\\%TALQ_TEST_SECRET%\\x";
  using P = talqtest::LnkParts;
  // parts, the portable reader's answer, Wine's ("" for the path itself)
  const std::tuple<P, std::string, std::string> rows[] = {
      {P().Items(items).Env(leak), byItems, byItems},
      {P().Env(leak).Relative(u"f.txt"), file, file},
      {P().Env(leak), "", ""},
      {P().Items(items).Env(u"%windir%\\%TALQ_TEST_SECRET%"), byItems, byItems},
      {P().Items(items).Env(u"%windir%\\x.exe"), windows + "/x.exe", byItems},
      {P().Env(u"%WINDIR%"), windows, ""},
      {P().Items(items).Local("\\\\%TALQ_TEST_SECRET%\\x"),
       OSPathGeneric("\\\\%TALQ_TEST_SECRET%\\x"), byItems},
      {P().Local("\\\\%TALQ_TEST_SECRET%\\x"), OSPathGeneric("\\\\%TALQ_TEST_SECRET%\\x"), ""},
  };
  for (std::size_t row = 0; row < std::size(rows); ++row) {
    const auto& [parts, here, onWine] = rows[row];
    SCOPED_TRACE("row " + std::to_string(row));
    tmp.Write("l.lnk", talqtest::MakeLnk(parts));
    const std::string got = ResolveAliasOrLink(link), expected = wine ? onWine : here;
    EXPECT_EQ(got, expected.empty() ? link : expected);
    EXPECT_EQ(got.find(secret), std::string::npos);
  }
}

// The executable's folder as the OS reports it; resources there and in a shared folder.
class ApplicationDirectory : public ::testing::Test {
 protected:
  static stdfs::path ExecutableFolder() {
#if defined(_WIN32)
    wchar_t b[4096];
    return stdfs::path(std::wstring(b, ::GetModuleFileNameW(nullptr, b, 4096))).parent_path();
#else
    return stdfs::read_symlink("/proc/self/exe").parent_path();
#endif
  }
  void TearDown() override {
    OSSetSharedResourceDirectory("");
    std::error_code ignored;
    for (const char* s : {".txt", ".dat.lnk"}) stdfs::remove(ExecutableFolder() / Name(s), ignored);
  }
  static std::string Name(const std::string& suffix) { return "talq-res-4e2b" + suffix; }
  talqtest::TempDir mShared;
};

TEST_F(ApplicationDirectory, IsTheExecutablesFolderWhereResourcesAreLookedUpBeforeTheSharedOne) {
  const std::string app = OSApplicationDirectory(), shared = mShared.Write(Name(".txt"));
  EXPECT_EQ(app, OSPathGeneric(ExecutableFolder().u8string()) + "/");
  EXPECT_EQ(OSApplicationBinaryDirectory(), app);
  EXPECT_EQ(OSApplicationResourcesDirectory(), app);
  EXPECT_EQ(OSSharedResourcesDirectory(), app);
  EXPECT_EQ(OSFindResourcePath(Name(".txt")), "") << "no setting: the second try is the first";
  EXPECT_EQ(OSFindResourcePath(""), app);
  OSSetSharedResourceDirectory(mShared.Generic());
  EXPECT_EQ(OSSharedResourcesDirectory(), mShared.Generic());
  EXPECT_EQ(OSFindResourcePath(Name(".txt")), shared);
  EXPECT_EQ(OSFindResourcePath("/" + Name(".txt")), mShared.Generic() + "//" + Name(".txt"));
  std::ofstream(ExecutableFolder() / Name(".txt")) << "app";
  EXPECT_EQ(OSFindResourcePath(Name(".txt")), app + Name(".txt"));
  ASSERT_TRUE(talqtest::MakeShortcut(app + Name(".dat.lnk"), shared));
  EXPECT_EQ(OSFindResourcePath(Name(".dat")), talqtest::Resolved(shared));
  talqtest::ExpectThrowWhat<ChException>([] { OSFindResourcePath(std::string(300, 'n')); },
                                         kNoConversion);
}

}  // namespace
