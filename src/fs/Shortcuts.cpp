// Shortcut resolution and resource lookup over the platform's shortcut reader.
// A target that no Windows path can be (a control character, or one of
// < > " | ? *) is taken for no shortcut on every backend, so that a crafted
// .lnk file cannot put line breaks or control bytes into a host's output.
#include "fs/Shortcuts.h"

#include <string>

#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Paths.h"
#include "common/PathRules.h"
#include "fs/OsPath.h"
#include "platform/Platform.h"

namespace TalqOSUtils {
namespace {

// The shell link's path buffers, in 16-bit units.
constexpr std::uint32_t kLinkBuffer = kMaxPath;

// True when the NUL-terminated units hold a character Windows paths forbid.
bool HasForbiddenCharacter(const platform::OsChar* units) {
  for (; *units != 0; ++units) {
    const platform::OsChar c = *units;
    if (c < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') {
      return true;
    }
  }
  return false;
}

bool Exists(const std::string& path) {
  bool isDirectory = false;
  return OSFileExists(path.c_str(), &isDirectory);
}

}  // namespace

std::string ReadShellLinkTarget(const std::string& ntPath) {
  // Text that is not UTF-8 names no shortcut (nor its namesake with U+FFFD).
  if (!fs::IsPathText(ntPath.data(), ntPath.size())) return std::string();
  platform::OsChar target[kLinkBuffer] = {};
  if (!platform::Os().readShortcut(ntPath.c_str(), target, kLinkBuffer)) return std::string();
  target[kLinkBuffer - 1] = 0;  // whatever the backend left, the text ends here
  if (HasForbiddenCharacter(target)) return std::string();
  return fs::OsPathToUtf8(target);
}

bool ResolveLinkFile(const std::string& path, std::string& target) {
  const std::string nt = OSPathLocal(OSMakePathAbsolute(path));
  const std::string found = ReadShellLinkTarget(nt);
  if (found.empty()) return false;
  target = OSPathGeneric(found);
  return true;
}

std::string ResolveAliasOrLink(const std::string& path) {
  std::string target;
  if (ResolveLinkFile(path, target) && !target.empty()) return target;
  if (Exists(path)) return path;
  const std::string link = path + ".lnk";
  if (Exists(link) && ResolveLinkFile(link, target) && !target.empty()) return target;
  return path;
}

std::string OSFindResourcePath(const std::string& name) {
  // A directory that cannot be had ("") is not searched: the name alone
  // would be looked up in the current directory.
  for (const std::string& dir : {OSApplicationDirectory(), OSSharedResourcesDirectory()}) {
    if (dir.empty()) continue;
    std::string found = ResolveAliasOrLink(OSAddNameToPath(dir, name));
    if (Exists(found)) return found;
  }
  return std::string();
}

}  // namespace TalqOSUtils
