// Conversions between generic path notation and the NT, Mac HFS and Unix
// notations. Every conversion is a byte-by-byte text transformation: UTF-8
// passes through untouched because no byte of a multi-byte sequence is an
// ASCII separator.
//
// Capacities arrive as int; they are compared with lengths as size_t, so a
// source longer than INT_MAX cannot wrap a comparison.

#include <cstddef>
#include <cstring>
#include <string>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Paths.h"
#include "VandrelRules/NtPath.h"
#include "common/PathRules.h"
#include "errors/Exceptions.h"

namespace TalqOSUtils {
namespace {

// The string form of OSPathGeneric gives up from this length on.
constexpr std::size_t kGenericStringLimit = 1024;

// True when a buffer of `size` bytes holds `length` bytes and a NUL.
bool Holds(int size, std::size_t length) { return static_cast<std::size_t>(size) > length; }

// Length of the text up to its first NUL byte.
std::size_t TextLength(const std::string& s) {
  const std::size_t nul = s.find('\0');
  return nul == std::string::npos ? s.size() : nul;
}

// Generic to NT. The result is never longer than src, so dst needs
// strlen(src) + 1 bytes; the writing position never passes the reading
// position, which also makes dst == src safe. Returns the result length.
std::size_t WriteNT(const char* src, char* dst) {
  const char* p = src;
  if (p[0] == '/' && p[1] != '\0' && p[2] == ':') ++p;  // "/C:" loses its slash
  char* d = dst;
  // Any byte is a drive here, not only NT's letters: a generic drive is copied as written.
  if (p[0] != '\0' && p[1] == ':') {
    *d++ = p[0];
    *d++ = ':';
    p += 2;
  }
  for (; *p != '\0'; ++p) {
    if (*p == '/') {
      *d++ = '\\';
    } else if (*p == '\\') {
      if (p[1] == '\0') break;  // a dangling escape escapes nothing
      *d++ = *++p;
    } else {
      *d++ = *p;
    }
  }
  *d = '\0';
  return static_cast<std::size_t>(d - dst);
}

using Vandrel::ntpath::StartsWithDrive;

// NT to generic; dst needs strlen(src) + 2 bytes when src starts with a drive.
void WriteGeneric(const char* src, std::size_t length, char* dst) {
  char* d = dst;
  if (StartsWithDrive(src)) *d++ = '/';
  for (std::size_t i = 0; i < length; ++i) *d++ = src[i] == '\\' ? '/' : src[i];
  *d = '\0';
}

bool StartsWithParentStep(const char* p) { return p[0] == '.' && p[1] == '.' && p[2] == '/'; }

// Generic to Mac HFS, the part after the prefix. Counts the bytes it would
// write, and writes them when dst is not null.
std::size_t HfsBody(const char* p, char* dst) {
  std::size_t n = 0;
  for (; *p != '\0'; ++p) {
    char c = *p;
    if (c == '/') {
      c = ':';
    } else if (c == '\\') {
      if (p[1] == '\0') break;
      c = *++p;
    }
    if (dst != nullptr) dst[n] = c;
    ++n;
  }
  return n;
}

// Unix notation is generic notation: a bounded copy, NUL-padded like strncpy,
// that never reads src past the capacity.
bool BoundedCopy(const char* src, char* dst, int size) {
  if (src == nullptr || dst == nullptr || size <= 0) return false;
  const std::size_t capacity = static_cast<std::size_t>(size);
  std::size_t i = 0;
  for (; i < capacity && src[i] != '\0'; ++i) dst[i] = src[i];
  if (i == capacity) {
    dst[capacity - 1] = '\0';
    return false;
  }
  std::memset(dst + i, 0, capacity - i);
  return true;
}

}  // namespace

bool OSPathGenericToNT(const char* src, char* dst, int size) {
  if (src == nullptr || dst == nullptr || size <= 0) return false;
  // The source length decides, although escapes and a drive slash may make
  // the result shorter: one test guarantees room.
  if (!Holds(size, std::strlen(src))) return false;
  WriteNT(src, dst);
  return true;
}

bool OSPathLocal(const char* src, char* dst, int size) { return OSPathGenericToNT(src, dst, size); }

std::string OSPathLocal(const std::string& path) {
  const std::size_t length = TextLength(path);
  // Longer than an OS-side area: a path that could not be handed on anyway.
  if (length > kPathArea) throw ChException(errors::kPathNotConvertible);
  std::string result(length + 1, '\0');
  result.resize(WriteNT(path.c_str(), &result[0]));
  return result;
}

bool OSPathNTToGeneric(const char* src, char* dst, int size) {
  if (src == nullptr || dst == nullptr || size <= 0) return false;
  const std::size_t length = std::strlen(src);
  const std::size_t result_length = length + (StartsWithDrive(src) ? 1 : 0);
  if (!Holds(size, result_length)) return false;
  WriteGeneric(src, length, dst);
  return true;
}

bool OSPathGeneric(const char* src, char* dst, int size) {
  return OSPathNTToGeneric(src, dst, size);
}

std::string OSPathGeneric(const std::string& path) {
  const std::size_t length = TextLength(path);
  if (length >= kGenericStringLimit) return std::string();
  std::string result(length + 2, '\0');
  WriteGeneric(path.c_str(), length, &result[0]);
  result.resize(length + (StartsWithDrive(path.c_str()) ? 1 : 0));
  return result;
}

bool OSPathGenericToMacHFS(const char* src, char* dst, int size) {
  if (src == nullptr || dst == nullptr || size <= 0) return false;
  if (!Holds(size, std::strlen(src))) return false;

  // The prefix is only ever colons: none for an absolute path (its first
  // component is the volume), "::" per leading "../", one for any other
  // non-empty relative path.
  std::size_t skip = 0;
  std::size_t colons = 0;
  if (src[0] == '/') {
    skip = 1;
  } else if (StartsWithParentStep(src)) {
    while (StartsWithParentStep(src + skip)) {
      skip += 3;
      colons += 2;
    }
  } else if (src[0] != '\0') {
    colons = 1;
    if (src[0] == '.' && src[1] == '/') skip = 2;  // only one "./" goes
  }

  const std::size_t result_length = colons + HfsBody(src + skip, nullptr);
  if (!Holds(size, result_length)) return false;
  std::memset(dst, ':', colons);
  HfsBody(src + skip, dst + colons);
  dst[result_length] = '\0';
  return true;
}

bool OSPathMacHFSToGeneric(const char* src, char* dst, int size) {
  if (src == nullptr || dst == nullptr || size <= 0) return false;

  // The last byte of dst is kept for the NUL. Whatever does not fit ends the
  // conversion with a NUL-terminated prefix of the result in dst.
  const std::size_t room = static_cast<std::size_t>(size) - 1;
  std::size_t n = 0;
  auto put = [&](char c) {
    if (n == room) return false;
    dst[n++] = c;
    return true;
  };

  const char* p = src;
  bool fits = true;
  if (p[0] != ':') {
    fits = put('/');  // absolute, the empty path included
  } else if (p[1] != ':') {
    ++p;  // one colon: relative to the current directory
  } else {
    std::size_t run = 0;
    while (p[run] == ':') ++run;
    if (run % 2 != 0) return false;  // an odd run has no generic spelling
    for (std::size_t i = 0; fits && i < run / 2; ++i) fits = put('.') && put('.') && put('/');
    p += run;
  }
  for (; fits && *p != '\0'; ++p) {
    const char c = *p;
    if (c == ':') {
      fits = put('/');
    } else if (c == '/' || c == '\\') {
      fits = put('\\') && put(c);
    } else {
      fits = put(c);
    }
  }
  dst[n] = '\0';  // n == room when something did not fit
  return fits;
}

bool OSPathGenericToUnix(const char* src, char* dst, int size) {
  return BoundedCopy(src, dst, size);
}

bool OSPathUnixToGeneric(const char* src, char* dst, int size) {
  return BoundedCopy(src, dst, size);
}

bool OSPathGenericToGeneric(const char* src, char* dst, int size) {
  return BoundedCopy(src, dst, size);
}

}  // namespace TalqOSUtils
