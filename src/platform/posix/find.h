// POSIX backend, directory search: the piece of the find record that is a
// pure conversion, for the tests.
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

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
