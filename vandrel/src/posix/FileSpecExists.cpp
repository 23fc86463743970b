// FileSpec::Exists off Windows: the NT path is mapped onto the POSIX file
// system by the same rule as TalqOSUtils' POSIX backend (ntpath.h) and
// stat()ed. May assume: POSIX (sys/stat.h).
#include <sys/stat.h>

#include <string>

#include "Vandrel/FileSpec.h"
#include "platform/posix/ntpath.h"

namespace Vandrel {

bool FileSpec::Exists() const {
  if (mPath.empty()) return false;
  // At most three bytes per unit: a pair's four bytes come from two units.
  std::string utf8(3 * mPath.size() + 1, '\0');
  const int n = Uni16CharToUTF8(mPath.c_str(), &utf8[0], utf8.size());
  if (n < 0) return false;
  utf8.resize(static_cast<std::size_t>(n));
  const std::string native = TalqOSUtils::platform::posix::NtToPosix(utf8);
  struct stat info;
  return stat(native.c_str(), &info) == 0;
}

}  // namespace Vandrel
