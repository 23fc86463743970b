// Shortcut resolution and resource lookup with real shortcut files: made by
// the shell-link object on Windows, written in the published format
// elsewhere (read back by the POSIX backend's reader).
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Paths.h"
#include "gtest/gtest.h"
#include "support/FsTestSupport.h"

#if defined(_WIN32)
#include <windows.h>
// windows.h first
#include <objbase.h>
#include <shlobj.h>
#else
#include <fstream>

#include "support/LnkWriter.h"
#endif

using namespace TalqOSUtils;

namespace {

// The native spelling of a generic path, for the test's own file handling.
std::filesystem::path NativePath(const std::string& generic) {
#if defined(_WIN32)
  return std::filesystem::u8path(OSPathLocal(generic));
#else
  return std::filesystem::u8path(generic);
#endif
}

// Makes the shortcut `link` (generic) to `target` (generic); true on success.
bool MakeShortcut(const std::string& link, const std::string& target) {
  const std::string ntLink = OSPathLocal(link);
  const std::string ntTarget = OSPathLocal(target);
#if defined(_WIN32)
  ::CoInitialize(nullptr);
  IShellLinkW* shell = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shell)))) {
    return false;
  }
  IPersistFile* file = nullptr;
  bool ok = SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
  const std::wstring wideTarget = std::filesystem::u8path(ntTarget).wstring();
  const std::wstring wideLink = std::filesystem::u8path(ntLink).wstring();
  ok = ok && SUCCEEDED(shell->SetPath(wideTarget.c_str()));
  ok = ok && SUCCEEDED(file->Save(wideLink.c_str(), TRUE));
  if (file != nullptr) file->Release();
  shell->Release();
  return ok;
#else
  talqtest::LnkParts parts;
  parts.localBase = ntTarget;
  std::ofstream out(NativePath(link), std::ios::binary);
  out << talqtest::MakeLnk(parts);
  return static_cast<bool>(out);
#endif
}

// What ResolveAliasOrLink gives for a shortcut to `target`: its NT form read
// back into generic notation.
std::string Resolved(const std::string& target) { return OSPathGeneric(OSPathLocal(target)); }

class ShortcutTest : public ::testing::Test {
 protected:
  talqtest::TempDir mTmp;
};

TEST_F(ShortcutTest, OrdinaryEntriesComeBackUnchanged) {
  const std::string file = mTmp.Write("plain.txt");
  const std::string missing = mTmp / "missing.txt";
  for (const std::string& path : {file, mTmp.Generic(), missing, mTmp / "plain.txt/"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(ResolveAliasOrLink(path), path);
  }
}

TEST_F(ShortcutTest, ShortcutNamedWithLnkGivesItsTarget) {
  const std::string target = mTmp.Write("target.txt");
  const std::string link = mTmp / "report.txt.lnk";
  ASSERT_TRUE(MakeShortcut(link, target));
  EXPECT_EQ(ResolveAliasOrLink(link), Resolved(target));
  EXPECT_TRUE(OSFileExists(ResolveAliasOrLink(link).c_str()));
}

TEST_F(ShortcutTest, MissingPathBesideItsShortcut) {
  const std::string target = mTmp.Write("target.txt");
  ASSERT_TRUE(MakeShortcut(mTmp / "X.lnk", target));
  EXPECT_EQ(ResolveAliasOrLink(mTmp / "X"), Resolved(target));
  // X exists now: it is no shortcut, so it comes back itself.
  const std::string x = mTmp.Write("X");
  EXPECT_EQ(ResolveAliasOrLink(x), x);
}

TEST_F(ShortcutTest, UnreadableShortcutBesideAMissingPathGivesThePath) {
  mTmp.Write("Y.lnk", "not a shortcut at all");
  EXPECT_EQ(ResolveAliasOrLink(mTmp / "Y"), mTmp / "Y");
  EXPECT_EQ(ResolveAliasOrLink(mTmp / "Y.lnk"), mTmp / "Y.lnk");
}

TEST_F(ShortcutTest, OneLevelOnly) {
  const std::string target = mTmp.Write("final.txt");
  const std::string inner = mTmp / "inner.lnk";
  ASSERT_TRUE(MakeShortcut(inner, target));
  ASSERT_TRUE(MakeShortcut(mTmp / "outer.lnk", inner));
  EXPECT_EQ(ResolveAliasOrLink(mTmp / "outer.lnk"), Resolved(inner));
}

TEST_F(ShortcutTest, ShortcutToADeletedTarget) {
  const std::string target = mTmp.Write("soon-gone.txt");
  ASSERT_TRUE(MakeShortcut(mTmp / "stale.lnk", target));
  std::filesystem::remove(mTmp.Native("soon-gone.txt"));
  const std::string got = ResolveAliasOrLink(mTmp / "stale.lnk");
  // The shell may fail to resolve a stale link; our reader does not search.
  // Either way the answer is the stale target or the link itself.
#if defined(_WIN32)
  EXPECT_TRUE(got == Resolved(target) || got == mTmp / "stale.lnk") << got;
#else
  EXPECT_EQ(got, Resolved(target));
#endif
}

TEST_F(ShortcutTest, AbsoluteFormOf257BytesThrows256DoesNot) {
  const std::string at256 = "/" + std::string(255, 'q');
  EXPECT_EQ(ResolveAliasOrLink(at256), at256);
  const std::string at257 = at256 + "q";
  try {
    ResolveAliasOrLink(at257);
    ADD_FAILURE() << "no exception";
  } catch (const ChException& e) {
    EXPECT_STREQ(e.what(), "Unable to convert file path");
  }
  // Normalisation counts: 300 bytes that shrink to 256 do not throw.
  const std::string spelled = "/a/.." + at256 + "/./.";
  EXPECT_EQ(ResolveAliasOrLink(spelled), spelled);
}

// Each thread that reads a shortcut can: nothing ties it to the first one.
TEST_F(ShortcutTest, ResolvesOnEveryThread) {
  const std::string target = mTmp.Write("t.txt");
  ASSERT_TRUE(MakeShortcut(mTmp / "t.lnk", target));
  EXPECT_EQ(ResolveAliasOrLink(mTmp / "t.lnk"), Resolved(target));
  std::string onOther;
  std::thread other([&] { onOther = ResolveAliasOrLink(mTmp / "t.lnk"); });
  other.join();
  EXPECT_EQ(onOther, Resolved(target));
}

// Files placed in the application directory for one test, removed after it.
class ResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mPrefix = "talq-res-" + std::to_string(reinterpret_cast<std::uintptr_t>(this) % 100000) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    OSSetSharedResourceDirectory("");
  }
  void TearDown() override {
    OSSetSharedResourceDirectory("");
    for (const std::string& name : mMade) {
      std::error_code ignored;
      std::filesystem::remove_all(NativePath(name), ignored);
    }
  }
  // A unique name and its generic path in the application directory.
  std::string InApp(const std::string& suffix, bool create) {
    const std::string path = OSApplicationDirectory() + mPrefix + suffix;
    mMade.push_back(path);
    if (create) std::ofstream(NativePath(path)) << "app";
    return path;
  }
  std::string Name(const std::string& suffix) const { return mPrefix + suffix; }

  std::string mPrefix;
  std::vector<std::string> mMade;
  talqtest::TempDir mShared;
};

TEST_F(ResourceTest, ApplicationDirectoryWinsOverShared) {
  const std::string app = InApp(".txt", true);
  mShared.Write(Name(".txt"));
  OSSetSharedResourceDirectory(mShared.Generic());
  EXPECT_EQ(OSFindResourcePath(Name(".txt")), app);
}

TEST_F(ResourceTest, SharedDirectoryIsSecond) {
  const std::string shared = mShared.Write(Name(".txt"));
  EXPECT_EQ(OSFindResourcePath(Name(".txt")), "") << "no setting: the second try is the first";
  OSSetSharedResourceDirectory(mShared.Generic());
  EXPECT_EQ(OSFindResourcePath(Name(".txt")), shared);
  OSSetSharedResourceDirectory(mShared.Generic() + "/");
  EXPECT_EQ(OSFindResourcePath(Name(".txt")), shared);
  std::filesystem::create_directory(mShared.Native("sub"));
  const std::string nested = mShared.Write("sub/" + Name(".txt"));
  EXPECT_EQ(OSFindResourcePath("sub/" + Name(".txt")), nested);
  EXPECT_EQ(OSFindResourcePath("/" + Name(".txt")), mShared.Generic() + "//" + Name(".txt"));
}

TEST_F(ResourceTest, ShortcutBesideTheNameGivesItsTarget) {
  const std::string target = mShared.Write("real.dat");
  InApp(".dat.lnk", false);
  ASSERT_TRUE(MakeShortcut(OSApplicationDirectory() + Name(".dat.lnk"), target));
  EXPECT_EQ(OSFindResourcePath(Name(".dat")), Resolved(target));
  std::filesystem::remove(mShared.Native("real.dat"));
  // The target is gone: whatever the link resolves to does not exist, and
  // the shortcut file itself is found only under its own name.
  EXPECT_EQ(OSFindResourcePath(Name(".dat")), "");
}

TEST_F(ResourceTest, EmptyNameMissingNameAndDirectories) {
  EXPECT_EQ(OSFindResourcePath(""), OSApplicationDirectory());
  EXPECT_EQ(OSFindResourcePath(Name("-nowhere")), "");
  OSSetSharedResourceDirectory(mShared.Generic());
  std::filesystem::create_directory(mShared.Native(Name("-dir")));
  EXPECT_EQ(OSFindResourcePath(Name("-dir")), mShared / Name("-dir"));
  OSSetSharedResourceDirectory(mShared / "no-such-folder");
  EXPECT_EQ(OSFindResourcePath(Name("-dir")), "");
}

TEST_F(ResourceTest, OverLongCandidatesThrow) {
  try {
    OSFindResourcePath(std::string(300, 'n'));
    ADD_FAILURE() << "no exception";
  } catch (const ChException& e) {
    EXPECT_STREQ(e.what(), "Unable to convert file path");
  }
}

}  // namespace
