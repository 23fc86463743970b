// POSIX backend: errno in Win32 numbering, and NT paths as POSIX paths.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

/// The Win32 code for an errno value (ENOENT gives ERROR_FILE_NOT_FOUND;
/// callers that know a parent is missing say ERROR_PATH_NOT_FOUND).
ErrorCode TranslateErrno(int err);

/// Sets the last error from errno, refining ENOENT for `posixPath`: a
/// missing parent directory gives ERROR_PATH_NOT_FOUND.
void SetLastErrorFromErrno(int err, const std::string& posixPath);

/// "C:\dir\file" => "/dir/file", "dir\file" => "dir/file": '\' becomes '/',
/// a leading drive "X:" stands for the root. UTF-16 becomes UTF-8.
std::string NtToPosixPath(const OsChar* ntPath);

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
