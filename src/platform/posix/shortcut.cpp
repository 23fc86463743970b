// POSIX backend, shortcuts: the shell-link object's Load, Resolve and GetPath
// emulated by the portable .lnk reader (src/lnk/): this file reads the file,
// the reader parses its bytes and assembles the target, expanding
// environment variables from this backend's own environment read
// (EnvironmentVariable, never through the call table: no call of the table
// makes another). An environment block that names any variable but the
// system's (lnk::NamesOnlySystemVariables) is passed over: the file is
// parsed again without it, so the IDList or RELATIVE_PATH names the target,
// or nothing does; no other variable of the host is ever read into a target.
// "Resolve" succeeds when the file parses and names a file-system target; the
// target is not searched for.
// The shortcut's own UTF-8 NT path is read as UnicodeString reads it, its
// escapes (U+DC80..U+DCFF) turned back into bytes as for every other call.
// Only a regular file is read (a FIFO or device named like a shortcut is
// neither waited on nor drained): its first 76 bytes, and the rest, up to
// kMaxShortcutBytes in all, only when they are a shortcut's header.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "lnk/ShellLink.h"
#include "lnk/TargetPath.h"
#include "platform/posix/backend.h"
#include "platform/posix/errors.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

namespace {

/// The most bytes read from a shortcut file; larger files are read that far.
constexpr std::size_t kMaxShortcutBytes = std::size_t{64} * 1024;

// Appends to `out` what the descriptor gives until it holds `want` bytes or
// the file ends; false with errno set when a read fails.
bool ReadUpTo(int fd, std::vector<std::uint8_t>& out, std::size_t want) {
  std::size_t got = out.size();
  out.resize(want);
  bool ok = true;
  while (got < want) {
    const ssize_t n = ::read(fd, out.data() + got, want - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  out.resize(got);
  return ok;
}

// The regular file at posixPath when it starts with a shortcut's header;
// false with the last error set otherwise.
bool ReadShortcutFile(const std::string& posixPath, std::vector<std::uint8_t>& out) {
  const int fd = ::open(posixPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    SetLastErrorFromErrno(errno, posixPath);
    return false;
  }
  struct stat st {};
  ErrorCode error = kErrorSuccess;
  int readError = 0;
  out.clear();
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = kErrorAccessDenied;
  } else if (!ReadUpTo(fd, out, lnk::kHeaderSize)) {
    readError = errno;
  } else if (!lnk::IsShellLinkHeader(out.data(), out.size())) {
    error = kErrorInvalidFunction;  // no shortcut: nothing more is read
  } else if (!ReadUpTo(fd, out, kMaxShortcutBytes)) {
    readError = errno;
  }
  ::close(fd);
  if (readError != 0) {
    SetLastErrorFromErrno(readError, posixPath);
    return false;
  }
  if (error != kErrorSuccess) SetLastError(error);
  return error == kErrorSuccess;
}

// The reader's environment: this process's, as GetEnvironmentVariableW reads it.
lnk::Lookup SystemVariable(const lnk::Text& name, lnk::Text& value) {
  return EnvironmentVariable(name.c_str(), value) ? lnk::Lookup::kSet : lnk::Lookup::kNotSet;
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
  if (!ReadShortcutFile(posixPath, bytes)) return false;
  lnk::ShellLinkTarget parsed = lnk::ParseShellLink(bytes.data(), bytes.size());
  if (parsed.kind == lnk::ShellLinkTarget::Kind::kEnvironment &&
      !lnk::NamesOnlySystemVariables(parsed.path)) {
    parsed = lnk::ParseShellLink(bytes.data(), bytes.size(), false);
  }
  lnk::Text path;
  if (lnk::ShortcutTargetPath(ntPath, parsed, &SystemVariable, path) != lnk::Assembled::kPath) {
    SetLastError(kErrorInvalidFunction);  // no file-system target (the environment never fails)
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
