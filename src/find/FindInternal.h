// The records behind ChFindFile and ChFindFileIterator.
#pragma once

#include <cstdint>

#include "TalqOSUtils/FindFile.h"
#include "TalqOSUtils/UnicodeString.h"
#include "common/PathRules.h"
#include "common/SharedRecord.h"
#include "platform/Platform.h"

namespace TalqOSUtils {

/// One entry, shared by the iterators that hold it.
struct ChFindFileEntry : shared::Counted {
  char name[kPathArea] = {};  ///< UTF-8, at most 255 bytes and a NUL
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
  /// FindFirst refuses the root for its length: Init was refused for it
  /// (mRoot then holds a cut root), or its pattern does not fit the area.
  bool rootTooLong = false;
  /// What FindFirst hands the OS: the root's NT form and "\*", made once by
  /// Init.
  UnicodeString pattern;
  /// The record the OS calls fill, kept for the search's length.
  platform::FindData record;
  /// The entries this search made last. One that no iterator holds any more
  /// is filled again, so that a loop keeping one iterator at a time makes no
  /// entry per name.
  ChFindFileEntry* made[2] = {};

  ChFindFileState() = default;
  ~ChFindFileState() {
    for (ChFindFileEntry*& entry : made) shared::Release(entry);
  }
};

namespace find {

/// Fills entry from an OS find record: the name as UTF-8 from the record's
/// name bytes (fs::NameBytesToUtf8) or UTF-16 units (no byte-order-mark
/// processing), the directory and reparse-point bits, the size halves and
/// the last-write time. False when the name does not fit the entry's 255
/// bytes, or the record's units hold no NUL: a cut name could name another
/// file.
bool FillEntry(const platform::FindData& record, ChFindFileEntry& entry);

}  // namespace find
}  // namespace TalqOSUtils
