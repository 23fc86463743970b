// Shortcut resolution and resource lookup with real shortcut files: made by
// the shell-link object on Windows, written in the published format
// elsewhere (read back by the POSIX backend's reader).
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Paths.h"
#include "gtest/gtest.h"
#include "support/FsTestSupport.h"
#include "support/TestSupport.h"

using namespace TalqOSUtils;
using talqtest::MakeShortcut;
using talqtest::Resolved;

namespace {

// The native spelling of a generic path, for the test's own file handling.
std::filesystem::path NativePath(const std::string& generic) {
#if defined(_WIN32)
  return std::filesystem::u8path(OSPathLocal(generic));
#else
  return std::filesystem::u8path(generic);
#endif
}

void ExpectConversionError(const std::function<void()>& call) {
  talqtest::ExpectThrowWhat<ChException>(call, "Unable to convert file path");
}

TEST(ResolveAliasOrLink, ShortcutsPlainEntriesAndNamesBesideAShortcut) {
  talqtest::TempDir tmp;
  const std::string target = tmp.Write("target.txt");
  const std::string plain = tmp.Write("plain.txt");
  ASSERT_TRUE(MakeShortcut(tmp / "report.txt.lnk", target));
  ASSERT_TRUE(MakeShortcut(tmp / "X.lnk", target));
  ASSERT_TRUE(MakeShortcut(tmp / "Y.lnk", target));
  tmp.Write("Y");  // Y exists: it is no shortcut, so it comes back itself
  tmp.Write("bad.lnk", "not a shortcut at all");
  ASSERT_TRUE(MakeShortcut(tmp / "outer.lnk", tmp / "report.txt.lnk"));
  const struct {
    std::string path, expected;
  } rows[] = {
      {plain, plain},
      {tmp.Generic(), tmp.Generic()},
      {tmp / "missing.txt", tmp / "missing.txt"},
      {tmp / "report.txt.lnk", Resolved(target)},
      {tmp / "X", Resolved(target)},
      {tmp / "Y", tmp / "Y"},
      {tmp / "bad", tmp / "bad"},
      {tmp / "bad.lnk", tmp / "bad.lnk"},
      {tmp / "outer.lnk", Resolved(tmp / "report.txt.lnk")},  // one level only
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(ResolveAliasOrLink(row.path), row.expected);
  }
  // A stale target: the shell may fail to resolve it; our reader does not
  // search. Either way the answer is the stale target or the link itself.
  std::filesystem::remove(tmp.Native("target.txt"));
  const std::string got = ResolveAliasOrLink(tmp / "X.lnk");
#if defined(_WIN32)
  EXPECT_TRUE(got == Resolved(target) || got == tmp / "X.lnk") << got;
#else
  EXPECT_EQ(got, Resolved(target));
#endif
}

TEST(ResolveAliasOrLink, AbsoluteFormOf257BytesThrows256DoesNot) {
  const std::string at256 = "/" + std::string(255, 'q');
  EXPECT_EQ(ResolveAliasOrLink(at256), at256);
  ExpectConversionError([&] { ResolveAliasOrLink(at256 + "q"); });
  // Normalisation counts: 300 bytes that shrink to 256 do not throw.
  const std::string spelled = "/a/.." + at256 + "/./.";
  EXPECT_EQ(ResolveAliasOrLink(spelled), spelled);
}

// Files placed in the application directory for one test, removed after it.
class ResourceTest : public ::testing::Test {
 protected:
  void TearDown() override {
    OSSetSharedResourceDirectory("");
    for (const std::string& path : mMade) {
      std::error_code ignored;
      std::filesystem::remove_all(NativePath(path), ignored);
    }
  }
  std::string Name(const std::string& suffix) const {
    return "talq-res-" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + suffix;
  }
  // The generic path of Name(suffix) in the application directory.
  std::string InApp(const std::string& suffix) {
    mMade.push_back(OSApplicationDirectory() + Name(suffix));
    return mMade.back();
  }

  std::vector<std::string> mMade;
  talqtest::TempDir mShared;
};

TEST_F(ResourceTest, ApplicationDirectoryFirstThenShared) {
  OSSetSharedResourceDirectory("");
  const std::string shared = mShared.Write(Name(".txt"));
  EXPECT_EQ(OSFindResourcePath(Name(".txt")), "") << "no setting: the second try is the first";
  EXPECT_EQ(OSFindResourcePath(""), OSApplicationDirectory());
  for (const std::string& setting : {mShared.Generic(), mShared.Generic() + "/"}) {
    SCOPED_TRACE(setting);
    OSSetSharedResourceDirectory(setting);
    EXPECT_EQ(OSFindResourcePath(Name(".txt")), shared);
  }
  std::filesystem::create_directory(mShared.Native("sub"));
  EXPECT_EQ(OSFindResourcePath("sub"), mShared / "sub");
  EXPECT_EQ(OSFindResourcePath("/" + Name(".txt")), mShared.Generic() + "//" + Name(".txt"));
  EXPECT_EQ(OSFindResourcePath(Name("-nowhere")), "");
  const std::string app = InApp(".txt");
  std::ofstream(NativePath(app)) << "app";
  EXPECT_EQ(OSFindResourcePath(Name(".txt")), app);
  OSSetSharedResourceDirectory(mShared / "no-such-folder");
  EXPECT_EQ(OSFindResourcePath("sub"), "");
  ExpectConversionError([] { OSFindResourcePath(std::string(300, 'n')); });
}

TEST_F(ResourceTest, ShortcutBesideTheNameGivesItsTarget) {
  const std::string target = mShared.Write("real.dat");
  ASSERT_TRUE(MakeShortcut(InApp(".dat.lnk"), target));
  EXPECT_EQ(OSFindResourcePath(Name(".dat")), Resolved(target));
  std::filesystem::remove(mShared.Native("real.dat"));
  // The target is gone: whatever the link resolves to does not exist, and
  // the shortcut file itself is found only under its own name.
  EXPECT_EQ(OSFindResourcePath(Name(".dat")), "");
}

}  // namespace
