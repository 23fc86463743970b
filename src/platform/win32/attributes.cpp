// Win32 backend, attributes: may assume the wide (W) file API.
#include <windows.h>

#include "platform/win32/backend.h"

namespace TalqOSUtils {
namespace platform {
namespace win32 {

namespace {

std::uint32_t GetFileAttributesImpl(const OsChar* path) { return ::GetFileAttributesW(path); }
bool DeleteFileImpl(const OsChar* path) { return ::DeleteFileW(path) != 0; }
bool CreateDirectoryImpl(const OsChar* path) { return ::CreateDirectoryW(path, nullptr) != 0; }

}  // namespace

void FillAttributeCalls(Calls& t) {
  t.getFileAttributes = &GetFileAttributesImpl;
  t.deleteFile = &DeleteFileImpl;
  t.createDirectory = &CreateDirectoryImpl;
}

}  // namespace win32
}  // namespace platform
}  // namespace TalqOSUtils
