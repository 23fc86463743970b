#include "platform/win32/backend.h"

namespace TalqOSUtils {
namespace platform {
namespace win32 {

void FillFileCalls(Calls& /*t*/) {}

}  // namespace win32
}  // namespace platform
}  // namespace TalqOSUtils
