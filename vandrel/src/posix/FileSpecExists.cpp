// FileSpec::Exists off Windows: the NT path is mapped onto the POSIX file
// system by the same rules as TalqOSUtils' POSIX backend (paths/NameBytes.h
// for the names, ntpath.h for the rest) and stat()ed. May assume: POSIX
// (sys/stat.h).
#include <sys/stat.h>

#include <string>

#include "Vandrel/FileSpec.h"
#include "paths/NameBytes.h"
#include "platform/posix/ntpath.h"

namespace Vandrel {

bool FileSpec::Exists() const {
  if (mPath.empty()) return false;
  // A path that no name reads back as names no file.
  std::string bytes;
  if (!TalqOSUtils::names::AppendNameBytes(mPath.data(), mPath.size(), bytes)) return false;
  const std::string native = TalqOSUtils::platform::posix::NtToPosix(bytes);
  struct stat info;
  return stat(native.c_str(), &info) == 0;
}

}  // namespace Vandrel
