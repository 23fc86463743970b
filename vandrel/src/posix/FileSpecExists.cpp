// FileSpec::Exists off Windows: the NT path is mapped onto the POSIX file
// system and stat()ed. May assume: POSIX (sys/stat.h).
#include <sys/stat.h>

#include <string>

#include "../PathText.h"
#include "Vandrel/FileSpec.h"

namespace Vandrel {

using detail::HasDrive;
using detail::IsSeparator;

bool FileSpec::Exists() const {
  if (mPath.empty()) return false;
  std::string native(3 * mPath.size() + 2, '\0');
  // "X:" stands for the root; the separator after it, if any, is kept.
  const std::size_t skip = HasDrive(mPath) ? 2 : 0;
  std::size_t at = 0;
  if (skip != 0 && (mPath.size() == 2 || !IsSeparator(mPath[2]))) native[at++] = '/';
  const int n = Uni16CharToUTF8(mPath.c_str() + skip, &native[at], native.size() - at);
  if (n < 0) return false;
  native.resize(at + static_cast<std::size_t>(n));
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  struct stat info;
  return stat(native.c_str(), &info) == 0;
}

}  // namespace Vandrel
