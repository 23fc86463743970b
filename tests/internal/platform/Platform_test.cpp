// The platform layer: its table, its test hook and the POSIX emulation's
// error and path rules.
#include <set>
#include <string>

#include "gtest/gtest.h"
#include "platform/Platform.h"
#include "platform/testing/FaultInjection.h"

#if !defined(_WIN32)
#include <cerrno>

#include "platform/posix/errors.h"
#include "platform/posix/ntpath.h"
#endif

namespace platform = TalqOSUtils::platform;

namespace {

std::basic_string<platform::OsChar> Wide(const std::string& ascii) {
  std::basic_string<platform::OsChar> out;
  for (char c : ascii) out += static_cast<platform::OsChar>(c);
  return out;
}

TEST(PlatformTable, BackendFillsEveryCall) {
  const platform::Calls& t = platform::NativeCalls();
#define TALQ_OS_CALL(member, id, result, params, failure) \
  EXPECT_NE(t.member, nullptr) << "the backend leaves " #member " unset";
#include "platform/Calls.def"
#undef TALQ_OS_CALL
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

TEST(PlatformModule, ExecutablePathIsAbsoluteAndCutLikeWindows) {
  platform::OsChar full[2561];
  const std::uint32_t n = platform::Os().getModuleFileName(full, 2561);
  ASSERT_GT(n, 3u);
  ASSERT_LT(n, 2561u);
  EXPECT_EQ(full[n], 0);
  platform::OsChar cut[4] = {1, 1, 1, 1};
  EXPECT_EQ(platform::Os().getModuleFileName(cut, 3), 3u);
  EXPECT_EQ(platform::LastError(), platform::kErrorInsufficientBuffer);
  EXPECT_EQ(cut[0], full[0]);
  EXPECT_EQ(cut[1], full[1]);
#if !defined(_WIN32)
  // As Windows since Vista; Wine leaves the last unit unterminated.
  EXPECT_EQ(cut[2], 0);
#endif
  EXPECT_EQ(cut[3], 1) << "wrote past the capacity";
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

TEST(PlatformFaults, AnyCallCountsAcrossCalls) {
  const auto root = Wide("C:\\");
  const auto missing = Wide("C:\\talq-missing-7f3a");
  platform::ArmAnyFault(2, platform::kErrorDiskFull);
  EXPECT_FALSE(platform::Os().createDirectory(root.c_str()));  // call 1: real, root exists
  EXPECT_EQ(platform::Os().getFileAttributes(root.c_str()), platform::kInvalidFileAttributes);
  EXPECT_EQ(platform::LastError(), platform::kErrorDiskFull);
  EXPECT_FALSE(platform::Os().deleteFile(missing.c_str()));  // call 3: real
  EXPECT_NE(platform::LastError(), platform::kErrorDiskFull);
  EXPECT_EQ(platform::TotalCallsSeen(), 3u);
  platform::ClearFaults();
}

#if !defined(_WIN32)
// Written from the Win32 error documentation, independently of the table:
// what Windows reports for the condition each errno names.
TEST(PosixErrnoTable, EveryRowMatchesTheWin32Condition) {
  struct Row {
    int err;
    platform::ErrorCode code;
  };
  const Row expected[] = {
      {0, 0},        {EPERM, 5},          {ENOENT, 2},    {EIO, 1117},
      {ENXIO, 2},    {EBADF, 6},          {EAGAIN, 33},   {ENOMEM, 8},
      {EACCES, 5},   {EBUSY, 170},        {EEXIST, 80},   {EXDEV, 17},
      {ENODEV, 3},   {ENOTDIR, 3},        {EISDIR, 5},    {EINVAL, 87},
      {ENFILE, 4},   {EMFILE, 4},         {ETXTBSY, 32},  {EFBIG, 223},
      {ENOSPC, 112}, {ESPIPE, 132},       {EROFS, 19},    {EMLINK, 1142},
      {EPIPE, 109},  {ENAMETOOLONG, 206}, {ENOSYS, 50},   {ENOTEMPTY, 145},
      {ELOOP, 1921}, {EOPNOTSUPP, 50},    {EDQUOT, 1295}, {EILSEQ, 123},
  };
  std::set<int> listed;
  for (const Row& row : expected) {
    listed.insert(row.err);
    EXPECT_EQ(platform::posix::TranslateErrno(row.err), row.code) << "errno " << row.err;
  }
  std::size_t count = 0;
  const platform::posix::ErrnoMapping* table = platform::posix::ErrnoTable(&count);
  for (std::size_t i = 0; i < count; ++i) {
    EXPECT_EQ(listed.count(table[i].err), 1u)
        << "table row errno " << table[i].err << " has no independent expectation";
  }
  EXPECT_EQ(platform::posix::TranslateErrno(-12345), platform::kErrorGenFailure);
}

TEST(PosixEmulation, CallsLeaveErrnoAlone) {
  errno = 4242;
  EXPECT_FALSE(platform::Os().deleteFile(Wide("C:\\talq-missing-7f3a\\x").c_str()));
  EXPECT_EQ(platform::Os().getFileAttributes(Wide("C:\\talq-missing-7f3a").c_str()),
            platform::kInvalidFileAttributes);
  EXPECT_EQ(errno, 4242);
}

// The NT-to-POSIX rule; Vandrel's FileSpec::Exists follows the same header.
TEST(PosixPaths, NtNotationBecomesPosix) {
  const std::pair<const char*, const char*> rows[] = {
      {"C:\\dir\\file", "/dir/file"},
      {"C:", "/"},
      {"C:\\", "/"},
      {"z:x", "/x"},
      {"Z:/a", "/a"},
      {"dir\\sub\\", "dir/sub/"},
      {"1:\\a", "1:/a"},
      {"@:a", "@:a"},
      {"[:a", "[:a"},
      {"\\\\srv\\share", "//srv/share"},
      {"", ""},
      {"a:", "/"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(platform::posix::NtToPosix(row.first), row.second) << "NT path " << row.first;
  }
}

TEST(PosixPaths, WideNamesOfThreeByteCharactersFitTheBuffer) {
  // U+20AC is three UTF-8 bytes per unit, the most any single unit needs.
  std::basic_string<platform::OsChar> path = Wide("C:\\");
  std::string expected = "/";
  for (int i = 0; i < 200; ++i) {
    path += static_cast<platform::OsChar>(0x20AC);
    expected += "\xE2\x82\xAC";
  }
  EXPECT_EQ(platform::posix::NtToPosixPath(path.c_str()), expected);
  EXPECT_EQ(platform::posix::NtToPosixPath(nullptr), "");
}
#endif

}  // namespace
