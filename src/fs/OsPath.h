// Paths between the library and the OS, the one way every caller takes:
// generic paths prepared for it (NT notation within kPathArea, then UTF-16
// through UnicodeString), and the OS's UTF-16 paths and name bytes brought
// back as UTF-8.
#pragma once

#include <cstddef>
#include <string>

#include "TalqOSUtils/UnicodeString.h"
#include "common/PathRules.h"
#include "platform/Platform.h"

namespace TalqOSUtils {
namespace fs {

/// True when the n bytes at text are UTF-8 that reads as itself: each
/// character well-formed, or the three-byte form of a lone surrogate (a
/// Windows name may hold one; U+DC80..U+DCFF are the escaped Linux bytes).
/// Anything the UTF-8 reader would replace by U+FFFD is refused, so that no
/// path acts on the file whose name has U+FFFD there.
///   "caf\xC3\xA9" => true   "caf\xED\xB3\xA9" => true   "caf\xE9" => false
bool IsPathText(const char* text, std::size_t n);

/// The NT form of a generic path in `nt`, its text not yet checked (callers
/// that derive other paths from it, a fork's say, hand those to NtToOsPath):
/// 0, or why the path cannot go to the OS (nt then unchanged):
/// ERROR_INVALID_PARAMETER for null or "", ERROR_FILENAME_EXCED_RANGE for
/// `area` bytes or more as written (escapes counted).
///   "/C:/a/b" => "C:\a\b"   "a\/b" => "a/b"   "" => 87
platform::ErrorCode PrepareOsPath(const char* generic, std::string& nt,
                                  std::size_t area = kPathArea);

/// The UTF-16 NT form of a generic path in `wide`: 0, or why the path cannot
/// go to the OS (wide then unchanged): PrepareOsPath's reasons, then
/// ERROR_INVALID_NAME for text that is not UTF-8 (IsPathText).
platform::ErrorCode ToOsPath(const char* generic, UnicodeString& wide);

/// NT text (UTF-8) as the OS's UTF-16 in `wide`: 0, or ERROR_INVALID_NAME
/// for text that is not UTF-8 (IsPathText).
platform::ErrorCode NtToOsPath(const std::string& nt, UnicodeString& wide);

/// A NUL-terminated UTF-16 path from the OS as UTF-8: its length taken by
/// Vandrel, then converted into an array of three bytes a unit and the NUL.
std::string OsPathToUtf8(const UniChar* units);

/// The text of a file name's n bytes, as VandrelRules/NameBytes.h reads them
/// (a byte that is not part of well-formed UTF-8 is U+DC00 + the byte, three
/// bytes here), into out with its NUL: the text's length, or `capacity` when
/// it needs that many bytes or more (out then holds a part, NUL-terminated).
///   "a\xC3\xA9" => "a\xC3\xA9"   "\xE9" => "\xED\xB3\xA9"
std::size_t NameBytesToUtf8(const char* bytes, std::size_t n, char* out, std::size_t capacity);

/// Deletes the file at the generic path: 0, or the reason it was not
/// (ToOsPath's, or the OS's; ERROR_NO_REASON when the OS gave none).
platform::ErrorCode DeleteFile(const char* path);

/// Makes the generic path a directory, parents first, as OSMakeDirectory
/// does: 0 when it is one on return, else the reason met first: ToOsPath's,
/// ERROR_INVALID_PARAMETER for "/", ERROR_ALREADY_EXISTS for a file in the
/// way, ERROR_PATH_NOT_FOUND for a missing entry below the root (never
/// created), or the creation's own code.
platform::ErrorCode MakeDirectory(const char* path);

}  // namespace fs
}  // namespace TalqOSUtils
