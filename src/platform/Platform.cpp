#include "platform/Platform.h"

#include <atomic>

namespace TalqOSUtils {
namespace platform {

namespace {
std::atomic<const Calls*> gInstalled{nullptr};
}  // namespace

const Calls& Os() {
  const Calls* table = gInstalled.load(std::memory_order_acquire);
  return table != nullptr ? *table : NativeCalls();
}

void InstallCalls(const Calls* table) { gInstalled.store(table, std::memory_order_release); }

}  // namespace platform
}  // namespace TalqOSUtils
