// The counting, failing wrapper table behind FaultInjection.h. Each call of
// Calls.def gets a generic wrapper; calls whose failure is more than a value
// get a hand-written one below (as SQLite's test_syscall.c does).
#include "platform/testing/FaultInjection.h"

#include <algorithm>
#include <array>
#include <type_traits>

namespace TalqOSUtils {
namespace platform {

namespace {

struct Fault {
  bool armed = false;
  unsigned nth = 0;
  unsigned seen = 0;
  ErrorCode code = kErrorSuccess;
  FaultMode mode = FaultMode::kNthOnly;

  // Counts one call; true when this one is to fail.
  bool Count() {
    ++seen;
    if (!armed) return false;
    return mode == FaultMode::kNthOnly ? seen == nth : seen >= nth;
  }
};

std::array<Fault, static_cast<std::size_t>(CallId::kCount)> gFaults;
Fault gAny;
std::vector<CallId> gTrace;
struct ShortWrite {
  bool armed = false;
  unsigned nth = 0;
  unsigned seen = 0;
  std::uint32_t keep = 0;
  ErrorCode code = kErrorSuccess;
} gShortWrite;

// Counts a call of `call`; true (with the last error set) when it must fail.
bool Trip(CallId call) {
  Fault& own = gFaults[static_cast<std::size_t>(call)];
  const bool ownFails = own.Count();
  const bool anyFails = gAny.Count();
  gTrace.push_back(call);
  if (ownFails) {
    SetLastError(own.code);
  } else if (anyFails) {
    SetLastError(gAny.code);
  }
  return ownFails || anyFails;
}

template <CallId Id>
struct CallTraits;

#define TALQ_OS_CALL(member, id, result, params, failure) \
  template <>                                             \
  struct CallTraits<CallId::k##id> {                      \
    static constexpr auto kMember = &Calls::member;       \
    static result Failure() { return failure; }           \
  };
#include "platform/Calls.def"
#undef TALQ_OS_CALL

template <CallId Id, typename Signature>
struct Wrapper;

template <CallId Id, typename R, typename... Args>
struct Wrapper<Id, R (*)(Args...)> {
  static R Call(Args... args) {
    if (Trip(Id)) return CallTraits<Id>::Failure();
    return (NativeCalls().*CallTraits<Id>::kMember)(args...);
  }
};

// A failing close still closes, so that a test of the failure leaks nothing.
template <CallId Id>
bool ClosingWrapper(std::intptr_t handle) {
  const bool fails = Trip(Id);
  const ErrorCode code = LastError();
  const bool closed = (NativeCalls().*CallTraits<Id>::kMember)(handle);
  if (!fails) return closed;
  SetLastError(code);
  return false;
}

bool WriteWrapper(FileHandle file, const void* buffer, std::uint32_t count,
                  std::uint32_t* written) {
  if (Trip(CallId::kWriteFile)) return false;
  if (gShortWrite.armed && ++gShortWrite.seen == gShortWrite.nth) {
    const bool ok =
        NativeCalls().writeFile(file, buffer, std::min(count, gShortWrite.keep), written);
    SetLastError(gShortWrite.code);
    return ok;
  }
  return NativeCalls().writeFile(file, buffer, count, written);
}

const Calls& WrappedCalls() {
  static const Calls table = [] {
    Calls t = NativeCalls();
#define TALQ_OS_CALL(member, id, result, params, failure) \
  t.member = &Wrapper<CallId::k##id, std::decay_t<decltype(t.member)>>::Call;
#include "platform/Calls.def"
#undef TALQ_OS_CALL
    t.writeFile = &WriteWrapper;
    t.closeHandle = &ClosingWrapper<CallId::kCloseHandle>;
    t.findClose = &ClosingWrapper<CallId::kFindClose>;
    return t;
  }();
  return table;
}

}  // namespace

void ArmFault(CallId call, unsigned nth, ErrorCode code, FaultMode mode) {
  gFaults[static_cast<std::size_t>(call)] = Fault{true, nth, 0, code, mode};
  InstallCalls(&WrappedCalls());
}

void ArmAnyFault(unsigned nth, ErrorCode code, FaultMode mode) {
  gAny = Fault{true, nth, 0, code, mode};
  gTrace.clear();
  InstallCalls(&WrappedCalls());
}

void ArmShortWrite(unsigned nth, std::uint32_t keep, ErrorCode code) {
  gShortWrite = ShortWrite{true, nth, 0, keep, code};
  InstallCalls(&WrappedCalls());
}

void CountCalls() {
  ClearFaults();
  InstallCalls(&WrappedCalls());
}

void ClearFaults() {
  gFaults = {};
  gAny = Fault{};
  gShortWrite = ShortWrite{};
  gTrace.clear();
  InstallCalls(nullptr);
}

unsigned CallsSeen(CallId call) { return gFaults[static_cast<std::size_t>(call)].seen; }

unsigned TotalCallsSeen() { return gAny.seen; }
const std::vector<CallId>& CallTrace() { return gTrace; }
const char* CallName(CallId call) {
  static const char* const kNames[] = {
#define TALQ_OS_CALL(member, id, result, params, failure) #id,
#include "platform/Calls.def"
#undef TALQ_OS_CALL
  };
  return kNames[static_cast<std::size_t>(call)];
}

}  // namespace platform
}  // namespace TalqOSUtils
