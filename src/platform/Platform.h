// The narrow interface through which the library reaches the operating
// system. Portable code calls Os().<call>(...) and reads LastError(); the
// win32/ and posix/ backends fill the table, and tests can wrap it to make
// calls fail (see FaultInjection.h).
//
// Paths arrive in NT notation as NUL-terminated UTF-16. Failures are
// reported the Win32 way: a failure result plus LastError() in Win32
// numbering, on every backend.
#pragma once

#include <cstdint>

#include "Vandrel/Vandrel.h"

namespace TalqOSUtils {
namespace platform {

using OsChar = Vandrel::Uni16;
using ErrorCode = std::uint32_t;

// Win32 error codes the library and its tests speak of.
enum : ErrorCode {
  kErrorSuccess = 0,
  kErrorInvalidFunction = 1,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorTooManyOpenFiles = 4,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorWriteProtect = 19,
  kErrorNotSameDevice = 17,
  kErrorGenFailure = 31,
  kErrorSharingViolation = 32,
  kErrorLockViolation = 33,
  kErrorHandleEof = 38,
  kErrorNotSupported = 50,
  kErrorFileExists = 80,
  kErrorInvalidParameter = 87,
  kErrorBrokenPipe = 109,
  kErrorDiskFull = 112,
  kErrorNegativeSeek = 131,
  kErrorDirNotEmpty = 145,
  kErrorBusy = 170,
  kErrorAlreadyExists = 183,
  kErrorFilenameExcedRange = 206,
  kErrorFileTooLarge = 223,
  kErrorDirectory = 267,
  kErrorIoDevice = 1117,
  kErrorTooManyLinks = 1142,
  kErrorDiskQuotaExceeded = 1295,
  kErrorCantResolveFilename = 1921,
};

/// GetFileAttributesW's failure value.
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr std::uint32_t kFileAttributeReadonly = 0x01u;
constexpr std::uint32_t kFileAttributeDirectory = 0x10u;
constexpr std::uint32_t kFileAttributeNormal = 0x80u;

/// The backend's calls. Each one sets the last error when it fails.
struct Calls {
  /// Attributes of the entry at path, or kInvalidFileAttributes.
  std::uint32_t (*getFileAttributes)(const OsChar* path);
};

/// The table in use: the backend's, or a test's wrapper around it.
const Calls& Os();
/// The backend's own table, never wrapped.
const Calls& NativeCalls();

/// The calling thread's last error, in Win32 numbering.
ErrorCode LastError();
void SetLastError(ErrorCode code);

}  // namespace platform
}  // namespace TalqOSUtils
