// NT notation to POSIX notation, the POSIX emulation's rule for paths (the
// one for the names in them is paths/NameBytes.h); header only, so that
// Vandrel's FileSpec applies the same rule.
//
//   "C:\dir\file" => "/dir/file"    a drive (an ASCII letter and ':') is the root
//   "C:"          => "/"
//   "C:x"         => "/x"           the current directory of a drive is its root
//   "dir\sub\"    => "dir/sub/"     '\' becomes '/'; nothing else changes
//   "\\srv\share" => "//srv/share"  (POSIX reads "//" as "/")
//   "1:\a"        => "1:/a"         not a drive
#pragma once

#include <string>

namespace TalqOSUtils {
namespace platform {
namespace posix {

inline bool IsNtDrive(const std::string& nt) {
  if (nt.size() < 2 || nt[1] != ':') return false;
  const char c = nt[0];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

/// nt (name bytes in NT notation) as a POSIX path.
inline std::string NtToPosix(const std::string& nt) {
  std::string out;
  std::size_t start = 0;
  if (IsNtDrive(nt)) {
    out = "/";
    start = 2;
    if (nt.size() > 2 && (nt[2] == '\\' || nt[2] == '/')) start = 3;
  }
  out.reserve(out.size() + nt.size() - start);
  for (std::size_t i = start; i < nt.size(); ++i) out += nt[i] == '\\' ? '/' : nt[i];
  return out;
}

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
