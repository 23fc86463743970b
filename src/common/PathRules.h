// Small rules of the generic notation that several rooms apply: the two
// path limits the library's areas are sized by, and what a separator is.
#pragma once

#include <cstddef>

namespace TalqOSUtils {

/// A path area in bytes, its NUL included: a generic path of kPathArea bytes
/// or more is too long for the OS side, the longest that goes has 255.
constexpr std::size_t kPathArea = 256;

/// MAX_PATH: a path or name buffer of the OS in 16-bit units, NUL included.
constexpr std::size_t kMaxPath = 260;

/// Any byte that separates a path's parts in one notation or another: '/'
/// (generic, Unix), ':' (HFS) or '\\' (NT).
constexpr bool IsAnySeparator(char c) { return c == '/' || c == ':' || c == '\\'; }

}  // namespace TalqOSUtils
