// Win32 backend: each concern's file sets its calls in the table by name.
#pragma once

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {
namespace win32 {

void FillAttributeCalls(Calls& t);  // attributes.cpp
void FillModuleCalls(Calls& t);     // module.cpp
void FillShortcutCalls(Calls& t);   // shortcut.cpp
void FillFileCalls(Calls& t);       // files.cpp
void FillFindCalls(Calls& t);       // find.cpp
void FillCopyCalls(Calls& t);       // copy.cpp

}  // namespace win32
}  // namespace platform
}  // namespace TalqOSUtils
