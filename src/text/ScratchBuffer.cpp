// WorkUnits and the thread's warm area it borrows (ScratchBuffer.h).
#include "text/ScratchBuffer.h"

#include <algorithm>
#include <memory>

namespace TalqOSUtils {
namespace text {

namespace {

struct WarmArea {
  std::unique_ptr<UniChar[]> units;
  std::size_t capacity = 0;
  bool busy = false;
};

WarmArea& ThreadWarmArea() {
  thread_local WarmArea area;
  return area;
}

constexpr std::size_t kWarmUnits = kWarmBytes / sizeof(UniChar);

}  // namespace

WorkUnits::WorkUnits(std::uint32_t needed)
    : mCapacity(kInlineCount), mStorage(WorkStorage::kInline), mActive(mInline) {
  if (needed <= kInlineCount) return;
  WarmArea& warm = ThreadWarmArea();
  if (needed <= kWarmUnits && !warm.busy) {
    if (warm.capacity < needed) {
      // Grown in powers of two, so that a series of growing texts
      // allocates a few times only.
      std::size_t grown = std::size_t{kInlineCount} * 2;
      while (grown < needed) grown *= 2;
      grown = std::min(grown, kWarmUnits);
      warm.units.reset();
      warm.capacity = 0;
      warm.units.reset(new UniChar[grown]);
      warm.capacity = grown;
    }
    warm.busy = true;
    mStorage = WorkStorage::kWarm;
    mActive = warm.units.get();
    mCapacity = static_cast<std::uint32_t>(warm.capacity);
    return;
  }
  mOwn.reset(new UniChar[needed]);
  mStorage = WorkStorage::kOwn;
  mActive = mOwn.get();
  mCapacity = needed;
}

WorkUnits::~WorkUnits() {
  if (mStorage == WorkStorage::kWarm) ThreadWarmArea().busy = false;
}

void WorkUnits::ReleaseWarmArea() {
  WarmArea& warm = ThreadWarmArea();
  if (warm.busy) return;
  warm.units.reset();
  warm.capacity = 0;
}

}  // namespace text
}  // namespace TalqOSUtils
