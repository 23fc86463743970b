// Win32 backend, attributes: may assume the wide (W) file API.
#include <windows.h>

#include "platform/win32/backend.h"

namespace TalqOSUtils {
namespace platform {
namespace win32 {

std::uint32_t FileAttributes(const OsChar* path) { return ::GetFileAttributesW(path); }

}  // namespace win32
}  // namespace platform
}  // namespace TalqOSUtils
