#include "TalqOSUtils/Version.h"

namespace TalqOSUtils {

const char* LibraryVersion() { return TALQOSUTILS_VERSION_STRING; }

}  // namespace TalqOSUtils
