// libFuzzer target for the path conversions and path composition.
//
// Input: two bytes choosing a capacity (0..511), then the path up to the
// first NUL, then the name up to the next NUL. Every buffer function runs
// twice: in a heap block of exactly the capacity (ASan reports any byte
// touched past it) and in a larger block whose bytes past the capacity must
// keep their canary value. Both runs must agree. The forms without a capacity
// get a destination of exactly the documented size. A few cheap properties
// (documented size rules, aliases agreeing, string forms matching buffer
// forms) are checked on the way.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Paths.h"

using namespace TalqOSUtils;

namespace {

constexpr char kCanary = '\xA5';
constexpr std::size_t kCanaryBytes = 64;

#define FUZZ_CHECK(cond)                                                            \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

// What a call left behind: its answer (a bool, or a returned pointer as an
// offset into the destination, -1 for null) and the destination's bytes.
struct Outcome {
  long answer;
  std::string bytes;
  bool operator==(const Outcome& o) const { return answer == o.answer && bytes == o.bytes; }
};

long Answer(bool b, const char*) { return b ? 1 : 0; }
long Answer(const char* p, const char* base) { return p == nullptr ? -1 : p - base; }

// Runs call(dst) on a destination of `capacity` bytes that starts with
// `initial` (cut to the capacity; the rest holds the canary), once in an
// exact heap block and once in a block with canary bytes past the capacity.
template <class Call>
Outcome Guarded(std::size_t capacity, const std::string& initial, Call call) {
  const std::size_t prefix = std::min(initial.size(), capacity);

  std::unique_ptr<char[]> exact(new char[capacity]);
  std::fill(exact.get(), exact.get() + capacity, kCanary);
  std::copy(initial.begin(), initial.begin() + prefix, exact.get());
  const Outcome a{Answer(call(exact.get()), exact.get()), std::string(exact.get(), capacity)};

  std::vector<char> wide(capacity + kCanaryBytes, kCanary);
  std::copy(initial.begin(), initial.begin() + prefix, wide.begin());
  const Outcome b{Answer(call(wide.data()), wide.data()), std::string(wide.data(), capacity)};
  FUZZ_CHECK(std::all_of(wide.begin() + capacity, wide.end(), [](char c) { return c == kCanary; }));
  FUZZ_CHECK(a == b);
  return a;
}

// Text of a successful result: up to its NUL, which must lie within the capacity.
std::string Terminated(const Outcome& o) {
  const std::size_t nul = o.bytes.find('\0');
  FUZZ_CHECK(nul != std::string::npos);
  return o.bytes.substr(0, nul);
}

using Converter = bool (*)(const char*, char*, int);

Outcome Convert(Converter f, const std::string& src, std::size_t capacity) {
  const int size = static_cast<int>(capacity);
  return Guarded(capacity, std::string(), [&](char* dst) { return f(src.c_str(), dst, size); });
}

void FuzzConversions(const std::string& raw, const std::string& src, std::size_t capacity) {
  const std::size_t length = src.size();
  const Converter groups[][3] = {
      {&OSPathGenericToNT, static_cast<Converter>(&OSPathLocal), nullptr},
      {&OSPathNTToGeneric, static_cast<Converter>(&OSPathGeneric), nullptr},
      {&OSPathGenericToMacHFS, nullptr, nullptr},
      {&OSPathMacHFSToGeneric, nullptr, nullptr},
      {&OSPathGenericToUnix, &OSPathUnixToGeneric, &OSPathGenericToGeneric}};
  for (const auto& group : groups) {
    const Outcome first = Convert(group[0], src, capacity);
    if (first.answer) Terminated(first);
    for (Converter alias : group) {
      if (alias == nullptr) continue;
      FUZZ_CHECK(Convert(alias, src, capacity) == first);
      char untouched = kCanary;
      for (int size : {0, -1, -static_cast<int>(capacity) - 1}) {
        FUZZ_CHECK(!alias(src.c_str(), &untouched, size));
      }
      FUZZ_CHECK(!alias(nullptr, &untouched, 1) && !alias(src.c_str(), nullptr, 1));
      FUZZ_CHECK(untouched == kCanary);
    }
  }

  // Documented size rules.
  const bool drive = src.size() >= 2 && src[1] == ':' &&
                     ((src[0] >= 'A' && src[0] <= 'Z') || (src[0] >= 'a' && src[0] <= 'z'));
  FUZZ_CHECK(Convert(&OSPathGenericToNT, src, capacity).answer == (capacity > length));
  FUZZ_CHECK(Convert(&OSPathNTToGeneric, src, capacity).answer ==
             (capacity > length + (drive ? 1 : 0)));
  const Outcome copy = Convert(&OSPathGenericToUnix, src, capacity);
  FUZZ_CHECK(copy.answer == (capacity > length));
  if (copy.answer) FUZZ_CHECK(Terminated(copy) == src);

  // The string forms agree with the buffer forms (both measure to the first NUL).
  std::string big(length + 2, '\0');
  if (length <= 256) {
    FUZZ_CHECK(OSPathGenericToNT(src.c_str(), &big[0], static_cast<int>(big.size())));
    FUZZ_CHECK(OSPathLocal(raw) == big.c_str());
  } else {
    bool thrown = false;
    try {
      OSPathLocal(raw);
    } catch (const ChException& e) {
      thrown = std::strcmp(e.what(), "Unable to convert file path") == 0;
    }
    FUZZ_CHECK(thrown);
  }
  FUZZ_CHECK(OSPathNTToGeneric(src.c_str(), &big[0], static_cast<int>(big.size())));
  FUZZ_CHECK(OSPathGeneric(raw) == (length < 1024 ? std::string(big.c_str()) : std::string()));
}

void FuzzComposition(const std::string& path, const std::string& name, std::size_t capacity) {
  const unsigned size = static_cast<unsigned>(capacity);
  const std::string terminated = path + '\0';

  // Unbounded join: the buffer holds exactly the joined result.
  const std::string joined = OSAddNameToPath(path, name);
  const std::size_t room = std::max(terminated.size(), joined.size() + 1);
  const Outcome unbounded =
      Guarded(room, terminated, [&](char* p) { return OSAddNameToPath(p, name.c_str()); });
  FUZZ_CHECK(unbounded.answer == (joined.size() < 256));
  FUZZ_CHECK(Terminated(unbounded) == (unbounded.answer ? joined : path));

  // Bounded join: the path is cut to the capacity, maybe without its NUL.
  const Outcome bounded = Guarded(capacity, terminated,
                                  [&](char* p) { return OSAddNameToPath(p, name.c_str(), size); });
  if (bounded.answer) {
    Terminated(bounded);
  } else if (terminated.size() <= capacity) {
    FUZZ_CHECK(Terminated(bounded) == path);  // a refused join changes nothing
  }

  (void)OSBasename(path);
  const std::string dirname = OSDirname(path);
  FUZZ_CHECK(!dirname.empty());

  // Unbounded splits: out holds a full copy of the path.
  for (auto split : {static_cast<char* (*)(const char*, char*)>(&OSBasename),
                     static_cast<char* (*)(const char*, char*)>(&OSDirname)}) {
    const Outcome o = Guarded(terminated.size(), std::string(),
                              [&](char* out) { return split(path.c_str(), out); });
    if (o.answer >= 0) FUZZ_CHECK(o.answer == 0 && Terminated(o).size() <= path.size());
  }

  for (auto split : {static_cast<bool (*)(const char*, char*, unsigned)>(&OSBasename),
                     static_cast<bool (*)(const char*, char*, unsigned)>(&OSDirname)}) {
    const Outcome o =
        Guarded(capacity, std::string(), [&](char* out) { return split(path.c_str(), out, size); });
    if (o.answer) Terminated(o);
    char untouched = kCanary;
    FUZZ_CHECK(!split(nullptr, &untouched, 1) && !split(path.c_str(), nullptr, 1));
    FUZZ_CHECK(!split(path.c_str(), &untouched, 0) && untouched == kCanary);
  }
  // The bounded dirname always answers when two bytes are available.
  if (capacity >= 2) {
    FUZZ_CHECK(Guarded(capacity, std::string(), [&](char* out) {
                 return OSDirname(path.c_str(), out, size);
               }).answer == 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t capacity = (data[0] | (data[1] & 1u) << 8);
  const std::string raw(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::string path = raw.substr(0, raw.find('\0'));
  const std::size_t after = path.size() + 1;
  const std::string name =
      after < raw.size() ? raw.substr(after, raw.find('\0', after) - after) : std::string();
  FuzzConversions(raw, path, capacity);
  FuzzComposition(path, name, capacity);
  return 0;
}
