// Existence tests, deletion and directory creation over the platform layer.
#include <cerrno>
#include <cstring>

#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Paths.h"
#include "fs/OsPath.h"
#include "platform/Platform.h"

namespace TalqOSUtils {

namespace {

std::uint32_t AttributesOf(const UnicodeString& wide) {
  return platform::Os().getFileAttributes(wide.c_str());
}

bool IsDirectory(std::uint32_t attributes) {
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kFileAttributeDirectory) != 0;
}

}  // namespace

namespace fs {

platform::ErrorCode DeleteFile(const char* path) {
  UnicodeString wide;
  const platform::ErrorCode refused = ToOsPath(path, wide);
  if (refused != 0) return refused;
  return platform::Os().deleteFile(wide.c_str()) ? platform::kErrorSuccess
                                                 : platform::FailureCode();
}

platform::ErrorCode MakeDirectory(const char* path) {
  if (path != nullptr && std::strcmp(path, "/") == 0) return platform::kErrorInvalidParameter;
  // The path is prepared once for the test, the creation and the retest.
  UnicodeString wide;
  const platform::ErrorCode refused = ToOsPath(path, wide);
  if (refused != 0) return refused;
  char parent[kPathArea];
  if (!OSDirname(path, parent, sizeof parent)) return platform::kErrorFilenameExcedRange;

  const std::uint32_t attributes = AttributesOf(wide);
  if (attributes != platform::kInvalidFileAttributes) {
    return IsDirectory(attributes) ? platform::kErrorSuccess : platform::kErrorAlreadyExists;
  }
  // The recursion ends at the root and, for relative paths, at "." (whose
  // parent is "." again): those are only ever reported.
  if (std::strcmp(parent, "/") == 0 || std::strcmp(parent, path) == 0) {
    return platform::kErrorPathNotFound;
  }
  const platform::ErrorCode parentCode = MakeDirectory(parent);
  if (parentCode != 0) return parentCode;
  if (platform::Os().createDirectory(wide.c_str())) return platform::kErrorSuccess;
  const platform::ErrorCode code = platform::FailureCode();
  // Someone may have made it since the test: the promise is a directory.
  return IsDirectory(AttributesOf(wide)) ? platform::kErrorSuccess : code;
}

}  // namespace fs

bool OSFileExists(const char* path, bool* isDirectory) {
  UnicodeString wide;
  if (fs::ToOsPath(path, wide) != 0) return false;
  const std::uint32_t attributes = AttributesOf(wide);
  if (isDirectory != nullptr) *isDirectory = IsDirectory(attributes);
  return attributes != platform::kInvalidFileAttributes;
}

bool OSFileExists(const char* path) {
  bool isDirectory = false;
  return OSFileExists(path, &isDirectory) && !isDirectory;
}

bool OSDirectoryExists(const char* path) {
  bool isDirectory = false;
  return OSFileExists(path, &isDirectory) && isDirectory;
}

bool OSDeleteFile(const char* path) {
  errno = 0;
  const bool deleted = fs::DeleteFile(path) == platform::kErrorSuccess;
  // The only report this function makes through errno is "nothing": neither
  // the OS call nor the text conversion may leave a code behind.
  errno = 0;
  return deleted;
}

bool OSMakeDirectory(const char* path) {
  return fs::MakeDirectory(path) == platform::kErrorSuccess;
}

}  // namespace TalqOSUtils
