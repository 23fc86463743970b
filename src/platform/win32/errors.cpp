// Win32 backend, errors: the OS already speaks Win32 numbering.
#include <windows.h>

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {

ErrorCode LastError() { return ::GetLastError(); }
void SetLastError(ErrorCode code) { ::SetLastError(code); }

}  // namespace platform
}  // namespace TalqOSUtils
