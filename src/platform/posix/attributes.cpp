// POSIX backend, attributes: emulates GetFileAttributesW with stat(2). A
// directory reports FILE_ATTRIBUTE_DIRECTORY, a file without write
// permission for its owner FILE_ATTRIBUTE_READONLY, any other file
// FILE_ATTRIBUTE_NORMAL.
#include <sys/stat.h>

#include <cerrno>

#include "platform/posix/backend.h"
#include "platform/posix/errors.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

std::uint32_t FileAttributes(const OsChar* path) {
  const std::string posixPath = NtToPosixPath(path);
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

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
