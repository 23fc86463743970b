// Paths between the library and the OS (OsPath.h).
#include "fs/OsPath.h"

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

platform::ErrorCode ToOsPath(const char* generic, UnicodeString& wide) {
  if (generic == nullptr || *generic == '\0') return platform::kErrorInvalidParameter;
  constexpr std::size_t kArea = kMaxOsPath + 1;
  if (::strnlen(generic, kArea) >= kArea) return platform::kErrorFilenameExcedRange;
  char nt[kArea];
  if (!OSPathGenericToNT(generic, nt, static_cast<int>(kArea))) {
    return platform::kErrorFilenameExcedRange;
  }
  return NtToOsPath(std::string(nt), wide);
}

std::string OsPathToUtf8(const UniChar* units) {
  const std::size_t n = Vandrel::Uni16CharGetLength(units);
  std::vector<char> utf8(3 * n + 1, '\0');
  Vandrel::Uni16CharToUTF8(units, utf8.data(), utf8.size());
  return std::string(utf8.data());
}

}  // namespace fs
}  // namespace TalqOSUtils
