// Existence tests, deletion and directory creation over the platform layer.
#include <cerrno>
#include <cstring>

#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Paths.h"
#include "fs/OsPath.h"
#include "platform/Platform.h"

namespace TalqOSUtils {

namespace {

bool IsEmpty(const char* path) { return path == nullptr || path[0] == '\0'; }

std::uint32_t AttributesOf(const UnicodeString& wide) {
  return platform::Os().getFileAttributes(wide.c_str());
}

bool IsDirectory(std::uint32_t attributes) {
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kFileAttributeDirectory) != 0;
}

}  // namespace

bool OSFileExists(const char* path, bool* isDirectory) {
  UnicodeString wide;
  if (IsEmpty(path) || !fs::PrepareOsPath(path, wide)) return false;
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
  UnicodeString wide;
  const bool deleted =
      !IsEmpty(path) && fs::PrepareOsPath(path, wide) && platform::Os().deleteFile(wide.c_str());
  // The only report this function makes through errno is "nothing": neither
  // the OS call nor the text conversion may leave a code behind.
  errno = 0;
  return deleted;
}

bool OSMakeDirectory(const char* path) {
  if (IsEmpty(path) || std::strcmp(path, "/") == 0) return false;
  // The path is prepared once for the test, the creation and the retest.
  UnicodeString wide;
  if (!fs::PrepareOsPath(path, wide)) return false;
  char parent[fs::kMaxOsPath + 1];
  if (!OSDirname(path, parent, sizeof parent)) return false;

  const std::uint32_t attributes = AttributesOf(wide);
  // The recursion ends at the root and, for relative paths, at "." (whose
  // parent is "." again): those are only ever reported.
  const bool stop = std::strcmp(parent, "/") == 0 || std::strcmp(parent, path) == 0;
  if (stop || attributes != platform::kInvalidFileAttributes) return IsDirectory(attributes);
  if (!OSMakeDirectory(parent)) return false;
  if (platform::Os().createDirectory(wide.c_str())) return true;
  // Someone may have made it since the test: the promise is a directory.
  return IsDirectory(AttributesOf(wide));
}

}  // namespace TalqOSUtils
