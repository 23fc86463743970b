// The records behind ChFindFile and ChFindFileIterator.
#pragma once

#include <cstdint>

#include "TalqOSUtils/FindFile.h"
#include "common/SharedRecord.h"
#include "platform/Platform.h"

namespace TalqOSUtils {

/// One entry, shared by the iterators that hold it.
struct ChFindFileEntry : shared::Counted {
  char name[256] = {};  ///< UTF-8, at most 255 bytes and a NUL
  std::uint32_t sizeHigh = 0;
  std::uint32_t sizeLow = 0;
  bool isDirectory = false;
  bool isReparsePoint = false;
  std::uint64_t lastWriteTime = 0;  ///< FILETIME ticks
};

/// One search (one Init), shared by the copies of a ChFindFile; the last
/// sharer's release closes the OS search with it.
struct ChFindFileState : shared::HandleRecord<&platform::Calls::findClose> {
  ChFindFile::Filter filter = nullptr;
  bool atEnd = false;
  /// What ChFindFile::LastError() answers: why the OS search could not
  /// start or stopped early; 0 while it runs and at a normal end.
  std::uint32_t lastError = 0;
  /// ERROR_FILENAME_EXCED_RANGE once an entry was skipped for a name that
  /// does not fit: what a search that otherwise ends normally reports.
  std::uint32_t skipped = 0;
  /// Init was refused for the root's length: mRoot holds a cut root that
  /// FindFirst must not search.
  bool rootTooLong = false;
};

namespace find {

/// The code a search keeps for an OS failure with last error `code`: the
/// code itself, or kErrorNoReason when the OS gave none.
inline std::uint32_t FailureCode(platform::ErrorCode code) {
  return code == 0 ? platform::kErrorNoReason : code;
}

/// A new entry (one share) from an OS find record: the name as UTF-8 (no
/// byte-order-mark processing), the directory and reparse-point bits, the
/// size halves and the last-write time. Null when the name does not fit
/// the entry's 255 bytes, or the record holds no NUL: a cut name could
/// name another file.
ChFindFileEntry* NewEntry(const platform::FindData& record);

}  // namespace find
}  // namespace TalqOSUtils
