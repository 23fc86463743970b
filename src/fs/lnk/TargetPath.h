// The .lnk reader's path assembly: a parsed target (ShellLink.h) made into
// the full NT path the shell would give.
//
// Environment targets: each %name% is the variable's value in the process
// environment (platform::Os().getEnvironmentVariable, names not case
// sensitive); a variable that is not set takes Windows' own value for the
// system's variables:
//   SystemRoot, windir         C:\Windows
//   SystemDrive                C:
//   ProgramFiles, ProgramW6432 C:\Program Files
//   ProgramFiles(x86)          C:\Program Files (x86)
//   CommonProgramFiles         C:\Program Files\Common Files
//   ProgramData                C:\ProgramData
// Any other variable that is not set means no target. A '%' without a
// closing one, and "%%", stand for themselves. The expansion must give an
// absolute path ("X:\..." or "\\server\..."); values are not expanded again.
//
// Relative targets are placed in the shortcut's folder; "." and ".." are
// resolved, never above the folder's root ("C:\", "\\srv\share\").
#pragma once

#include <string>

#include "fs/lnk/ShellLink.h"

namespace TalqOSUtils {
namespace lnk {

/// The target of the shortcut whose own NT path (UTF-8) is linkPath, in out.
/// False with the last error set when there is none: ERROR_INVALID_FUNCTION
/// for kNone, a variable that is not set, or a path that is not absolute;
/// the environment call's own code when it fails otherwise.
///   ("C:\a\l.lnk", {kRelative, u".\b\c.txt"})        => u"C:\a\b\c.txt"
///   ("C:\l.lnk", {kEnvironment, u"%windir%\x.exe"})  => u"C:\Windows\x.exe" (windir not set)
bool ShortcutTargetPath(const std::string& linkPath, const ShellLinkTarget& target, Text& out);

}  // namespace lnk
}  // namespace TalqOSUtils
