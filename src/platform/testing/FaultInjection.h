// Test hook: make chosen platform calls fail with a chosen Win32 code.
//
//   platform::ScopedFault fault(platform::CallId::kGetFileAttributes,
//                               /*nth=*/2, platform::kErrorAccessDenied);
//
// makes the second getFileAttributes call from now fail with error 5; with
// FaultMode::kFromNthOn every call from the second on fails. A failing call
// returns the failure value of Calls.def without making the real call, except
// where a hand-written wrapper says otherwise: a failing close still closes,
// and a short write really writes its shorter count.
//
// Linked into test programs only; the library never includes this header.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {

enum class FaultMode { kNthOnly, kFromNthOn };

/// Arms one fault for `call` (replacing any armed for it) and routes Os()
/// through the counting wrapper. nth counts from 1, from this moment.
void ArmFault(CallId call, unsigned nth, ErrorCode code, FaultMode mode = FaultMode::kNthOnly);
/// Arms a fault on the nth platform call of any kind, counted across all
/// calls from this moment.
void ArmAnyFault(unsigned nth, ErrorCode code, FaultMode mode = FaultMode::kNthOnly);
/// The nth writeFile call from now writes at most `keep` bytes for real and
/// succeeds with that count, leaving `code` as the last error (0 allowed).
void ArmShortWrite(unsigned nth, std::uint32_t keep, ErrorCode code = kErrorDiskFull);
/// Routes Os() through the wrapper with nothing armed, to count calls.
void CountCalls();
/// Disarms everything and resets the counts; Os() is the backend's table.
void ClearFaults();
/// Calls of `call` seen by the wrapper since it was installed or armed.
unsigned CallsSeen(CallId call);
/// Calls of any kind seen since the wrapper was installed or ArmAnyFault.
unsigned TotalCallsSeen();
/// Those calls in order: which call the nth was (trace[n - 1]).
const std::vector<CallId>& CallTrace();
/// The call's name as Calls.def spells its id ("CreateFile").
const char* CallName(CallId call);

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
