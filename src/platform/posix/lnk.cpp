// POSIX backend, shortcuts: the [MS-SHLLINK] reader (see lnk.h). May assume
// nothing about the bytes: each read goes through Range, which checks it.
#include "platform/posix/lnk.h"

#include <cstring>
#include <vector>

#include "Vandrel/Vandrel.h"
#include "paths/NameBytes.h"

namespace TalqOSUtils {
namespace platform {
namespace posix {

namespace {

using Text = std::basic_string<OsChar>;

constexpr std::uint32_t kHeaderSize = 0x4C;
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

// A window on the bytes; every read is checked against its size, and offsets
// are relative to its start, as the format's offsets are to their structure.
class Range {
 public:
  Range(const std::uint8_t* data, std::size_t size) : mData(data), mSize(size) {}

  std::size_t Size() const { return mSize; }
  bool Has(std::size_t offset, std::size_t count) const {
    return offset <= mSize && count <= mSize - offset;
  }
  bool U16(std::size_t offset, std::uint32_t& value) const {
    if (!Has(offset, 2)) return false;
    value = static_cast<std::uint32_t>(mData[offset] | mData[offset + 1] << 8);
    return true;
  }
  bool U32(std::size_t offset, std::uint32_t& value) const {
    if (!Has(offset, 4)) return false;
    value = static_cast<std::uint32_t>(mData[offset]) |
            static_cast<std::uint32_t>(mData[offset + 1]) << 8 |
            static_cast<std::uint32_t>(mData[offset + 2]) << 16 |
            static_cast<std::uint32_t>(mData[offset + 3]) << 24;
    return true;
  }
  bool Sub(std::size_t offset, std::size_t count, Range& out) const {
    if (!Has(offset, count)) return false;
    out = Range(mData + offset, count);
    return true;
  }
  const std::uint8_t* At(std::size_t offset) const { return mData + offset; }

 private:
  const std::uint8_t* mData;
  std::size_t mSize;
};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const std::string& s) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(s.data());
  for (std::size_t i = 0, n = 0; i < s.size(); i += n) {
    n = names::Utf8CharLength(bytes + i, s.size() - i);
    if (n == 0) return false;
  }
  return true;
}

// The code page of the writing machine is not in the file: UTF-8 when the
// bytes are valid UTF-8 (ASCII included), else Windows-1252.
Text DecodeAnsi(const std::string& bytes) {
  std::vector<OsChar> wide(bytes.size() + 1, 0);
  if (IsUtf8(bytes)) {
    Vandrel::UTF8ToUni16Char(bytes.c_str(), wide.data(), wide.size());
  } else {
    Vandrel::PlatformCStringToUni16Char(bytes.c_str(), wide.data(), wide.size());
  }
  return Text(wide.data());
}

// A NUL-terminated ANSI string at offset, ending within r.
bool AnsiZ(const Range& r, std::size_t offset, Text& out) {
  if (!r.Has(offset, 1)) return false;
  const auto* start = reinterpret_cast<const char*>(r.At(offset));
  const void* nul = std::memchr(start, 0, r.Size() - offset);
  if (nul == nullptr) return false;
  out = DecodeAnsi(std::string(start, static_cast<const char*>(nul)));
  return true;
}

// A NUL-terminated UTF-16LE string at offset, ending within r.
bool UnicodeZ(const Range& r, std::size_t offset, Text& out) {
  Text text;
  for (std::uint32_t unit = 0;; offset += 2) {
    if (!r.U16(offset, unit)) return false;
    if (unit == 0) break;
    text += static_cast<OsChar>(unit);
  }
  out = text;
  return true;
}

// The Unicode string at the offset stored at field when the structure's
// header holds that field and it is non-zero; else the ANSI string at the
// offset stored at ansiField. An offset of 0 means "absent": empty text.
bool PreferUnicode(const Range& r, std::uint32_t headerSize, std::size_t ansiField,
                   std::size_t unicodeField, Text& out) {
  std::uint32_t offset = 0;
  if (headerSize >= unicodeField + 4) {
    if (!r.U32(unicodeField, offset)) return false;
    if (offset != 0) return UnicodeZ(r, offset, out);
  }
  if (!r.U32(ansiField, offset)) return false;
  if (offset == 0) {
    out.clear();
    return true;
  }
  return AnsiZ(r, offset, out);
}

Text JoinNt(const Text& head, const Text& tail) {
  if (head.empty() || tail.empty() || head.back() == u'\\') return head + tail;
  return head + static_cast<OsChar>(u'\\') + tail;
}

// LinkInfo: the local path, else the share's name and the suffix.
bool ParseLinkInfo(const Range& info, ShellLinkTarget& target) {
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
    Range net(nullptr, 0);
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
bool ReadCountedString(const Range& r, std::size_t& pos, bool unicode, Text* out) {
  std::uint32_t count = 0;
  if (!r.U16(pos, count)) return false;
  pos += 2;
  const std::size_t bytes = static_cast<std::size_t>(count) * (unicode ? 2 : 1);
  if (!r.Has(pos, bytes)) return false;
  if (out != nullptr) {
    Text text;
    if (unicode) {
      for (std::size_t i = 0; i < bytes; i += 2) {
        text += static_cast<OsChar>(r.At(pos)[i] | r.At(pos)[i + 1] << 8);
      }
    } else {
      text = DecodeAnsi(std::string(reinterpret_cast<const char*>(r.At(pos)), bytes));
    }
    // A stored NUL would end the text on Windows; so it does here.
    *out = text.substr(0, text.find(static_cast<OsChar>(0)));
  }
  pos += bytes;
  return true;
}

}  // namespace

ShellLinkTarget ParseShellLink(const std::uint8_t* data, std::size_t size) {
  ShellLinkTarget none;
  if (data == nullptr) return none;
  const Range file(data, size);
  std::uint32_t headerSize = 0;
  std::uint32_t flags = 0;
  if (!file.U32(0, headerSize) || headerSize != kHeaderSize || !file.Has(0, kHeaderSize) ||
      std::memcmp(file.At(4), kShellLinkClsid, sizeof kShellLinkClsid) != 0 ||
      !file.U32(20, flags)) {
    return none;
  }
  std::size_t pos = kHeaderSize;

  if ((flags & kHasLinkTargetIdList) != 0) {
    std::uint32_t idListSize = 0;
    if (!file.U16(pos, idListSize) || !file.Has(pos + 2, idListSize)) return none;
    pos += 2 + idListSize;
  }

  ShellLinkTarget found;
  if ((flags & kHasLinkInfo) != 0) {
    std::uint32_t infoSize = 0;
    Range info(nullptr, 0);
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

  if (found.kind == ShellLinkTarget::Kind::kNone && !relative.empty()) {
    found.kind = ShellLinkTarget::Kind::kRelative;
    found.path = relative;
  }
  return found;
}

std::basic_string<OsChar> ShortcutTargetPath(const std::string& linkPath,
                                             const ShellLinkTarget& target) {
  if (target.kind == ShellLinkTarget::Kind::kNone) return Text();
  if (target.kind != ShellLinkTarget::Kind::kRelative) return target.path;

  // The shortcut's folder, as UTF-16 NT text, then the relative components.
  std::vector<OsChar> wide(linkPath.size() + 1, 0);
  Vandrel::UTF8ToUni16Char(linkPath.c_str(), wide.data(), wide.size());
  Text folder(wide.data());
  const std::size_t cut = folder.find_last_of(u"\\/");
  if (cut == Text::npos) return Text();
  std::size_t keep = cut + 1;  // the separator stays
  // The root ("C:\", "\\srv\share\", "\") is never climbed out of.
  std::size_t root = folder.find(u'\\') == Text::npos ? 0 : folder.find(u'\\') + 1;
  if (folder.size() >= 2 && folder[0] == u'\\' && folder[1] == u'\\') {
    const std::size_t share = folder.find(u'\\', 2);
    root = share == Text::npos ? keep : folder.find(u'\\', share + 1);
    root = root == Text::npos ? keep : root + 1;
  }
  if (root > keep) root = keep;
  Text out = folder.substr(0, keep);

  std::size_t start = 0;
  const Text& rel = target.path;
  while (start <= rel.size()) {
    std::size_t end = rel.find_first_of(u"\\/", start);
    if (end == Text::npos) end = rel.size();
    const Text part = rel.substr(start, end - start);
    if (part == u"..") {
      if (out.size() > root) {
        const std::size_t prev = out.find_last_of(u'\\', out.size() - 2);
        out.erase(prev == Text::npos || prev + 1 < root ? root : prev + 1);
      }
    } else if (!part.empty() && part != u".") {
      out += part;
      if (end < rel.size()) out += u'\\';
    }
    start = end + 1;
  }
  return out;
}

}  // namespace posix
}  // namespace platform
}  // namespace TalqOSUtils
