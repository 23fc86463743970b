#include "TalqOSUtils/Errors.h"

namespace TalqOSUtils {

namespace {
// Kept for hosts that set it; nothing consults it.
bool gFileMessageLogging = false;
}  // namespace

void FileMessageLogging(bool enable) { gFileMessageLogging = enable; }

void LogFileMessage(const char* /*message*/, ...) {}

}  // namespace TalqOSUtils
