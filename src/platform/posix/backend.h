// POSIX backend: the implementations behind the call table.
#pragma once

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

std::uint32_t FileAttributes(const OsChar* path);

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
