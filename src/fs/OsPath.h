// Generic paths prepared for the OS: NT notation in 256 bytes, then UTF-16
// through UnicodeString.
#pragma once

#include <cstddef>

#include "TalqOSUtils/UnicodeString.h"

namespace TalqOSUtils {
namespace fs {

/// The longest generic path handed to the OS, in bytes without the NUL.
constexpr std::size_t kMaxOsPath = 255;

/// The UTF-16 NT form of a generic path in `wide`; false for null and for
/// paths of more than kMaxOsPath bytes (wide then unchanged).
bool PrepareOsPath(const char* generic, UnicodeString& wide);

}  // namespace fs
}  // namespace TalqOSUtils
