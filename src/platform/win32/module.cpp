// Win32 backend, module: the DLL entry point, the executable's path and the
// process's environment. The library needs no per-thread notifications, so
// it turns them off on process attach.
#include <windows.h>

#include "platform/win32/backend.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
  return TRUE;
}

namespace TalqOSUtils {
namespace platform {
namespace win32 {

namespace {

// A null module handle names the executable of the process, not this DLL.
std::uint32_t GetModuleFileNameImpl(OsChar* buffer, std::uint32_t capacity) {
  return ::GetModuleFileNameW(nullptr, buffer, capacity);
}

std::uint32_t GetEnvironmentVariableImpl(const OsChar* name, OsChar* buffer,
                                         std::uint32_t capacity) {
  return ::GetEnvironmentVariableW(name, buffer, capacity);
}

}  // namespace

void FillModuleCalls(Calls& t) {
  t.getModuleFileName = &GetModuleFileNameImpl;
  t.getEnvironmentVariable = &GetEnvironmentVariableImpl;
}

}  // namespace win32
}  // namespace platform
}  // namespace TalqOSUtils
