// File-system services: existence tests, deletion and directory creation.
//
// Paths are generic paths (Paths.h), NUL-terminated UTF-8. Each function
// converts the path to NT notation and UTF-16 and asks the OS; a relative
// path stays relative and the OS resolves it against the process's current
// directory. A path of 256 bytes or more (measured as written, escapes and
// the slash before a drive included) is refused before any OS call. None of
// these functions throws; every failure, whatever its reason, is false.
#pragma once

#include "TalqOSUtils/Export.h"

namespace TalqOSUtils {

/// True when path names an existing file or directory. When it does and
/// isDirectory is not null, *isDirectory tells which; when the OS says no,
/// *isDirectory is set to false. Null, "" or 256+ bytes give false and leave
/// *isDirectory untouched.
///   OSFileExists("/C:/Windows", &dir) => true, dir == true
TALQ_API bool OSFileExists(const char* path, bool* isDirectory);
/// True when path names an existing entry that is not a directory.
TALQ_API bool OSFileExists(const char* path);
/// True when path names an existing directory. OSDirectoryExists("/") => true.
TALQ_API bool OSDirectoryExists(const char* path);
/// Deletes the file at path; false for a directory, a missing file, null,
/// "" or 256+ bytes. Sets errno to 0 and leaves it there, whatever happens.
TALQ_API bool OSDeleteFile(const char* path);
/// Makes path a directory, creating missing parents first; true when path
/// names a directory on return (also when another thread or process created
/// it meanwhile). False for null, "", "/", 256+ bytes, or an existing file.
/// An entry directly below the root ("/C:", "/name") and "." are only
/// tested, never created. Parents created before a later failure remain.
///   OSMakeDirectory("/C:/a/b/c") creates C:\a, C:\a\b, C:\a\b\c as needed
TALQ_API bool OSMakeDirectory(const char* path);

}  // namespace TalqOSUtils
