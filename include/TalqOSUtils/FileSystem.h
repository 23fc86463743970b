/// @file
/// File-system services: existence tests, deletion and directory creation;
/// the application's and the shared resources directories; shortcut
/// resolution and resource lookup.
///
/// Paths are generic paths (Paths.h), NUL-terminated UTF-8. Each function
/// converts the path to NT notation and UTF-16 and asks the OS; a relative
/// path stays relative and the OS resolves it against the process's current
/// directory (ResolveAliasOrLink reads a relative shortcut from the
/// application directory instead). The existence tests, OSDeleteFile and
/// OSMakeDirectory refuse a path of 256 bytes or more (measured as written,
/// escapes and the slash before a drive included) and a path that is not
/// UTF-8 (it never stands for the file whose name has U+FFFD there) before
/// any OS call, and throw nothing: every failure, whatever its reason, is
/// false. On Linux only "NAME:AFP_Resource" names a stream (NAME's resource
/// fork, a file beside it); any other colon is part of a name, and "x:name"
/// is relative: a drive is the root only before a separator or alone.
/// ResolveAliasOrLink and OSFindResourcePath throw ChException for a path
/// too long to convert.
#pragma once

#include <string>

#include "TalqOSUtils/Export.h"

namespace TalqOSUtils {

/// @name Existence, deletion and directory creation
/// @{

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
/// @}

// ---------------------------------------------------------------------------
/// @name Application and shared resources directories
/// @{

/// The directory of the process's executable (not of this library), in
/// generic notation, ending with '/'; computed afresh on each call.
///   C:\Apps\Tool\tool.exe => "/C:/Apps/Tool/"
///   \\server\share\tool.exe => "//server/share/"
/// When the OS cannot say, or gives the path cut (longer than the 2560 units
/// asked for), the answer is "": relative paths then have nothing to be
/// made absolute against (OSMakePathAbsolute gives "") and resource lookups
/// skip it. A path of 1024 bytes or more in UTF-8 gives "/".
TALQ_API std::string OSApplicationDirectory();
/// Same as OSApplicationDirectory().
TALQ_API std::string OSApplicationBinaryDirectory();
/// Same as OSApplicationDirectory().
TALQ_API std::string OSApplicationResourcesDirectory();
/// The shared resources directory set by OSSetSharedResourceDirectory,
/// exactly as it was set; OSApplicationDirectory() while none is set.
TALQ_API std::string OSSharedResourcesDirectory();
/// Stores dir unchanged (no notation change, no '/' added, not checked);
/// "" clears the setting. Safe against concurrent readers.
///   OSSetSharedResourceDirectory("/D:/Shared") => OSSharedResourcesDirectory() == "/D:/Shared"
TALQ_API void OSSetSharedResourceDirectory(const std::string& dir);
/// @}

// ---------------------------------------------------------------------------
/// @name Shortcuts and resources
/// @{

/// The target of a Windows shortcut (".lnk"), in generic notation: of path
/// itself when it is a shortcut, else of path + ".lnk" when path does not
/// exist and that shortcut does; otherwise path unchanged. One level only: a
/// target that is itself a shortcut is returned as it is. A shortcut whose
/// target holds a character no Windows path can (U+0000..U+001F, or one of
/// < > " | ? *) counts as no shortcut, on every platform. A target written
/// with environment variables may name only the system's own (SystemRoot,
/// windir, SystemDrive, ProgramFiles, ProgramFiles(x86), ProgramW6432,
/// CommonProgramFiles, ProgramData): one naming any other is not expanded,
/// and the shortcut's other records name the target, or none does. A
/// relative path is read as a shortcut relative to OSApplicationDirectory(),
/// while the existence tests use the current directory.
///   "/C:/Docs/report.txt.lnk" => "/C:/Data/report.txt"
///   "/C:/Docs/report" (missing, report.lnk beside it) => its target
///   "/C:/Docs/plain.txt" => "/C:/Docs/plain.txt"
/// Throws ChException "Unable to convert file path" when the absolute form
/// of path (or of path + ".lnk", when that exists) is 257 bytes or longer.
TALQ_API std::string ResolveAliasOrLink(const std::string& path);
/// The generic path of the resource `name` (a relative generic path): looked
/// up below OSApplicationDirectory(), then below OSSharedResourcesDirectory(),
/// each candidate passed through ResolveAliasOrLink; the first that exists
/// (file or directory) wins. "" when neither exists. The name is joined as
/// it is: "" finds the application directory itself.
///   "data/list.txt" => "/C:/Apps/Tool/data/list.txt"
/// Throws as ResolveAliasOrLink does.
TALQ_API std::string OSFindResourcePath(const std::string& name);
/// @}

}  // namespace TalqOSUtils
