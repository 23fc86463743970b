#include "platform/posix/backend.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

void FillFileCalls(Calls& /*t*/) {}

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
