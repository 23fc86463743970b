// NT notation to POSIX notation, the one rule of the POSIX emulation; header
// only, so that Vandrel's FileSpec applies the same rule.
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

/// ntUtf8 (UTF-8 bytes in NT notation) as a POSIX path.
inline std::string NtToPosix(const std::string& ntUtf8) {
  std::string out;
  std::size_t start = 0;
  if (IsNtDrive(ntUtf8)) {
    out = "/";
    start = 2;
    if (ntUtf8.size() > 2 && (ntUtf8[2] == '\\' || ntUtf8[2] == '/')) start = 3;
  }
  out.reserve(out.size() + ntUtf8.size() - start);
  for (std::size_t i = start; i < ntUtf8.size(); ++i) out += ntUtf8[i] == '\\' ? '/' : ntUtf8[i];
  return out;
}

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
