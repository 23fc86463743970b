// FileSpec::Exists on Windows: GetFileAttributesW on the path as it is.
// May assume: Win32.
#include <windows.h>

#include "Vandrel/FileSpec.h"

namespace Vandrel {

bool FileSpec::Exists() const {
  if (mPath.empty()) return false;
  return GetFileAttributesW(mPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace Vandrel
