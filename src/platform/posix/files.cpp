// POSIX backend, files: CreateFileW, ReadFile, WriteFile, SetFilePointer,
// GetFileSize and CloseHandle emulated with open(2), read(2), write(2),
// lseek(2), fstat(2) and close(2); a handle is a file descriptor. May assume
// a 64-bit off_t. Share modes are not enforced (POSIX has no mandatory
// locks); the resource fork "file:AFP_Resource" is the plain file of that
// name beside the file, as under Wine, and no other colon names a stream.
// Writing a fork creates its file too, empty, when that is missing, as NTFS
// does; a fork that then cannot be opened takes only the file this call made
// away again. A directory opened as a file is refused with
// ERROR_ACCESS_DENIED, as Windows does.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "platform/posix/backend.h"
#include "platform/posix/errors.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

namespace {

static_assert(sizeof(off_t) >= 8, "files beyond 4 GiB need a 64-bit off_t");

// read(2) and write(2) move at most about 2 GiB at a time; larger counts go
// in pieces so that one call moves all that Windows would.
constexpr std::size_t kPiece = std::size_t{1} << 30;

int OpenFlags(std::uint32_t access, std::uint32_t disposition, bool* ok) {
  *ok = true;
  int flags = O_CLOEXEC;
  const bool reads = (access & kGenericRead) != 0;
  const bool writes = (access & kGenericWrite) != 0;
  flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
  switch (disposition) {
    case kCreateNew:
      return flags | O_CREAT | O_EXCL;
    case kCreateAlways:
      return flags | O_CREAT | O_TRUNC;
    case kOpenExisting:
      return flags;
    case kOpenAlways:
      return flags | O_CREAT;
    case kTruncateExisting:
      *ok = writes;  // Windows truncates only through a handle that may write
      return flags | O_TRUNC;
    default:
      *ok = false;
      return flags;
  }
}

// Makes `owner` an empty file unless something of that name exists; false
// with the last error set when it can be neither found nor made. *made tells
// whether this call made it.
bool EnsureOwner(const std::string& owner, bool* made) {
  *made = false;
  int fd = -1;
  do {
    fd = ::open(owner.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    ::close(fd);
    *made = true;
    return true;
  }
  if (errno == EEXIST) return true;
  SetLastErrorFromErrno(errno, owner);
  return false;
}

FileHandle CreateFileImpl(const OsChar* path, std::uint32_t access, std::uint32_t /*share*/,
                          std::uint32_t disposition, std::uint32_t flags) {
  const ErrnoGuard keepErrno;
  bool valid = false;
  const int openFlags = OpenFlags(access, disposition, &valid);
  if (!valid) {
    SetLastError(kErrorInvalidParameter);
    return kInvalidHandle;
  }
  std::string posixPath;
  if (!NtToPosixPath(path, posixPath)) return kInvalidHandle;
  if (posixPath.empty()) {
    SetLastError(kErrorPathNotFound);
    return kInvalidHandle;
  }
  // Writing a fork, new or not (an orphan left beside no file), makes its file.
  const bool writes = (openFlags & (O_CREAT | O_WRONLY | O_RDWR)) != 0;
  const std::string owner = writes ? ForkOwner(posixPath) : std::string();
  bool madeOwner = false;
  if (!owner.empty() && !EnsureOwner(owner, &madeOwner)) return kInvalidHandle;
  int fd = -1;
  do {
    fd = ::open(posixPath.c_str(), openFlags, 0666);
  } while (fd < 0 && errno == EINTR);
  struct stat st {};
  if (fd < 0) {
    SetLastErrorFromErrno(errno, posixPath);
  } else if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    fd = -1;
    SetLastError(kErrorAccessDenied);
  }
  if (fd < 0) {
    if (madeOwner) ::unlink(owner.c_str());
    return kInvalidHandle;
  }
  if ((flags & kFileFlagSequentialScan) != 0) {
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);  // a hint; failure is harmless
  }
  return static_cast<FileHandle>(fd);
}

bool ReadFileImpl(FileHandle file, void* buffer, std::uint32_t count, std::uint32_t* got) {
  const ErrnoGuard keepErrno;
  std::uint32_t local = 0;
  std::uint32_t& done = got != nullptr ? *got : local;
  done = 0;
  auto* at = static_cast<char*>(buffer);
  while (done < count) {
    const std::size_t ask = std::min<std::size_t>(count - done, kPiece);
    const ssize_t n = ::read(static_cast<int>(file), at + done, ask);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastErrorFromErrno(errno, std::string());
      return false;
    }
    done += static_cast<std::uint32_t>(n);
    // Fewer than asked: the end of the file (or all a pipe had).
    if (static_cast<std::size_t>(n) < ask) break;
  }
  return true;
}

bool WriteFileImpl(FileHandle file, const void* buffer, std::uint32_t count,
                   std::uint32_t* written) {
  const ErrnoGuard keepErrno;
  std::uint32_t local = 0;
  std::uint32_t& done = written != nullptr ? *written : local;
  done = 0;
  const auto* at = static_cast<const char*>(buffer);
  while (done < count) {
    const std::size_t ask = std::min<std::size_t>(count - done, kPiece);
    const ssize_t n = ::write(static_cast<int>(file), at + done, ask);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastErrorFromErrno(errno, std::string());
      return false;
    }
    if (n == 0) {
      // No progress and no reason given: the disk is full, as Windows says.
      SetLastError(kErrorDiskFull);
      return false;
    }
    done += static_cast<std::uint32_t>(n);
  }
  return true;
}

std::uint32_t SetFilePointerImpl(FileHandle file, std::int32_t low, std::int32_t* high,
                                 std::uint32_t method) {
  const ErrnoGuard keepErrno;
  const int fd = static_cast<int>(file);
  // With a high word the distance is 64 bits; without, low is signed.
  const std::int64_t distance =
      high != nullptr ? static_cast<std::int64_t>(
                            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*high)) << 32) |
                            static_cast<std::uint32_t>(low))
                      : static_cast<std::int64_t>(low);
  std::int64_t base = 0;
  if (method == kFileCurrent) {
    base = ::lseek(fd, 0, SEEK_CUR);
  } else if (method == kFileEnd) {
    struct stat st {};
    base = ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
  } else if (method != kFileBegin) {
    SetLastError(kErrorInvalidParameter);
    return kInvalidSetFilePointer;
  }
  if (base < 0) {
    SetLastErrorFromErrno(errno, std::string());
    return kInvalidSetFilePointer;
  }
  std::int64_t target = 0;
  if (__builtin_add_overflow(base, distance, &target)) {
    SetLastError(kErrorInvalidParameter);
    return kInvalidSetFilePointer;
  }
  // Windows refuses a negative position and leaves the pointer where it was.
  if (target < 0) {
    SetLastError(kErrorNegativeSeek);
    return kInvalidSetFilePointer;
  }
  // Without a high word the result must fit in 32 bits.
  if (high == nullptr && target > 0xFFFFFFFFLL) {
    SetLastError(kErrorInvalidParameter);
    return kInvalidSetFilePointer;
  }
  const off_t moved = ::lseek(fd, static_cast<off_t>(target), SEEK_SET);
  if (moved < 0) {
    SetLastErrorFromErrno(errno, std::string());
    return kInvalidSetFilePointer;
  }
  const auto position = static_cast<std::uint64_t>(moved);
  if (high != nullptr) *high = static_cast<std::int32_t>(position >> 32);
  return static_cast<std::uint32_t>(position);
}

std::uint32_t GetFileSizeImpl(FileHandle file, std::uint32_t* high) {
  const ErrnoGuard keepErrno;
  struct stat st {};
  if (::fstat(static_cast<int>(file), &st) != 0) {
    SetLastErrorFromErrno(errno, std::string());
    return kInvalidFileSize;
  }
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (high != nullptr) *high = static_cast<std::uint32_t>(size >> 32);
  return static_cast<std::uint32_t>(size);
}

bool CloseHandleImpl(FileHandle file) {
  const ErrnoGuard keepErrno;
  // Not retried on EINTR: Linux has released the descriptor either way.
  if (::close(static_cast<int>(file)) != 0 && errno != EINTR) {
    SetLastErrorFromErrno(errno, std::string());
    return false;
  }
  return true;
}

}  // namespace

void FillFileCalls(Calls& t) {
  t.createFile = &CreateFileImpl;
  t.readFile = &ReadFileImpl;
  t.writeFile = &WriteFileImpl;
  t.setFilePointer = &SetFilePointerImpl;
  t.getFileSize = &GetFileSizeImpl;
  t.closeHandle = &CloseHandleImpl;
}

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
