#include <filesystem>
#include <set>
#include <string>
#include <tuple>

#include "TalqOSUtils/Errors.h"
#include "gtest/gtest.h"
#include "platform/Platform.h"
#include "support/FsTestSupport.h"

#include <cerrno>

#if !defined(_WIN32)
#include "platform/posix/errors.h"
#include "platform/posix/ntpath.h"
#endif

namespace platform = TalqOSUtils::platform;

namespace {

std::basic_string<platform::OsChar> Wide(const std::string& ascii) {
  return std::basic_string<platform::OsChar>(ascii.begin(), ascii.end());
}

TEST(PlatformTable, BackendFillsEveryCall) {
  const platform::Calls& t = platform::NativeCalls();
#define TALQ_OS_CALL(member, id, result, params, failure) \
  EXPECT_NE(t.member, nullptr) << "the backend leaves " #member " unset";
#include "platform/Calls.def"
#undef TALQ_OS_CALL
}

// Attributes and codes as Windows gives them, for each kind of entry.
TEST(PlatformAttributes, EntriesGiveWin32AttributesAndCodes) {
  talqtest::TempDir tmp;
  tmp.Write("writable");
  tmp.Write("readonly");
  std::filesystem::permissions(tmp.Native("readonly"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  const std::string nt = TalqOSUtils::OSPathLocal(tmp.Generic());
  const struct {
    std::string path;
    std::uint32_t attributes;  // of READONLY and DIRECTORY
    platform::ErrorCode error;
  } rows[] = {
      // clang-format off
      {nt + "\\writable", 0, 0}, {nt + "\\readonly", platform::kFileAttributeReadonly, 0},
      {nt, platform::kFileAttributeDirectory, 0}, {"C:\\", platform::kFileAttributeDirectory, 0},
      // clang-format on
      {nt + "\\missing", platform::kInvalidFileAttributes, platform::kErrorFileNotFound},
      {nt + "\\missing\\file", platform::kInvalidFileAttributes, platform::kErrorPathNotFound},
      {"C:\\talq-missing-file-7f3a.txt", platform::kInvalidFileAttributes,
       platform::kErrorFileNotFound},
  };
  errno = 4242;  // the POSIX emulation leaves it alone
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    platform::SetLastError(0);
    const std::uint32_t got = platform::Os().getFileAttributes(Wide(row.path).c_str());
    // Windows adds bits of its own (ARCHIVE, NOT_CONTENT_INDEXED, ...).
    constexpr std::uint32_t kKnown =
        platform::kFileAttributeReadonly | platform::kFileAttributeDirectory;
    EXPECT_EQ(got == platform::kInvalidFileAttributes ? got : got & kKnown, row.attributes);
    if (row.error != 0) EXPECT_EQ(platform::LastError(), row.error);
  }
  EXPECT_FALSE(platform::Os().createDirectory(Wide(nt).c_str()));
  EXPECT_EQ(platform::LastError(), platform::kErrorAlreadyExists);
  EXPECT_FALSE(platform::Os().deleteFile(Wide(nt + "\\missing").c_str()));
  EXPECT_EQ(platform::LastError(), platform::kErrorFileNotFound);
  EXPECT_EQ(errno, 4242);
  std::filesystem::permissions(tmp.Native("readonly"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

TEST(PlatformModule, ExecutablePathIsAbsoluteAndCutLikeWindows) {
  platform::OsChar full[2561];
  const std::uint32_t n = platform::Os().getModuleFileName(full, 2561);
  ASSERT_GT(n, 3u);
  ASSERT_LT(n, 2561u);
  EXPECT_EQ(full[n], 0);
  // Exactly the length without room for the NUL, and a smaller buffer.
  for (const std::uint32_t cap : {n, 3u}) {
    SCOPED_TRACE(cap);
    std::basic_string<platform::OsChar> cut(cap + 1, 1);
    EXPECT_EQ(platform::Os().getModuleFileName(&cut[0], cap), cap);
    EXPECT_EQ(platform::LastError(), platform::kErrorInsufficientBuffer);
    EXPECT_EQ(cut.substr(0, cap - 1), std::basic_string<platform::OsChar>(full, cap - 1));
#if !defined(_WIN32)
    EXPECT_EQ(cut[cap - 1], 0);  // as Windows since Vista; Wine leaves it unterminated
#endif
    EXPECT_EQ(cut[cap], 1) << "wrote past the capacity";
  }
}

#if !defined(_WIN32)
// Written from the Win32 error documentation, independently of the table:
// what Windows reports for the condition each errno names.
TEST(PosixErrnoTable, EveryRowMatchesTheWin32Condition) {
  // clang-format off
  const std::pair<int, platform::ErrorCode> expected[] = {
      {0, 0}, {EPERM, 5}, {ENOENT, 2}, {EIO, 1117}, {ENXIO, 2}, {EBADF, 6}, {EAGAIN, 33},
      {ENOMEM, 8}, {EACCES, 5}, {EBUSY, 170}, {EEXIST, 80}, {EXDEV, 17}, {ENODEV, 3},
      {ENOTDIR, 3}, {EISDIR, 5}, {EINVAL, 87}, {ENFILE, 4}, {EMFILE, 4}, {ETXTBSY, 32},
      {EFBIG, 223}, {ENOSPC, 112}, {ESPIPE, 132}, {EROFS, 19}, {EMLINK, 1142}, {EPIPE, 109},
      {ENAMETOOLONG, 206}, {ENOSYS, 50}, {ENOTEMPTY, 145}, {ELOOP, 1921}, {EOPNOTSUPP, 50},
      {EDQUOT, 1295}, {EILSEQ, 123}, {-12345, 31},  // the last not in the table: ERROR_GEN_FAILURE
  };
  // clang-format on
  std::set<int> listed;
  for (const auto& row : expected) {
    listed.insert(row.first);
    EXPECT_EQ(platform::posix::TranslateErrno(row.first), row.second) << "errno " << row.first;
  }
  std::size_t count = 0;
  const platform::posix::ErrnoMapping* table = platform::posix::ErrnoTable(&count);
  for (std::size_t i = 0; i < count; ++i) {
    EXPECT_EQ(listed.count(table[i].err), 1u)
        << "table row errno " << table[i].err << " has no independent expectation";
    // Every code the table can report has words for the host.
    EXPECT_NE(TalqOSUtils::OSErrorText(table[i].code).rfind("error ", 0), 0u)
        << "code " << table[i].code << " has no text";
  }
}

// UTF-16 NT paths as name bytes: escapes give back their bytes; text that no
// name reads back as is refused with ERROR_INVALID_NAME. (The rule's other
// cases: the name bytes test, through OSUTF8ToNameBytes.)
TEST(PosixPaths, WidePathsBecomeNameBytesOrAreRefused) {
  using W = std::u16string;
  std::string euros = "/";
  for (int i = 0; i < 200; ++i) euros += "\xE2\x82\xAC";  // three bytes a unit, the most
  const std::tuple<W, const char*, std::string> rows[] = {
      {u"C:\\" + W(200, 0x20AC), "", euros},
      {u"C:\\d\\\xDCE9\xDCFF\xDC80-", "", "/d/\xE9\xFF\x80-"},
      {u"\xD83D\xDCE9", "a pair, not an escape", "\xF0\x9F\x93\xA9"},
      {u"a\xD800", "high", ""},
      {u"\xDBFF-", "high", ""},
      {u"\xDE00", "low, beyond the escapes", ""},
      {u"\xDCF0\xDC9F\xDC98\xDC80", "spells U+1F600", ""},
      {u"\xDCE2\xDC82", "a truncated sequence stays escaped", "\xE2\x82"},
  };
  for (const auto& [nt, why, bytes] : rows) {
    SCOPED_TRACE(why);
    platform::SetLastError(0);
    std::string posix = "stale";
    EXPECT_EQ(platform::posix::NtToPosixPath(nt.c_str(), posix), !bytes.empty());
    if (!bytes.empty()) EXPECT_EQ(posix, bytes);
    EXPECT_EQ(platform::LastError(), bytes.empty() ? platform::kErrorInvalidName : 0);
  }
  std::string posix = "stale";
  EXPECT_TRUE(platform::posix::NtToPosixPath(static_cast<const platform::OsChar*>(nullptr), posix));
  EXPECT_EQ(posix, "");
  // The shortcut call's UTF-8 form: read as UnicodeString reads it.
  EXPECT_TRUE(platform::posix::NtToPosixPath("C:\\\xED\xB3\xA9\xFF", posix));
  EXPECT_EQ(posix, "/\xE9\xEF\xBF\xBD");
  EXPECT_FALSE(platform::posix::NtToPosixPath("\xED\xA0\x80", posix));
}
#endif

}  // namespace
