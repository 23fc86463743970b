// The .lnk reader's LinkTargetIDList: the shell items that name a file-system
// path. Shell items are the shell's own records, published only in part, so
// only these chains are read; any other item, or one that does not fit its
// list, means the list names no path (never that the file is broken):
//
//   My Computer {20D04FE0-3AEA-1069-A2D8-08002B30309D}, a drive item "X:\",
//   file entries...
//   the Network {F02C1A0D-BE21-4350-88B0-7367FC96EF3C} or My Network Places
//   {208D2C60-3AEA-1069-A2D7-08002B30309D}, network items (provider, domain,
//   server), a share item "\\server\share", file entries...
//
// A file entry's name is the long name of its 0xBEEF0004 extension block
// when it has one, else its own (short, 8.3) name, ANSI or UTF-16 as its
// class says. A name that is empty, "." or "..", or holds a '\', ends the
// reading with no path.
#pragma once

#include "lnk/ByteReader.h"

namespace TalqOSUtils {
namespace lnk {

/// The path the items of `list` (the IDList without its size field) name,
/// or "" when they name none.
///   [My Computer] [C:\] [Windows] [explorer.exe] => u"C:\Windows\explorer.exe"
///   [Network] [\\srv\share] [dir]                 => u"\\srv\share\dir"
Text IdListPath(const ByteReader& list);

}  // namespace lnk
}  // namespace TalqOSUtils
