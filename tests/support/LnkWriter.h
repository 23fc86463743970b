// Test helper: writes Windows shortcut files in the published format
// ([MS-SHLLINK]) with the parts the POSIX reader understands. Header only.
#pragma once

#include <cstdint>
#include <string>

namespace talqtest {

struct LnkParts {
  bool idList = false;        // a LinkTargetIDList with one dummy item
  std::string localBase;      // LinkInfo LocalBasePath (ANSI); "" = none
  std::u16string localBaseU;  // LocalBasePathUnicode; "" = none
  std::string suffix;         // CommonPathSuffix (ANSI)
  std::u16string suffixU;     // CommonPathSuffixUnicode
  std::string netName;        // CommonNetworkRelativeLink NetName (ANSI)
  std::u16string netNameU;    // NetNameUnicode
  std::u16string name;        // StringData NAME_STRING; "" = none
  std::u16string relative;    // StringData RELATIVE_PATH; "" = none
  bool ansiStrings = false;   // StringData in ANSI (IsUnicode clear)
  bool forceNoLinkInfo = false;

  // Setters for one-line table rows: LnkParts().Local("C:\\x").Suffix("y").
  LnkParts& IdList() { return idList = true, *this; }
  LnkParts& Local(const std::string& v) { return localBase = v, *this; }
  LnkParts& LocalU(const std::u16string& v) { return localBaseU = v, *this; }
  LnkParts& Suffix(const std::string& v) { return suffix = v, *this; }
  LnkParts& SuffixU(const std::u16string& v) { return suffixU = v, *this; }
  LnkParts& Net(const std::string& v) { return netName = v, *this; }
  LnkParts& NetU(const std::u16string& v) { return netNameU = v, *this; }
  LnkParts& Name(const std::u16string& v) { return name = v, *this; }
  LnkParts& Relative(const std::u16string& v) { return relative = v, *this; }
  LnkParts& Ansi() { return ansiStrings = true, *this; }
  LnkParts& NoLinkInfo() { return forceNoLinkInfo = true, *this; }
};

class LnkBytes {
 public:
  std::string bytes;
  void U8(unsigned v) { bytes += static_cast<char>(v & 0xFF); }
  void U16(unsigned v) {
    U8(v);
    U8(v >> 8);
  }
  void U32(std::uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Patch32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  void AnsiZ(const std::string& s) {
    bytes += s;
    U8(0);
  }
  void UnicodeZ(const std::u16string& s) {
    for (char16_t c : s) U16(c);
    U16(0);
  }
  std::uint32_t Size() const { return static_cast<std::uint32_t>(bytes.size()); }
};

inline std::string MakeLnk(const LnkParts& p) {
  const bool local = !p.localBase.empty() || !p.localBaseU.empty();
  const bool net = !p.netName.empty() || !p.netNameU.empty();
  const bool linkInfo = local || net;
  const bool unicodeInfo = !p.localBaseU.empty() || !p.suffixU.empty();
  std::uint32_t flags = 0;
  if (p.idList) flags |= 0x1;
  if (linkInfo) flags |= 0x2;
  if (!p.name.empty()) flags |= 0x4;
  if (!p.relative.empty()) flags |= 0x8;
  if (!p.ansiStrings) flags |= 0x80;
  if (p.forceNoLinkInfo) flags |= 0x100;

  LnkBytes out;
  out.U32(0x4C);
  const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  for (unsigned char c : clsid) out.U8(c);
  out.U32(flags);
  out.U32(0x20);                           // FILE_ATTRIBUTE_ARCHIVE
  for (int i = 0; i < 6; ++i) out.U32(0);  // three FILETIMEs
  out.U32(0);                              // FileSize
  out.U32(0);                              // IconIndex
  out.U32(1);                              // SW_SHOWNORMAL
  out.U16(0);                              // HotKey
  out.U16(0);
  out.U32(0);
  out.U32(0);

  if (p.idList) {
    out.U16(6);  // one item of four bytes, then the terminal zero
    out.U16(4);
    out.U16(0xABCD);
    out.U16(0);
  }

  if (linkInfo) {
    LnkBytes li;
    const std::uint32_t header = unicodeInfo ? 0x24 : 0x1C;
    li.U32(0);  // LinkInfoSize, patched
    li.U32(header);
    li.U32((local ? 0x1u : 0u) | (net ? 0x2u : 0u));
    for (std::uint32_t i = 12; i < header; i += 4) li.U32(0);  // offsets, patched
    if (local) {
      li.Patch32(12, li.Size());  // VolumeID: size, DRIVE_FIXED, serial, label offset, ""
      li.U32(0x11);
      li.U32(3);
      li.U32(0x1234ABCD);
      li.U32(0x10);
      li.U8(0);
      li.Patch32(16, li.Size());
      li.AnsiZ(p.localBase);
    }
    if (net) {
      const bool netUnicode = !p.netNameU.empty();
      const std::uint32_t start = li.Size();
      li.Patch32(20, start);
      LnkBytes cn;
      cn.U32(0);
      cn.U32(0);
      cn.U32(netUnicode ? 0x1C : 0x14);
      cn.U32(0);
      cn.U32(0x00020000);  // WNNC_NET_LANMAN
      if (netUnicode) {
        cn.U32(0);
        cn.U32(0);
      }
      cn.AnsiZ(p.netName);
      if (netUnicode) {
        cn.Patch32(20, cn.Size());
        cn.UnicodeZ(p.netNameU);
      }
      cn.Patch32(0, cn.Size());
      li.bytes += cn.bytes;
    }
    li.Patch32(24, li.Size());
    li.AnsiZ(p.suffix);
    if (unicodeInfo) {
      if (!p.localBaseU.empty()) {
        li.Patch32(28, li.Size());
        li.UnicodeZ(p.localBaseU);
      }
      li.Patch32(32, li.Size());
      li.UnicodeZ(p.suffixU);
    }
    li.Patch32(0, li.Size());
    out.bytes += li.bytes;
  }

  for (const std::u16string* s : {&p.name, &p.relative}) {
    if (s->empty()) continue;
    out.U16(static_cast<unsigned>(s->size()));
    for (char16_t c : *s) {
      if (p.ansiStrings) {
        out.U8(c);
      } else {
        out.U16(c);
      }
    }
  }
  out.U32(0);  // TerminalBlock of ExtraData
  return out.bytes;
}

/// ASCII text as UTF-16, for the parts above.
inline std::u16string U16(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace talqtest
