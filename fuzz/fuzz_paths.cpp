// libFuzzer target for the path conversions and path composition.
//
// Input: two bytes giving a signed size (little-endian; a negative one is
// also tried as a capacity of 0, others modulo 512), then the path up to the
// first NUL, then the name up to the next NUL. Every buffer function runs with
// the input's capacity and with capacities made to measure (exact, one short,
// the source's length, 1), each twice: in a heap block of exactly the
// capacity (ASan reports any byte touched outside it) and in a block with
// canary bytes before and after the capacity, which must keep their value.
// Both runs must agree. Capacities of zero and below get a one-byte
// destination that must stay untouched. The forms without a capacity get a
// destination of exactly the documented size. Checked on the way: the
// documented size rules, what a refused call leaves in the destination, the
// aliases agreeing, string forms matching buffer forms, and two round trips
// (Mac HFS and back, NT and back) within their documented preconditions.
// The path is also taken as raw name bytes (bytes => UTF-8 => the same bytes,
// and the UTF-8 survives UnicodeString) and as UTF-8 (the bytes it names
// read back as the text UnicodeString makes of it, or it is refused for a
// surrogate).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/UnicodeString.h"

using namespace TalqOSUtils;

namespace {

constexpr char kCanary = '\xA5';
constexpr std::size_t kCanaryBytes = 32;

// What a call left behind: its answer (a bool, or a returned pointer as an
// offset into the destination, -1 for null) and the destination's bytes.
struct Outcome {
  long answer;
  std::string bytes;
  bool operator==(const Outcome& o) const { return answer == o.answer && bytes == o.bytes; }
};

long Answer(bool b, const char*) { return b ? 1 : 0; }
long Answer(const char* p, const char* base) { return p == nullptr ? -1 : p - base; }

// The destination as it was before the call: `initial` cut to the capacity,
// the rest canary bytes.
std::string Before(std::size_t capacity, const std::string& initial) {
  std::string bytes(capacity, kCanary);
  std::copy(initial.begin(), initial.begin() + std::min(initial.size(), capacity), bytes.begin());
  return bytes;
}

// Runs call(dst) on a destination of `capacity` bytes that starts as
// Before(capacity, initial), once in an exact heap block and once in a block
// with canary bytes on both sides of the capacity.
template <class Call>
Outcome Guarded(std::size_t capacity, const std::string& initial, Call call) {
  const std::string before = Before(capacity, initial);

  std::unique_ptr<char[]> exact(new char[capacity == 0 ? 1 : capacity]);
  std::copy(before.begin(), before.end(), exact.get());
  const Outcome a{Answer(call(exact.get()), exact.get()), std::string(exact.get(), capacity)};

  std::vector<char> wide(kCanaryBytes + capacity + kCanaryBytes, kCanary);
  char* dst = wide.data() + kCanaryBytes;
  std::copy(before.begin(), before.end(), dst);
  const Outcome b{Answer(call(dst), dst), std::string(dst, capacity)};
  FUZZ_CHECK(
      std::all_of(wide.begin(), wide.begin() + kCanaryBytes, [](char c) { return c == kCanary; }));
  FUZZ_CHECK(
      std::all_of(wide.end() - kCanaryBytes, wide.end(), [](char c) { return c == kCanary; }));
  FUZZ_CHECK(a == b);
  return a;
}

// Text of a result: up to its NUL, which must lie within the capacity.
std::string Terminated(const Outcome& o) {
  const std::size_t nul = o.bytes.find('\0');
  FUZZ_CHECK(nul != std::string::npos);
  return o.bytes.substr(0, nul);
}

// The capacities every buffer function is tried with: the input's, and ones
// made to measure around the lengths that decide (source and result).
std::vector<std::size_t> Capacities(std::size_t fromInput, std::size_t sourceLength,
                                    std::size_t resultLength) {
  std::vector<std::size_t> caps{fromInput,        1,           sourceLength, sourceLength + 1,
                                resultLength + 1, resultLength};
  std::sort(caps.begin(), caps.end());
  caps.erase(std::unique(caps.begin(), caps.end()), caps.end());
  caps.erase(std::remove(caps.begin(), caps.end(), 0u), caps.end());
  return caps;
}

using Converter = bool (*)(const char*, char*, int);

Outcome Convert(Converter f, const std::string& src, std::size_t capacity) {
  const int size = static_cast<int>(capacity);
  return Guarded(capacity, std::string(), [&](char* dst) { return f(src.c_str(), dst, size); });
}

// Zero and negative capacities, and null pointers, are refused untouched.
void CheckRefusals(Converter f, const std::string& src, int inputSize) {
  char untouched = kCanary;
  for (int size : {0, -1, std::min(inputSize, 0), INT32_MIN}) {
    FUZZ_CHECK(!f(src.c_str(), &untouched, size));
  }
  FUZZ_CHECK(!f(nullptr, &untouched, 1));
  FUZZ_CHECK(!f(src.c_str(), nullptr, 1));
  FUZZ_CHECK(untouched == kCanary);
}

// How a converter may answer a destination too small for it.
enum class OnRefusal {
  kUnwritten,     // false, destination as it was
  kResultPrefix,  // false, the result's first size-1 bytes and a NUL
  kSourcePrefix,  // false, the source's first size-1 bytes and a NUL, NUL-padded
};

struct ConverterRow {
  const char* name;
  Converter f;
  Converter aliases[2];
  OnRefusal refusal;
};

// Length of the Mac HFS path's leading run of colons.
std::size_t LeadingColons(const std::string& s) {
  const std::size_t n = s.find_first_not_of(':');
  return n == std::string::npos ? s.size() : n;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void FuzzConversions(const std::string& raw, const std::string& src, int inputSize,
                     std::size_t inputCapacity) {
  const std::size_t length = src.size();
  const ConverterRow rows[] = {
      {"GenericToNT",
       &OSPathGenericToNT,
       {static_cast<Converter>(&OSPathLocal)},
       OnRefusal::kUnwritten},
      {"NTToGeneric",
       &OSPathNTToGeneric,
       {static_cast<Converter>(&OSPathGeneric)},
       OnRefusal::kUnwritten},
      {"GenericToMacHFS", &OSPathGenericToMacHFS, {}, OnRefusal::kUnwritten},
      {"MacHFSToGeneric", &OSPathMacHFSToGeneric, {}, OnRefusal::kResultPrefix},
      {"GenericToUnix",
       &OSPathGenericToUnix,
       {&OSPathUnixToGeneric, &OSPathGenericToGeneric},
       OnRefusal::kSourcePrefix}};

  // Results in a roomy buffer (no result is longer than twice the source,
  // plus a few bytes); each row's own size rule then decides every capacity.
  const std::size_t roomy = 2 * length + 8;
  const bool drive = length >= 2 && IsAsciiLetter(src[0]) && src[1] == ':';
  const bool oddColons = LeadingColons(src) >= 2 && LeadingColons(src) % 2 == 1;
  for (const ConverterRow& row : rows) {
    const Outcome full = Convert(row.f, src, roomy);
    const bool ok = full.answer == 1;
    const std::string result = ok ? Terminated(full) : std::string();
    FUZZ_CHECK(ok || row.f == &OSPathMacHFSToGeneric);
    FUZZ_CHECK(ok == !(row.f == &OSPathMacHFSToGeneric && oddColons));

    for (std::size_t capacity : Capacities(inputCapacity, length, result.size())) {
      bool fits = capacity > result.size();
      if (row.f == &OSPathGenericToNT || row.f == &OSPathGenericToMacHFS) {
        fits = fits && capacity > length;  // the source's length decides too
      }
      if (row.f == &OSPathNTToGeneric) FUZZ_CHECK(result.size() == length + (drive ? 1 : 0));
      const Outcome o = Convert(row.f, src, capacity);
      FUZZ_CHECK(o.answer == (ok && fits));
      if (o.answer) {
        FUZZ_CHECK(Terminated(o) == result);
        continue;
      }
      std::string expected;
      switch (row.refusal) {
        case OnRefusal::kUnwritten:
          expected = Before(capacity, std::string());
          break;
        case OnRefusal::kResultPrefix:
          expected = ok ? Before(capacity, result.substr(0, capacity - 1) + '\0')
                        : Before(capacity, std::string());  // odd colons: unwritten
          break;
        case OnRefusal::kSourcePrefix:
          expected = src.substr(0, capacity - 1) + '\0';
          break;
      }
      if (row.refusal == OnRefusal::kResultPrefix && ok) {
        // Only the prefix and its NUL are promised; bytes after it are open.
        FUZZ_CHECK(Terminated(o) == result.substr(0, capacity - 1));
      } else {
        FUZZ_CHECK(o.bytes == expected);
      }
    }
    if (row.refusal == OnRefusal::kSourcePrefix && ok) {
      // Unused bytes of a successful copy are NUL.
      const Outcome padded = Convert(row.f, src, length + 4);
      FUZZ_CHECK(padded.bytes == src + std::string(4, '\0'));
    }

    CheckRefusals(row.f, src, inputSize);
    for (Converter alias : row.aliases) {
      if (alias == nullptr) continue;
      FUZZ_CHECK(Convert(alias, src, inputCapacity) == Convert(row.f, src, inputCapacity));
      FUZZ_CHECK(Convert(alias, src, roomy) == full);
      CheckRefusals(alias, src, inputSize);
    }
  }

  // The string forms agree with the buffer forms (both measure to the first NUL).
  std::string big(2 * length + 8, '\0');
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
  const std::string generic = big.c_str();
  FUZZ_CHECK(OSPathGeneric(raw) == (length < 1024 ? generic : std::string()));

  // NT -> generic -> NT gives the NT text back when it holds no '/' (which
  // would come back as '\') and does not begin "\X:" or "\:" (the way back
  // takes the slash of "/X:" for a drive's, and the '/' of "/:" for a drive).
  const bool slashDrive = length >= 2 && src[0] == '\\' && (src[1] == ':' || src[2] == ':');
  if (src.find('/') == std::string::npos && !slashDrive) {
    std::string back(generic.size() + 1, '\0');
    FUZZ_CHECK(OSPathGenericToNT(generic.c_str(), &back[0], static_cast<int>(back.size())));
    FUZZ_CHECK(std::string(back.c_str()) == src);
  }

  // Generic -> Mac HFS -> generic gives the path back for a non-empty path
  // without ':' whose escapes are all needed ("\/" or "\\"), that does not
  // begin "./", and whose first name after the prefix ('/' or a run of
  // "../") is not empty.
  bool canonical = length > 0 && src.find(':') == std::string::npos && src.compare(0, 2, "./");
  for (std::size_t i = 0; canonical && i < length; ++i) {
    if (src[i] != '\\') continue;
    canonical = i + 1 < length && (src[i + 1] == '/' || src[i + 1] == '\\');
    ++i;
  }
  std::size_t prefix = 0;
  if (canonical && src[0] == '/') {
    prefix = 1;
  } else {
    while (src.compare(prefix, 3, "../") == 0) prefix += 3;
  }
  if (canonical && prefix < length && src[prefix] == '/') canonical = false;
  if (canonical) {
    std::string hfs(2 * length + 8, '\0');
    std::string back(4 * length + 8, '\0');
    FUZZ_CHECK(OSPathGenericToMacHFS(src.c_str(), &hfs[0], static_cast<int>(hfs.size())));
    FUZZ_CHECK(OSPathMacHFSToGeneric(hfs.c_str(), &back[0], static_cast<int>(back.size())));
    FUZZ_CHECK(std::string(back.c_str()) == src);
  }
}

bool IsAnySeparator(char c) { return c == '/' || c == ':' || c == '\\'; }

void FuzzComposition(const std::string& path, const std::string& name, std::size_t inputCapacity) {
  const std::string terminated = path + '\0';

  // Unbounded join: the buffer holds exactly the joined result.
  const std::string joined = OSAddNameToPath(path, name);
  FUZZ_CHECK(joined == (path.empty() ? name : path + (path.back() == '/' ? "" : "/") + name));
  const std::size_t room = std::max(terminated.size(), joined.size() + 1);
  const Outcome unbounded =
      Guarded(room, terminated, [&](char* p) { return OSAddNameToPath(p, name.c_str()); });
  FUZZ_CHECK(unbounded.answer == (joined.size() < 256));
  FUZZ_CHECK(Terminated(unbounded) == (unbounded.answer ? joined : path));

  // Bounded join: each '/' of the name escaped; the path is cut to the
  // capacity, maybe without its NUL, and a refused join changes nothing.
  std::string escaped = path.empty() || path.back() == '/' ? path : path + '/';
  for (char c : name) escaped += c == '/' ? std::string("\\/") : std::string(1, c);
  for (std::size_t capacity : Capacities(inputCapacity, path.size(), escaped.size())) {
    const Outcome bounded = Guarded(capacity, terminated, [&](char* p) {
      return OSAddNameToPath(p, name.c_str(), static_cast<unsigned>(capacity));
    });
    FUZZ_CHECK(bounded.answer == (capacity > escaped.size()));
    if (bounded.answer) {
      FUZZ_CHECK(Terminated(bounded) == escaped);
    } else {
      FUZZ_CHECK(bounded.bytes == Before(capacity, terminated));
    }
  }
  {
    char untouched[2] = {'\0', kCanary};
    FUZZ_CHECK(!OSAddNameToPath(untouched, name.c_str(), 0u));
    FUZZ_CHECK(!OSAddNameToPath(untouched, nullptr, 2u) && !OSAddNameToPath(nullptr, "x", 2u));
    FUZZ_CHECK(untouched[0] == '\0' && untouched[1] == kCanary);
  }

  // String forms.
  const std::string basename = OSBasename(path);
  const std::string dirname = OSDirname(path);
  FUZZ_CHECK(!dirname.empty());
  FUZZ_CHECK(basename.find('/') == std::string::npos);

  // Unbounded basename: a separator-free tail of the path (less one trailing
  // separator).
  {
    const Outcome o = Guarded(terminated.size(), std::string(),
                              [&](char* out) { return OSBasename(path.c_str(), out); });
    if (path.empty()) {
      FUZZ_CHECK(o.answer == -1 && o.bytes == Before(1, std::string()));
    } else {
      FUZZ_CHECK(o.answer == 0);
      const std::string tail = Terminated(o);
      FUZZ_CHECK(std::none_of(tail.begin(), tail.end(), IsAnySeparator));
      const std::size_t at = path.size() - tail.size();
      const bool whole = path.compare(at, tail.size(), tail) == 0;
      const bool lessSeparator = tail.size() < path.size() &&
                                 path.compare(at - 1, tail.size(), tail) == 0 &&
                                 IsAnySeparator(path.back());
      FUZZ_CHECK(whole || lessSeparator);
    }
  }
  // Unbounded dirname: the path up to one of its separators (not the first
  // byte), or null with a copy of the path.
  {
    const Outcome o = Guarded(terminated.size(), std::string(),
                              [&](char* out) { return OSDirname(path.c_str(), out); });
    if (path.empty()) {
      FUZZ_CHECK(o.answer == -1 && o.bytes == Before(1, std::string()));
    } else if (o.answer == -1) {
      FUZZ_CHECK(o.bytes == terminated);
    } else {
      FUZZ_CHECK(o.answer == 0);
      const std::string head = Terminated(o);
      if (path.size() == 1) {
        FUZZ_CHECK(IsAnySeparator(path[0]) && head == path);
      } else {
        FUZZ_CHECK(!head.empty() && head.size() < path.size());
        FUZZ_CHECK(path.compare(0, head.size(), head) == 0 && IsAnySeparator(path[head.size()]));
      }
    }
  }
  char untouched = kCanary;
  FUZZ_CHECK(OSBasename(nullptr, &untouched) == nullptr &&
             OSDirname(nullptr, &untouched) == nullptr);
  FUZZ_CHECK(untouched == kCanary);

  // Bounded basename: cut results are prefixes; the answer is monotonic in
  // the capacity.
  {
    const Outcome full = Guarded(path.size() + 1, std::string(), [&](char* out) {
      return OSBasename(path.c_str(), out, static_cast<unsigned>(path.size() + 1));
    });
    FUZZ_CHECK(full.answer == 1);
    const std::string component = Terminated(full);
    if (path.find('\\') == std::string::npos) FUZZ_CHECK(component == basename);
    bool accepted = false;  // capacities come in ascending order
    for (std::size_t capacity : Capacities(inputCapacity, component.size() + 1, component.size())) {
      const Outcome o = Guarded(capacity, std::string(), [&](char* out) {
        return OSBasename(path.c_str(), out, static_cast<unsigned>(capacity));
      });
      if (o.answer) {
        FUZZ_CHECK(Terminated(o) == component);
      } else {
        const std::string cut = Terminated(o);
        FUZZ_CHECK(cut.size() + 1 == capacity || cut.size() + 2 == capacity);
        FUZZ_CHECK((component + '/').compare(0, cut.size(), cut) == 0);
      }
      FUZZ_CHECK(!accepted || o.answer == 1);
      accepted = o.answer == 1;
    }
    FUZZ_CHECK(!OSBasename(path.c_str(), &untouched, 0u) && untouched == kCanary);
    FUZZ_CHECK(!OSBasename(nullptr, &untouched, 1u) && !OSBasename(path.c_str(), nullptr, 1u));
  }

  // Bounded dirname: any capacity of 2 or more succeeds with the directory
  // part cut to fit; below 2 nothing is written.
  {
    const std::size_t roomy = path.size() + 2;
    const Outcome full = Guarded(roomy, std::string(), [&](char* out) {
      return OSDirname(path.c_str(), out, static_cast<unsigned>(roomy));
    });
    FUZZ_CHECK(full.answer == 1);
    const std::string directory = Terminated(full);
    FUZZ_CHECK(!directory.empty());
    for (std::size_t capacity : Capacities(inputCapacity, directory.size() + 1, directory.size())) {
      const Outcome o = Guarded(capacity, std::string(), [&](char* out) {
        return OSDirname(path.c_str(), out, static_cast<unsigned>(capacity));
      });
      if (capacity < 2) {
        FUZZ_CHECK(o.answer == 0 && o.bytes == Before(capacity, std::string()));
      } else {
        FUZZ_CHECK(o.answer == 1 && Terminated(o) == directory.substr(0, capacity - 1));
      }
    }
    FUZZ_CHECK(!OSDirname(path.c_str(), &untouched, 0u) && untouched == kCanary);
    FUZZ_CHECK(!OSDirname(nullptr, &untouched, 2u) && !OSDirname(path.c_str(), nullptr, 2u));
  }
}

void FuzzNameBytes(const std::string& path) {
  const std::string utf8 = OSNameBytesToUTF8(path);
  FUZZ_CHECK(OSUTF8ToNameBytes(utf8) == path);
  std::string back;
  UnicodeString("x" + utf8).get(back);  // "x": no mark processing
  FUZZ_CHECK(back == "x" + utf8);

  // The path as UTF-8: the text UnicodeString reads, as name bytes and back.
  UnicodeString("x" + path).get(back);
  const std::string text = back.substr(1);
  const std::string bytes = OSUTF8ToNameBytes(path);
  if (!bytes.empty() || path.empty()) {
    FUZZ_CHECK(OSNameBytesToUTF8(bytes) == text);
  } else {
    FUZZ_CHECK(text.find('\xED') != std::string::npos);  // a surrogate's three-byte form
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // A signed size: negative ones must be refused by the int forms; the
  // others are cut to a capacity of 0..511 for every form.
  const int inputSize = static_cast<std::int16_t>(data[0] | data[1] << 8);
  const std::size_t capacity = inputSize < 0 ? 0 : static_cast<std::size_t>(inputSize) % 512;
  const std::string raw(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::string path = raw.substr(0, raw.find('\0'));
  const std::size_t after = path.size() + 1;
  const std::string name =
      after < raw.size() ? raw.substr(after, raw.find('\0', after) - after) : std::string();
  FuzzConversions(raw, path, inputSize, capacity);
  FuzzComposition(path, name, capacity);
  FuzzNameBytes(path);
  return 0;
}
