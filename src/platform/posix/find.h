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

/// A directory entry's name (bytes as the file system stores them) as the
/// record's NUL-terminated UTF-16 by VandrelRules/NameBytes.h: a byte B that is not
/// part of well-formed UTF-8 becomes U+DC00+B. A name of more than 259 units
/// keeps the whole characters that fit (the record holds MAX_PATH units;
/// Linux names have at most 255 bytes, so at most 255 units).
///   "a\xC3\xA9\xE9" => u"a\u00E9\uDCE9"
void FindNameFromBytes(const char* name, OsChar (&out)[260]);

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
