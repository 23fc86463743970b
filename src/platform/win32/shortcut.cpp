// Win32 backend, shortcuts: the shell-link object over COM. May assume
// ole32 and the shell's IShellLinkW/IPersistFile. COM is initialised once per
// thread that reads a shortcut (COM state belongs to a thread, so a
// process-wide flag would leave every other thread without it) and never
// uninitialised: the host may be using COM itself.
#include <windows.h>
// windows.h first
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/win32/backend.h"

namespace TalqOSUtils {
namespace platform {
namespace win32 {

namespace {

thread_local bool tComInitialised = false;

// MultiByteToWideChar's destination, in units (MAX_PATH).
constexpr int kPathUnits = 260;
// Resolve: SLR_NO_UI | SLR_NOUPDATE | SLR_NOLINKINFO; the time-out word is 0.
constexpr DWORD kResolveFlags = 0x49;

void FailWith(HRESULT hr) {
  ::SetLastError(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr)
                                                        : ERROR_INVALID_FUNCTION);
}

bool ReadShortcutImpl(const char* ntPath, OsChar* target, std::uint32_t capacity) {
  if (!tComInitialised) {
    ::CoInitialize(nullptr);
    tComInitialised = true;
  }
  IShellLinkW* link = nullptr;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
  if (FAILED(hr)) {
    FailWith(hr);
    return false;
  }
  IPersistFile* file = nullptr;
  hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (FAILED(hr)) {
    link->Release();
    FailWith(hr);
    return false;
  }
  wchar_t wide[kPathUnits];
  hr = ::MultiByteToWideChar(CP_UTF8, 0, ntPath, -1, wide, kPathUnits) > 0 ? S_OK : E_INVALIDARG;
  if (SUCCEEDED(hr)) hr = file->Load(wide, STGM_READ);
  if (SUCCEEDED(hr)) hr = link->Resolve(nullptr, kResolveFlags);
  if (SUCCEEDED(hr)) hr = link->GetPath(target, static_cast<int>(capacity), nullptr, 0);
  file->Release();
  link->Release();
  if (FAILED(hr)) FailWith(hr);
  return SUCCEEDED(hr);
}

}  // namespace

void FillShortcutCalls(Calls& t) { t.readShortcut = &ReadShortcutImpl; }

}  // namespace win32
}  // namespace platform
}  // namespace TalqOSUtils
