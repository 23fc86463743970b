// The application's directory and the shared resources directory setting.
#include <mutex>
#include <string>
#include <vector>

#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Paths.h"
#include "fs/OsPath.h"
#include "platform/Platform.h"

namespace TalqOSUtils {
namespace {

// GetModuleFileNameW's buffer, in 16-bit units.
constexpr std::uint32_t kModuleBuffer = 2561;

// The setting lives in a function so it needs no start-up code; the lock makes
// a host that sets it while another thread reads it merely racy, not
// undefined.
std::string& SharedSetting() {
  static std::string setting;
  return setting;
}
std::mutex& SharedSettingLock() {
  static std::mutex lock;
  return lock;
}

// The executable's path as UTF-8, or "" when the OS fails or had to cut it:
// a cut path names some other directory.
std::string ExecutablePath() {
  std::vector<platform::OsChar> buffer(kModuleBuffer, 0);
  const std::uint32_t n = platform::Os().getModuleFileName(buffer.data(), kModuleBuffer);
  if (n == 0 || n >= kModuleBuffer) return std::string();
  buffer[n] = 0;
  return fs::OsPathToUtf8(buffer.data());
}

}  // namespace

std::string OSApplicationDirectory() {
  // Without the executable's path there is no directory to answer with: ""
  // makes lookups fail rather than search the root.
  const std::string executable = ExecutablePath();
  if (executable.empty()) return std::string();
  std::string dir = OSPathGeneric(executable);
  const std::size_t slash = dir.rfind('/');
  if (slash != std::string::npos) dir.erase(slash + 1);
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

std::string OSApplicationBinaryDirectory() { return OSApplicationDirectory(); }

std::string OSApplicationResourcesDirectory() { return OSApplicationDirectory(); }

std::string OSSharedResourcesDirectory() {
  {
    const std::lock_guard<std::mutex> hold(SharedSettingLock());
    if (!SharedSetting().empty()) return SharedSetting();
  }
  return OSApplicationDirectory();
}

void OSSetSharedResourceDirectory(const std::string& dir) {
  const std::lock_guard<std::mutex> hold(SharedSettingLock());
  SharedSetting() = dir;
}

}  // namespace TalqOSUtils
