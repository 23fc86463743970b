// The records behind ChFindFile and ChFindFileIterator.
#pragma once

#include <cstdint>

#include "TalqOSUtils/FindFile.h"
#include "platform/Platform.h"

namespace TalqOSUtils {

/// One entry, shared by the iterators that hold it; freed at refCount 0.
struct ChFindFileEntry {
  std::uint32_t refCount = 1;
  char name[256] = {};  ///< UTF-8, at most 255 bytes and a NUL
  std::uint32_t sizeHigh = 0;
  std::uint32_t sizeLow = 0;
  bool isDirectory = false;
  std::uint64_t lastWriteTime = 0;  ///< FILETIME ticks
};

/// One search (one Init), shared by the copies of a ChFindFile.
struct ChFindFileState {
  platform::FindHandle handle = platform::kInvalidHandle;
  ChFindFile::Filter filter = nullptr;
  bool atEnd = false;
  /// What ChFindFile::LastError() answers: why the OS search could not
  /// start or stopped early; 0 while it runs and at a normal end.
  std::uint32_t lastError = 0;
  /// Init was refused for the root's length: mRoot holds a cut root that
  /// FindFirst must not search.
  bool rootTooLong = false;
  /// ChFindFile objects holding this state; the last one closes and frees it.
  std::uint32_t sharers = 1;
};

namespace find {

/// The code a search keeps for an OS failure with last error `code`: the
/// code itself, or kNoCode when the OS gave none.
constexpr std::uint32_t kNoCode = 0x80000000u;
inline std::uint32_t FailureCode(platform::ErrorCode code) { return code == 0 ? kNoCode : code; }

/// entry's data from an OS find record: the name as UTF-8 cut at whole
/// characters to 255 bytes (no byte-order-mark processing), the directory
/// bit, the size halves and the last-write time. Sets refCount to 1.
void FillEntry(const platform::FindData& record, ChFindFileEntry& entry);

}  // namespace find
}  // namespace TalqOSUtils
