// Paths between the library and the OS (OsPath.h).
#include "fs/OsPath.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "TalqOSUtils/Paths.h"
#include "Vandrel/Vandrel.h"
#include "VandrelRules/NameBytes.h"

namespace TalqOSUtils {
namespace fs {

namespace {

// 0, or 1 for the three-byte form of a high surrogate (ED A0..AF xx), 2 for
// a low one (ED B0..BF xx).
int EncodedSurrogate(const unsigned char* s, std::size_t n) {
  if (n < 3 || s[0] != 0xED || s[1] < 0xA0 || s[1] > 0xBF || s[2] < 0x80 || s[2] > 0xBF) return 0;
  return s[1] < 0xB0 ? 1 : 2;
}

// True when the eight bytes at s are ASCII.
bool AsciiWord(const unsigned char* s) {
  std::uint64_t word = 0;
  std::memcpy(&word, s, sizeof word);
  return (word & 0x8080808080808080u) == 0;
}

// The end of the run of ASCII bytes from s[i], s[n] at most: eight bytes at
// a time, the last eight of s taken whole when they are ASCII.
std::size_t AsciiEnd(const unsigned char* s, std::size_t i, std::size_t n) {
  for (; n - i >= 8; i += 8) {
    if (!AsciiWord(s + i)) break;
  }
  if (n - i < 8 && n >= 8 && AsciiWord(s + n - 8)) return n;
  while (i < n && s[i] < 0x80) ++i;
  return i;
}

}  // namespace

bool IsPathText(const char* text, std::size_t n) {
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  for (std::size_t i = 0; i < n;) {
    const std::size_t length = Vandrel::names::Utf8CharLength(s + i, n - i);
    if (length != 0) {
      i += length;
      continue;
    }
    const int surrogate = EncodedSurrogate(s + i, n - i);
    // An encoded pair is not read as a character: both halves are ill-formed.
    if (surrogate == 0 || (surrogate == 1 && EncodedSurrogate(s + i + 3, n - i - 3) == 2)) {
      return false;
    }
    i += 3;
  }
  return true;
}

platform::ErrorCode NtToOsPath(const std::string& nt, UnicodeString& wide) {
  if (!IsPathText(nt.data(), nt.size())) return platform::kErrorInvalidName;
  wide = UnicodeString(nt);
  return platform::kErrorSuccess;
}

platform::ErrorCode PrepareOsPath(const char* generic, std::string& nt, std::size_t area) {
  if (generic == nullptr || *generic == '\0') return platform::kErrorInvalidParameter;
  // Measured as written, within the area only: the NT form may be shorter.
  const std::size_t length = ::strnlen(generic, area);
  if (length >= area) return platform::kErrorFilenameExcedRange;
  std::string converted(length + 1, '\0');
  OSPathGenericToNT(generic, &converted[0], static_cast<int>(converted.size()));
  converted.resize(std::strlen(converted.c_str()));
  nt.swap(converted);
  return platform::kErrorSuccess;
}

platform::ErrorCode ToOsPath(const char* generic, UnicodeString& wide) {
  std::string nt;
  const platform::ErrorCode refused = PrepareOsPath(generic, nt);
  return refused != platform::kErrorSuccess ? refused : NtToOsPath(nt, wide);
}

std::string OsPathToUtf8(const UniChar* units) {
  const std::size_t n = Vandrel::Uni16CharGetLength(units);
  std::vector<char> utf8(3 * n + 1, '\0');
  Vandrel::Uni16CharToUTF8(units, utf8.data(), utf8.size());
  return std::string(utf8.data());
}

std::size_t NameBytesToUtf8(const char* bytes, std::size_t n, char* out, std::size_t capacity) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  std::size_t used = 0;
  for (std::size_t i = 0; i < n;) {
    // A run of well-formed UTF-8, most often the whole name, goes over as
    // it stands.
    std::size_t end = AsciiEnd(s, i, n);
    while (end < n) {
      const std::size_t length = Vandrel::names::Utf8CharLength(s + end, n - end);
      if (length == 0) break;
      end = AsciiEnd(s, end + length, n);
    }
    // A byte that starts no character takes three: U+DC80..U+DCFF.
    const std::size_t escaped = end < n ? 3 : 0;
    if (used + (end - i) + escaped >= capacity) {
      out[used] = '\0';
      return capacity;
    }
    std::memcpy(out + used, s + i, end - i);
    used += end - i;
    if (escaped != 0) {
      const std::uint32_t escape = Vandrel::names::kEscapeBase + s[end];
      out[used++] = static_cast<char>(0xE0 | (escape >> 12));
      out[used++] = static_cast<char>(0x80 | ((escape >> 6) & 0x3F));
      out[used++] = static_cast<char>(0x80 | (escape & 0x3F));
      ++end;
    }
    i = end;
  }
  out[used] = '\0';
  return used;
}

}  // namespace fs
}  // namespace TalqOSUtils
