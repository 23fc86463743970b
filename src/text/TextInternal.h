// Small pieces shared by the text sources: the marks, unit byte exchange,
// and finding the end of a text that Vandrel left in a scratch buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "TalqOSUtils/UnicodeString.h"

namespace TalqOSUtils {
namespace text {

constexpr UniChar kMark = static_cast<UniChar>(0xFEFF);
constexpr UniChar kSwappedMark = static_cast<UniChar>(0xFFFE);
constexpr std::size_t kUTF8MarkLength = 3;

inline bool IsMarkUnit(UniChar u) { return u == kMark || u == kSwappedMark; }

/// The UTF-8 mark counts only in front of at least one more byte.
inline bool HasUTF8Mark(const char* bytes, std::size_t n) {
  return n > kUTF8MarkLength && static_cast<unsigned char>(bytes[0]) == 0xEF &&
         static_cast<unsigned char>(bytes[1]) == 0xBB &&
         static_cast<unsigned char>(bytes[2]) == 0xBF;
}

inline UniChar SwapUnit(UniChar u) {
  const auto v = static_cast<std::uint32_t>(u);
  return static_cast<UniChar>(((v & 0xFFu) << 8) | ((v >> 8) & 0xFFu));
}

/// dst[i] = SwapUnit(src[i]) for i < n; dst may equal src.
inline void SwapUnits(const UniChar* src, std::size_t n, UniChar* dst) {
  for (std::size_t i = 0; i < n; ++i) dst[i] = SwapUnit(src[i]);
}

/// Index of the first NUL in p[0, capacity), or capacity when there is none
/// (Vandrel promises one, but a missing NUL must not send us past the array).
inline std::size_t TerminatedLength(const char* p, std::size_t capacity) {
  const void* nul = std::memchr(p, 0, capacity);
  return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - p) : capacity;
}

std::size_t TerminatedLength(const UniChar* p, std::size_t capacity);

/// Where the first NUL is when Vandrel reports how many elements it wrote in
/// front of it: a NUL-terminated UTF-8 or UTF-16 source holds no NUL before
/// its end, so the converted text holds none before position `written` either.
/// Anything but a reported position holding a NUL falls back to the scan.
template <typename T>
std::size_t ConvertedLength(const T* p, std::size_t capacity, int written) {
  if (written >= 0 && static_cast<std::size_t>(written) < capacity && p[written] == T() &&
      (written == 0 || p[written - 1] != T())) {
    return static_cast<std::size_t>(written);
  }
  return TerminatedLength(p, capacity);
}

}  // namespace text
}  // namespace TalqOSUtils
