// Records that copies of one public object share through a plain pointer
// (a stream's open file, a directory search, a listed entry): the count of
// sharers is taken and dropped here only. The count is a plain integer, as
// the public headers promise: objects sharing a record stay on one thread.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace shared {

/// The base of a shared record: its sharers, starting with its creator. The
/// record's own destructor lets go of what it holds (a handle, say).
struct Counted {
  std::uint32_t sharers = 1;
};

/// A record that owns an OS handle (an open file, a running search): the
/// last share's release closes it with the table's Close call (closeHandle,
/// findClose), looked up then, so that a test's wrapper table sees it.
template <bool (*platform::Calls::*Close)(std::intptr_t)>
struct HandleRecord : Counted {
  HandleRecord() = default;
  HandleRecord(const HandleRecord&) = delete;
  HandleRecord& operator=(const HandleRecord&) = delete;
  ~HandleRecord() {
    if (handle != platform::kInvalidHandle) (platform::Os().*Close)(handle);
  }

  std::intptr_t handle = platform::kInvalidHandle;
};

/// Takes one more share of record (null allowed) and returns it.
template <typename Record>
Record* Share(Record* record) noexcept {
  if (record != nullptr) ++record->sharers;
  return record;
}

/// Empties slot and drops its share; the last share deletes the record.
template <typename Record>
void Release(Record*& slot) noexcept {
  Record* const record = slot;
  slot = nullptr;
  if (record != nullptr && --record->sharers == 0) delete record;
}

/// Makes slot share incoming instead of its record. The new share is taken
/// first, so that assigning another sharer of the same record never frees
/// it in between.
template <typename Record>
void Assign(Record*& slot, Record* incoming) noexcept {
  Share(incoming);
  Release(slot);
  slot = incoming;
}

/// One share of a record held for a scope, so that a callback run meanwhile
/// (a check function, a filter) may let go of every other share, closing
/// what it was called for, without freeing the record under the caller.
template <typename Record>
class Hold {
 public:
  explicit Hold(Record* record) noexcept : mRecord(Share(record)) {}
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
  ~Hold() { Release(mRecord); }

  Record* get() const noexcept { return mRecord; }
  Record& operator*() const noexcept { return *mRecord; }

 private:
  Record* mRecord;
};

}  // namespace shared
}  // namespace TalqOSUtils
