// Generic paths handed to platform code: in place as NT text, or as a
// Vandrel::FileSpec whose existence the platform layer tells; and names as
// raw bytes (the rule is VandrelRules/NameBytes.h).
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "TalqOSUtils/Paths.h"
#include "Vandrel/FileSpec.h"
#include "Vandrel/Vandrel.h"
#include "VandrelRules/NameBytes.h"
#include "fs/OsPath.h"
#include "platform/Platform.h"

namespace TalqOSUtils {
namespace {

// GenericPathToDravoFileSpec's area: paths up to 1023 bytes.
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
  std::string nt;
  const bool prepared = fs::PrepareOsPath(path.c_str(), nt, kSpecArea) == 0;
  // The FileSpec holds the text as it reads, U+FFFD and all; the OS is asked
  // only about text that names a file, as every query asks it.
  std::vector<Vandrel::Uni16> wide(nt.size() + 1);
  Vandrel::UTF8ToUni16Char(nt.c_str(), wide.data(), wide.size());
  spec = wide.data();
  return prepared && fs::IsPathText(nt.data(), nt.size()) &&
         platform::Os().getFileAttributes(spec.Path()) != platform::kInvalidFileAttributes;
}

std::string OSNameBytesToUTF8(const std::string& bytes) {
  const std::size_t n = std::strlen(bytes.c_str());
  // Three bytes a name byte at most, and the NUL.
  std::string out(3 * n + 1, '\0');
  out.resize(fs::NameBytesToUtf8(bytes.c_str(), n, &out[0], out.size()));
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
