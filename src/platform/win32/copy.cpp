// Win32 backend, copy: CopyFileExW, its progress routine calling the
// library's. A new target is CopyFileExW's own (a cancel removes what it
// wrote). An existing one is replaced whole: the copy goes to a temporary
// beside it, which ReplaceFileW moves into its place, keeping the target's
// attributes and security; a failed or cancelled copy leaves it as it was.
// Where no temporary can be made beside it (a folder the user may not write
// to), or it must be written where it is (a stream, or a file with other
// hard links, which see the new content), CopyFileExW writes over it, and a
// failure leaves it part written or gone.
#include <windows.h>

#include <cwchar>
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

// Whether the existing target must be written where it is: a stream (no
// temporary can stand in for it) or a file with other hard links (they must
// see the new content).
bool InPlace(const wchar_t* target) {
  if (std::wcschr(target + (target[0] != 0 && target[1] == L':' ? 2 : 0), L':') != nullptr) {
    return true;
  }
  const HANDLE file =
      ::CreateFileW(target, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool linked = ::GetFileInformationByHandle(file, &info) != 0 && info.nNumberOfLinks > 1;
  ::CloseHandle(file);
  return linked;
}

bool CopyFileImpl(const OsChar* source, const OsChar* target, CopyProgress progress, void* data) {
  Routine routine{progress, data};
  const DWORD attributes = ::GetFileAttributesW(target);
  if (attributes == INVALID_FILE_ATTRIBUTES || InPlace(target)) {
    return Copy(source, target, routine);
  }
  // ReplaceFileW wants the full path (Wine refuses a relative one).
  wchar_t full[MAX_PATH];
  const DWORD length = ::GetFullPathNameW(target, MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return Copy(source, target, routine);
  target = full;
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
