// POSIX backend, module: GetModuleFileNameW for the executable, from the
// kernel's link to it (/proc/self/exe, Linux), its bytes as UTF-16 by
// VandrelRules/NameBytes.h. Like Windows, a path that does not fit is cut to
// capacity - 1 units, NUL-terminated, the result is the capacity and the
// last error ERROR_INSUFFICIENT_BUFFER.
#include <unistd.h>

#include <string>
#include <vector>

#include "VandrelRules/NameBytes.h"
#include "platform/posix/backend.h"
#include "platform/posix/errors.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

namespace {

std::uint32_t GetModuleFileNameImpl(OsChar* buffer, std::uint32_t capacity) {
  const ErrnoGuard keepErrno;
  std::vector<char> path(4096);
  std::size_t length = 0;
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) {
      SetLastErrorFromErrno(errno, std::string());
      return 0;
    }
    if (static_cast<std::size_t>(n) < path.size()) {
      length = static_cast<std::size_t>(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  if (buffer == nullptr || capacity == 0) {
    SetLastError(kErrorInsufficientBuffer);
    return 0;
  }
  // Decode in full, then cut by units as Windows does.
  std::basic_string<OsChar> wide;
  Vandrel::names::AppendNameUnits(path.data(), length, wide);
  const std::size_t units = wide.size();
  if (units < capacity) {
    std::copy(wide.begin(), wide.end(), buffer);
    buffer[units] = 0;
    return static_cast<std::uint32_t>(units);
  }
  std::copy(wide.begin(), wide.begin() + capacity - 1, buffer);
  buffer[capacity - 1] = 0;
  SetLastError(kErrorInsufficientBuffer);
  return capacity;
}

}  // namespace

void FillModuleCalls(Calls& t) { t.getModuleFileName = &GetModuleFileNameImpl; }

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
