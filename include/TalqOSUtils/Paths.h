/// @file
/// Generic path notation and its conversions, and path composition.
///
/// A generic path is a NUL-terminated UTF-8 byte string: '/' separates
/// components, a leading '/' makes it absolute, an NT drive is written as a
/// first component "/C:", and a backslash escapes the byte after it
/// ("a\/b" is one name holding a slash). The functions here work on the text
/// alone and may run on any thread, but for two that also ask the OS:
/// GenericPathToDravoFileSpec (whether the file exists) and
/// OSMakePathAbsolute (the application directory, when it starts from it).
///
/// Buffer functions take the destination capacity in bytes, NUL included, and
/// never write outside it, whatever the input (null pointers and capacities of
/// zero or less give false). They report failure by returning false (or null)
/// and throw nothing; unless stated otherwise a false result leaves the
/// destination unwritten. The forms without a capacity are exactly as safe as
/// their callers: the destination must be as large as each one states.
#pragma once

#include <cstddef>
#include <string>

#include "TalqOSUtils/Export.h"

namespace Vandrel {
class FileSpec;
}  // namespace Vandrel

namespace TalqOSUtils {

// ---------------------------------------------------------------------------
/// @name Conversions between notations
/// @{

/// Generic to NT: "/C:/Windows" => "C:\Windows", "a\/b" => "a/b",
/// "/C:" => "C:". Needs size > strlen(src), even though the result may be
/// shorter.
TALQ_API bool OSPathGenericToNT(const char* src, char* dst, int size);
/// Generic to the local notation (NT); same as OSPathGenericToNT.
TALQ_API bool OSPathLocal(const char* src, char* dst, int size);
/// Generic to NT into a new string. "" => "". Throws ChException
/// "Unable to convert file path" when the path (up to its first NUL) is 257
/// bytes or longer; 256 bytes convert.
TALQ_API std::string OSPathLocal(const std::string& path);

/// NT to generic: "C:\Windows" => "/C:/Windows", "a\b" => "a/b"; both '/'
/// and '\' become '/' and no escapes are added. A drive is an ASCII letter and
/// ':' and gains a leading '/'. Needs size > strlen(src), and one more byte
/// when src starts with a drive.
TALQ_API bool OSPathNTToGeneric(const char* src, char* dst, int size);
/// Local (NT) to generic; same as OSPathNTToGeneric.
TALQ_API bool OSPathGeneric(const char* src, char* dst, int size);
/// NT to generic into a new string. The path is measured up to its first NUL;
/// 1024 bytes or more give "" (1023 bytes with a drive give 1024).
TALQ_API std::string OSPathGeneric(const std::string& path);

/// Generic to Mac HFS: "/Disk/Docs/a.txt" => "Disk:Docs:a.txt",
/// "Docs/a" => ":Docs:a", "./a" => ":a", "../../a" => "::::a", "/" => "",
/// "a\/b" => ":a/b". Only a leading run of "../" and one leading "./" are
/// translated ("a/.." => ":a:.."). Needs size larger than both the source and
/// the result length.
TALQ_API bool OSPathGenericToMacHFS(const char* src, char* dst, int size);
/// Mac HFS to generic: "Disk:Docs" => "/Disk/Docs", ":a" => "a",
/// "::a" => "../a", "a/b:c" => "/a\/b/c", ":" => "", "" => "/". An odd run
/// of leading colons gives false with dst unwritten; a result that does not
/// fit gives false with its first size-1 bytes and a NUL in dst.
TALQ_API bool OSPathMacHFSToGeneric(const char* src, char* dst, int size);

/// Unix notation equals generic notation: this and the next two copy src
/// unchanged. When src does not fit they return false and leave its first
/// size-1 bytes in dst, NUL-terminated; unused bytes of dst are set to NUL.
TALQ_API bool OSPathGenericToUnix(const char* src, char* dst, int size);
/// Unix to generic: copies src, as OSPathGenericToUnix.
TALQ_API bool OSPathUnixToGeneric(const char* src, char* dst, int size);
/// Generic to generic: copies src, as OSPathGenericToUnix.
TALQ_API bool OSPathGenericToGeneric(const char* src, char* dst, int size);
/// @}

// ---------------------------------------------------------------------------
/// @name Composition
/// The three forms of each family differ on purpose: in the separators they
/// know, in escape handling and in degenerate answers.
/// @{

/// "/a" + "b" => "/a/b"; "/a/" + "b" => "/a/b"; "" + "b" => "b". The name is
/// appended unchanged.
TALQ_API std::string OSAddNameToPath(const std::string& path, const std::string& name);
/// In place, the name unchanged. The joined result with its NUL must fit in
/// 256 bytes, else false and path is untouched. Unbounded: path must be able
/// to hold the joined result (as safe as its caller). Null pointers give false.
TALQ_API bool OSAddNameToPath(char* path, const char* name);
/// In place within size bytes; each '/' of the name is written as "\/":
/// "ab" + "x/y" => "ab/x\/y". False when the result and its NUL do not fit,
/// or when path has no NUL within size bytes; path is then unchanged.
TALQ_API bool OSAddNameToPath(char* path, const char* name, unsigned int size);

/// Last '/'-separated component, ignoring one trailing '/':
/// "/a/b" => "b", "/a/b/" => "b", "a" => "a", "/" => "", "/a/b//" => "".
/// Backslashes are ordinary bytes here.
TALQ_API std::string OSBasename(const std::string& path);
/// '/', ':' and '\' all separate, backslashes escape nothing:
/// "C:\dir\f.txt" => "f.txt", "Disk:Docs:" => "Docs", "/" => "". Returns out;
/// null or "" gives null and out is not written. Unbounded: out must hold a
/// full copy of path and its NUL (as safe as its caller).
TALQ_API char* OSBasename(const char* path, char* out);
/// '/' separates and '\' escapes (escapes are removed): "a\/b" => "a/b",
/// "a/b/" => "b", "C:\x\y" => "C:xy". The trailing '/' counts toward size
/// before it is dropped ("a/b/" needs 3 bytes). False when the component does
/// not fit; out then holds its first size-1 bytes (less a final '/') and a NUL.
TALQ_API bool OSBasename(const char* path, char* out, unsigned int size);

/// Everything before the last '/': "a/b" => "a", "a/b/" => "a/b",
/// "/a" => "/", "a" => ".", "" => ".". Backslashes are ordinary bytes here.
TALQ_API std::string OSDirname(const std::string& path);
/// '/', ':' and '\' all separate; one trailing separator is ignored:
/// "a/b/" => "a", "C:\dir\x" => "C:\dir", "/" => "/". Returns out, or null:
/// for null or "" (out not written) and for "/a", "a/" and "a" (out then holds
/// a copy of path). Unbounded: out must hold a full copy of path and its NUL.
TALQ_API char* OSDirname(const char* path, char* out);
/// '/' separates and '\' escapes (escapes are kept): "a/b/" => "a",
/// "/a" => "/", "/" => "/", "a" => ".", "" => ".", "a\/b" => ".". Paths of any
/// length work. A directory part longer than size-1 bytes is cut to fit and
/// still succeeds ("/abc/d" with size 3 => "/a"). Null pointers, or a size
/// below 2, give false and out is not written.
TALQ_API bool OSDirname(const char* path, char* out, unsigned int size);
/// @}

// ---------------------------------------------------------------------------
/// @name Absolute paths
/// Pure text, apart from asking for OSApplicationDirectory() when that is
/// the base: nothing is looked up on disk, links are not followed and the
/// current directory plays no part. Components are split at every '/'
/// (escapes are not interpreted) and empty ones dropped; "." is dropped and
/// ".." removes the component before it, or nothing at the top (the path
/// stays at the root).
/// @{

/// path placed below base, "." and ".." resolved. An absolute path comes back
/// unchanged; an empty base means OSApplicationDirectory() ("" when that is
/// "", since the OS could not give it); a relative base counts as absolute.
/// A trailing '/' of a non-empty path is kept.
///   ("x/y", "/a/b") => "/a/b/x/y"    ("../x", "/a/b") => "/a/x"
///   ("./x/", "/a") => "/a/x/"        ("/abs/../p", any) => "/abs/../p"
///   ("", "/a/./b/../c/") => "/a/c"   ("..", "/a") => ""
///   ("../../x", "/a") => "/x"        ("tool", "/C:/apps") => "/C:/apps/tool"
TALQ_API std::string OSMakePathAbsolute(const std::string& path, const std::string& base);
/// path made absolute against OSApplicationDirectory() ("" when that is ""),
/// or normalised when already absolute. A path with a drive but no leading '/' gains one and is
/// otherwise unchanged.
///   "" => ""      "/a/./b//c/" => "/a/b/c/"    "/a/.." => ""    "/" => ""
///   "C:x" => "/C:x"    "C:\x" => "/C:\x"     "data/f" => app dir + "data/f"
TALQ_API std::string OSMakePathAbsolute(const std::string& path);
/// @}

// ---------------------------------------------------------------------------
/// @name Handing generic paths to platform code
/// @{

/// Rewrites the generic path in path[] as NT notation, in place (the NT form
/// is never longer). Nothing changes when path is null, has no NUL within
/// size bytes, or size is not larger than its length.
///   ("/C:/a/b", 8) => "C:\a\b"   ("/C:/a/b", 7) => unchanged
///   ("a\/b", 5) => "a/b"          (p, 0) => unchanged
TALQ_API void GenericPathToLocalPath(char* path, std::size_t size);
/// Assigns the NT, UTF-16 form of path to spec and returns spec.Exists().
/// Paths are limited to 1023 bytes (up to the first NUL): a longer one is not
/// cut (that would name another file) but gives spec the empty path, and
/// false.
///   "/C:/dir/file" => spec holds L"C:\dir\file"   "" => spec holds L""
TALQ_API bool GenericPathToDravoFileSpec(const std::string& path, Vandrel::FileSpec& spec);
/// @}

// ---------------------------------------------------------------------------
/// @name Names as raw bytes
/// @{

// Linux names are bytes and need not be UTF-8; the
// library's names are UTF-8. Where a name's bytes are not UTF-8, each such
// byte B (80-FF) stands for the lone surrogate U+DC00+B, written in its
// three-byte form ED B2 xx or ED B3 xx (as Python's surrogateescape). On
// Linux the library lists names this way and opens the file such a name
// stands for; these two functions give hosts holding raw bytes (argv, their
// own readdir) the same mapping. Both are pure text functions, the same on
// every build, and read their input up to its first NUL.

/// Raw name bytes as the library's UTF-8: well-formed UTF-8 characters stay;
/// every other byte B becomes the three-byte form of U+DC00+B. The UTF-8
/// spelling of a surrogate is not well-formed here, so it is escaped byte by
/// byte and never names the file its text would spell.
///   "caf\xC3\xA9" => "caf\xC3\xA9"      "caf\xE9" => "caf\xED\xB3\xA9"
///   "\xFF\x80" => "\xED\xB3\xBF\xED\xB2\x80"
///   "\xED\xB3\xA9" => "\xED\xB3\xAD\xED\xB2\xB3\xED\xB2\xA9"
TALQ_API std::string OSNameBytesToUTF8(const std::string& bytes);
/// The reverse: the bytes the library hands Linux for the UTF-8 name utf8.
/// The text is read as the library reads UTF-8 (an ill-formed sequence is
/// U+FFFD, the three-byte form of a surrogate that surrogate); U+DC80..U+DCFF
/// becomes the byte it stands for, every other character its UTF-8. Returns
/// "" for text that no name reads back as, which the library's Linux file
/// calls refuse with ERROR_INVALID_NAME (123): a lone surrogate outside
/// U+DC80..U+DCFF, or escapes whose bytes read back as other text (U+DCC3
/// U+DCA9 would be C3 A9, the name of U+00E9). So OSUTF8ToNameBytes(
/// OSNameBytesToUTF8(b)) == b for any b without NUL, and each name has one
/// spelling.
///   "caf\xED\xB3\xA9" => "caf\xE9"     "caf\xC3\xA9" => "caf\xC3\xA9"
///   "a\xFF" (not UTF-8) => "a\xEF\xBF\xBD"
///   "\xED\xA0\x80" (U+D800) => ""      "\xED\xB3\x83\xED\xB2\xA9" => ""
TALQ_API std::string OSUTF8ToNameBytes(const std::string& utf8);
/// @}

}  // namespace TalqOSUtils
