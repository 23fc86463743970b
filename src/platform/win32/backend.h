// Win32 backend: the implementations behind the call table.
#pragma once

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {
namespace win32 {

std::uint32_t FileAttributes(const OsChar* path);

}  // namespace win32
}  // namespace platform
}  // namespace TalqOSUtils
