// POSIX backend, the call table.
#include "platform/posix/backend.h"

namespace TalqOSUtils {
namespace platform {

const Calls& NativeCalls() {
  static const Calls table = {
      &posix::FileAttributes,
  };
  return table;
}

}  // namespace platform
}  // namespace TalqOSUtils
