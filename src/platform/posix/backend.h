// POSIX backend: each concern's file sets its calls in the table by name.
#pragma once

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

void FillAttributeCalls(Calls& t);  // attributes.cpp
void FillModuleCalls(Calls& t);     // module.cpp
void FillShortcutCalls(Calls& t);   // shortcut.cpp
void FillFileCalls(Calls& t);       // files.cpp
void FillFindCalls(Calls& t);       // find.cpp

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
