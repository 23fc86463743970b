// Win32 backend, the call table.
#include "platform/win32/backend.h"

namespace TalqOSUtils {
namespace platform {

const Calls& NativeCalls() {
  static const Calls table = [] {
    Calls t;
    win32::FillAttributeCalls(t);
    win32::FillModuleCalls(t);
    win32::FillShortcutCalls(t);
    win32::FillFileCalls(t);
    win32::FillFindCalls(t);
    win32::FillCopyCalls(t);
    return t;
  }();
  return table;
}

}  // namespace platform
}  // namespace TalqOSUtils
