// The .lnk reader's LinkTargetIDList (see IdList.h).
#include "lnk/IdList.h"

namespace TalqOSUtils {
namespace lnk {

namespace {

// Root items (class 0x1F): the size, the class, a sort byte, then the
// folder's CLSID as stored (the first three fields little-endian).
constexpr std::uint8_t kMyComputer[16] = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                          0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};
constexpr std::uint8_t kNetwork[16] = {0x0D, 0x1A, 0x2C, 0xF0, 0x21, 0xBE, 0x50, 0x43,
                                       0x88, 0xB0, 0x73, 0x67, 0xFC, 0x96, 0xEF, 0x3C};
constexpr std::uint8_t kNetworkPlaces[16] = {0x60, 0x2C, 0x8D, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                             0xA2, 0xD7, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};
constexpr std::size_t kRootClsidAt = 4;

// Class bytes: the group is the high nibble without the junction bit 0x80.
constexpr std::uint32_t kClassRoot = 0x1F;
constexpr std::uint32_t kGroupMask = 0x70;
constexpr std::uint32_t kGroupComputer = 0x20;  // drives, and CLSID items (0x2E)
constexpr std::uint32_t kGroupFile = 0x30;
constexpr std::uint32_t kFileUnicode = 0x04;  // the entry's own name is UTF-16
constexpr std::uint32_t kGroupNetwork = 0x40;
constexpr std::uint32_t kNetworkShare = 0x43;

constexpr std::size_t kClassAt = 2;
constexpr std::size_t kDriveAt = 3;            // "C:\" and NUL
constexpr std::size_t kNetworkLocationAt = 5;  // after the class, a byte and the flags
constexpr std::size_t kFileNameAt = 14;        // after size, date and attributes

// The file entry's extension block with its long name; where the name
// starts depends on the block's version (3: XP, 7: Vista, 8: 7, 9: 8 and
// later).
constexpr std::uint32_t kFileEntryExtension = 0xBEEF0004;
std::size_t LongNameAt(std::uint32_t version) {
  if (version >= 9) return 46;
  if (version == 8) return 42;
  if (version == 7) return 38;
  return version >= 3 ? 20 : 0;
}

bool IsDrive(const Text& s) {
  const Unit letter = static_cast<Unit>(s.empty() ? 0 : s[0] | 0x20);
  return s.size() == 3 && letter >= u'a' && letter <= u'z' && s[1] == u':' && s[2] == u'\\';
}

// "\\server\share": a server and a share name, neither empty.
bool IsShare(const Text& s) {
  if (s.size() < 5 || s[0] != u'\\' || s[1] != u'\\') return false;
  const std::size_t cut = s.find(u'\\', 2);
  return cut != Text::npos && cut > 2 && cut + 1 < s.size();
}

// The entry's name: the long one from its extension block, else its own.
Text FileEntryName(const ByteReader& item, std::uint32_t itemClass) {
  Text name;
  std::size_t pos = 0;
  const bool own = (itemClass & kFileUnicode) != 0 ? item.UnicodeZ(kFileNameAt, name, &pos)
                                                   : item.AnsiZ(kFileNameAt, name, &pos);
  if (!own) return Text();
  pos += pos & 1;  // extension blocks start on an even offset
  std::uint32_t size = 0;
  std::uint32_t version = 0;
  std::uint32_t signature = 0;
  ByteReader block;
  while (item.U16(pos, size) && item.U16(pos + 2, version) && item.U32(pos + 4, signature) &&
         size >= 8 && item.Sub(pos, size, block)) {
    Text longName;
    if (signature == kFileEntryExtension) {
      const std::size_t at = LongNameAt(version);
      if (at != 0 && block.UnicodeZ(at, longName) && !longName.empty()) return longName;
      break;
    }
    pos += size;
  }
  return name;
}

bool IsComponent(const Text& name) {
  const bool dots = name.find_first_not_of(static_cast<Unit>('.')) == Text::npos;
  return !(dots && name.size() <= 2) && name.find(static_cast<Unit>('\\')) == Text::npos;
}

}  // namespace

Text IdListPath(const ByteReader& list) {
  enum class Expect { kRoot, kDrive, kShare, kEntry } expect = Expect::kRoot;
  Text path;
  std::uint32_t size = 0;
  for (std::size_t pos = 0;; pos += size) {
    if (!list.U16(pos, size)) return Text();  // no terminal item inside the list
    if (size == 0) break;
    ByteReader item;
    std::uint32_t itemClass = 0;
    if (!list.Sub(pos, size, item) || !item.U8(kClassAt, itemClass)) return Text();
    const std::uint32_t group = itemClass & kGroupMask;
    Text text;
    switch (expect) {
      case Expect::kRoot:
        if (itemClass != kClassRoot) return Text();
        if (item.Equals(kRootClsidAt, kMyComputer, sizeof kMyComputer)) {
          expect = Expect::kDrive;
        } else if (item.Equals(kRootClsidAt, kNetwork, sizeof kNetwork) ||
                   item.Equals(kRootClsidAt, kNetworkPlaces, sizeof kNetworkPlaces)) {
          expect = Expect::kShare;
        } else {
          return Text();
        }
        break;
      case Expect::kDrive:
        if (group != kGroupComputer || !item.AnsiZ(kDriveAt, text) || !IsDrive(text)) return Text();
        path = text;
        expect = Expect::kEntry;
        break;
      case Expect::kShare:
        if (group != kGroupNetwork) return Text();
        if ((itemClass & ~0x80u) != kNetworkShare) break;  // provider, domain, server
        if (!item.AnsiZ(kNetworkLocationAt, text) || !IsShare(text)) return Text();
        path = text;
        expect = Expect::kEntry;
        break;
      case Expect::kEntry:
        text = group == kGroupFile ? FileEntryName(item, itemClass) : Text();
        if (!IsComponent(text)) return Text();
        if (path.back() != u'\\') path += u'\\';
        path += text;
        break;
    }
  }
  return expect == Expect::kEntry && !path.empty() ? path : Text();
}

}  // namespace lnk
}  // namespace TalqOSUtils
