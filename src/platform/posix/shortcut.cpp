// POSIX backend, shortcuts: the shell-link object's Load, Resolve and GetPath
// emulated by the .lnk reader of lnk.h. "Resolve" succeeds when the file
// parses and names a file-system target; the target is not searched for.
// The shortcut's own UTF-8 NT path is read as UnicodeString reads it, its
// escapes (U+DC80..U+DCFF) turned back into bytes as for every other call.
// At most kMaxShortcutBytes are read, and only from a regular file (a FIFO
// or device named like a shortcut is neither waited on nor drained).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/posix/backend.h"
#include "platform/posix/errors.h"
#include "platform/posix/lnk.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

namespace {

// Up to kMaxShortcutBytes of the regular file at posixPath; false with the
// last error set when it cannot be read.
bool ReadBounded(const std::string& posixPath, std::vector<std::uint8_t>& out) {
  const int fd = ::open(posixPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    SetLastErrorFromErrno(errno, posixPath);
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!ok) SetLastError(kErrorAccessDenied);
  out.assign(kMaxShortcutBytes, 0);
  std::size_t got = 0;
  while (ok && got < out.size()) {
    const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetLastErrorFromErrno(errno, posixPath);
      ok = false;
    } else if (n == 0) {
      break;
    } else {
      got += static_cast<std::size_t>(n);
    }
  }
  ::close(fd);
  out.resize(ok ? got : 0);
  return ok;
}

bool ReadShortcutImpl(const char* ntPath, OsChar* target, std::uint32_t capacity) {
  const ErrnoGuard keepErrno;
  if (ntPath == nullptr || ntPath[0] == '\0' || target == nullptr || capacity == 0) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  std::string posixPath;
  if (!NtToPosixPath(ntPath, posixPath)) return false;
  std::vector<std::uint8_t> bytes;
  if (!ReadBounded(posixPath, bytes)) return false;
  const std::basic_string<OsChar> path =
      ShortcutTargetPath(ntPath, ParseShellLink(bytes.data(), bytes.size()));
  if (path.empty()) {
    SetLastError(kErrorInvalidFunction);  // no shortcut, or no file-system target
    return false;
  }
  // A cut target would name another file: refuse rather than truncate.
  if (path.size() >= capacity) {
    SetLastError(kErrorInsufficientBuffer);
    return false;
  }
  std::copy(path.begin(), path.end(), target);
  target[path.size()] = 0;
  return true;
}

}  // namespace

void FillShortcutCalls(Calls& t) { t.readShortcut = &ReadShortcutImpl; }

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
