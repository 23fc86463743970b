// Vandrel: text conversions between UTF-16 and narrow encodings, and a small
// file path class, FileSpec (Vandrel/FileSpec.h).
//
// Every conversion reads a NUL-terminated source (a NUL ends the text) and
// writes a NUL-terminated result into `dst`, never more than `capacity`
// elements, the NUL included; `capacity` counts destination elements (bytes
// or 16-bit units). The rules they share:
//
//   - The result is the number of elements written before the NUL, or -1.
//   - A null `src` is the empty text: "" => NUL written, result 0.
//   - A null `dst`, or a `capacity` of 0, gives -1 and writes nothing.
//   - A destination that is too small gets the longest prefix of whole
//     characters that fits, NUL-terminated, and the result -1: a surrogate
//     pair, the bytes of one UTF-8 sequence and the %XX escapes of one
//     character are never split. Capacity 1 gives just the NUL.
//       UTF8ToUni16Char("a\xC3\xA9", dst, 2) => dst "a", result -1
//   - The other failures (named below) also leave a NUL-terminated prefix:
//     what was converted before the point of failure.
//   - A capacity above INT_MAX + 1 counts as INT_MAX + 1, so that every
//     result fits an int.
//
// All functions are thread-safe and allocate nothing, except the Windows
// ANSI code page conversions when the destination is too small.
#pragma once

#include <cstddef>
#include <string>

#include "Vandrel/Export.h"

namespace Vandrel {

/// The 16-bit UTF-16 code unit: `wchar_t` on Windows, `char16_t` elsewhere.
#if defined(_WIN32)
using Uni16 = wchar_t;
#else
using Uni16 = char16_t;
#endif

/// Number of units before the terminating NUL. Null gives 0.
///   u"abc" => 3; u"" => 0
VANDREL_API std::size_t Uni16CharGetLength(const Uni16* s);

/// Bytes that Uni16CharToUTF8 writes for src, reading at most n units (a
/// NUL before them ends the text), so that a caller can size the result
/// exactly: 1, 2 or 3 a unit, 4 a surrogate pair. A pair cut by n counts as
/// its lone high surrogate. Null gives 0.
///   u"a\u00E9\u20AC", 3 => 6; U+D83D U+DE00, 2 => 4; U+D83D U+DE00, 1 => 3;
///   u"ab\0c", 4 => 2
VANDREL_API std::size_t Uni16CharUTF8Length(const Uni16* src, std::size_t n);

/// Units that UTF8ToUni16Char writes for the n bytes at src when they are
/// well-formed UTF-8: one per byte that is not a continuation byte (80-BF),
/// plus one per four-byte lead (F0-FF). For ill-formed bytes only an
/// estimate, which may be low or high. Null gives 0.
///   "a\xC3\xA9", 3 => 2; "\xF0\x9F\x98\x80", 4 => 2
VANDREL_API std::size_t UTF8Uni16CharLength(const char* src, std::size_t n);

/// UTF-8 to UTF-16. Each maximal ill-formed subpart becomes one U+FFFD (the
/// Unicode Standard's recommended practice, as Python's "replace").
/// Exception: a complete three-byte encoded surrogate, ED A0..BF 80..BF,
/// gives back the lone surrogate, so that any UTF-16 text (Windows file
/// names may hold lone surrogates) survives a trip through UTF-8. An encoded
/// high surrogate directly followed by an encoded low one is not read as a
/// pair, so that no character has two spellings; both are then ill-formed.
///   "a\xC3\xA9"                 => u"a\u00E9", result 2
///   "\xF0\x9F\x98\x80"          => U+D83D U+DE00, result 2
///   "\xE0\x80\x80"              => U+FFFD U+FFFD U+FFFD (overlong)
///   "\xE2\x82" "A"              => U+FFFD 'A' (truncated)
///   "\xED\xA0\x80"              => U+D800
///   "\xED\xA0\x80\xED\xB0\x80"  => six U+FFFD
/// Needs at most one unit per byte, plus the NUL.
VANDREL_API int UTF8ToUni16Char(const char* src, Uni16* dst, std::size_t capacity);

/// UTF-16 to UTF-8. A surrogate pair becomes four bytes; an unpaired
/// surrogate is written in its three-byte form, which UTF8ToUni16Char reads
/// back as the same surrogate.
///   u"a\u00E9"      => "a\xC3\xA9", result 3
///   U+D83D U+DE00   => "\xF0\x9F\x98\x80"
///   U+D800 'x'      => "\xED\xA0\x80x"
/// Needs at most three bytes per unit, plus the NUL.
VANDREL_API int Uni16CharToUTF8(const Uni16* src, char* dst, std::size_t capacity);

/// The platform's narrow (ANSI) code page to UTF-16. Windows: the process's
/// ANSI code page (MultiByteToWideChar with CP_ACP; bytes it cannot read
/// become what it makes of them). Elsewhere: Windows-1252, whose five bytes
/// without a character (81, 8D, 8F, 90, 9D) stand for the C1 controls of
/// the same value, as on Windows.
///   "\x80" => U+20AC (Windows-1252)
/// -1 also when the Win32 conversion itself fails.
VANDREL_API int PlatformCStringToUni16Char(const char* src, Uni16* dst, std::size_t capacity);

/// UTF-16 to the platform's narrow code page (see above). A character the
/// code page lacks is written as '?' (a pair is one character); Windows uses
/// its default character and no best-fit look-alikes.
///   u"\u20AC\u4E2D" => "\x80?" (Windows-1252)
/// -1 also when the Win32 conversion itself fails.
VANDREL_API int Uni16CharToPlatformCString(const Uni16* src, char* dst, std::size_t capacity);

/// ISO 8859-1 to UTF-16: each byte is the code point of the same value.
///   "\xE9" => U+00E9
VANDREL_API int ISOLatin1CStringToUni16Char(const char* src, Uni16* dst, std::size_t capacity);
/// UTF-16 to ISO 8859-1. A character above U+00FF is written as '?'; a
/// surrogate pair is one character, so one '?'.
///   u"\u00E9\u20AC" => "\xE9?"
VANDREL_API int Uni16CharToISOLatin1CString(const Uni16* src, char* dst, std::size_t capacity);

/// Mac OS Roman to UTF-16 by Apple's published table (ROMAN.TXT; bytes
/// 00-7F are ASCII, controls included). Every byte has a character. The
/// text ends at the string's first NUL, if it holds one.
///   "\xA5" => U+2022; "\xF0" => U+F8FF (Apple logo)
VANDREL_API int MacRomanStringToUni16Char(const std::string& src, Uni16* dst, std::size_t capacity);
/// UTF-16 to Mac OS Roman. A character without a Mac OS Roman byte (every
/// surrogate among them) stops the conversion: result -1, dst holding the
/// NUL-terminated bytes before it.
///   u"\u2022" => "\xA5"; u"a\u0100b" => dst "a", result -1
VANDREL_API int Uni16CharToMacRomanCString(const Uni16* src, char* dst, std::size_t capacity);

/// Percent-encoding (RFC 3986) of the UTF-8 form: the unreserved characters
/// A-Z a-z 0-9 - . _ ~ stay, every other byte becomes %XX in upper-case
/// hex. A lone surrogate takes its three-byte form.
///   u"a b/\u00E9" => "a%20b%2F%C3%A9"
/// Needs at most nine bytes per unit, plus the NUL.
VANDREL_API int Uni16CharToURLEncoding(const Uni16* src, char* dst, std::size_t capacity);
/// Decodes %XX (either case of hex digit; other bytes stand for themselves,
/// and '+' stays '+'), then reads the bytes as UTF-8 as UTF8ToUni16Char
/// does. A '%' not followed by two hex digits fails: -1, dst holding what
/// came before it. A decoded %00 ends the text.
///   "a%20b+%c3%A9" => u"a b+\u00E9"; "ab%4" => dst u"ab", result -1
/// Needs at most one unit per source byte, plus the NUL.
VANDREL_API int URLEncodingToUni16Char(const char* src, Uni16* dst, std::size_t capacity);

// ---------------------------------------------------------------------------
// Conversion by length, in pieces. Unlike the functions above it reads a
// source of a given length (a NUL is a character like any other), writes no
// NUL, and says what stopped it and where, so that a caller can convert a
// stream block by block.

/// The encodings Convert takes. UTF-16 comes in one byte order or the other
/// (a byte-order mark is a character here: handling one is the caller's).
enum class TextEncoding { kUtf8, kUtf16LE, kUtf16BE, kLatin1, kMacRoman, kPlatform, kUrl };

/// What Convert does with input that is not valid in its encoding, or a
/// character the target cannot represent: stop there; replace it (U+FFFD for
/// invalid input, then '?' where the target has no U+FFFD, and '?' for an
/// unrepresentable character, as the fixed functions do); or skip it.
enum class Policy { kStop, kReplace, kSkip };

/// Why Convert returned.
enum class Status {
  kDone,             ///< the whole source is converted
  kTargetFull,       ///< the destination is full: go on from `read`
  kIllFormed,        ///< invalid input at `read`, `length` bytes long (kStop)
  kUnrepresentable,  ///< `character` at `read` has no form in the target (kStop)
  kIncomplete,       ///< the source ends inside a character starting at `read`
  kUnsupported,      ///< an encoding Convert cannot do here (a multi-byte ANSI code page)
};

/// What Convert did: bytes read and written, and for a stop, what stopped it.
struct ConvertResult {
  Status status = Status::kDone;
  std::size_t read = 0;     ///< source bytes taken; on a stop, where the cause starts
  std::size_t written = 0;  ///< destination bytes written
  std::size_t length = 0;   ///< kIllFormed, kUnrepresentable: the cause's bytes
  char32_t character = 0;   ///< kUnrepresentable: the character
};

/// Converts srcBytes bytes of src from one encoding to another into dst
/// (dstBytes bytes), by policy. Input is read as the Unicode Standard and GNU
/// iconv read it: unlike UTF8ToUni16Char, the UTF-8 form of a surrogate is
/// invalid, and so is a lone surrogate in UTF-16. A destination with less
/// room than one character's form (12 bytes at most) may return kTargetFull
/// having done nothing. With last false the source is a block of a
/// longer text: a character cut by its end is kIncomplete, to be carried
/// into the next block; with last true it is invalid input. The destination
/// never receives part of a character.
///   (kUtf8, kLatin1, "caf\xC3\xA9", 5, dst, 8, kStop, true)
///       => {kDone, read 5, written 4}: "caf\xE9"
///   (kUtf8, kMacRoman, "a\xC4\x89", 3, dst, 8, kStop, true)
///       => {kUnrepresentable, read 1, written 1, length 2, U+0109}
///   (kUtf8, kUtf16LE, "a\xC3", 2, dst, 8, kStop, false) => {kIncomplete, read 1, written 2}
VANDREL_API ConvertResult Convert(TextEncoding from, TextEncoding to, const void* src,
                                  std::size_t srcBytes, void* dst, std::size_t dstBytes,
                                  Policy policy, bool last);

// ---------------------------------------------------------------------------
// For callers that hold a text with both its length and its NUL (a
// std::string, a UnicodeString): the count that sizes the result also says
// where the text ends, so that the conversion need not measure it again.

/// UTF8Uni16CharLength(src, n), and whether src[0, n) holds a NUL.
VANDREL_API std::size_t UTF8Uni16CharLengthAndNul(const char* src, std::size_t n, bool* holdsNul);
/// Uni16CharUTF8Length(src, n), and the units it counted (the first NUL's
/// offset, or n).
VANDREL_API std::size_t Uni16CharUTF8LengthAndEnd(const Uni16* src, std::size_t n,
                                                  std::size_t* units);
/// UTF8ToUni16Char(src, dst, capacity) for src[0, n) holding no NUL and
/// src[n] NUL; the same result, without measuring src.
VANDREL_API int UTF8ToUni16CharSized(const char* src, std::size_t n, Uni16* dst,
                                     std::size_t capacity);
/// Uni16CharToUTF8(src, dst, capacity) for src[0, n) holding no NUL and
/// src[n] NUL; the same result, without measuring src.
VANDREL_API int Uni16CharToUTF8Sized(const Uni16* src, std::size_t n, char* dst,
                                     std::size_t capacity);

}  // namespace Vandrel
