// ScratchBuffer and WorkUnits: the working arrays of text conversions.
//
// ScratchBuffer serves short texts: up to kInlineCount elements live inside
// the object (in the converting function's frame), so the common case of a
// short path costs no allocation; a larger need gets one heap array of
// exactly the needed count. Large conversions write straight into their
// result instead (text/Convert.h) and use a ScratchBuffer only where a caller's
// array is too short for the whole text.
//
// WorkUnits is the UTF-16 intermediate of a two-step conversion (bytes =>
// UTF-16 => bytes). Past the inline size it borrows the calling thread's
// warm area, which is kept between calls so that the intermediate costs no
// page faults in steady state; a need above kWarmBytes gets an array of its
// own, freed afterwards, so the warm area never grows beyond kWarmBytes.
//
// The storage is not cleared: every user has Vandrel write a NUL-terminated
// text into it before reading it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>

#include "TalqOSUtils/UnicodeString.h"

namespace TalqOSUtils {
namespace text {

constexpr std::uint32_t kInlineCount = 1024;
/// The largest warm area a thread keeps: 4 MiB, 2 Mi units.
constexpr std::size_t kWarmBytes = std::size_t{4} << 20;

/// per * n + 1: room for n source elements at `per` destination elements
/// each, and the NUL. Throws std::length_error when that exceeds 32 bits
/// rather than let a wrapped, small count through.
inline std::uint32_t NeededCount(std::size_t n, std::uint32_t per) {
  const std::uint64_t limit = (std::numeric_limits<std::uint32_t>::max() - 1u) / per;
  if (static_cast<std::uint64_t>(n) > limit) {
    throw std::length_error("TalqOSUtils: text too long for a conversion buffer");
  }
  return static_cast<std::uint32_t>(per * static_cast<std::uint64_t>(n) + 1u);
}

template <typename T>
class ScratchBuffer {
 public:
  static constexpr std::uint32_t kInlineCount = text::kInlineCount;

  static std::uint32_t NeededCount(std::size_t n, std::uint32_t per) {
    return text::NeededCount(n, per);
  }

  explicit ScratchBuffer(std::uint32_t needed)
      : mCapacity(needed <= kInlineCount ? kInlineCount : needed),
        mActive(needed <= kInlineCount ? mInline : new T[needed]) {}

  /// A buffer for NeededCount(n, per) elements.
  ScratchBuffer(std::size_t n, std::uint32_t per) : ScratchBuffer(NeededCount(n, per)) {}

  ~ScratchBuffer() {
    if (mActive != mInline) delete[] mActive;
  }

  ScratchBuffer(const ScratchBuffer&) = delete;
  ScratchBuffer& operator=(const ScratchBuffer&) = delete;

  T* data() noexcept { return mActive; }
  const T* data() const noexcept { return mActive; }
  std::uint32_t capacity() const noexcept { return mCapacity; }
  bool onHeap() const noexcept { return mActive != mInline; }

 private:
  std::uint32_t mCapacity;
  T* mActive;
  T mInline[kInlineCount];
};

/// Where a WorkUnits array lives.
enum class WorkStorage { kInline, kWarm, kOwn };

class WorkUnits {
 public:
  /// Room for `needed` units (at least kInlineCount). While one WorkUnits
  /// holds the thread's warm area, another one on the same thread gets an
  /// array of its own.
  explicit WorkUnits(std::uint32_t needed);
  ~WorkUnits();

  WorkUnits(const WorkUnits&) = delete;
  WorkUnits& operator=(const WorkUnits&) = delete;

  UniChar* data() noexcept { return mActive; }
  std::uint32_t capacity() const noexcept { return mCapacity; }
  WorkStorage storage() const noexcept { return mStorage; }

  /// Frees the calling thread's warm area (the next large conversion
  /// allocates it again).
  static void ReleaseWarmArea();

 private:
  std::uint32_t mCapacity;
  WorkStorage mStorage;
  UniChar* mActive;
  std::unique_ptr<UniChar[]> mOwn;
  UniChar mInline[kInlineCount];
};

}  // namespace text
}  // namespace TalqOSUtils
