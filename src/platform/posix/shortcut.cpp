#include "platform/posix/backend.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

void FillShortcutCalls(Calls& /*t*/) {}

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
