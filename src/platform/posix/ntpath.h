// POSIX backend: the NT paths the calls receive, as POSIX paths. The rules
// are Vandrel's (VandrelRules/NtPath.h for drives and separators,
// VandrelRules/NameBytes.h for the names), shared with its FileSpec.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

/// The NT path as a POSIX path, its text as name bytes (U+DC80..U+DCFF are
/// the bytes they stand for). False, with ERROR_INVALID_NAME as the last
/// error, for text no name has (a lone surrogate outside U+DC80..U+DCFF,
/// escapes that spell a character). Null gives "".
bool NtToPosixPath(const OsChar* ntPath, std::string& posixPath);
/// The same for an NT path in UTF-8 (the shortcut call's), read as
/// UnicodeString reads UTF-8.
bool NtToPosixPath(const char* ntUtf8, std::string& posixPath);

/// The file whose resource fork the POSIX path is ("d/f" for
/// "d/f:AFP_Resource"), or "" for any other path: no other colon names a
/// stream.
std::string ForkOwner(const std::string& posixPath);

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
