// POSIX backend, directory search: the pieces of the find record that are
// pure conversions, for the tests.
#pragma once

#include <cstdint>
#include <ctime>

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

/// A POSIX time as FILETIME ticks (100 ns since 1601-01-01 00:00 UTC):
///   {0, 0} => 116444736000000000, {0, 199} => 116444736000000001.
/// Times before 1601 give 0; times beyond the 64-bit range give its maximum.
std::uint64_t FileTimeFromTimespec(const struct timespec& t);

/// A directory entry's name (UTF-8 as the file system stores it) as the
/// record's NUL-terminated UTF-16: ill-formed bytes become U+FFFD, and a
/// name of more than 259 units keeps the whole characters that fit (the
/// record holds MAX_PATH units; Windows names have at most 255).
void FindNameFromUtf8(const char* name, OsChar (&out)[260]);

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
