// The .lnk reader's path assembly: a parsed target (ShellLink.h) made into
// the full NT path the shell would give.
//
// Environment targets expand only the system's own variables, names not case
// sensitive: each %name% is the variable's value in the environment the
// caller hands in (ShortcutTargetPath's `environment`: the reader itself
// makes no OS call), or Windows' own value when it is not set:
//   SystemRoot, windir         C:\Windows
//   SystemDrive                C:
//   ProgramFiles, ProgramW6432 C:\Program Files
//   ProgramFiles(x86)          C:\Program Files (x86)
//   CommonProgramFiles         C:\Program Files\Common Files
//   ProgramData                C:\ProgramData
// Any other variable is never read, and a text that could name one (see
// NamesOnlySystemVariables) has no target: a shortcut holds whatever text its
// maker likes, and "\\%SECRET%\x" would hand the host's secret to whoever
// reads the target. Otherwise a '%' without a closing one, and "%%", stand
// for themselves. The expansion must give an absolute path ("X:\..." or
// "\\server\..."); values are not expanded again.
//
// Relative targets are placed in the shortcut's folder; "." and ".." are
// resolved, never above the folder's root ("C:\", "\\srv\share\").
#pragma once

#include <string>

#include "lnk/ShellLink.h"

namespace TalqOSUtils {
namespace lnk {

/// True when every stretch of `unexpanded` between two '%' is empty or names
/// one of the system's variables above. Each stretch counts, whichever way a
/// reader pairs the '%': "%%SECRET%" names SECRET.
///   u"%windir%\x.exe", u"%SYSTEMDRIVE%%ProgramData%", u"C:\50%"  => true
///   u"\\%AWS_SECRET%\x", u"%windir%\%AWS_SECRET%", u"%%AWS_SECRET%" => false
bool NamesOnlySystemVariables(const Text& unexpanded);

/// What the environment holds of a variable.
enum class Lookup { kSet, kNotSet, kFailed };

/// The caller's environment, asked only for the system's variables: the
/// value of `name` (as the shortcut spells it; names are not case sensitive)
/// in value and kSet, even when empty; kNotSet when it is not set; kFailed
/// when it cannot be read, the caller keeping why (its last error).
using Environment = Lookup (*)(const Text& name, Text& value);

/// What became of a target: a path, none, or none since the environment failed.
enum class Assembled { kPath, kNoTarget, kEnvironmentFailed };

/// The target of the shortcut whose own NT path (UTF-8) is linkPath, in out
/// (kPath). kNoTarget for kNone, a variable that is not the system's, or a
/// path that is not absolute; kEnvironmentFailed when `environment` failed.
/// out is left alone unless kPath.
///   ("C:\a\l.lnk", {kRelative, u".\b\c.txt"})        => u"C:\a\b\c.txt"
///   ("C:\l.lnk", {kEnvironment, u"%windir%\x.exe"})  => u"C:\Windows\x.exe" (windir not set)
Assembled ShortcutTargetPath(const std::string& linkPath, const ShellLinkTarget& target,
                             Environment environment, Text& out);

}  // namespace lnk
}  // namespace TalqOSUtils
