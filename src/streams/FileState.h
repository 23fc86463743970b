// The records the streams share with their copies, and the steps both
// streams take alike: the check step, the error-code convention, positioning,
// opening and letting go.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "TalqOSUtils/Streams.h"
#include "common/PathRules.h"
#include "common/SharedRecord.h"
#include "platform/Platform.h"

namespace TalqOSUtils {
namespace streams {

/// What both streams' records hold. The last sharer's release closes the
/// file with the record.
struct FileRecord : shared::HandleRecord<&platform::Calls::closeHandle> {
  std::int32_t checkCount = 0;
  std::int32_t error = 0;
};

// Process-wide default check functions, plain globals as Streams.h says.
extern ChCheckFn gInputCheckFn;
extern void* gInputCheckData;
extern ChCheckFn gOutputCheckFn;
extern void* gOutputCheckData;

}  // namespace streams

struct ChInputFileState : streams::FileRecord {
  bool eof = false;
  std::int64_t size = 0;
};

struct ChOutputFileState : streams::FileRecord {};

namespace streams {

/// The stream code of a failed call: the OS's last error, or kErrorNoReason
/// (INT_MIN as a stream's code) when the OS gave none.
inline std::int32_t FailureCode() { return static_cast<std::int32_t>(platform::FailureCode()); }

/// Bytes requested beyond which the next transfer calls the check function.
constexpr std::int32_t kCheckInterval = 0x100000;

/// The check step, run before every transfer that finds a file state.
inline void RunCheck(FileRecord& file, ChCheckFn fn, void* data, std::uint32_t requested) {
  if (fn == nullptr) return;
  if (file.checkCount <= kCheckInterval) {
    // 32-bit count that wraps; unsigned arithmetic keeps the wrap defined.
    file.checkCount =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(file.checkCount) + requested);
    return;
  }
  const std::int32_t answer = fn(data);
  // Its 0 clears a transfer's error, never a failed open's.
  if (answer != 0 || file.handle != platform::kInvalidHandle) file.error = answer;
  file.checkCount = 0;
}

/// A transfer whose check function closed the stream (current null) or
/// opened another file (current that file's record): it moves nothing; a
/// closed stream's code becomes the check's answer, a reopened one keeps the
/// new file's. Returns 0, the count moved.
inline std::uint32_t Abandoned(const FileRecord* current, const FileRecord& checked,
                               int& streamError) {
  if (current == nullptr) streamError = checked.error;
  return 0;
}

/// True while transfers may run on the record.
inline bool Usable(const FileRecord& file) {
  return file.handle != platform::kInvalidHandle && file.error == 0;
}

/// Moves the file pointer of a usable record to pos; false (with the code in
/// file.error) when the OS refuses. A returned low part of 0xFFFFFFFF is
/// also the call's failure value, so it is judged by the last error.
bool SeekTo(platform::FileHandle handle, std::int64_t pos, std::int32_t& error);

/// The current position, or 0 when the handle is invalid, the record is in
/// error or the OS cannot tell.
std::int64_t PositionOf(platform::FileHandle handle, std::int32_t error);

/// Copies path into name (kPathArea bytes) and its NT form into nt
/// (fs::PrepareOsPath; "" stays ""); throws ChException(tooLong) for
/// kPathArea bytes or more, name then holding the first 255.
void PreparePath(const std::string& path, char* name, std::string& nt, const char* tooLong);

/// The open procedures behind openFork, on a new record (error 0).
void OpenInputFile(ChInputFileState& file, const char* ntPath, bool fork);
void OpenOutputFile(ChOutputFileState& file, const char* ntPath, bool fork);
platform::FileHandle OpenForkCompanion(const char* ntPath);
/// The NT path of the file's resource fork: ntPath + ":AFP_Resource", a
/// one-letter relative name written ".\x" (else it would be drive X's).
std::string ForkPath(const char* ntPath);
/// The NT path of the fork's companion file, "._" + the name, beside it.
std::string CompanionPath(const char* ntPath);

/// open and openFork: path's generic form into name and its NT form handed
/// to open(record, nt, fork) for a new record, which replaces file. The old
/// record is let go first: the same file may be opened again, and an output
/// stream's own handle would refuse the new one. Throws tooLong (the
/// record kept) for kPathArea bytes or more. Returns the new record's error code.
template <typename State>
std::int32_t Reopen(State*& file, const std::string& path, bool fork, char* name,
                    const char* tooLong, void (*open)(State&, const char*, bool)) {
  std::string nt;
  PreparePath(path, name, nt, tooLong);
  shared::Release(file);
  std::unique_ptr<State> fresh(new State);
  open(*fresh, nt.c_str(), fork);
  file = fresh.release();
  return file->error;
}

/// Lets go of slot's share as shared::Release does; when it was the last
/// share of an open file, closes the file here first and returns the
/// close's failure code (FailureCode), else 0.
template <typename State>
std::int32_t ReleaseReporting(State*& slot) {
  std::int32_t code = 0;
  if (slot != nullptr && slot->sharers == 1 && slot->handle != platform::kInvalidHandle) {
    const platform::FileHandle handle = slot->handle;
    slot->handle = platform::kInvalidHandle;
    if (!platform::Os().closeHandle(handle)) code = FailureCode();
  }
  shared::Release(slot);
  return code;
}

/// isopen: a record with an open handle.
inline bool IsOpen(const FileRecord* file) {
  return file != nullptr && file->handle != platform::kInvalidHandle;
}

/// getpos: the record's position (PositionOf), 0 without a record.
inline std::int64_t Position(const FileRecord* file) {
  return file == nullptr ? 0 : PositionOf(file->handle, file->error);
}

/// seek: moves a usable record's file pointer to pos, true when it moved;
/// the stream's code becomes the record's.
inline bool Seek(FileRecord& file, std::int64_t pos, int& streamError) {
  const bool moved = Usable(file) && SeekTo(file.handle, pos, file.error);
  streamError = file.error;
  return moved;
}

}  // namespace streams
}  // namespace TalqOSUtils
