#include <string>

#include "gtest/gtest.h"
#include "platform/FaultInjection.h"
#include "platform/Platform.h"

#if !defined(_WIN32)
#include <cerrno>

#include "platform/posix/errors.h"
#endif

namespace platform = TalqOSUtils::platform;

namespace {

platform::OsChar ToUnit(char c) { return static_cast<platform::OsChar>(c); }

std::basic_string<platform::OsChar> Wide(const std::string& ascii) {
  std::basic_string<platform::OsChar> out;
  for (char c : ascii) out += ToUnit(c);
  return out;
}

TEST(PlatformAttributes, MissingEntriesGiveWin32Codes) {
  // The parent is missing, so Windows says "path not found".
  EXPECT_EQ(platform::Os().getFileAttributes(Wide("C:\\talq-missing-7f3a\\file").c_str()),
            platform::kInvalidFileAttributes);
  EXPECT_EQ(platform::LastError(), platform::kErrorPathNotFound);
  // The last component alone is missing: "file not found".
  EXPECT_EQ(platform::Os().getFileAttributes(Wide("C:\\talq-missing-file-7f3a.txt").c_str()),
            platform::kInvalidFileAttributes);
  EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);
}

TEST(PlatformAttributes, RootIsADirectory) {
  const std::uint32_t attributes = platform::Os().getFileAttributes(Wide("C:\\").c_str());
  ASSERT_NE(attributes, platform::kInvalidFileAttributes);
  EXPECT_NE(attributes & platform::kFileAttributeDirectory, 0u);
}

TEST(PlatformFaults, NthCallFailsWithChosenCode) {
  const auto root = Wide("C:\\");
  platform::ScopedFault fault(platform::CallId::kGetFileAttributes, 2,
                              platform::kErrorSharingViolation);
  EXPECT_NE(platform::Os().getFileAttributes(root.c_str()), platform::kInvalidFileAttributes);
  EXPECT_EQ(platform::Os().getFileAttributes(root.c_str()), platform::kInvalidFileAttributes);
  EXPECT_EQ(platform::LastError(), platform::kErrorSharingViolation);
  EXPECT_NE(platform::Os().getFileAttributes(root.c_str()), platform::kInvalidFileAttributes);
  EXPECT_EQ(platform::CallsSeen(platform::CallId::kGetFileAttributes), 3u);
}

TEST(PlatformFaults, FromNthOnEveryCallFailsUntilCleared) {
  const auto root = Wide("C:\\");
  {
    platform::ScopedFault fault(platform::CallId::kGetFileAttributes, 1,
                                platform::kErrorAccessDenied, platform::FaultMode::kFromNthOn);
    for (int i = 0; i < 3; ++i) {
      platform::SetLastError(platform::kErrorSuccess);
      EXPECT_EQ(platform::Os().getFileAttributes(root.c_str()), platform::kInvalidFileAttributes);
      EXPECT_EQ(platform::LastError(), platform::kErrorAccessDenied);
    }
  }
  EXPECT_EQ(&platform::Os(), &platform::NativeCalls());
  EXPECT_NE(platform::Os().getFileAttributes(root.c_str()), platform::kInvalidFileAttributes);
}

#if !defined(_WIN32)
TEST(PosixErrnoTable, MapsToWin32Vocabulary) {
  struct Case {
    int err;
    platform::ErrorCode code;
  };
  const Case cases[] = {
      {0, 0},        {ENOENT, 2},      {ENOTDIR, 3},        {EACCES, 5},  {EPERM, 5},
      {EBADF, 6},    {ENOMEM, 8},      {EEXIST, 80},        {EINVAL, 87}, {ENOSPC, 112},
      {ESPIPE, 131}, {ENOTEMPTY, 145}, {ENAMETOOLONG, 206}, {EROFS, 19},  {EMFILE, 4},
      {EISDIR, 5},   {ETXTBSY, 32},    {EPIPE, 109},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::posix::TranslateErrno(c.err), c.code) << "errno " << c.err;
  }
  EXPECT_EQ(platform::posix::TranslateErrno(-12345), platform::kErrorGenFailure);
}

TEST(PosixPaths, NtNotationBecomesPosix) {
  EXPECT_EQ(platform::posix::NtToPosixPath(Wide("C:\\dir\\file").c_str()), "/dir/file");
  EXPECT_EQ(platform::posix::NtToPosixPath(Wide("C:").c_str()), "/");
  EXPECT_EQ(platform::posix::NtToPosixPath(Wide("dir\\sub\\").c_str()), "dir/sub/");
  EXPECT_EQ(platform::posix::NtToPosixPath(Wide("C:\\\\a").c_str()), "/a");
  EXPECT_EQ(platform::posix::NtToPosixPath(nullptr), "");
  // UTF-16 arrives as UTF-8 on the POSIX side.
  const platform::OsChar eAcute[] = {ToUnit('C'), ToUnit(':'), ToUnit('\\'), 0x00E9, 0};
  EXPECT_EQ(platform::posix::NtToPosixPath(eAcute), "/\xC3\xA9");
}
#endif

}  // namespace
