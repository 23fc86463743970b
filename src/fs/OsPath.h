// Paths between the library and the OS: generic paths prepared for it (NT
// notation in 256 bytes, then UTF-16 through UnicodeString), and the OS's
// UTF-16 paths brought back as UTF-8.
#pragma once

#include <cstddef>
#include <string>

#include "TalqOSUtils/UnicodeString.h"

namespace TalqOSUtils {
namespace fs {

/// The longest generic path handed to the OS, in bytes without the NUL.
constexpr std::size_t kMaxOsPath = 255;

/// The UTF-16 NT form of a generic path in `wide`; false for null and for
/// paths of more than kMaxOsPath bytes (wide then unchanged).
bool PrepareOsPath(const char* generic, UnicodeString& wide);

/// A NUL-terminated UTF-16 path from the OS as UTF-8: its length taken by
/// Vandrel, then converted into an array of three bytes a unit and the NUL.
std::string OsPathToUtf8(const UniChar* units);

}  // namespace fs
}  // namespace TalqOSUtils
