// The conversions behind UnicodeString, shared by its UTF-8 and narrow
// encoding sources.
//
// Short texts convert into an inline ScratchBuffer and are assigned once.
// Longer ones write straight into the result's own storage: the result is
// sized first (by Vandrel's length functions for UTF-8, exact for
// well-formed text; for the code pages one byte a unit), Vandrel converts
// into it, and it is cut to what was written. So a
// large result's memory is touched by one pass of the converter (the string's
// own fill when it grows stays in the same pages), and the only allocation is
// the result's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "TalqOSUtils/UnicodeString.h"
#include "text/ScratchBuffer.h"
#include "text/TextInternal.h"

namespace TalqOSUtils {
namespace text {

/// Bytes of the percent-encoded UTF-8 form of p[0, n), up to a NUL
/// (unreserved characters A-Z a-z 0-9 - . _ ~ take 1, every other byte 3).
std::size_t URLLength(const UniChar* p, std::size_t n);

/// Runs convert(dst, capacity) into out's own storage: first sized for
/// `guess` elements, then, when the converter reports -1 (too small or
/// failed), once more for `bound`. out ends as the converted text (up to its
/// first NUL); the converter's last result is returned.
template <typename Str, typename Convert>
int ConvertInto(Str& out, std::size_t guess, std::size_t bound, Convert&& convert) {
  std::size_t size = guess < bound ? guess : bound;
  for (;;) {
    out.clear();  // a reallocation then copies nothing
    out.resize(size);
    // The capacity counts the NUL, written over the string's own terminator.
    const int written = convert(&out[0], size + 1);
    if (written >= 0 || size == bound) {
      out.resize(ConvertedLength(&out[0], size + 1, written));
      return written;
    }
    size = bound;
  }
}

/// out = UTF-16 form of bytes[0, n) (bytes[n] is NUL), a leading UTF-8 mark
/// dropped.
void DecodeUTF8(const char* bytes, std::size_t n, UniString& out);

/// out = UTF-8 form of p[0, n) (p[n] is NUL, a NUL before n ends the text),
/// with UnicodeString::UCS2ToUTF8's mark handling. When `writable` is p, a
/// byte-swapped source is swapped in place instead of in a copy.
void EncodeUTF8(const UniChar* p, std::size_t n, std::string& out, UniChar* writable = nullptr);

/// As EncodeUTF8 into at most size bytes of dst with the NUL, a longer form
/// cut to size - 1 bytes (possibly inside a character). size > 0.
void EncodeUTF8(const UniChar* p, std::size_t n, char* dst, int size);

/// A Vandrel encoder from NUL-terminated units to bytes.
using ReadOutFn = int (*)(const UniChar*, char*, std::size_t);
/// How long a read-out's result is at most (or a guess of it).
using ReadOutLength = std::size_t (*)(const UniChar* p, std::size_t n);

/// out = convert's bytes of p[0, n) (p[n] is NUL, a NUL before n ends the
/// text), which need at most bytesPerUnit bytes a unit, `length` telling
/// how many first. Returns
/// false, out empty, when convert fails and failureCounts; such a strict
/// encoder must never need more than `length` bytes.
bool ReadOut(ReadOutFn convert, std::uint32_t bytesPerUnit, ReadOutLength length, const UniChar* p,
             std::size_t n, bool failureCounts, std::string& out);

}  // namespace text
}  // namespace TalqOSUtils
