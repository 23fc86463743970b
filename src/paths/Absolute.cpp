// Absolute paths: a relative path placed below a base, "." and ".." resolved
// as text.
#include <string>
#include <vector>

#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Paths.h"

namespace TalqOSUtils {
namespace {

// Appends the components of path to out, resolving "." and ".." against what
// out already holds. A ".." at the top has nothing to remove and is dropped,
// so the result never climbs above the root.
void Resolve(const std::string& path, std::vector<std::string>& out) {
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::size_t length = end - start;
    if (length == 1 && path[start] == '.') {
      // current directory: nothing to add
    } else if (length == 2 && path[start] == '.' && path[start + 1] == '.') {
      if (!out.empty()) out.pop_back();
    } else if (length > 0) {
      out.emplace_back(path, start, length);
    }
    start = end + 1;
  }
}

std::string Join(const std::vector<std::string>& components) {
  std::string joined;
  for (const std::string& c : components) {
    joined += '/';
    joined += c;
  }
  return joined;
}

bool EndsWithSlash(const std::string& s) { return !s.empty() && s.back() == '/'; }

}  // namespace

std::string OSMakePathAbsolute(const std::string& path, const std::string& base) {
  if (!path.empty() && path[0] == '/') return path;
  const std::string from = base.empty() ? OSApplicationDirectory() : base;
  // No application directory: nothing to place the path below.
  if (from.empty()) return std::string();
  std::vector<std::string> components;
  Resolve(from, components);
  Resolve(path, components);
  std::string result = Join(components);
  if (EndsWithSlash(path) && !result.empty()) result += '/';
  return result;
}

std::string OSMakePathAbsolute(const std::string& path) {
  if (path.empty()) return std::string();
  if (path[0] != '/') {
    // Any byte is a drive here, not only NT's letters, as in the generic drive form.
    if (path.size() >= 2 && path[1] == ':') return '/' + path;
    const std::string dir = OSApplicationDirectory();
    return dir.empty() ? std::string() : OSMakePathAbsolute(path, dir);
  }
  std::string result = OSMakePathAbsolute(std::string(), path);
  if (EndsWithSlash(path) && !result.empty()) result += '/';
  return result;
}

}  // namespace TalqOSUtils
