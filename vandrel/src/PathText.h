// Path text helpers shared by FileSpec's portable operations and its
// per-platform existence query.
#pragma once

#include "Vandrel/FileSpec.h"

namespace Vandrel {
namespace detail {

constexpr Uni16 kBackslash = static_cast<Uni16>('\\');
constexpr Uni16 kDot = static_cast<Uni16>('.');

inline bool IsSeparator(Uni16 c) { return c == kBackslash || c == static_cast<Uni16>('/'); }

/// Starts with a drive letter and ':'.
inline bool HasDrive(const FileSpec::String& p) {
  return p.size() >= 2 && p[1] == static_cast<Uni16>(':') &&
         ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

}  // namespace detail
}  // namespace Vandrel
