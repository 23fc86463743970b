// Shortcut reading behind ResolveAliasOrLink; internal.
#pragma once

#include <string>

namespace TalqOSUtils {

/// The target of the shortcut at ntPath (UTF-8, NT notation) as UTF-8 NT
/// text, or "" when it is no readable shortcut with a file-system target, or
/// when the target holds a character no Windows path holds (U+0000..U+001F,
/// < > " | ? *).
///   "C:\Links\report.lnk" => "C:\Data\report.txt"
std::string ReadShellLinkTarget(const std::string& ntPath);

/// Reads the generic path as a shortcut (made absolute against the
/// application directory first); on success stores the target in generic
/// notation in target and returns true, else leaves target alone. Throws
/// ChException "Unable to convert file path" when the absolute path is 257
/// bytes or longer.
bool ResolveLinkFile(const std::string& path, std::string& target);

}  // namespace TalqOSUtils
