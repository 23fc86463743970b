// Generic paths handed to platform code: in place as NT text, or as a
// Vandrel::FileSpec.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "TalqOSUtils/Paths.h"
#include "Vandrel/FileSpec.h"
#include "Vandrel/Vandrel.h"

namespace TalqOSUtils {
namespace {

// GenericPathToDravoFileSpec's working areas, in bytes and in 16-bit units.
constexpr std::size_t kSpecArea = 1024;

}  // namespace

void GenericPathToLocalPath(char* path, std::size_t size) {
  if (path == nullptr) return;
  // Measured within the buffer only: a path without a NUL there is refused.
  const std::size_t length = ::strnlen(path, size);
  if (size <= length || length >= static_cast<std::size_t>(INT_MAX)) return;
  const std::string source(path, length);
  std::vector<char> nt(length + 1);
  if (!OSPathGenericToNT(source.c_str(), nt.data(), static_cast<int>(nt.size()))) return;
  std::memcpy(path, nt.data(), std::strlen(nt.data()) + 1);
}

bool GenericPathToDravoFileSpec(const std::string& path, Vandrel::FileSpec& spec) {
  char narrow[kSpecArea] = {};
  Vandrel::Uni16 wide[kSpecArea] = {};
  const std::size_t length = ::strnlen(path.c_str(), kSpecArea);
  if (length < kSpecArea && OSPathGenericToNT(path.c_str(), narrow, static_cast<int>(kSpecArea))) {
    Vandrel::UTF8ToUni16Char(narrow, wide, kSpecArea);
  }
  spec = wide;
  return spec.Exists();
}

}  // namespace TalqOSUtils
