// Test hook: make chosen platform calls fail with a chosen Win32 code.
//
//   platform::ScopedFault fault(platform::CallId::kGetFileAttributes,
//                               /*nth=*/2, platform::kErrorAccessDenied);
//
// makes the second getFileAttributes call from now fail with error 5; with
// FaultMode::kFromNthOn every call from the second on fails. The real call
// is not made for a failing call.
#pragma once

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {

enum class CallId { kGetFileAttributes, kCount };

enum class FaultMode { kNthOnly, kFromNthOn };

/// Arms one fault (replacing any armed for the same call) and routes Os()
/// through the failing wrapper. nth counts from 1.
void ArmFault(CallId call, unsigned nth, ErrorCode code, FaultMode mode = FaultMode::kNthOnly);
/// Disarms every fault; Os() is the backend's table again.
void ClearFaults();
/// Calls of `call` seen by the wrapper since it was armed.
unsigned CallsSeen(CallId call);

class ScopedFault {
 public:
  ScopedFault(CallId call, unsigned nth, ErrorCode code, FaultMode mode = FaultMode::kNthOnly) {
    ArmFault(call, nth, code, mode);
  }
  ~ScopedFault() { ClearFaults(); }
  ScopedFault(const ScopedFault&) = delete;
  ScopedFault& operator=(const ScopedFault&) = delete;
};

}  // namespace platform
}  // namespace TalqOSUtils
