// FileSpec::Exists off Windows: the NT path is mapped onto the POSIX file
// system by the rules TalqOSUtils' POSIX backend applies too (NameBytes.h
// for the names, NtPath.h for the rest) and stat()ed. May assume: POSIX
// (sys/stat.h).
#include <sys/stat.h>

#include <string>

#include "Vandrel/FileSpec.h"
#include "VandrelRules/NameBytes.h"
#include "VandrelRules/NtPath.h"

namespace Vandrel {

bool FileSpec::Exists() const {
  if (mPath.empty()) return false;
  // A path that no name reads back as names no file.
  std::string bytes;
  if (!names::AppendNameBytes(mPath.data(), mPath.size(), bytes)) return false;
  const std::string native = ntpath::NtToPosix(bytes);
  struct stat info;
  return stat(native.c_str(), &info) == 0;
}

}  // namespace Vandrel
