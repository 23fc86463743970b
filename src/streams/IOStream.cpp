// The stream base, the default check functions and the positioning steps
// both streams share.
#include <cstring>

#include "TalqOSUtils/Streams.h"
#include "streams/FileState.h"

namespace TalqOSUtils {

namespace streams {
// Process-wide defaults, plain globals as documented in Streams.h.
ChCheckFn gInputCheckFn = nullptr;
void* gInputCheckData = nullptr;
ChCheckFn gOutputCheckFn = nullptr;
void* gOutputCheckData = nullptr;
}  // namespace streams

void SetDefaultInputCheckFn(ChCheckFn fn, void* data) {
  streams::gInputCheckFn = fn;
  streams::gInputCheckData = data;
}

void SetDefaultOutputCheckFn(ChCheckFn fn, void* data) {
  streams::gOutputCheckFn = fn;
  streams::gOutputCheckData = data;
}

ChIOStream::ChIOStream() : mName{}, mError(0), mCheckFn(nullptr), mCheckData(nullptr) {}

ChIOStream::ChIOStream(const ChIOStream& other)
    : mError(other.mError), mCheckFn(other.mCheckFn), mCheckData(other.mCheckData) {
  std::memcpy(mName, other.mName, sizeof mName);
}

ChIOStream& ChIOStream::operator=(const ChIOStream& other) {
  if (this != &other) {
    std::memcpy(mName, other.mName, sizeof mName);
    mError = other.mError;
    mCheckFn = other.mCheckFn;
    mCheckData = other.mCheckData;
  }
  return *this;
}

ChIOStream::~ChIOStream() = default;

namespace streams {

bool SeekTo(platform::FileHandle handle, std::int64_t pos, std::int32_t& error) {
  const auto low = static_cast<std::uint32_t>(static_cast<std::uint64_t>(pos));
  const auto high = static_cast<std::int32_t>(static_cast<std::uint64_t>(pos) >> 32);
  std::int32_t highOut = high;
  platform::SetLastError(platform::kErrorSuccess);
  const std::uint32_t lowOut = platform::Os().setFilePointer(handle, static_cast<std::int32_t>(low),
                                                             &highOut, platform::kFileBegin);
  // A failed call returns 0xFFFFFFFF and leaves the high word as given, which
  // the comparison alone would take for a successful move to such a position
  // (-1 among them).
  const bool failed = lowOut == platform::kInvalidSetFilePointer &&
                      platform::LastError() != platform::kErrorSuccess;
  if (!failed && lowOut == low && highOut == high) return true;
  error = FailureCode();
  return false;
}

std::int64_t PositionOf(platform::FileHandle handle, std::int32_t error) {
  if (handle == platform::kInvalidHandle || error != 0) return 0;
  std::int32_t high = 0;
  platform::SetLastError(platform::kErrorSuccess);
  const std::uint32_t low = platform::Os().setFilePointer(handle, 0, &high, platform::kFileCurrent);
  if (low == platform::kInvalidSetFilePointer && platform::LastError() != platform::kErrorSuccess) {
    return 0;
  }
  return static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) | low);
}

}  // namespace streams
}  // namespace TalqOSUtils
