// POSIX backend: each concern's file sets its calls in the table by name,
// and takes the NT paths it is given through ntpath.h.
#pragma once

#include <string>

#include "platform/Platform.h"
#include "platform/posix/ntpath.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

void FillAttributeCalls(Calls& t);  // attributes.cpp
void FillModuleCalls(Calls& t);     // module.cpp
void FillShortcutCalls(Calls& t);   // shortcut.cpp
void FillFileCalls(Calls& t);       // files.cpp
void FillFindCalls(Calls& t);       // find.cpp
void FillCopyCalls(Calls& t);       // copy.cpp

/// The value of the environment variable `name` as GetEnvironmentVariableW
/// finds it (module.cpp), for backend code that reads the environment
/// directly; false when it is not set. Sets no last error.
bool EnvironmentVariable(const OsChar* name, std::basic_string<OsChar>& value);

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
