// POSIX backend, attributes: GetFileAttributesW, DeleteFileW and
// CreateDirectoryW emulated with stat(2), unlink(2) and mkdir(2). A directory
// reports FILE_ATTRIBUTE_DIRECTORY, a file without write permission for its
// owner FILE_ATTRIBUTE_READONLY, any other entry FILE_ATTRIBUTE_NORMAL. A
// deleted file takes its resource fork ("file:AFP_Resource") with it when
// that is a regular file; nothing else of that name is touched.
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/backend.h"
#include "platform/posix/errors.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

namespace {

std::uint32_t GetFileAttributesImpl(const OsChar* path) {
  const ErrnoGuard keepErrno;
  std::string posixPath;
  if (!NtToPosixPath(path, posixPath)) return kInvalidFileAttributes;
  if (posixPath.empty()) {
    SetLastError(kErrorPathNotFound);
    return kInvalidFileAttributes;
  }
  struct stat st {};
  if (::stat(posixPath.c_str(), &st) != 0) {
    SetLastErrorFromErrno(errno, posixPath);
    return kInvalidFileAttributes;
  }
  if (S_ISDIR(st.st_mode)) return kFileAttributeDirectory;
  return (st.st_mode & S_IWUSR) != 0 ? kFileAttributeNormal : kFileAttributeReadonly;
}

bool DeleteFileImpl(const OsChar* path) {
  const ErrnoGuard keepErrno;
  std::string posixPath;
  if (!NtToPosixPath(path, posixPath)) return false;
  if (posixPath.empty()) {
    SetLastError(kErrorPathNotFound);
    return false;
  }
  if (::unlink(posixPath.c_str()) != 0) {
    SetLastErrorFromErrno(errno, posixPath);
    return false;
  }
  // The file's resource fork goes with it, as its stream does on NTFS; a
  // fork has none of its own.
  const std::string fork = posixPath + kForkSuffix;
  struct stat st {};
  if (ForkOwner(posixPath).empty() && ::lstat(fork.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    (void)::unlink(fork.c_str());
  }
  return true;
}

bool CreateDirectoryImpl(const OsChar* path) {
  const ErrnoGuard keepErrno;
  std::string posixPath;
  if (!NtToPosixPath(path, posixPath)) return false;
  if (posixPath.empty()) {
    SetLastError(kErrorPathNotFound);
    return false;
  }
  if (::mkdir(posixPath.c_str(), 0777) != 0) {
    const int err = errno;
    if (err == EEXIST) {
      SetLastError(kErrorAlreadyExists);  // CreateDirectoryW's own code
    } else {
      SetLastErrorFromErrno(err, posixPath);
    }
    return false;
  }
  return true;
}

}  // namespace

void FillAttributeCalls(Calls& t) {
  t.getFileAttributes = &GetFileAttributesImpl;
  t.deleteFile = &DeleteFileImpl;
  t.createDirectory = &CreateDirectoryImpl;
}

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
