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
  std::u16string relative;    // StringData RELATIVE_PATH after a NAME_STRING; "" = none
  bool ansiStrings = false;   // StringData in ANSI (IsUnicode clear)
  bool forceNoLinkInfo = false;
  std::size_t patchAt = 0;  // when patch is not 0, the 4 bytes there are set to it
  std::uint32_t patch = 0;

  LnkParts& IdList() { return idList = true, *this; }
  LnkParts& Local(const std::string& v) { return localBase = v, *this; }
  LnkParts& LocalU(const std::u16string& v) { return localBaseU = v, *this; }
  LnkParts& Suffix(const std::string& v) { return suffix = v, *this; }
  LnkParts& SuffixU(const std::u16string& v) { return suffixU = v, *this; }
  LnkParts& Net(const std::string& v) { return netName = v, *this; }
  LnkParts& NetU(const std::u16string& v) { return netNameU = v, *this; }
  LnkParts& Relative(const std::u16string& v) { return relative = v, *this; }
  LnkParts& Ansi() { return ansiStrings = true, *this; }
  LnkParts& NoLinkInfo() { return forceNoLinkInfo = true, *this; }
  LnkParts& Patch(std::size_t at, std::uint32_t v) { return patchAt = at, patch = v, *this; }
};

/// Appends v little-endian in `bytes` bytes; SetLe overwrites 4 bytes at `at`.
inline void PutLe(std::string& out, std::uint32_t v, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void SetLe(std::string& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void PutZ(std::string& out, const std::string& s) { out.append(s.c_str(), s.size() + 1); }
inline void PutZ(std::string& out, const std::u16string& s) {
  for (char16_t c : s + u'\0') PutLe(out, c, 2);
}

inline std::string MakeLnk(const LnkParts& p) {
  const bool local = !p.localBase.empty() || !p.localBaseU.empty();
  const bool net = !p.netName.empty() || !p.netNameU.empty();
  const bool unicodeInfo = !p.localBaseU.empty() || !p.suffixU.empty();
  std::string out;
  PutLe(out, 0x4C);
  for (std::uint32_t v : {0x00021401u, 0u, 0xC0u, 0x46000000u}) PutLe(out, v);  // the CLSID
  PutLe(out, (p.idList ? 0x1 : 0) | (local || net ? 0x2 : 0) | (p.relative.empty() ? 0 : 0xC) |
                 (p.ansiStrings ? 0 : 0x80) | (p.forceNoLinkInfo ? 0x100 : 0));
  out.append(0x4C - out.size(), '\0');  // attributes, times, size, icon, show, hot key
  if (p.idList) PutLe(out, 6, 2), PutLe(out, 4, 2), PutLe(out, 0xABCD, 2), PutLe(out, 0, 2);

  if (local || net) {
    std::string li;
    const std::uint32_t header = unicodeInfo ? 0x24 : 0x1C;
    // LinkInfoSize (set below), LinkInfoHeaderSize, LinkInfoFlags
    for (std::uint32_t v : {0u, header, (local ? 0x1u : 0u) | (net ? 0x2u : 0u)}) PutLe(li, v);
    li.append(header - 12, '\0');  // offsets, set below
    if (local) {
      SetLe(li, 12, li.size());  // VolumeID: size, DRIVE_FIXED, serial, label offset, ""
      for (std::uint32_t v : {0x14u, 3u, 0x1234ABCDu, 0x10u, 0u}) PutLe(li, v);
      SetLe(li, 16, li.size()), PutZ(li, p.localBase);
    }
    if (net) {
      const bool netUnicode = !p.netNameU.empty();
      std::string cn;  // size, flags, NetNameOffset, DeviceNameOffset, WNNC_NET_LANMAN
      for (std::uint32_t v : {0u, 0u, netUnicode ? 0x1Cu : 0x14u, 0u, 0x00020000u}) PutLe(cn, v);
      if (netUnicode) cn.append(8, '\0');
      PutZ(cn, p.netName);
      if (netUnicode) SetLe(cn, 20, cn.size()), PutZ(cn, p.netNameU);
      SetLe(cn, 0, cn.size()), SetLe(li, 20, li.size()), li += cn;
    }
    SetLe(li, 24, li.size()), PutZ(li, p.suffix);
    if (!p.localBaseU.empty()) SetLe(li, 28, li.size()), PutZ(li, p.localBaseU);
    if (unicodeInfo) SetLe(li, 32, li.size()), PutZ(li, p.suffixU);
    SetLe(li, 0, li.size()), out += li;
  }

  if (!p.relative.empty()) {
    for (const std::u16string& s : {std::u16string(u"name"), p.relative}) {
      PutLe(out, static_cast<std::uint32_t>(s.size()), 2);
      for (char16_t c : s) PutLe(out, c, p.ansiStrings ? 1 : 2);
    }
  }
  PutLe(out, 0);  // the ExtraData's TerminalBlock
  if (p.patch != 0) SetLe(out, p.patchAt, p.patch);
  return out;
}

}  // namespace talqtest
