// NT notation: what a drive and a separator are, and how the POSIX emulation
// reads an NT path. Header only, below both libraries: Vandrel's FileSpec and
// TalqOSUtils (its POSIX backend, its NT-to-generic conversion) apply these
// rules alike. For the names inside a path see NameBytes.h.
//
//   "C:\dir\file" => "/dir/file"    a drive (an ASCII letter and ':') is the root
//   "C:"          => "/"            in an absolute path: alone or before a separator
//   "C:x"         => "C:x"          a relative name that holds a colon
//   "dir\sub\"    => "dir/sub/"     '\' becomes '/'; nothing else changes
//   "\\srv\share" => "//srv/share"  (POSIX reads "//" as "/")
//   "1:\a"        => "1:/a"         not a drive
#pragma once

#include <cstddef>
#include <string>

namespace Vandrel {
namespace ntpath {

/// '\' or '/': either separates the components of an NT path.
template <typename Unit>
constexpr bool IsSeparator(Unit c) {
  return c == static_cast<Unit>('\\') || c == static_cast<Unit>('/');
}

/// The NUL-terminated text starts with a drive: an ASCII letter and ':'
/// ("C:", "z:\a" => true; "1:", "C", "" => false).
template <typename Unit>
constexpr bool StartsWithDrive(const Unit* text) {
  const Unit c = text[0];
  const bool letter = (c >= static_cast<Unit>('A') && c <= static_cast<Unit>('Z')) ||
                      (c >= static_cast<Unit>('a') && c <= static_cast<Unit>('z'));
  return letter && text[1] == static_cast<Unit>(':');
}

template <typename Unit>
bool StartsWithDrive(const std::basic_string<Unit>& text) {
  return StartsWithDrive(text.c_str());
}

/// The NUL-terminated text is an absolute path from a drive: "C:" alone or
/// followed by a separator ("C:", "c:\a" => true; "C:x", "C" => false).
template <typename Unit>
constexpr bool StartsWithDriveRoot(const Unit* text) {
  return StartsWithDrive(text) && (text[2] == 0 || IsSeparator(text[2]));
}

/// nt (name bytes in NT notation) as a POSIX path.
inline std::string NtToPosix(const std::string& nt) {
  std::string out;
  std::size_t start = 0;
  if (StartsWithDriveRoot(nt.c_str())) {
    out = "/";
    start = nt.size() > 2 ? 3 : 2;
  }
  out.reserve(out.size() + nt.size() - start);
  for (std::size_t i = start; i < nt.size(); ++i) out += nt[i] == '\\' ? '/' : nt[i];
  return out;
}

}  // namespace ntpath
}  // namespace Vandrel
