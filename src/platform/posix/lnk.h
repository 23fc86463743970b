// POSIX backend: a reader of the published Windows shortcut format
// ([MS-SHLLINK]), used in place of the shell-link object.
//
// Understood: the ShellLinkHeader (size 0x4C and the ShellLink CLSID are
// required), a LinkTargetIDList (skipped: shell items are not turned into
// paths), LinkInfo with VolumeIDAndLocalBasePath (LocalBasePath and
// CommonPathSuffix, their Unicode forms preferred when present) or
// CommonNetworkRelativeLinkAndPathSuffix (the share's NetName, Unicode when
// present, then the suffix), and StringData's RELATIVE_PATH when there is no
// LinkInfo. Not understood: targets given only by shell items or by the
// environment-variable extra data block ("%windir%\..."), and the distributed
// link tracker; such shortcuts have no target here. ANSI strings are read as
// UTF-8 when they are valid UTF-8, else as Windows-1252 (the code page of the
// machine that wrote them is not recorded in the file).
//
// Hardened: every size and offset is checked against the bytes given; a
// truncated or malformed file has no target. No loop runs longer than the
// data, and the file reader takes at most kMaxShortcutBytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

/// The most bytes read from a shortcut file; larger files are read that far.
constexpr std::size_t kMaxShortcutBytes = std::size_t{64} * 1024;

struct ShellLinkTarget {
  enum class Kind { kNone, kLocal, kNetwork, kRelative };
  Kind kind = Kind::kNone;
  /// UTF-16 NT text without a NUL: the full target for kLocal and kNetwork,
  /// the path relative to the shortcut's folder for kRelative.
  std::basic_string<OsChar> path;
};

/// The target named by the shortcut bytes data[0..size); kind kNone when the
/// bytes are no shortcut or name no file-system target. Never reads outside
/// the range.
///   LinkInfo LocalBasePath "C:\Windows\explorer.exe" => {kLocal, u"C:\Windows\explorer.exe"}
///   NetName "\\srv\share", suffix "dir\f.txt" => {kNetwork, u"\\srv\share\dir\f.txt"}
ShellLinkTarget ParseShellLink(const std::uint8_t* data, std::size_t size);

/// The target of the shortcut whose own NT path is linkPath: a relative
/// target is placed in the shortcut's folder, with "." and ".." resolved.
/// Empty for kNone.
///   ("C:\a\l.lnk", {kRelative, u".\b\c.txt"}) => u"C:\a\b\c.txt"
std::basic_string<OsChar> ShortcutTargetPath(const std::string& linkPath,
                                             const ShellLinkTarget& target);

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
