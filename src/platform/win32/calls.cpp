// Win32 backend, the call table.
#include "platform/win32/backend.h"

namespace TalqOSUtils {
namespace platform {

const Calls& NativeCalls() {
  static const Calls table = {
      &win32::FileAttributes,
  };
  return table;
}

}  // namespace platform
}  // namespace TalqOSUtils
