// POSIX backend, module: GetModuleFileNameW for the executable, from the
// kernel's link to it (/proc/self/exe, Linux), its bytes as UTF-16 by
// VandrelRules/NameBytes.h. Like Windows, a path that does not fit is cut to
// capacity - 1 units, NUL-terminated, the result is the capacity and the
// last error ERROR_INSUFFICIENT_BUFFER.
//
// GetEnvironmentVariableW from the process environment (environ), names and
// values read as name bytes (VandrelRules/NameBytes.h). Windows names are not case
// sensitive: the first variable whose name matches in any case is the one
// ("windir" finds WINDIR).
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "VandrelRules/NameBytes.h"
#include "platform/posix/backend.h"
#include "platform/posix/errors.h"

extern char** environ;  // POSIX: the process environment

namespace TalqOSUtils {
namespace platform {
namespace posix {

namespace {

std::uint32_t GetModuleFileNameImpl(OsChar* buffer, std::uint32_t capacity) {
  const ErrnoGuard keepErrno;
  std::vector<char> path(4096);
  std::size_t length = 0;
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) {
      SetLastErrorFromErrno(errno, std::string());
      return 0;
    }
    if (static_cast<std::size_t>(n) < path.size()) {
      length = static_cast<std::size_t>(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  if (buffer == nullptr || capacity == 0) {
    SetLastError(kErrorInsufficientBuffer);
    return 0;
  }
  // Decode in full, then cut by units as Windows does.
  std::basic_string<OsChar> wide;
  Vandrel::names::AppendNameUnits(path.data(), length, wide);
  const std::size_t units = wide.size();
  if (units < capacity) {
    std::copy(wide.begin(), wide.end(), buffer);
    buffer[units] = 0;
    return static_cast<std::uint32_t>(units);
  }
  std::copy(wide.begin(), wide.begin() + capacity - 1, buffer);
  buffer[capacity - 1] = 0;
  SetLastError(kErrorInsufficientBuffer);
  return capacity;
}

bool SameAsciiCaseless(const char* a, const std::string& b) {
  for (std::size_t i = 0; i < b.size(); ++i) {
    const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
    const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
    if (x != y) return false;  // a's NUL differs from every byte of b
  }
  return true;
}

const char* FindVariable(const std::string& name) {
  if (name.empty() || name.find('=') != std::string::npos) return nullptr;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (SameAsciiCaseless(*entry, name) && (*entry)[name.size()] == '=') {
      return *entry + name.size() + 1;
    }
  }
  return nullptr;
}

std::uint32_t GetEnvironmentVariableImpl(const OsChar* name, OsChar* buffer,
                                         std::uint32_t capacity) {
  std::basic_string<OsChar> wide;
  if (!EnvironmentVariable(name, wide)) {
    SetLastError(kErrorEnvvarNotFound);
    return 0;
  }
  if (wide.empty()) {
    SetLastError(kErrorSuccess);
    return 0;
  }
  if (buffer == nullptr || wide.size() >= capacity) {
    return static_cast<std::uint32_t>(wide.size() + 1);  // the capacity it needs
  }
  std::copy(wide.begin(), wide.end(), buffer);
  buffer[wide.size()] = 0;
  return static_cast<std::uint32_t>(wide.size());
}

}  // namespace

bool EnvironmentVariable(const OsChar* name, std::basic_string<OsChar>& value) {
  std::string bytes;
  const std::size_t units = name == nullptr ? 0 : std::char_traits<OsChar>::length(name);
  const char* found = nullptr;
  if (Vandrel::names::AppendNameBytes(name, units, bytes)) found = FindVariable(bytes);
  if (found == nullptr) return false;
  value.clear();
  Vandrel::names::AppendNameUnits(found, std::strlen(found), value);
  return true;
}

void FillModuleCalls(Calls& t) {
  t.getModuleFileName = &GetModuleFileNameImpl;
  t.getEnvironmentVariable = &GetEnvironmentVariableImpl;
}

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
