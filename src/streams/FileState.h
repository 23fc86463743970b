// The records the streams share with their copies, and the steps both
// streams take alike: the check step, the error-code convention, positioning
// and opening.
#pragma once

#include <climits>
#include <cstdint>
#include <string>

#include "TalqOSUtils/Streams.h"
#include "platform/Platform.h"

namespace TalqOSUtils {

struct ChInputFileState {
  platform::FileHandle handle = platform::kInvalidHandle;
  bool eof = false;
  std::int64_t size = 0;
  std::int32_t checkCount = 0;
  std::int32_t error = 0;
  /// Streams sharing this record; the last to let go closes and frees it.
  int sharers = 1;
};

struct ChOutputFileState {
  platform::FileHandle handle = platform::kInvalidHandle;
  std::int32_t checkCount = 0;
  std::int32_t error = 0;
  int sharers = 1;
};

namespace streams {

/// The stream code of a failed call: the OS's last error, or INT_MIN
/// (0x80000000) when the OS gave none, so that a failure never reads as 0.
inline std::int32_t FailureCode() {
  const platform::ErrorCode code = platform::LastError();
  return code == 0 ? INT_MIN : static_cast<std::int32_t>(code);
}

/// Bytes requested beyond which the next transfer calls the check function.
constexpr std::int32_t kCheckInterval = 0x100000;

/// The check step, run before every transfer that finds a file state.
template <typename State>
inline void RunCheck(State& file, ChCheckFn fn, void* data, std::uint32_t requested) {
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

/// True while transfers may run on the record.
template <typename State>
inline bool Usable(const State& file) {
  return file.handle != platform::kInvalidHandle && file.error == 0;
}

/// Moves the file pointer of a usable record to pos; false (with the code in
/// file.error) when the OS refuses. A returned low part of 0xFFFFFFFF is
/// also the call's failure value, so it is judged by the last error.
bool SeekTo(platform::FileHandle handle, std::int64_t pos, std::int32_t& error);

/// The current position, or 0 when the handle is invalid, the record is in
/// error or the OS cannot tell.
std::int64_t PositionOf(platform::FileHandle handle, std::int32_t error);

/// Copies path into name (256 bytes) and its NT form into nt (256 bytes);
/// throws ChException(tooLong) for 256 bytes or more, name then holding the
/// first 255.
void PreparePath(const std::string& path, char* name, char* nt, const char* tooLong);

/// The open procedures behind openFork.
void OpenInputFile(ChInputFileState& file, const char* ntPath, bool fork);
void OpenOutputFile(ChOutputFileState& file, const char* ntPath, bool fork);
platform::FileHandle OpenForkCompanion(const char* ntPath);

/// Drops one share of file; the last share closes the handle and frees the
/// record. Null is harmless.
template <typename State>
inline void Release(State* file) {
  if (file == nullptr || --file->sharers > 0) return;
  if (file->handle != platform::kInvalidHandle) platform::Os().closeHandle(file->handle);
  delete file;
}

/// Takes one more share of file (null allowed) and returns it.
template <typename State>
inline State* Share(State* file) {
  if (file != nullptr) ++file->sharers;
  return file;
}

}  // namespace streams
}  // namespace TalqOSUtils
