// POSIX backend: errno in Win32 numbering, errno kept intact, and NT paths as
// POSIX paths.
#pragma once

#include <cerrno>
#include <cstddef>
#include <string>

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

struct ErrnoMapping {
  int err;
  ErrorCode code;
};

/// The whole errno table, for its test.
const ErrnoMapping* ErrnoTable(std::size_t* count);

/// The Win32 code for an errno value; ERROR_GEN_FAILURE for one not in the
/// table (ENOENT gives ERROR_FILE_NOT_FOUND; see SetLastErrorFromErrno).
ErrorCode TranslateErrno(int err);

/// Sets the last error from errno, refining ENOENT for `posixPath`: a
/// missing parent directory gives ERROR_PATH_NOT_FOUND, as Windows says.
void SetLastErrorFromErrno(int err, const std::string& posixPath);

/// The NT path as a POSIX path (ntpath.h), its text as name bytes
/// (paths/NameBytes.h: U+DC80..U+DCFF are the bytes they stand for). False,
/// with ERROR_INVALID_NAME as the last error, for text no name has (a lone
/// surrogate outside U+DC80..U+DCFF, escapes that spell a character). Null
/// gives "".
bool NtToPosixPath(const OsChar* ntPath, std::string& posixPath);
/// The same for an NT path in UTF-8 (the shortcut call's), read as
/// UnicodeString reads UTF-8.
bool NtToPosixPath(const char* ntUtf8, std::string& posixPath);

/// Win32 calls leave errno alone; the emulation's system calls must too.
class ErrnoGuard {
 public:
  ErrnoGuard() : mSaved(errno) {}
  ~ErrnoGuard() { errno = mSaved; }
  ErrnoGuard(const ErrnoGuard&) = delete;
  ErrnoGuard& operator=(const ErrnoGuard&) = delete;

 private:
  int mSaved;
};

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
