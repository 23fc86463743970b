// File names as bytes (Linux) and as UTF-16 text: the one rule between the
// two. Header only, below both libraries: TalqOSUtils' POSIX backend, its
// OSNameBytesToUTF8 and OSUTF8ToNameBytes, and Vandrel's FileSpec apply it
// alike. For the rest of a path see NtPath.h.
//
// Bytes to text: each well-formed UTF-8 character stands for itself; every
// other byte b (80-FF) becomes the lone surrogate U+DC00+b, as Python's
// surrogateescape. The UTF-8 spelling of a surrogate (ED A0..BF xx) is not
// well-formed here, so it is escaped byte by byte and never reads as the
// surrogate it spells.
//   "a\xC3\xA9" => u"a\u00E9"   "\xE9" => U+DCE9   "\xED\xB3\xA9" => U+DCED U+DCB3 U+DCA9
//
// Text to bytes: the reverse. U+DC80..U+DCFF becomes its byte, anything else
// its UTF-8. Refused, since no name reads back as them: a lone surrogate
// outside U+DC80..U+DCFF, and escapes whose bytes would read back as other
// text (U+DCC3 U+DCA9 gives C3 A9, which reads as U+00E9). So each name has
// exactly one spelling, and no text opens a file listed under another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Vandrel {
namespace names {

constexpr std::uint32_t kEscapeBase = 0xDC00;

/// Length (1 to 4) of the well-formed UTF-8 character that starts s[0..n),
/// 0 when none does: no overlong forms, no surrogates, nothing above U+10FFFF.
inline std::size_t Utf8CharLength(const unsigned char* s, std::size_t n) {
  if (n == 0) return 0;
  const unsigned char b = s[0];
  if (b < 0x80) return 1;
  std::size_t extra = 0;
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    extra = 1;
  } else if (b >= 0xE0 && b <= 0xEF) {
    extra = 2;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    extra = 3;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (n - 1 < extra || s[1] < lo || s[1] > hi) return 0;
  for (std::size_t k = 2; k <= extra; ++k) {
    if (s[k] < 0x80 || s[k] > 0xBF) return 0;
  }
  return extra + 1;
}

/// Appends the UTF-8 form of code point cp (below U+110000) to out.
inline void AppendUtf8(std::uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
    return;
  }
  const std::size_t extra = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
  static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[extra] | (cp >> (6 * extra)));
  for (std::size_t k = extra; k-- > 0;) out += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
}

/// Reads the name bytes[0..n) one character at a time: emit(units, count)
/// gets each one's UTF-16 units (count 1, or 2 for a pair) and returns false
/// to stop.
template <typename Unit, typename Emit>
void ForEachNameCharacter(const char* bytes, std::size_t n, Emit&& emit) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  std::size_t i = 0;
  while (i < n) {
    Unit units[2] = {};
    std::size_t count = 1;
    const std::size_t length = Utf8CharLength(s + i, n - i);
    if (length == 0) {
      units[0] = static_cast<Unit>(kEscapeBase + s[i]);
      i += 1;
    } else {
      static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
      std::uint32_t cp = s[i] & kLeadMask[length];
      for (std::size_t k = 1; k < length; ++k) cp = cp << 6 | (s[i + k] & 0x3Fu);
      if (cp >= 0x10000) {
        units[0] = static_cast<Unit>(0xD800 + ((cp - 0x10000) >> 10));
        units[1] = static_cast<Unit>(0xDC00 + (cp & 0x3FF));
        count = 2;
      } else {
        units[0] = static_cast<Unit>(cp);
      }
      i += length;
    }
    if (!emit(static_cast<const Unit*>(units), count)) return;
  }
}

/// Appends the text of the name bytes[0..n) to out, in UTF-16 units.
template <typename Unit>
void AppendNameUnits(const char* bytes, std::size_t n, std::basic_string<Unit>& out) {
  ForEachNameCharacter<Unit>(bytes, n, [&out](const Unit* units, std::size_t count) {
    out.append(units, count);
    return true;
  });
}

/// Appends the name bytes of the text units[0..n) to out; false when the
/// text is refused (see the top of this file), out then holding a part.
template <typename Unit>
bool AppendNameBytes(const Unit* units, std::size_t n, std::string& out) {
  const std::size_t start = out.size();
  bool escaped = false;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t u = static_cast<std::uint16_t>(units[i]);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
      const std::uint32_t low = static_cast<std::uint16_t>(units[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), out);
        ++i;
        continue;
      }
    }
    if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
      out += static_cast<char>(u - kEscapeBase);
      escaped = true;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      return false;
    } else {
      AppendUtf8(u, out);
    }
  }
  if (!escaped) return true;
  // Escaped bytes next to each other or to a lead byte may spell a character.
  std::basic_string<Unit> back;
  AppendNameUnits(out.data() + start, out.size() - start, back);
  return back.compare(0, back.size(), units, n) == 0;
}

}  // namespace names
}  // namespace Vandrel
