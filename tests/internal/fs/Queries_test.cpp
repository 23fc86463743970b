// File queries when the OS fails, through the platform's fault hook.
#include <cerrno>
#include <filesystem>
#include <string>

#include "TalqOSUtils/FileSystem.h"
#include "gtest/gtest.h"
#include "platform/testing/FaultInjection.h"
#include "support/FsTestSupport.h"

using namespace TalqOSUtils;
namespace platform = TalqOSUtils::platform;
using platform::CallId;

namespace {

TEST(FileQueriesFaults, AFailedQueryIsFalseAndClearsTheFlag) {
  talqtest::TempDir tmp;
  platform::ScopedFault fault(CallId::kGetFileAttributes, 1, platform::kErrorAccessDenied);
  bool flag = true;
  EXPECT_FALSE(OSFileExists(tmp.Generic().c_str(), &flag));
  EXPECT_FALSE(flag);
  EXPECT_TRUE(OSDirectoryExists(tmp.Generic().c_str())) << "only the first call failed";
}

TEST(FileQueriesFaults, FailedDeleteKeepsErrnoAtZero) {
  talqtest::TempDir tmp;
  const std::string file = tmp.Write("f");
  platform::ScopedFault fault(CallId::kDeleteFile, 1, platform::kErrorSharingViolation);
  errno = EBUSY;
  EXPECT_FALSE(OSDeleteFile(file.c_str()));
  EXPECT_EQ(errno, 0);
  EXPECT_TRUE(std::filesystem::exists(tmp.Native("f")));
}

TEST(FileQueriesFaults, OverLongPathsMakeNoCall) {
  const std::string path = "/" + std::string(255, 'p');
  platform::CountCalls();
  bool flag = false;
  EXPECT_FALSE(OSFileExists(path.c_str(), &flag));
  EXPECT_FALSE(OSDirectoryExists(path.c_str()));
  EXPECT_FALSE(OSDeleteFile(path.c_str()));
  EXPECT_FALSE(OSMakeDirectory(path.c_str()));
  EXPECT_EQ(platform::TotalCallsSeen(), 0u);
  platform::ClearFaults();
}

TEST(MakeDirectoryFaults, AFailedStepStopsTheChainAndKeepsItsParents) {
  talqtest::TempDir tmp;
  // The chain a/b/c makes a, then b; the second creation fails.
  {
    platform::ScopedFault fault(CallId::kCreateDirectory, 2, platform::kErrorDiskFull);
    EXPECT_FALSE(OSMakeDirectory((tmp / "a/b/c").c_str()));
    EXPECT_EQ(platform::CallsSeen(CallId::kCreateDirectory), 2u) << "c is not tried";
  }
  EXPECT_TRUE(std::filesystem::is_directory(tmp.Native("a")));
  EXPECT_FALSE(std::filesystem::exists(tmp.Native("a/b")));
}

// The test says "missing" but the creation then finds the directory there, as
// when another process made it in between: the answer is still true.
TEST(MakeDirectoryFaults, ADirectoryMadeMeanwhileCountsAsMade) {
  talqtest::TempDir tmp;
  std::filesystem::create_directory(tmp.Native("made"));
  platform::ScopedFault fault(CallId::kGetFileAttributes, 1, platform::kErrorFileNotFound);
  EXPECT_TRUE(OSMakeDirectory((tmp / "made").c_str()));
  EXPECT_EQ(platform::CallsSeen(CallId::kCreateDirectory), 1u);
}

TEST(MakeDirectoryFaults, AFailedCreationOfAMissingDirectoryIsFalse) {
  talqtest::TempDir tmp;
  platform::ScopedFault fault(CallId::kCreateDirectory, 1, platform::kErrorAccessDenied);
  EXPECT_FALSE(OSMakeDirectory((tmp / "denied").c_str()));
  EXPECT_FALSE(std::filesystem::exists(tmp.Native("denied")));
}

// When the OS cannot name the executable, no directory is guessed from
// whatever the buffer holds: the answer is the root.
TEST(ApplicationDirectoryFaults, AFailedModuleQueryGivesTheRoot) {
  const std::string normal = OSApplicationDirectory();
  ASSERT_GT(normal.size(), 1u);
  {
    platform::ScopedFault fault(CallId::kGetModuleFileName, 1, platform::kErrorAccessDenied);
    EXPECT_EQ(OSApplicationDirectory(), "/");
  }
  EXPECT_EQ(OSApplicationDirectory(), normal);
}

// A shortcut the platform cannot read is no shortcut: X comes back as X,
// never as X.lnk.
TEST(ShortcutFaults, AnUnreadableShortcutIsNoShortcut) {
  talqtest::TempDir tmp;
  tmp.Write("X.lnk", "whatever the platform would have made of it");
  platform::ScopedFault fault(CallId::kReadShortcut, 1, platform::kErrorAccessDenied,
                              platform::FaultMode::kFromNthOn);
  EXPECT_EQ(ResolveAliasOrLink(tmp / "X"), tmp / "X");
  EXPECT_EQ(platform::CallsSeen(CallId::kReadShortcut), 2u) << "X, then X.lnk";
}

}  // namespace
