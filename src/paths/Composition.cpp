// Path composition: joining a name to a directory path, and taking a path
// apart into its last component and the directory before it.
//
// The three forms of each family are deliberately different (separators
// known, escape handling, degenerate answers); callers rely on each form's
// own behaviour, so none of them is written in terms of another.

#include <cstddef>
#include <cstring>
#include <string>

#include "TalqOSUtils/Paths.h"
#include "common/PathRules.h"

namespace TalqOSUtils {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Length of s, or `limit` when s has no NUL among its first `limit` bytes;
// never reads beyond either.
std::size_t BoundedLength(const char* s, std::size_t limit) {
  std::size_t n = 0;
  while (n < limit && s[n] != '\0') ++n;
  return n;
}

bool NeedsSlash(const char* path, std::size_t length) {
  return length > 0 && path[length - 1] != '/';
}

// Index of the last '/' that ends a component (one followed by another byte),
// skipping escaped bytes; kNone when there is none.
std::size_t LastInnerSlash(const char* path) {
  std::size_t found = kNone;
  for (std::size_t i = 0; path[i] != '\0'; ++i) {
    if (path[i] == '\\') {
      if (path[i + 1] == '\0') break;
      ++i;
    } else if (path[i] == '/' && path[i + 1] != '\0') {
      found = i;
    }
  }
  return found;
}

}  // namespace

// ---------------------------------------------------------------------------
// OSAddNameToPath

std::string OSAddNameToPath(const std::string& path, const std::string& name) {
  if (path.empty()) return name;
  std::string joined;
  joined.reserve(path.size() + 1 + name.size());
  joined = path;
  if (path.back() != '/') joined += '/';
  joined += name;
  return joined;
}

bool OSAddNameToPath(char* path, const char* name) {
  if (path == nullptr || name == nullptr) return false;
  // The join is made in a path area (kPathArea). Neither input is read
  // further than the area could hold, and the caller's buffer is written only
  // once the whole result is known to fit. Joining in the area first also
  // lets name point into path.
  const std::size_t path_length = BoundedLength(path, kPathArea);
  if (path_length == kPathArea) return false;
  const std::size_t used = path_length + (NeedsSlash(path, path_length) ? 1 : 0);
  const std::size_t name_length = BoundedLength(name, kPathArea - used);
  const std::size_t total = used + name_length;
  if (total >= kPathArea) return false;

  char area[kPathArea];
  std::memcpy(area, path, path_length);
  if (used > path_length) area[path_length] = '/';
  std::memcpy(area + used, name, name_length);
  area[total] = '\0';
  std::memcpy(path, area, total + 1);
  return true;
}

bool OSAddNameToPath(char* path, const char* name, unsigned int size) {
  if (path == nullptr || name == nullptr || size == 0) return false;
  const std::size_t capacity = size;
  // A path without its NUL inside the buffer leaves no room to append.
  const std::size_t path_length = BoundedLength(path, capacity);
  if (path_length == capacity) return false;

  // Measure first (each '/' of the name costs two bytes), stopping as soon as
  // the result cannot fit, so a failure leaves path unchanged.
  const bool slash = NeedsSlash(path, path_length);
  const std::size_t room = capacity - 1;
  std::size_t needed = path_length + (slash ? 1 : 0);
  std::size_t name_length = 0;
  for (; name[name_length] != '\0' && needed <= room; ++name_length) {
    needed += name[name_length] == '/' ? 2 : 1;
  }
  if (needed > room) return false;

  // Copy by count, not up to name's NUL: name may be path itself, whose NUL
  // the separator overwrites.
  char* d = path + path_length;
  if (slash) *d++ = '/';
  for (std::size_t i = 0; i < name_length; ++i) {
    if (name[i] == '/') *d++ = '\\';
    *d++ = name[i];
  }
  *d = '\0';
  return true;
}

// ---------------------------------------------------------------------------
// OSBasename

std::string OSBasename(const std::string& path) {
  std::size_t last = path.rfind('/');
  if (last == std::string::npos) return path;
  if (last + 1 < path.size()) return path.substr(last + 1);
  // One trailing '/' does not end the name.
  if (last == 0) return std::string();
  const std::size_t before = path.rfind('/', last - 1);
  if (before == std::string::npos) return path.substr(0, last);
  return path.substr(before + 1, last - before - 1);
}

// The unbounded OSBasename and OSDirname accept every notation's separator.
char* OSBasename(const char* path, char* out) {
  if (path == nullptr || path[0] == '\0') return nullptr;
  const std::size_t length = std::strlen(path);
  std::size_t i = length - 1;
  if (IsAnySeparator(path[i]) && length > 1) --i;
  while (!IsAnySeparator(path[i]) && i != 0) --i;
  if (IsAnySeparator(path[i]) && path[i + 1] != '\0') ++i;
  const std::size_t copied = length - i;
  std::memmove(out, path + i, copied + 1);
  if (IsAnySeparator(out[copied - 1])) out[copied - 1] = '\0';
  return out;
}

bool OSBasename(const char* path, char* out, unsigned int size) {
  if (path == nullptr || out == nullptr || size == 0) return false;
  const std::size_t slash = LastInnerSlash(path);
  const char* p = slash == kNone ? path : path + slash + 1;

  // The writing position never passes the reading position, so out may be
  // path. A trailing '/' is copied (and counted) before it is dropped.
  const std::size_t room = static_cast<std::size_t>(size) - 1;
  std::size_t n = 0;
  bool fits = true;
  for (; *p != '\0'; ++p) {
    char c = *p;
    if (c == '\\') {
      if (p[1] == '\0') break;
      c = *++p;
    }
    if (n == room) {
      fits = false;
      break;
    }
    out[n++] = c;
  }
  if (n > 0 && out[n - 1] == '/') --n;
  out[n] = '\0';
  return fits;
}

// ---------------------------------------------------------------------------
// OSDirname

std::string OSDirname(const std::string& path) {
  const std::size_t last = path.rfind('/');
  if (last == std::string::npos) return ".";
  if (last == 0) return "/";
  return path.substr(0, last);
}

char* OSDirname(const char* path, char* out) {
  if (path == nullptr || path[0] == '\0') return nullptr;
  const std::size_t length = std::strlen(path);
  std::memmove(out, path, length + 1);
  if (length == 1 && IsAnySeparator(out[0])) return out;
  std::size_t i = length - 1;
  if (IsAnySeparator(out[i])) --i;
  while (i > 0 && !IsAnySeparator(out[i])) --i;
  // A separator in the first byte never ends a directory part.
  if (i == 0) return nullptr;
  out[i] = '\0';
  return out;
}

bool OSDirname(const char* path, char* out, unsigned int size) {
  // "." and "/" need two bytes; a smaller buffer holds no answer at all.
  if (path == nullptr || out == nullptr || size < 2) return false;
  // The path is scanned where it lies, so its length is not limited.
  const std::size_t slash = LastInnerSlash(path);
  if (slash == kNone || slash == 0) {
    out[0] = (slash == 0 || path[0] == '/') ? '/' : '.';
    out[1] = '\0';
    return true;
  }
  // A directory part cut to the capacity still counts as success.
  const std::size_t kept = slash < size ? slash : size - 1;
  std::memmove(out, path, kept);
  out[kept] = '\0';
  return true;
}

}  // namespace TalqOSUtils
