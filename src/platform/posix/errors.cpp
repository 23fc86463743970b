// POSIX backend, errors: may assume POSIX errno values and C++11 thread_local.
// Every failure is reported in Win32 numbering so portable code and tests
// see one vocabulary on both backends.
#include "platform/posix/errors.h"

#include <sys/stat.h>

namespace TalqOSUtils {
namespace platform {

namespace {
thread_local ErrorCode tLastError = kErrorSuccess;

// errno => Win32, the code Windows gives for the same condition. Each row is
// checked against a separately written list in the tests. A negative seek's
// ERROR_NEGATIVE_SEEK is decided by the seek emulation, not here.
constexpr posix::ErrnoMapping kErrnoTable[] = {
    {0, kErrorSuccess},
    {EPERM, kErrorAccessDenied},
    {ENOENT, kErrorFileNotFound},  // refined to PATH_NOT_FOUND by the caller
    {EIO, kErrorIoDevice},
    {ENXIO, kErrorFileNotFound},  // a device file whose device is absent
    {EBADF, kErrorInvalidHandle},
    {EAGAIN, kErrorLockViolation},  // a region locked by another process
    {ENOMEM, kErrorNotEnoughMemory},
    {EACCES, kErrorAccessDenied},
    {EBUSY, kErrorBusy},
    {EEXIST, kErrorFileExists},  // CreateDirectory says ALREADY_EXISTS itself
    {EXDEV, kErrorNotSameDevice},
    {ENODEV, kErrorPathNotFound},   // the file system behind the path is gone
    {ENOTDIR, kErrorPathNotFound},  // a component used as a directory is a file
    {EISDIR, kErrorAccessDenied},   // DeleteFileW and CreateFileW on a directory
    {EINVAL, kErrorInvalidParameter},
    {ENFILE, kErrorTooManyOpenFiles},
    {EMFILE, kErrorTooManyOpenFiles},
    {ETXTBSY, kErrorSharingViolation},  // a running executable cannot be written
    {EFBIG, kErrorFileTooLarge},
    {ENOSPC, kErrorDiskFull},
    {ESPIPE, kErrorSeekOnDevice},  // seeking a pipe or terminal
    {EROFS, kErrorWriteProtect},
    {EMLINK, kErrorTooManyLinks},
    {EPIPE, kErrorBrokenPipe},
    {ENAMETOOLONG, kErrorFilenameExcedRange},
    {ENOSYS, kErrorNotSupported},
    {ENOTEMPTY, kErrorDirNotEmpty},
    {ELOOP, kErrorCantResolveFilename},  // too many levels of symbolic links
    {EOPNOTSUPP, kErrorNotSupported},
    {EDQUOT, kErrorDiskQuotaExceeded},
    {EILSEQ, kErrorInvalidName},  // a name the file system cannot store
};
}  // namespace

ErrorCode LastError() { return tLastError; }
void SetLastError(ErrorCode code) { tLastError = code; }

namespace posix {

const ErrnoMapping* ErrnoTable(std::size_t* count) {
  *count = sizeof kErrnoTable / sizeof kErrnoTable[0];
  return kErrnoTable;
}

ErrorCode TranslateErrno(int err) {
  for (const ErrnoMapping& m : kErrnoTable) {
    if (m.err == err) return m.code;
  }
  return kErrorGenFailure;
}

void SetLastErrorFromErrno(int err, const std::string& posixPath) {
  ErrorCode code = TranslateErrno(err);
  if (err == ENOENT) {
    // Windows tells a missing last component from a missing directory.
    const std::size_t slash = posixPath.find_last_of('/');
    if (slash != std::string::npos && slash != 0) {
      struct stat st {};
      const std::string parent = posixPath.substr(0, slash);
      if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) code = kErrorPathNotFound;
    }
  }
  SetLastError(code);
}

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
