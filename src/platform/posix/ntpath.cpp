// POSIX backend, NT paths: may assume nothing beyond the C++ library; the
// rules themselves are Vandrel's, so FileSpec::Exists maps paths alike.
#include "platform/posix/ntpath.h"

#include <vector>

#include "Vandrel/Vandrel.h"
#include "VandrelRules/NameBytes.h"
#include "VandrelRules/NtPath.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

bool NtToPosixPath(const OsChar* ntPath, std::string& posixPath) {
  posixPath.clear();
  if (ntPath == nullptr) return true;
  std::string bytes;
  if (!Vandrel::names::AppendNameBytes(ntPath, Vandrel::Uni16CharGetLength(ntPath), bytes)) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  posixPath = Vandrel::ntpath::NtToPosix(bytes);
  return true;
}

bool NtToPosixPath(const char* ntUtf8, std::string& posixPath) {
  if (ntUtf8 == nullptr) return NtToPosixPath(static_cast<const OsChar*>(nullptr), posixPath);
  std::vector<OsChar> wide(std::char_traits<char>::length(ntUtf8) + 1);
  Vandrel::UTF8ToUni16Char(ntUtf8, wide.data(), wide.size());
  return NtToPosixPath(wide.data(), posixPath);
}

std::string ForkOwner(const std::string& posixPath) {
  const std::size_t suffix = std::char_traits<char>::length(kForkSuffix);
  const std::size_t slash = posixPath.find_last_of('/');
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  if (posixPath.size() <= name + suffix ||
      posixPath.compare(posixPath.size() - suffix, suffix, kForkSuffix) != 0) {
    return std::string();
  }
  return posixPath.substr(0, posixPath.size() - suffix);
}

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
