// Win32 backend, directory search: may assume the wide (W) find API. The
// record keeps what the search reads of WIN32_FIND_DATAW, the name in its
// UTF-16 units.
#include <windows.h>

#include "platform/win32/backend.h"

namespace TalqOSUtils {
namespace platform {
namespace win32 {

namespace {

void Copy(const WIN32_FIND_DATAW& w, FindData* data) {
  data->attributes = w.dwFileAttributes;
  data->lastWriteTime = (static_cast<std::uint64_t>(w.ftLastWriteTime.dwHighDateTime) << 32) |
                        w.ftLastWriteTime.dwLowDateTime;
  data->sizeHigh = w.nFileSizeHigh;
  data->sizeLow = w.nFileSizeLow;
  // The name is what the API has, UTF-16: the caller converts it once.
  data->nameBytes = nullptr;
  constexpr std::size_t kUnits = sizeof data->name / sizeof data->name[0];
  std::size_t i = 0;
  for (; i + 1 < kUnits && w.cFileName[i] != 0; ++i) data->name[i] = w.cFileName[i];
  data->name[i] = 0;
}

FindHandle FindFirstFileImpl(const OsChar* pattern, FindData* data) {
  WIN32_FIND_DATAW w;
  const HANDLE h = ::FindFirstFileW(pattern, &w);
  if (h == INVALID_HANDLE_VALUE) return kInvalidHandle;
  Copy(w, data);
  return reinterpret_cast<FindHandle>(h);
}

bool FindNextFileImpl(FindHandle search, FindData* data) {
  WIN32_FIND_DATAW w;
  if (::FindNextFileW(reinterpret_cast<HANDLE>(search), &w) == 0) return false;
  Copy(w, data);
  return true;
}

bool FindCloseImpl(FindHandle search) { return ::FindClose(reinterpret_cast<HANDLE>(search)) != 0; }

}  // namespace

void FillFindCalls(Calls& t) {
  t.findFirstFile = &FindFirstFileImpl;
  t.findNextFile = &FindNextFileImpl;
  t.findClose = &FindCloseImpl;
}

}  // namespace win32
}  // namespace platform
}  // namespace TalqOSUtils
