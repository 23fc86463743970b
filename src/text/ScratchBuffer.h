// ScratchBuffer: the working array of one text conversion.
//
// Up to kInlineCount elements live inside the object (in the converting
// function's frame), so the common case of a short path costs no allocation;
// a larger need gets one heap array of exactly the needed count. The storage
// is not cleared: every user has Vandrel write a NUL-terminated text into it
// before reading it. The capacity handed to Vandrel is capacity(), which is
// at least kInlineCount.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace TalqOSUtils {
namespace text {

template <typename T>
class ScratchBuffer {
 public:
  static constexpr std::uint32_t kInlineCount = 1024;

  /// per * n + 1: room for n source elements at `per` destination elements
  /// each, and the NUL. Throws std::length_error when that exceeds 32 bits
  /// rather than let a wrapped, small count through.
  static std::uint32_t NeededCount(std::size_t n, std::uint32_t per) {
    const std::uint64_t limit = (std::numeric_limits<std::uint32_t>::max() - 1u) / per;
    if (static_cast<std::uint64_t>(n) > limit) {
      throw std::length_error("TalqOSUtils: text too long for a conversion buffer");
    }
    return static_cast<std::uint32_t>(per * static_cast<std::uint64_t>(n) + 1u);
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

}  // namespace text
}  // namespace TalqOSUtils
