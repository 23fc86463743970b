// POSIX backend: errno in Win32 numbering, and errno kept intact.
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
