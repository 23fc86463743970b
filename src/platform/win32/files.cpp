// Win32 backend, files: may assume the wide (W) file API; handles are
// HANDLEs, synchronous (no overlapped structures), no security attributes and
// no template file.
#include <windows.h>

#include "platform/win32/backend.h"

namespace TalqOSUtils {
namespace platform {
namespace win32 {

namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FileHandle CreateFileImpl(const OsChar* path, std::uint32_t access, std::uint32_t share,
                          std::uint32_t disposition, std::uint32_t flags) {
  const HANDLE h = ::CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
  return reinterpret_cast<FileHandle>(h);
}

bool ReadFileImpl(FileHandle file, void* buffer, std::uint32_t count, std::uint32_t* got) {
  DWORD n = 0;
  const BOOL ok = ::ReadFile(AsHandle(file), buffer, count, &n, nullptr);
  if (got != nullptr) *got = n;
  return ok != 0;
}

bool WriteFileImpl(FileHandle file, const void* buffer, std::uint32_t count,
                   std::uint32_t* written) {
  DWORD n = 0;
  const BOOL ok = ::WriteFile(AsHandle(file), buffer, count, &n, nullptr);
  if (written != nullptr) *written = n;
  return ok != 0;
}

std::uint32_t SetFilePointerImpl(FileHandle file, std::int32_t low, std::int32_t* high,
                                 std::uint32_t method) {
  LONG highWord = high != nullptr ? *high : 0;
  const DWORD result =
      ::SetFilePointer(AsHandle(file), low, high != nullptr ? &highWord : nullptr, method);
  if (high != nullptr) *high = highWord;
  return result;
}

std::uint32_t GetFileSizeImpl(FileHandle file, std::uint32_t* high) {
  DWORD highWord = 0;
  const DWORD low = ::GetFileSize(AsHandle(file), high != nullptr ? &highWord : nullptr);
  if (high != nullptr) *high = highWord;
  return low;
}

bool CloseHandleImpl(FileHandle file) { return ::CloseHandle(AsHandle(file)) != 0; }

}  // namespace

void FillFileCalls(Calls& t) {
  t.createFile = &CreateFileImpl;
  t.readFile = &ReadFileImpl;
  t.writeFile = &WriteFileImpl;
  t.setFilePointer = &SetFilePointerImpl;
  t.getFileSize = &GetFileSizeImpl;
  t.closeHandle = &CloseHandleImpl;
}

}  // namespace win32
}  // namespace platform
}  // namespace TalqOSUtils
