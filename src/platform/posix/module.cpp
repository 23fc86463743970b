// POSIX backend, module: GetModuleFileNameW for the executable, from the
// kernel's link to it (/proc/self/exe, Linux). Like Windows, a path that
// does not fit is cut to capacity - 1 units, NUL-terminated, the result is
// the capacity and the last error ERROR_INSUFFICIENT_BUFFER.
#include <unistd.h>

#include <vector>

#include "Vandrel/Vandrel.h"
#include "platform/posix/backend.h"
#include "platform/posix/errors.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

namespace {

std::uint32_t GetModuleFileNameImpl(OsChar* buffer, std::uint32_t capacity) {
  const ErrnoGuard keepErrno;
  std::vector<char> path(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) {
      SetLastErrorFromErrno(errno, std::string());
      return 0;
    }
    if (static_cast<std::size_t>(n) < path.size()) {
      path[static_cast<std::size_t>(n)] = '\0';
      break;
    }
    path.resize(path.size() * 2);
  }
  if (buffer == nullptr || capacity == 0) {
    SetLastError(kErrorInsufficientBuffer);
    return 0;
  }
  // Decode in full, then cut by units as Windows does.
  std::vector<OsChar> wide(std::char_traits<char>::length(path.data()) + 1);
  Vandrel::UTF8ToUni16Char(path.data(), wide.data(), wide.size());
  const std::size_t units = Vandrel::Uni16CharGetLength(wide.data());
  if (units < capacity) {
    std::copy(wide.begin(), wide.begin() + static_cast<std::ptrdiff_t>(units) + 1, buffer);
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
