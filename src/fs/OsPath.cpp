// Paths between the library and the OS (OsPath.h).
#include "fs/OsPath.h"

#include <cstring>
#include <string>
#include <vector>

#include "TalqOSUtils/Paths.h"
#include "Vandrel/Vandrel.h"

namespace TalqOSUtils {
namespace fs {

bool PrepareOsPath(const char* generic, UnicodeString& wide) {
  if (generic == nullptr) return false;
  constexpr std::size_t kArea = kMaxOsPath + 1;
  if (::strnlen(generic, kArea) >= kArea) return false;
  char nt[kArea];
  if (!OSPathGenericToNT(generic, nt, static_cast<int>(kArea))) return false;
  wide = UnicodeString(std::string(nt));
  return true;
}

std::string OsPathToUtf8(const UniChar* units) {
  const std::size_t n = Vandrel::Uni16CharGetLength(units);
  std::vector<char> utf8(3 * n + 1, '\0');
  Vandrel::Uni16CharToUTF8(units, utf8.data(), utf8.size());
  return std::string(utf8.data());
}

}  // namespace fs
}  // namespace TalqOSUtils
