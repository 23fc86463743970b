// Generic paths handed to platform code: in place as NT text, or as a
// Vandrel::FileSpec; and names as raw bytes (the rule is VandrelRules/NameBytes.h).
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "TalqOSUtils/Paths.h"
#include "Vandrel/FileSpec.h"
#include "Vandrel/Vandrel.h"
#include "VandrelRules/NameBytes.h"

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

std::string OSNameBytesToUTF8(const std::string& bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.c_str());
  const std::size_t n = std::strlen(bytes.c_str());
  std::string out;
  out.reserve(n);
  for (std::size_t i = 0; i < n;) {
    const std::size_t length = Vandrel::names::Utf8CharLength(s + i, n - i);
    if (length == 0) {
      Vandrel::names::AppendUtf8(Vandrel::names::kEscapeBase + s[i++], out);
    } else {
      out.append(bytes, i, length);
      i += length;
    }
  }
  return out;
}

std::string OSUTF8ToNameBytes(const std::string& utf8) {
  // Read as every UTF-8 name is: one unit a byte at most, and the NUL.
  std::vector<Vandrel::Uni16> units(std::strlen(utf8.c_str()) + 1);
  Vandrel::UTF8ToUni16Char(utf8.c_str(), units.data(), units.size());
  std::string out;
  if (!Vandrel::names::AppendNameBytes(units.data(), Vandrel::Uni16CharGetLength(units.data()),
                                       out)) {
    return std::string();
  }
  return out;
}

}  // namespace TalqOSUtils
