// POSIX backend, the call table.
#include "platform/posix/backend.h"

namespace TalqOSUtils {
namespace platform {

const Calls& NativeCalls() {
  static const Calls table = [] {
    Calls t;
    posix::FillAttributeCalls(t);
    posix::FillModuleCalls(t);
    posix::FillShortcutCalls(t);
    posix::FillFileCalls(t);
    posix::FillFindCalls(t);
    posix::FillCopyCalls(t);
    return t;
  }();
  return table;
}

}  // namespace platform
}  // namespace TalqOSUtils
