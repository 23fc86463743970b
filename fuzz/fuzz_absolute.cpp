// libFuzzer target for OSMakePathAbsolute (both forms) and
// GenericPathToLocalPath.
//
// Input: one byte choosing a buffer size, then the path up to the first NUL,
// then the base up to the next NUL. The executable's path comes from a
// stand-in for GetModuleFileNameW, so the application directory is fixed
// ("/C:/Program Files/Talq/bin/") and nothing touches the file system.
//
// Checked (abort on failure), as the header documents them:
//   - an absolute path comes back unchanged from the two-argument form; any
//     other result is empty or absolute, has no "." or ".." and no empty
//     component, and ends with '/' exactly when a non-empty path did;
//   - an empty base means the application directory, a relative base counts
//     as absolute, and placing path below base equals normalising
//     base + "/" + path (less the trailing '/' rule);
//   - the one-argument form normalises absolute paths the same way, prefixes
//     drive paths, resolves others against the application directory, and
//     is idempotent on every result;
//   - GenericPathToLocalPath, in a buffer of the chosen size with canary
//     bytes on both sides: unchanged when the path and its NUL do not fit,
//     else the NT form of OSPathGenericToNT, never longer, and nothing past
//     the path's old NUL written.

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
#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Paths.h"
#include "platform/Platform.h"

using namespace TalqOSUtils;

namespace {

constexpr char kCanary = '\xA5';
constexpr std::size_t kCanaryBytes = 32;
const std::string kAppDir = "/C:/Program Files/Talq/bin/";

// GetModuleFileNameW with a fixed answer, as Windows would give it.
std::uint32_t FixedModuleFileName(platform::OsChar* buffer, std::uint32_t capacity) {
  static const char16_t kModule[] = u"C:\\Program Files\\Talq\\bin\\talq.exe";
  const std::uint32_t units = sizeof(kModule) / sizeof(kModule[0]) - 1;
  if (buffer == nullptr || capacity <= units) {
    platform::SetLastError(platform::kErrorInsufficientBuffer);
    return capacity;
  }
  std::copy(kModule, kModule + units + 1, buffer);
  return units;
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    out.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

bool HasDotComponent(const std::string& path) {
  for (const std::string& c : Components(path)) {
    if (c == "." || c == "..") return true;
  }
  return false;
}

bool EndsWithSlash(const std::string& s) { return !s.empty() && s.back() == '/'; }

// Empty, or '/' then non-empty components other than "." and "..", and a
// '/' at the end exactly when `trailing`.
void CheckNormal(const std::string& result, bool trailing) {
  if (result.empty()) return;
  FUZZ_CHECK(result[0] == '/');
  FUZZ_CHECK(EndsWithSlash(result) == trailing);
  const std::string body = result.substr(1, result.size() - (trailing ? 2 : 1));
  for (const std::string& c : Components(body)) {
    FUZZ_CHECK(!c.empty() && c != "." && c != "..");
  }
}

void FuzzTwoArgumentForm(const std::string& path, const std::string& base) {
  const std::string result = OSMakePathAbsolute(path, base);
  if (!path.empty() && path[0] == '/') {
    FUZZ_CHECK(result == path);
    return;
  }
  const bool trailing = EndsWithSlash(path) && !result.empty();
  CheckNormal(result, trailing);
  FUZZ_CHECK(OSMakePathAbsolute(result) == result);

  const std::string effectiveBase = base.empty() ? kAppDir : base;
  if (base.empty()) FUZZ_CHECK(result == OSMakePathAbsolute(path, kAppDir));
  if (effectiveBase[0] != '/') FUZZ_CHECK(result == OSMakePathAbsolute(path, '/' + base));
  std::string whole = OSMakePathAbsolute(std::string(), effectiveBase + '/' + path);
  if (trailing) whole += '/';
  FUZZ_CHECK(result == whole);

  // Without "." and "..", nothing is removed: the components are kept in order.
  if (!HasDotComponent(path) && !HasDotComponent(effectiveBase)) {
    std::string joined;
    for (const std::string& c : Components(effectiveBase + '/' + path)) {
      if (!c.empty()) joined += '/' + c;
    }
    if (trailing) joined += '/';
    FUZZ_CHECK(result == joined);
  }
}

void FuzzOneArgumentForm(const std::string& path) {
  const std::string result = OSMakePathAbsolute(path);
  if (path.empty()) {
    FUZZ_CHECK(result.empty());
    return;
  }
  if (path[0] != '/' && path.size() >= 2 && path[1] == ':') {
    FUZZ_CHECK(result == '/' + path);
    return;
  }
  const bool trailing = EndsWithSlash(path) && !result.empty();
  CheckNormal(result, trailing);
  FUZZ_CHECK(OSMakePathAbsolute(result) == result);
  if (path[0] != '/') {
    FUZZ_CHECK(result == OSMakePathAbsolute(path, kAppDir));
    FUZZ_CHECK(result == OSMakePathAbsolute(path, std::string()));
  } else {
    std::string normal = OSMakePathAbsolute(std::string(), path);
    if (trailing) normal += '/';
    FUZZ_CHECK(result == normal);
  }
}

// GenericPathToLocalPath on a buffer of `size` bytes holding `contents` (cut
// to the size), with canary bytes before and after it.
void FuzzLocalPath(const std::string& contents, std::size_t size) {
  const std::string before = contents.substr(0, std::min(size, contents.size())) +
                             std::string(size - std::min(size, contents.size()), kCanary);
  const std::size_t nul = before.find('\0');
  const bool converts = nul != std::string::npos;

  std::string expected = before;
  if (converts) {
    std::vector<char> nt(nul + 1);
    FUZZ_CHECK(OSPathGenericToNT(before.c_str(), nt.data(), static_cast<int>(nt.size())));
    const std::size_t length = std::strlen(nt.data());
    FUZZ_CHECK(length <= nul);
    std::copy(nt.data(), nt.data() + length + 1, expected.begin());
  }

  std::unique_ptr<char[]> exact(new char[size == 0 ? 1 : size]);
  std::copy(before.begin(), before.end(), exact.get());
  GenericPathToLocalPath(exact.get(), size);

  std::vector<char> wide(kCanaryBytes + size + kCanaryBytes, kCanary);
  char* buffer = wide.data() + kCanaryBytes;
  std::copy(before.begin(), before.end(), buffer);
  GenericPathToLocalPath(buffer, size);
  FUZZ_CHECK(
      std::all_of(wide.begin(), wide.begin() + kCanaryBytes, [](char c) { return c == kCanary; }));
  FUZZ_CHECK(
      std::all_of(wide.end() - kCanaryBytes, wide.end(), [](char c) { return c == kCanary; }));

  const std::string inPlace(buffer, size);
  FUZZ_CHECK(inPlace == std::string(exact.get(), size));
  if (!converts) {
    FUZZ_CHECK(inPlace == before);
    return;
  }
  // The NT text and its NUL; the bytes after the old NUL are untouched, those
  // between the two NULs are open.
  const std::size_t length = std::strlen(expected.c_str());
  FUZZ_CHECK(inPlace.compare(0, length + 1, expected, 0, length + 1) == 0);
  FUZZ_CHECK(inPlace.compare(nul, std::string::npos, before, nul, std::string::npos) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static platform::Calls calls = platform::NativeCalls();
  calls.getModuleFileName = &FixedModuleFileName;
  platform::InstallCalls(&calls);
  FUZZ_CHECK(OSApplicationDirectory() == kAppDir);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string raw(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string path = raw.substr(0, raw.find('\0'));
  const std::size_t after = path.size() + 1;
  const std::string base =
      after < raw.size() ? raw.substr(after, raw.find('\0', after) - after) : std::string();

  FuzzTwoArgumentForm(path, base);
  FuzzOneArgumentForm(path);

  // The buffer holds the path, its NUL and whatever followed in the input.
  for (std::size_t bytes :
       {static_cast<std::size_t>(data[0]), path.size(), path.size() + 1, raw.size() + 1}) {
    FuzzLocalPath(raw + '\0', bytes);
  }
  char untouched = kCanary;
  GenericPathToLocalPath(nullptr, 16);
  GenericPathToLocalPath(&untouched, 0);
  FUZZ_CHECK(untouched == kCanary);
  return 0;
}
