// The .lnk parser (see ShellLink.h). May assume nothing about the bytes:
// each read goes through ByteReader, which checks it.
#include "lnk/ShellLink.h"

#include "lnk/IdList.h"

namespace TalqOSUtils {
namespace lnk {

namespace {

// CLSID_ShellLink {00021401-0000-0000-C000-000000000046} as stored.
constexpr std::uint8_t kShellLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                              0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// LinkFlags.
constexpr std::uint32_t kHasLinkTargetIdList = 0x1;
constexpr std::uint32_t kHasLinkInfo = 0x2;
constexpr std::uint32_t kHasName = 0x4;
constexpr std::uint32_t kHasRelativePath = 0x8;
constexpr std::uint32_t kHasWorkingDir = 0x10;
constexpr std::uint32_t kHasArguments = 0x20;
constexpr std::uint32_t kHasIconLocation = 0x40;
constexpr std::uint32_t kIsUnicode = 0x80;
constexpr std::uint32_t kForceNoLinkInfo = 0x100;
constexpr std::uint32_t kHasExpString = 0x200;

// LinkInfoFlags.
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr std::uint32_t kCommonNetworkRelativeLink = 0x2;
// CommonNetworkRelativeLinkFlags.
constexpr std::uint32_t kValidDevice = 0x1;

// Header sizes: LinkInfo without and with the Unicode offsets; the network
// link without and with them.
constexpr std::uint32_t kLinkInfoHeader = 0x1C;
constexpr std::uint32_t kLinkInfoHeaderUnicode = 0x24;
constexpr std::uint32_t kNetLinkHeader = 0x14;
constexpr std::uint32_t kNetLinkHeaderUnicode = 0x1C;

// EnvironmentVariableDataBlock: its fixed size, and its two fields.
constexpr std::uint32_t kEnvironmentBlock = 0xA0000001;
constexpr std::uint32_t kEnvironmentBlockSize = 0x314;
constexpr std::size_t kTargetAnsiAt = 8;
constexpr std::size_t kTargetAnsiBytes = 260;
constexpr std::size_t kTargetUnicodeAt = 268;
constexpr std::size_t kTargetUnicodeBytes = 520;

// The Unicode string at the offset stored at field when the structure's
// header holds that field and it is non-zero; else the ANSI string at the
// offset stored at ansiField. An offset of 0 means "absent": empty text.
bool PreferUnicode(const ByteReader& r, std::uint32_t headerSize, std::size_t ansiField,
                   std::size_t unicodeField, Text& out) {
  std::uint32_t offset = 0;
  if (headerSize >= unicodeField + 4) {
    if (!r.U32(unicodeField, offset)) return false;
    if (offset != 0) return r.UnicodeZ(offset, out);
  }
  if (!r.U32(ansiField, offset)) return false;
  if (offset == 0) {
    out.clear();
    return true;
  }
  return r.AnsiZ(offset, out);
}

Text JoinNt(const Text& head, const Text& tail) {
  if (head.empty() || tail.empty() || head.back() == u'\\') return head + tail;
  return head + static_cast<Unit>(u'\\') + tail;
}

// LinkInfo: the local path, else the share's name and the suffix.
bool ParseLinkInfo(const ByteReader& info, ShellLinkTarget& target) {
  std::uint32_t headerSize = 0;
  std::uint32_t flags = 0;
  if (!info.U32(4, headerSize) || !info.U32(8, flags)) return false;
  if (headerSize < kLinkInfoHeader || headerSize > info.Size()) return false;
  const std::uint32_t unicodeHeader = headerSize >= kLinkInfoHeaderUnicode ? headerSize : 0;

  Text suffix;
  if (!PreferUnicode(info, unicodeHeader, 24, 32, suffix)) return false;

  // Both parts are checked when flagged; the local path wins over the share.
  Text base;
  if ((flags & kVolumeIdAndLocalBasePath) != 0 &&
      !PreferUnicode(info, unicodeHeader, 16, 28, base)) {
    return false;
  }
  Text name;
  if ((flags & kCommonNetworkRelativeLink) != 0) {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    ByteReader net;
    if (!info.U32(20, offset) || !info.U32(offset, size) || size < kNetLinkHeader ||
        !info.Sub(offset, size, net)) {
      return false;
    }
    std::uint32_t nameOffset = 0;
    if (!net.U32(8, nameOffset)) return false;
    // The Unicode offsets exist only when NetNameOffset points past them.
    const std::uint32_t netHeader = nameOffset > kNetLinkHeader ? kNetLinkHeaderUnicode : 0;
    if (!PreferUnicode(net, netHeader, 8, 20, name)) return false;
    // A share mapped to a drive letter is named by that drive, as the shell
    // shows it.
    std::uint32_t netFlags = 0;
    Text device;
    if (!net.U32(4, netFlags)) return false;
    if ((netFlags & kValidDevice) != 0) {
      if (!PreferUnicode(net, netHeader, 12, 24, device)) return false;
      if (!device.empty()) name = device;
    }
  }
  if (!base.empty()) {
    target.kind = ShellLinkTarget::Kind::kLocal;
    target.path = JoinNt(base, suffix);
  } else if (!name.empty()) {
    target.kind = ShellLinkTarget::Kind::kNetwork;
    target.path = JoinNt(name, suffix);
  }
  return true;  // well formed, but no path of its own
}

// One StringData entry: a count of characters, then the characters.
bool ReadCountedString(const ByteReader& r, std::size_t& pos, bool unicode, Text* out) {
  std::uint32_t count = 0;
  if (!r.U16(pos, count)) return false;
  pos += 2;
  Text text;
  if (!(unicode ? r.Unicode(pos, count, text) : r.Ansi(pos, count, text))) return false;
  if (out != nullptr) *out = text;
  pos += count * (unicode ? 2u : 1u);
  return true;
}

enum class Found { kYes, kNo, kMalformed };

// The ExtraData from pos: its environment block's target, Unicode preferred.
Found EnvironmentTarget(const ByteReader& file, std::size_t pos, Text& target) {
  std::uint32_t size = 0;
  std::uint32_t signature = 0;
  for (;; pos += size) {
    if (!file.U32(pos, size)) return Found::kMalformed;  // the TerminalBlock is required
    if (size < 4) return Found::kNo;
    ByteReader block;
    if (size < 8 || !file.Sub(pos, size, block) || !block.U32(4, signature)) {
      return Found::kMalformed;
    }
    if (signature != kEnvironmentBlock) continue;
    ByteReader field;
    if (size != kEnvironmentBlockSize || !block.Sub(kTargetUnicodeAt, kTargetUnicodeBytes, field) ||
        !field.UnicodeZ(0, target)) {
      return Found::kMalformed;
    }
    if (target.empty() &&
        (!block.Sub(kTargetAnsiAt, kTargetAnsiBytes, field) || !field.AnsiZ(0, target))) {
      return Found::kMalformed;
    }
    return target.empty() ? Found::kNo : Found::kYes;
  }
}

bool IsUnc(const Text& path) { return path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\'; }

}  // namespace

bool IsShellLinkHeader(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr) return false;
  const ByteReader header(data, size < kHeaderSize ? size : kHeaderSize);
  std::uint32_t headerSize = 0;
  return header.U32(0, headerSize) && headerSize == kHeaderSize && header.Has(0, kHeaderSize) &&
         header.Equals(4, kShellLinkClsid, sizeof kShellLinkClsid);
}

ShellLinkTarget ParseShellLink(const std::uint8_t* data, std::size_t size, bool environment) {
  using Kind = ShellLinkTarget::Kind;
  const ShellLinkTarget none;
  const ByteReader file(data, data == nullptr ? 0 : size);
  std::uint32_t flags = 0;
  if (!IsShellLinkHeader(data, size) || !file.U32(20, flags)) return none;
  std::size_t pos = kHeaderSize;

  Text idListPath;
  if ((flags & kHasLinkTargetIdList) != 0) {
    std::uint32_t idListSize = 0;
    ByteReader list;
    if (!file.U16(pos, idListSize) || !file.Sub(pos + 2, idListSize, list)) return none;
    idListPath = IdListPath(list);
    pos += 2 + idListSize;
  }

  ShellLinkTarget found;
  if ((flags & kHasLinkInfo) != 0) {
    std::uint32_t infoSize = 0;
    ByteReader info;
    if (!file.U32(pos, infoSize) || infoSize < kLinkInfoHeader || !file.Sub(pos, infoSize, info)) {
      return none;
    }
    if ((flags & kForceNoLinkInfo) == 0 && !ParseLinkInfo(info, found)) return none;
    pos += infoSize;
  }

  const bool unicode = (flags & kIsUnicode) != 0;
  Text relative;
  const std::uint32_t strings[] = {kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments,
                                   kHasIconLocation};
  for (std::uint32_t bit : strings) {
    if ((flags & bit) == 0) continue;
    if (!ReadCountedString(file, pos, unicode, bit == kHasRelativePath ? &relative : nullptr)) {
      return none;
    }
  }

  if (found.kind != Kind::kNone) return found;
  if (environment && (flags & kHasExpString) != 0) {
    switch (EnvironmentTarget(file, pos, found.path)) {
      case Found::kYes:
        found.kind = Kind::kEnvironment;
        return found;
      case Found::kMalformed:
        return none;
      case Found::kNo:
        break;
    }
  }
  if (!idListPath.empty()) {
    found.kind = IsUnc(idListPath) ? Kind::kNetwork : Kind::kLocal;
    found.path = idListPath;
  } else if (!relative.empty()) {
    found.kind = Kind::kRelative;
    found.path = relative;
  }
  return found;
}

}  // namespace lnk
}  // namespace TalqOSUtils
