// The narrow interface through which the library reaches the operating
// system. Portable code calls Os().<call>(...) and reads LastError(); the
// win32/ and posix/ backends fill the table, and tests can install a wrapper
// table that makes chosen calls fail (testing/FaultInjection.h).
//
// The calls are listed once, in Calls.def. Paths arrive in NT notation as
// NUL-terminated UTF-16 (on POSIX, U+DC80..U+DCFF stand for name bytes that
// are not UTF-8: VandrelRules/NameBytes.h). Failures are reported the Win32 way:
// a failure result plus LastError() in Win32 numbering, on every backend. No
// call changes errno.
#pragma once

#include <cstddef>
#include <cstdint>

#include "TalqOSUtils/UnicodeString.h"
#include "common/PathRules.h"

namespace TalqOSUtils {
namespace platform {

/// The 16-bit unit of every path handed to the OS.
using OsChar = UniChar;
using ErrorCode = std::uint32_t;

/// A Win32 HANDLE on Windows, a file descriptor elsewhere.
using FileHandle = std::intptr_t;
/// A find handle (a Win32 HANDLE, or the POSIX backend's search record).
using FindHandle = std::intptr_t;
/// INVALID_HANDLE_VALUE, for files and searches alike.
constexpr std::intptr_t kInvalidHandle = -1;

// Win32 error codes the library and its tests speak of: kErrorFileNotFound...
enum : ErrorCode {
#define TALQ_ERROR(name, code, symbol, text) kError##name = code,
#include "errors/ErrorCodes.def"
#undef TALQ_ERROR
};

/// The alternate data stream that holds a file's resource fork, as appended
/// to the file's path.
constexpr char kForkSuffix[] = ":AFP_Resource";

/// GetFileAttributesW's failure value and the attribute bits read.
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr std::uint32_t kFileAttributeReadonly = 0x01u;
constexpr std::uint32_t kFileAttributeDirectory = 0x10u;
constexpr std::uint32_t kFileAttributeNormal = 0x80u;
constexpr std::uint32_t kFileAttributeReparsePoint = 0x400u;

// CreateFileW: access, share modes, dispositions, flags.
constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kFileShareRead = 0x1u;
constexpr std::uint32_t kFileShareWrite = 0x2u;
constexpr std::uint32_t kCreateNew = 1;
constexpr std::uint32_t kCreateAlways = 2;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kOpenAlways = 4;
constexpr std::uint32_t kTruncateExisting = 5;
constexpr std::uint32_t kFileFlagSequentialScan = 0x08000000u;

// SetFilePointer's move methods and the failure values of it and GetFileSize.
constexpr std::uint32_t kFileBegin = 0;
constexpr std::uint32_t kFileCurrent = 1;
constexpr std::uint32_t kFileEnd = 2;
constexpr std::uint32_t kInvalidSetFilePointer = 0xFFFFFFFFu;
constexpr std::uint32_t kInvalidFileSize = 0xFFFFFFFFu;

/// The copy's progress routine: bytes copied and in all; false cancels.
using CopyProgress = bool (*)(std::uint64_t done, std::uint64_t total, void* data);

/// What the directory search reads of a WIN32_FIND_DATAW record. The name
/// comes as the backend has it, for the caller to convert once: the file
/// system's bytes (POSIX), or UTF-16 units (Windows).
struct FindData {
  std::uint32_t attributes = 0;
  /// 100-nanosecond ticks since 1601-01-01 00:00 UTC.
  std::uint64_t lastWriteTime = 0;
  std::uint32_t sizeHigh = 0;
  std::uint32_t sizeLow = 0;
  /// The name's nameLength bytes (VandrelRules/NameBytes.h), valid until the
  /// search's next call; null when the name is in `name`.
  const char* nameBytes = nullptr;
  std::size_t nameLength = 0;
  /// MAX_PATH units, NUL-terminated.
  OsChar name[kMaxPath] = {};
};

/// The backend's calls (Calls.def). Each one sets the last error when it fails.
struct Calls {
// NOLINTNEXTLINE(bugprone-macro-parentheses): params is a parameter list
#define TALQ_OS_CALL(member, id, result, params, failure) result(*member) params = nullptr;
#include "platform/Calls.def"
#undef TALQ_OS_CALL
};

/// The calls by name, for the test hook.
enum class CallId {
#define TALQ_OS_CALL(member, id, result, params, failure) k##id,
#include "platform/Calls.def"
#undef TALQ_OS_CALL
  kCount
};

/// The table in use: the backend's, or a test's wrapper around it.
const Calls& Os();
/// The backend's own table, never wrapped.
const Calls& NativeCalls();
/// Routes Os() through table (null: back to NativeCalls()). For the test
/// hook; not synchronised with calls running on other threads.
void InstallCalls(const Calls* table);

/// The calling thread's last error, in Win32 numbering.
ErrorCode LastError();

/// The code of a failed call: `code`, or kErrorNoReason when the OS gave
/// none, so that a failure never reads as success.
inline ErrorCode FailureCode(ErrorCode code) {
  return code == kErrorSuccess ? kErrorNoReason : code;
}
/// The same of the last error.
inline ErrorCode FailureCode() { return FailureCode(LastError()); }
void SetLastError(ErrorCode code);

}  // namespace platform
}  // namespace TalqOSUtils
