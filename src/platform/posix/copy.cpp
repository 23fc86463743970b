// POSIX backend, copy: CopyFileExW emulated with what cp(1) leaves on disk.
// May assume Linux (copy_file_range, O_TMPFILE, SEEK_DATA/SEEK_HOLE, /proc),
// each with a fallback where a file system lacks it.
//
// The data goes over in steps of at most kStep bytes, through the kernel's
// copy (copy_file_range, else read/write), data regions only: a hole of the
// source stays a hole. A pipe or device is read to its end. The progress
// routine runs between steps.
//
// A new target is an unnamed file (O_TMPFILE) in the target's folder, given
// its name only when whole, with the source's mode less the umask; where the
// file system has no unnamed files, a named one that a failure removes.
// An existing target keeps its mode, owner and group:
//   - as one file, writable folder, owner or root: the copy goes to an
//     unnamed file given the target's owner, group and mode, then renamed
//     over it, so a failed or cancelled copy leaves the target as it was;
//   - with other hard links (they must see the new content), in a folder
//     that cannot be written, or owned by another user: written in place,
//     as cp does, and a failure leaves it part written.
// A symbolic link as target is followed; one that leads nowhere is refused
// (ERROR_PATH_NOT_FOUND), as cp refuses to write through it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/posix/backend.h"
#include "platform/posix/errors.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

namespace {

constexpr std::int64_t kStep = std::int64_t{4} << 20;

class Fd {
 public:
  explicit Fd(int fd = -1) : mFd(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Reset(); }
  int get() const { return mFd; }
  void Reset(int fd = -1) {
    if (mFd >= 0) ::close(mFd);
    mFd = fd;
  }

 private:
  int mFd;
};

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
  int fd = -1;
  do {
    fd = ::open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The folder of path, for O_TMPFILE and the temporary's name.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

struct Progress {
  CopyProgress fn;
  void* data;
  std::uint64_t done;
  std::uint64_t total;
  // False (and errno 0) when the routine cancels.
  bool Step(std::uint64_t moved) {
    done += moved;
    if (fn == nullptr || fn(done, total, data)) return true;
    errno = 0;
    return false;
  }
};

// Writes all n bytes of data to out, at offset `at` (or at the file's
// position when it is negative); false with errno set.
bool WriteAll(int out, const char* data, std::size_t n, std::int64_t at) {
  for (std::size_t written = 0; written < n;) {
    const std::size_t left = n - written;
    const ssize_t w = at < 0
                          ? ::write(out, data + written, left)
                          : ::pwrite(out, data + written, left, at + static_cast<off_t>(written));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (w == 0) errno = ENOSPC;
      return false;
    }
    written += static_cast<std::size_t>(w);
  }
  return true;
}

// Copies [at, end) from in to out at the same offsets; false with errno set
// (0: cancelled).
bool CopyRange(int in, int out, std::int64_t at, std::int64_t end, Progress& progress,
               bool& kernel) {
  std::vector<char> buffer;
  while (at < end) {
    const std::size_t ask = static_cast<std::size_t>(std::min(end - at, kStep));
    ssize_t n = -1;
    if (kernel) {
      loff_t from = at;
      loff_t to = at;
      n = ::copy_file_range(in, &from, out, &to, ask, 0);
      if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                    errno == EBADF || errno == ETXTBSY)) {
        kernel = false;  // not between these files: read and write instead
        continue;
      }
    } else {
      buffer.resize(ask);
      n = ::pread(in, buffer.data(), ask, at);
      if (n > 0 && !WriteAll(out, buffer.data(), static_cast<std::size_t>(n), at)) return false;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;  // the source shrank meanwhile
    at += n;
    if (!progress.Step(static_cast<std::uint64_t>(n))) return false;
  }
  return true;
}

// What a pipe or device gives, to its end.
bool CopyStream(int in, int out, Progress& progress) {
  std::vector<char> buffer(static_cast<std::size_t>(kStep));
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n == 0;
    if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(n), -1)) return false;
    if (!progress.Step(static_cast<std::uint64_t>(n))) return false;
  }
}

// The source's data into out, holes kept; out ends at the source's size.
bool CopyData(int in, int out, const struct stat& source, Progress& progress) {
  if (!S_ISREG(source.st_mode)) return CopyStream(in, out, progress);
  const std::int64_t size = source.st_size;
  bool kernel = true;
  std::int64_t at = 0;
  while (at < size) {
    std::int64_t data = ::lseek(in, at, SEEK_DATA);
    if (data < 0 && errno == ENXIO) break;  // only a hole is left
    if (data < 0) data = at;                // no hole support: all data
    std::int64_t hole = ::lseek(in, data, SEEK_HOLE);
    if (hole < 0) hole = size;
    hole = std::min(hole, size);
    if (!CopyRange(in, out, data, hole, progress, kernel)) return false;
    at = hole;
  }
  return ::ftruncate(out, size) == 0;
}

// An unnamed file in folder (-1 with errno set where the file system has
// none: EOPNOTSUPP, EISDIR, EINVAL).
int UnnamedFile(const std::string& folder, mode_t mode) {
  return OpenRetrying(folder.c_str(), O_TMPFILE | O_WRONLY, mode);
}

// Gives the unnamed file fd the name path; false with errno set (EEXIST
// when something took the name meanwhile).
bool Name(int fd, const std::string& path) {
  char self[64];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  return ::linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// A name beside path that nothing has: path.talq-PID-N.
std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(path);
  const std::string base = path.substr(path.find_last_of('/') + 1);
  return (folder == "." && path.find('/') == std::string::npos ? "" : folder + "/") + "." + base +
         ".talq-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// A new target: unnamed until whole, else a new named file removed on failure.
bool CopyToNew(int in, const struct stat& source, const std::string& target, Progress& progress) {
  const mode_t mode = source.st_mode & 07777;
  Fd out(UnnamedFile(FolderOf(target), mode));
  if (out.get() >= 0) {
    if (!CopyData(in, out.get(), source, progress)) return false;
    return Name(out.get(), target);
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
  out.Reset(OpenRetrying(target.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode));
  if (out.get() < 0) return false;
  if (CopyData(in, out.get(), source, progress)) return true;
  const int err = errno;
  ::unlink(target.c_str());
  errno = err;
  return false;
}

// An existing target replaced by rename: its owner, group and mode set on a
// whole copy first. 1 done, 0 failed (errno set, 0: cancelled), -1 when this
// way is not open here and the caller writes in place.
int ReplaceWhole(int in, const struct stat& source, const std::string& target,
                 const struct stat& old, Progress& progress) {
  const std::string folder = FolderOf(target);
  if (old.st_nlink != 1 || (::geteuid() != 0 && ::geteuid() != old.st_uid) ||
      ::access(folder.c_str(), W_OK | X_OK) != 0) {
    return -1;
  }
  Fd out(UnnamedFile(folder, 0600));
  std::string named;
  if (out.get() < 0) {
    named = TemporaryName(target);
    out.Reset(OpenRetrying(named.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));
    if (out.get() < 0) return -1;
  }
  bool ok = CopyData(in, out.get(), source, progress) &&
            (::fchown(out.get(), old.st_uid, old.st_gid) == 0 || ::geteuid() != 0) &&
            ::fchmod(out.get(), old.st_mode & 07777) == 0;
  if (ok && named.empty()) {
    named = TemporaryName(target);
    ok = Name(out.get(), named);
    if (!ok) named.clear();
  }
  ok = ok && ::rename(named.c_str(), target.c_str()) == 0;
  if (!ok && !named.empty()) {
    const int err = errno;
    ::unlink(named.c_str());
    errno = err;
  }
  return ok ? 1 : 0;
}

bool CopyFileImpl(const OsChar* source, const OsChar* target, CopyProgress progressFn, void* data) {
  const ErrnoGuard keepErrno;
  std::string from;
  std::string to;
  if (!NtToPosixPath(source, from) || !NtToPosixPath(target, to)) return false;
  if (from.empty() || to.empty()) {
    SetLastError(kErrorPathNotFound);
    return false;
  }
  Fd in(OpenRetrying(from.c_str(), O_RDONLY));
  struct stat src {};
  if (in.get() < 0 || ::fstat(in.get(), &src) != 0) {
    SetLastErrorFromErrno(errno, from);
    return false;
  }
  if (S_ISDIR(src.st_mode)) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  (void)::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  Progress progress{progressFn, data, 0, static_cast<std::uint64_t>(src.st_size)};
  struct stat old {};
  bool ok = false;
  if (::stat(to.c_str(), &old) != 0) {
    struct stat link {};
    if (errno == ENOENT && ::lstat(to.c_str(), &link) == 0) {
      SetLastError(kErrorPathNotFound);  // a link to nowhere: cp will not write through it
      return false;
    }
    ok = errno == ENOENT && CopyToNew(in.get(), src, to, progress);
  } else if (S_ISDIR(old.st_mode)) {
    SetLastError(kErrorAccessDenied);
    return false;
  } else if (old.st_dev == src.st_dev && old.st_ino == src.st_ino) {
    SetLastError(kErrorSharingViolation);  // itself: emptying the target would lose the source
    return false;
  } else {
    // Through a symbolic link: the file it names is the one replaced.
    char resolved[PATH_MAX];
    if (::realpath(to.c_str(), resolved) != nullptr) to = resolved;
    const int replaced = ReplaceWhole(in.get(), src, to, old, progress);
    ok = replaced == 1;
    if (replaced < 0) {
      Fd out(OpenRetrying(to.c_str(), O_WRONLY | O_TRUNC));
      ok = out.get() >= 0 && CopyData(in.get(), out.get(), src, progress);
    }
  }
  if (!ok) {
    if (errno == 0) {
      SetLastError(kErrorRequestAborted);
    } else {
      SetLastErrorFromErrno(errno, to);
    }
  }
  return ok;
}

}  // namespace

void FillCopyCalls(Calls& t) { t.copyFile = &CopyFileImpl; }

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
