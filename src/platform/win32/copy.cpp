// Win32 backend, copy: CopyFileExW, its progress routine calling the
// library's. A new target is CopyFileExW's own (a cancel removes what it
// wrote). An existing one is replaced whole: the copy goes to a temporary
// beside it, which ReplaceFileW moves into its place, keeping the target's
// attributes and security; a failed or cancelled copy leaves it as it was.
// Where no temporary can be made beside it (a folder the user may not
// write to), CopyFileExW writes over it, and a failure leaves it part
// written or gone.
#include <windows.h>

#include <string>

#include "platform/win32/backend.h"

namespace TalqOSUtils {
namespace platform {
namespace win32 {

namespace {

struct Routine {
  CopyProgress fn;
  void* data;
};

DWORD CALLBACK OnProgress(LARGE_INTEGER total, LARGE_INTEGER done, LARGE_INTEGER, LARGE_INTEGER,
                          DWORD, DWORD, HANDLE, HANDLE, LPVOID context) {
  const auto* routine = static_cast<const Routine*>(context);
  if (routine->fn == nullptr) return PROGRESS_CONTINUE;
  return routine->fn(static_cast<std::uint64_t>(done.QuadPart),
                     static_cast<std::uint64_t>(total.QuadPart), routine->data)
             ? PROGRESS_CONTINUE
             : PROGRESS_CANCEL;
}

bool Copy(const wchar_t* source, const wchar_t* target, Routine& routine) {
  return ::CopyFileExW(source, target, &OnProgress, &routine, nullptr, 0) != 0;
}

bool CopyFileImpl(const OsChar* source, const OsChar* target, CopyProgress progress, void* data) {
  Routine routine{progress, data};
  const DWORD attributes = ::GetFileAttributesW(target);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Copy(source, target, routine);
  static LONG counter = 0;
  const std::wstring temporary = std::wstring(target) + L".talq-" +
                                 std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(::InterlockedIncrement(&counter)) + L".tmp";
  if (!Copy(source, temporary.c_str(), routine)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_ACCESS_DENIED) return false;
    return Copy(source, target, routine);
  }
  if (::ReplaceFileW(target, temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr) != 0) {
    return true;
  }
  const DWORD error = ::GetLastError();
  ::DeleteFileW(temporary.c_str());
  ::SetLastError(error);
  return false;
}

}  // namespace

void FillCopyCalls(Calls& t) { t.copyFile = &CopyFileImpl; }

}  // namespace win32
}  // namespace platform
}  // namespace TalqOSUtils
