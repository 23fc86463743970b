// The platform code page on Windows: the process's ANSI code page through
// MultiByteToWideChar and WideCharToMultiByte (CP_ACP). May assume: Win32;
// the portable code pages are in ../CodePages.cpp.
#include <windows.h>

#include <climits>
#include <cstring>
#include <memory>

#include "../Internal.h"
#include "Vandrel/Vandrel.h"

namespace Vandrel {
namespace {

using detail::ClampCapacity;
using detail::IsPair;

// WC_NO_BEST_FIT_CHARS keeps look-alikes (a fraction slash for '/', say) from
// turning into syntax in file names; code pages that refuse the flag (UTF-8,
// the ISO-2022 family) get none.
int WideToAnsi(const wchar_t* s, int n, char* out, int outSize) {
  int r = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, s, n, out, outSize, nullptr, nullptr);
  if (r == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    r = WideCharToMultiByte(CP_ACP, 0, s, n, out, outSize, nullptr, nullptr);
  }
  return r;
}

}  // namespace

int PlatformCStringToUni16Char(const char* src, Uni16* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  capacity = ClampCapacity(capacity);
  dst[0] = 0;
  if (src == nullptr || *src == 0) return 0;
  const std::size_t len = std::strlen(src);
  if (len > static_cast<std::size_t>(INT_MAX)) return -1;
  const int n = static_cast<int>(len);
  const int need = MultiByteToWideChar(CP_ACP, 0, src, n, nullptr, 0);
  if (need <= 0) return -1;
  const std::size_t room = capacity - 1;
  if (static_cast<std::size_t>(need) <= room) {
    const int r = MultiByteToWideChar(CP_ACP, 0, src, n, dst, need);
    if (r <= 0) return -1;
    dst[r] = 0;
    return r;
  }
  // Too long: convert in full elsewhere and keep what fits, without the
  // first half of a surrogate pair.
  std::unique_ptr<wchar_t[]> whole(new wchar_t[static_cast<std::size_t>(need)]);
  if (MultiByteToWideChar(CP_ACP, 0, src, n, whole.get(), need) <= 0) return -1;
  std::size_t m = room;
  if (m > 0 && (whole[m - 1] & 0xFC00) == 0xD800 && (whole[m] & 0xFC00) == 0xDC00) --m;
  std::memcpy(dst, whole.get(), m * sizeof(wchar_t));
  dst[m] = 0;
  return -1;
}

int Uni16CharToPlatformCString(const Uni16* src, char* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  capacity = ClampCapacity(capacity);
  dst[0] = 0;
  const std::size_t len = Uni16CharGetLength(src);
  if (len == 0) return 0;
  if (len > static_cast<std::size_t>(INT_MAX)) return -1;
  const int n = static_cast<int>(len);
  const int need = WideToAnsi(src, n, nullptr, 0);
  if (need <= 0) return -1;
  const int room = static_cast<int>(capacity - 1);
  if (need <= room) {
    const int r = WideToAnsi(src, n, dst, need);
    if (r <= 0) return -1;
    dst[r] = 0;
    return r;
  }
  // Too long: take whole characters (a pair is one) while their bytes fit.
  int used = 0;
  int bytes = 0;
  while (used < n) {
    const int units = IsPair(src + used, len - static_cast<std::size_t>(used)) ? 2 : 1;
    const int size = WideToAnsi(src + used, units, nullptr, 0);
    if (size <= 0 || bytes + size > room) break;
    bytes += size;
    used += units;
  }
  const int r = used > 0 ? WideToAnsi(src, used, dst, room) : 0;
  dst[r > 0 ? r : 0] = 0;
  return -1;
}

namespace detail {
bool PlatformCodePageIsSingleByte() {
  CPINFO info;
  return GetCPInfo(CP_ACP, &info) != 0 && info.MaxCharSize == 1;
}
}  // namespace detail

}  // namespace Vandrel
