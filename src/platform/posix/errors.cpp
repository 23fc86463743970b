// POSIX backend, errors: may assume POSIX errno values and C++11 thread_local.
// Every failure is reported in Win32 numbering so portable code and tests
// see one vocabulary on both backends.
#include "platform/posix/errors.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

namespace TalqOSUtils {
namespace platform {

namespace {
thread_local ErrorCode tLastError = kErrorSuccess;

struct ErrnoMapping {
  int err;
  ErrorCode code;
};

// One written-down table, checked entry by entry in the tests.
constexpr ErrnoMapping kErrnoTable[] = {
    {0, kErrorSuccess},
    {EPERM, kErrorAccessDenied},
    {ENOENT, kErrorFileNotFound},
    {EIO, kErrorIoDevice},
    {ENXIO, kErrorFileNotFound},
    {EBADF, kErrorInvalidHandle},
    {EAGAIN, kErrorLockViolation},
    {ENOMEM, kErrorNotEnoughMemory},
    {EACCES, kErrorAccessDenied},
    {EBUSY, kErrorBusy},
    {EEXIST, kErrorFileExists},
    {EXDEV, kErrorNotSameDevice},
    {ENODEV, kErrorPathNotFound},
    {ENOTDIR, kErrorPathNotFound},
    {EISDIR, kErrorAccessDenied},
    {EINVAL, kErrorInvalidParameter},
    {ENFILE, kErrorTooManyOpenFiles},
    {EMFILE, kErrorTooManyOpenFiles},
    {ETXTBSY, kErrorSharingViolation},
    {EFBIG, kErrorFileTooLarge},
    {ENOSPC, kErrorDiskFull},
    {ESPIPE, kErrorNegativeSeek},
    {EROFS, kErrorWriteProtect},
    {EMLINK, kErrorTooManyLinks},
    {EPIPE, kErrorBrokenPipe},
    {ENAMETOOLONG, kErrorFilenameExcedRange},
    {ENOSYS, kErrorNotSupported},
    {ENOTEMPTY, kErrorDirNotEmpty},
    {ELOOP, kErrorCantResolveFilename},
    {ENOTSUP, kErrorNotSupported},
    {EDQUOT, kErrorDiskQuotaExceeded},
};
}  // namespace

ErrorCode LastError() { return tLastError; }
void SetLastError(ErrorCode code) { tLastError = code; }

namespace posix {

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

std::string NtToPosixPath(const OsChar* ntPath) {
  if (ntPath == nullptr) return std::string();
  const std::size_t units = Vandrel::Uni16CharGetLength(ntPath);
  std::vector<char> utf8(3 * units + 1);
  Vandrel::Uni16CharToUTF8(ntPath, utf8.data(), utf8.size());
  std::string path(utf8.data());
  std::size_t start = 0;
  if (path.size() >= 2 && path[1] == ':') start = 2;  // the drive is the root
  std::string out = start == 2 ? std::string("/") : std::string();
  for (std::size_t i = start; i < path.size(); ++i) {
    const char c = path[i] == '\\' ? '/' : path[i];
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out += c;
  }
  return out;
}

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
