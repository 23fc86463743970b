// Win32 backend, shortcuts: the shell-link object over COM. May assume
// ole32 and the shell's IShellLinkW/IPersistFile.
//
// COM: the first thread of the process to read a shortcut enters a
// single-threaded apartment and stays in it: the host may use COM there too.
// Any other thread enters one for the call only, and leaves it after when the
// call entered (S_OK, or S_FALSE for an apartment it already had, each
// balanced by CoUninitialize): no other thread is left in an apartment it did
// not choose. A thread already in the multithreaded apartment
// (RPC_E_CHANGED_MODE) reads in it, untouched.
//
// Environment targets: the raw path (GetPath with SLGP_RAWPATH, the
// environment block's text unexpanded) must name only the system's variables
// (lnk::NamesOnlySystemVariables); when it names another, the shell never
// expands it and the target is the IDList's path, or there is none.
#include <windows.h>
// windows.h first
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <atomic>

#include "lnk/TargetPath.h"
#include "platform/win32/backend.h"

namespace TalqOSUtils {
namespace platform {
namespace win32 {

namespace {

// MultiByteToWideChar's destination, in units.
constexpr int kPathUnits = MAX_PATH;
// Resolve: SLR_NO_UI | SLR_NOUPDATE | SLR_NOLINKINFO; the time-out word is 0.
constexpr DWORD kResolveFlags = 0x49;

std::atomic<bool> gComClaimed{false};
thread_local bool tComKept = false;  // on the first reading thread: its apartment is kept

// COM for one call (see the top of this file).
class ComForCall {
 public:
  ComForCall() {
    if (tComKept) return;
    if (!gComClaimed.exchange(true)) {
      tComKept = true;
      ::CoInitialize(nullptr);
      return;
    }
    mEntered = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  }
  ~ComForCall() {
    if (mEntered) ::CoUninitialize();
  }
  ComForCall(const ComForCall&) = delete;
  ComForCall& operator=(const ComForCall&) = delete;

 private:
  bool mEntered = false;
};

void FailWith(HRESULT hr) {
  ::SetLastError(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr)
                                                        : ERROR_INVALID_FUNCTION);
}

// True when the raw path (the environment block's text, unexpanded, when the
// link has one) names a variable other than the system's; hr is GetPath's
// answer. A text that fills the buffer may be cut inside a name: it counts.
bool NamesOtherVariables(IShellLinkW* link, HRESULT& hr) {
  wchar_t raw[2 * kPathUnits] = {};
  hr = link->GetPath(raw, 2 * kPathUnits, nullptr, SLGP_RAWPATH);
  return SUCCEEDED(hr) && (raw[2 * kPathUnits - 2] != 0 || !lnk::NamesOnlySystemVariables(raw));
}

// The IDList's path in target; E_FAIL when the link has no IDList or it names
// no file-system path.
HRESULT IdListPath(IShellLinkW* link, OsChar* target, std::uint32_t capacity) {
  PIDLIST_ABSOLUTE list = nullptr;
  wchar_t path[MAX_PATH] = {};
  HRESULT hr = link->GetIDList(&list);
  if (hr != S_OK || list == nullptr || !::SHGetPathFromIDListW(list, path) || path[0] == 0) {
    hr = FAILED(hr) ? hr : E_FAIL;
  } else if (::lstrlenW(path) >= static_cast<int>(capacity)) {
    hr = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  } else {
    ::lstrcpyW(target, path);
  }
  ::CoTaskMemFree(list);
  return hr;
}

bool ReadShortcutImpl(const char* ntPath, OsChar* target, std::uint32_t capacity) {
  const ComForCall com;
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
  // Before Resolve, which would look for the expanded target.
  if (SUCCEEDED(hr) && NamesOtherVariables(link, hr)) {
    hr = IdListPath(link, target, capacity);
  } else {
    if (SUCCEEDED(hr)) hr = link->Resolve(nullptr, kResolveFlags);
    if (SUCCEEDED(hr)) hr = link->GetPath(target, static_cast<int>(capacity), nullptr, 0);
  }
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
