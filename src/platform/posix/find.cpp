// POSIX backend, directory search: FindFirstFileW, FindNextFileW and
// FindClose emulated with opendir(3), readdir(3) and one fstatat(2) per entry.
//
// The only pattern is a directory, a separator and "*" (C:\docs\\* lists
// /docs); the directory part is taken literally, so '*' and '?' there are
// name characters. Any other pattern fails with ERROR_NOT_SUPPORTED. The
// find handle is the address of a heap record holding the DIR.
//
// Entries come in readdir's order, "." and ".." included, each name as the
// bytes readdir gives (the record's nameBytes, read by the caller as
// VandrelRules/NameBytes.h says). A symbolic link is listed as what it
// points to (kind, size, time), as GetFileAttributesW's emulation reads it,
// with the reparse-point attribute that Windows gives its links; a broken
// link, or one in a loop, as a file with the link's own size and time,
// marked the same way. The entry's type saves a second look: only where the
// file system gives none is the entry lstat()ed to tell a link.
//
// Failures are reported, never listed as empty or zero-filled entries: a
// directory that cannot be opened fails FindFirstFileW (ERROR_ACCESS_DENIED
// for one without read permission). An entry gone between readdir and
// fstatat is skipped silently; one that cannot be examined for another
// reason (a directory readable but not searchable) is skipped, and the first
// such failure is what the search ends with instead of ERROR_NO_MORE_FILES
// (FindFirstFileW's failure, when no entry could be examined at all).
#include "platform/posix/find.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <new>
#include <string>

#include "platform/posix/backend.h"
#include "platform/posix/errors.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

namespace {

struct Search {
  DIR* dir;
  int fd;
  /// Why the first entry that could not be examined was skipped; 0 for none.
  ErrorCode skipped;
};

Search* FromHandle(FindHandle handle) {
  if (handle == kInvalidHandle || handle == 0) return nullptr;
  // The handle is the record's address.
  return reinterpret_cast<Search*>(handle);  // NOLINT(performance-no-int-to-ptr)
}

void Fill(const char* name, const struct stat& st, bool link, FindData* data) {
  const bool directory = S_ISDIR(st.st_mode);
  if (directory) {
    data->attributes = kFileAttributeDirectory;
  } else {
    data->attributes = (st.st_mode & S_IWUSR) != 0 ? kFileAttributeNormal : kFileAttributeReadonly;
  }
  if (link) data->attributes |= kFileAttributeReparsePoint;
  // Windows lists directories with size 0.
  const std::uint64_t size =
      directory || st.st_size < 0 ? 0 : static_cast<std::uint64_t>(st.st_size);
  data->sizeHigh = static_cast<std::uint32_t>(size >> 32);
  data->sizeLow = static_cast<std::uint32_t>(size);
  data->lastWriteTime = FileTimeFromTimespec(st.st_mtim);
  data->nameBytes = name;
  data->nameLength = std::strlen(name);
}

// The next entry into data; false with the last error set at the end
// (ERROR_NO_MORE_FILES, or why an entry was skipped) or on a read error.
// errno is the caller's to keep.
bool ReadEntry(Search* search, FindData* data) {
  for (;;) {
    errno = 0;
    const struct dirent* entry = ::readdir(search->dir);
    if (entry == nullptr) {
      const ErrorCode end = search->skipped != 0 ? search->skipped : kErrorNoMoreFiles;
      SetLastError(errno == 0 ? end : TranslateErrno(errno));
      return false;
    }
    struct stat st;  // filled by the fstatat that succeeds
    bool link = entry->d_type == DT_LNK;
    if (::fstatat(search->fd, entry->d_name, &st, 0) != 0) {
      if (::fstatat(search->fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        // ENOENT: removed since readdir listed it.
        if (errno != ENOENT && search->skipped == 0) search->skipped = TranslateErrno(errno);
        continue;
      }
      link = S_ISLNK(st.st_mode);
    } else if (entry->d_type == DT_UNKNOWN) {
      // File systems that give no type in the entry: one more look.
      struct stat own {};
      link = ::fstatat(search->fd, entry->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 &&
             S_ISLNK(own.st_mode);
    }
    Fill(entry->d_name, st, link, data);
    return true;
  }
}

FindHandle FindFirstFileImpl(const OsChar* pattern, FindData* data) {
  const ErrnoGuard keepErrno;
  if (pattern == nullptr || data == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return kInvalidHandle;
  }
  std::string directory;
  if (!NtToPosixPath(pattern, directory)) return kInvalidHandle;
  const std::size_t n = directory.size();
  if (n == 0 || directory[n - 1] != '*' || (n > 1 && directory[n - 2] != '/')) {
    SetLastError(kErrorNotSupported);
    return kInvalidHandle;
  }
  directory.pop_back();
  if (directory.empty()) directory = ".";

  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) {
    const int err = errno;
    // The directory itself is what is missing: Windows says "path not found".
    if (err == ENOENT) {
      SetLastError(kErrorPathNotFound);
    } else {
      SetLastErrorFromErrno(err, directory);
    }
    return kInvalidHandle;
  }
  Search* search = nullptr;
  try {
    search = new Search{dir, ::dirfd(dir), kErrorSuccess};
  } catch (const std::bad_alloc&) {
    ::closedir(dir);
    SetLastError(kErrorNotEnoughMemory);
    return kInvalidHandle;
  }
  if (!ReadEntry(search, data)) {
    // Nothing matched, as FindFirstFileW reports an empty result, unless
    // entries were there but could not be examined.
    const ErrorCode code = LastError() == kErrorNoMoreFiles ? kErrorFileNotFound : LastError();
    ::closedir(dir);
    delete search;
    SetLastError(code);
    return kInvalidHandle;
  }
  return reinterpret_cast<FindHandle>(search);
}

bool FindNextFileImpl(FindHandle handle, FindData* data) {
  const ErrnoGuard keepErrno;
  Search* search = FromHandle(handle);
  if (search == nullptr || data == nullptr) {
    SetLastError(search == nullptr ? kErrorInvalidHandle : kErrorInvalidParameter);
    return false;
  }
  return ReadEntry(search, data);
}

bool FindCloseImpl(FindHandle handle) {
  const ErrnoGuard keepErrno;
  Search* search = FromHandle(handle);
  if (search == nullptr) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  const bool closed = ::closedir(search->dir) == 0;
  const int err = errno;
  delete search;
  if (!closed) SetLastError(TranslateErrno(err));
  return closed;
}

}  // namespace

std::uint64_t FileTimeFromTimespec(const struct timespec& t) {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  constexpr std::uint64_t kTicksPerSecond = 10000000;
  constexpr std::uint64_t kMax = ~std::uint64_t{0};
  const std::int64_t seconds = static_cast<std::int64_t>(t.tv_sec);
  if (seconds < -kSecondsFrom1601To1970) return 0;
  const std::uint64_t since1601 =
      static_cast<std::uint64_t>(seconds) + static_cast<std::uint64_t>(kSecondsFrom1601To1970);
  const std::uint64_t sub = t.tv_nsec > 0 ? static_cast<std::uint64_t>(t.tv_nsec) / 100 : 0;
  if (since1601 > (kMax - sub) / kTicksPerSecond) return kMax;
  return since1601 * kTicksPerSecond + sub;
}

void FillFindCalls(Calls& t) {
  t.findFirstFile = &FindFirstFileImpl;
  t.findNextFile = &FindNextFileImpl;
  t.findClose = &FindCloseImpl;
}

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
