// A reader of the published Windows shortcut format ([MS-SHLLINK]), for
// backends without the shell-link object. Portable: it parses bytes in
// memory; reading the file is the caller's (a backend's) business, and so is
// the environment (TargetPath.h).
//
// Understood: the ShellLinkHeader (size 0x4C and the ShellLink CLSID are
// required); LinkInfo with VolumeIDAndLocalBasePath (LocalBasePath and
// CommonPathSuffix, their Unicode forms preferred when present) or
// CommonNetworkRelativeLinkAndPathSuffix (the share's NetName, or the drive
// it is mapped to, then the suffix); StringData's RELATIVE_PATH; the
// EnvironmentVariableDataBlock (0xA0000001) when HasExpString says it is
// there; and the LinkTargetIDList's file-system items (IdList.h). Not
// understood: other shell items (Control Panel, libraries, apps), Darwin
// (MSI) links and the distributed link tracker; such shortcuts have no
// target here.
//
// Which source names the target when several do, first first:
//   1. LinkInfo: the path the writer's shell resolved, with its volume or
//      share. Where a file has an IDList too, the two normally name the
//      same path; every answer the reader ever gave from LinkInfo stands.
//   2. The environment block ("%windir%\system32\x.exe"): written so that
//      the target follows the reading machine's folders, which the IDList
//      and RELATIVE_PATH do not. It may name only the system's variables
//      (TargetPath.h): a block naming any other is read as if the shortcut
//      had none (ParseShellLink's `environment`), and the sources below
//      apply. If it cannot be expanded, the shortcut has no target: the
//      writer's folders may name another file here.
//   3. The IDList's path: the writer's folders, as they were.
//   4. RELATIVE_PATH: from the shortcut's own folder, for a link moved
//      together with its target; the shell tries it only when the others
//      fail.
//
// Hardened: every size and offset is checked against the bytes given
// (ByteReader.h). A cut or malformed header, IDList size, LinkInfo or
// StringData means no target, and so does a cut or malformed ExtraData when
// the environment block is looked for in it; shell items the reader does not
// understand only mean no path from the IDList. No loop runs longer than the
// data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lnk/ByteReader.h"

namespace TalqOSUtils {
namespace lnk {

/// Bytes of the ShellLinkHeader: enough to tell a shortcut from any other file.
constexpr std::size_t kHeaderSize = 0x4C;

/// True when data[0..size) starts with a ShellLinkHeader (HeaderSize 0x4C
/// and LinkCLSID 00021401-0000-0000-C000-000000000046); reads at most
/// kHeaderSize bytes.
bool IsShellLinkHeader(const std::uint8_t* data, std::size_t size);

struct ShellLinkTarget {
  enum class Kind { kNone, kLocal, kNetwork, kEnvironment, kRelative };
  Kind kind = Kind::kNone;
  /// NT text without a NUL: the full target for kLocal and kNetwork, the
  /// unexpanded "%name%" text for kEnvironment, the path relative to the
  /// shortcut's folder for kRelative.
  Text path;
};

/// The target named by the shortcut bytes data[0..size) (see the top of this
/// file for which source wins); kind kNone when the bytes are no shortcut or
/// name no file-system target. With `environment` false the bytes are read
/// as if HasExpString were clear: the ExtraData is not looked at. Never reads
/// outside the range.
///   LinkInfo LocalBasePath "C:\Windows\explorer.exe" => {kLocal, u"C:\Windows\explorer.exe"}
///   NetName "\\srv\share", suffix "dir\f.txt" => {kNetwork, u"\\srv\share\dir\f.txt"}
///   no LinkInfo, block "%windir%\notepad.exe" => {kEnvironment, u"%windir%\notepad.exe"}
///   the same, RELATIVE_PATH "n.exe", environment false => {kRelative, u"n.exe"}
ShellLinkTarget ParseShellLink(const std::uint8_t* data, std::size_t size, bool environment = true);

}  // namespace lnk
}  // namespace TalqOSUtils
