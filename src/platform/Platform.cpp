#include <array>

#include "platform/FaultInjection.h"
#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {

namespace {

// What a failing call returns, by call.
template <CallId>
struct CallTraits;

template <>
struct CallTraits<CallId::kGetFileAttributes> {
  static constexpr auto kMember = &Calls::getFileAttributes;
  static std::uint32_t Failure() { return kInvalidFileAttributes; }
};

struct Fault {
  bool armed = false;
  unsigned nth = 0;
  unsigned seen = 0;
  ErrorCode code = kErrorSuccess;
  FaultMode mode = FaultMode::kNthOnly;
};

std::array<Fault, static_cast<std::size_t>(CallId::kCount)> gFaults;
const Calls* gActive = nullptr;

bool Trip(CallId call) {
  Fault& fault = gFaults[static_cast<std::size_t>(call)];
  ++fault.seen;
  if (!fault.armed) return false;
  const bool fails =
      fault.mode == FaultMode::kNthOnly ? fault.seen == fault.nth : fault.seen >= fault.nth;
  if (fails) SetLastError(fault.code);
  return fails;
}

template <CallId Id, typename Signature>
struct Wrapper;

template <CallId Id, typename R, typename... Args>
struct Wrapper<Id, R (*)(Args...)> {
  static R Call(Args... args) {
    if (Trip(Id)) return CallTraits<Id>::Failure();
    return (NativeCalls().*CallTraits<Id>::kMember)(args...);
  }
};

template <CallId Id>
void Wrap(Calls& table) {
  using Signature = decltype(NativeCalls().*CallTraits<Id>::kMember);
  table.*CallTraits<Id>::kMember = &Wrapper<Id, std::decay_t<Signature>>::Call;
}

const Calls& WrappedCalls() {
  static const Calls table = [] {
    Calls t = NativeCalls();
    Wrap<CallId::kGetFileAttributes>(t);
    return t;
  }();
  return table;
}

}  // namespace

const Calls& Os() { return gActive != nullptr ? *gActive : NativeCalls(); }

void ArmFault(CallId call, unsigned nth, ErrorCode code, FaultMode mode) {
  Fault& fault = gFaults[static_cast<std::size_t>(call)];
  fault = Fault{true, nth, 0, code, mode};
  gActive = &WrappedCalls();
}

void ClearFaults() {
  gFaults = {};
  gActive = nullptr;
}

unsigned CallsSeen(CallId call) { return gFaults[static_cast<std::size_t>(call)].seen; }

}  // namespace platform
}  // namespace TalqOSUtils
