// Test helper: writes Windows shortcut files in the published format
// ([MS-SHLLINK]) with the parts the .lnk reader understands, and the shell
// items of a LinkTargetIDList. Header only.
#pragma once

#include <cctype>
#include <cstdint>
#include <string>

namespace talqtest {

struct LnkParts {
  std::string idList;         // LinkTargetIDList items (Root, Drive, Entry, Net); "" = none
  std::string localBase;      // LinkInfo LocalBasePath (ANSI); "" = none
  std::u16string localBaseU;  // LocalBasePathUnicode; "" = none
  std::string suffix;         // CommonPathSuffix (ANSI)
  std::u16string suffixU;     // CommonPathSuffixUnicode
  std::string netName;        // CommonNetworkRelativeLink NetName (ANSI)
  std::u16string netNameU;    // NetNameUnicode
  std::u16string relative;    // StringData RELATIVE_PATH after a NAME_STRING; "" = none
  bool ansiStrings = false;   // StringData in ANSI (IsUnicode clear)
  bool forceNoLinkInfo = false;
  bool envBlock = false;    // an EnvironmentVariableDataBlock, and HasExpString
  std::u16string env;       // its TargetUnicode
  std::string envAnsi;      // its TargetAnsi
  std::size_t patchAt = 0;  // when patch is not 0, the 4 bytes there are set to it
  std::uint32_t patch = 0;

  LnkParts& Items(const std::string& v) { return idList = v, *this; }
  LnkParts& Local(const std::string& v) { return localBase = v, *this; }
  LnkParts& LocalU(const std::u16string& v) { return localBaseU = v, *this; }
  LnkParts& Suffix(const std::string& v) { return suffix = v, *this; }
  LnkParts& SuffixU(const std::u16string& v) { return suffixU = v, *this; }
  LnkParts& Net(const std::string& v) { return netName = v, *this; }
  LnkParts& NetU(const std::u16string& v) { return netNameU = v, *this; }
  LnkParts& Relative(const std::u16string& v) { return relative = v, *this; }
  LnkParts& Ansi() { return ansiStrings = true, *this; }
  LnkParts& NoLinkInfo() { return forceNoLinkInfo = true, *this; }
  LnkParts& Env(const std::u16string& v, const std::string& a = "") {
    return envBlock = true, env = v, envAnsi = a, *this;
  }
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

/// Shell items: a root item with a CLSID ("{20D04FE0-3AEA-1069-A2D8-08002B30309D}"), a drive
/// ("C:\\"), a file entry (class 0x31 folder, 0x32 file, +4 Unicode; a long name in a
/// 0xBEEF0004 block of that version when version is not 0), a network item (0x42 server,
/// 0xC3 share, ...).
inline std::string Item(std::uint32_t itemClass, const std::string& body) {
  std::string out;
  PutLe(out, static_cast<std::uint32_t>(body.size() + 3), 2);
  return out + static_cast<char>(itemClass) + body;
}
inline std::string Root(const std::string& clsid, std::uint32_t itemClass = 0x1F) {
  std::string body(1, '\x50'), hex;  // sort byte, then the CLSID as stored
  for (char c : clsid) {
    if (std::isxdigit(static_cast<unsigned char>(c))) hex += c;
  }
  const auto part = [&](std::size_t at, int bytes) {
    PutLe(body, static_cast<std::uint32_t>(std::stoul(hex.substr(at, 2 * bytes), nullptr, 16)),
          bytes);
  };
  part(0, 4), part(8, 2), part(12, 2);
  for (std::size_t at = 16; at < 32; at += 2) part(at, 1);
  return Item(itemClass, body);
}
inline std::string Drive(const std::string& drive) {
  std::string body = drive;
  return Item(0x2F, body.append(22 - drive.size(), '\0'));
}
inline std::string Entry(std::uint32_t itemClass, const std::u16string& name,
                         const std::u16string& longName = u"", std::uint32_t version = 0) {
  std::string body(9, '\0');  // a byte, size, date and time
  PutLe(body, itemClass & 1 ? 0x10 : 0x20, 2);
  if (itemClass & 4) {
    PutZ(body, name);
  } else {
    for (char16_t c : name + u'\0') body += static_cast<char>(c);  // a unit below 0x100 a byte
  }
  if (body.size() % 2 == 0) body += '\0';  // the block starts at an even offset of the item
  if (version == 0) return Item(itemClass, body);
  std::string ext(4, '\0');                      // size and version, set below
  PutLe(ext, 0xBEEF0004), ext.append(10, '\0');  // the signature, two dates, a word
  if (version >= 7) ext.append(18, '\0');        // a word, the MFT reference, 8 bytes
  PutLe(ext, 0, 2);                              // the size of a localised name
  ext.append(version >= 9 ? 8 : version == 8 ? 4 : 0, '\0');
  PutZ(ext, longName);
  PutLe(ext, static_cast<std::uint32_t>(body.size() + 3), 2);  // where the block starts
  SetLe(ext, 0, static_cast<std::uint32_t>(ext.size()) | version << 16);
  return Item(itemClass, body + ext);
}
inline std::string Net(std::uint32_t itemClass, const std::string& location) {
  std::string body(2, '\0');  // a byte, the flags
  PutZ(body, location);
  return Item(itemClass, body);
}

inline std::string MakeLnk(const LnkParts& p) {
  const bool local = !p.localBase.empty() || !p.localBaseU.empty();
  const bool net = !p.netName.empty() || !p.netNameU.empty();
  const bool unicodeInfo = !p.localBaseU.empty() || !p.suffixU.empty();
  std::string out;
  PutLe(out, 0x4C);
  for (std::uint32_t v : {0x00021401u, 0u, 0xC0u, 0x46000000u}) PutLe(out, v);  // the CLSID
  const bool env = p.envBlock;
  PutLe(out, (p.idList.empty() ? 0 : 0x1) | (local || net ? 0x2 : 0) |
                 (p.relative.empty() ? 0 : 0xC) | (p.ansiStrings ? 0 : 0x80) |
                 (p.forceNoLinkInfo ? 0x100 : 0) | (env ? 0x200 : 0));
  out.append(0x4C - out.size(), '\0');  // attributes, times, size, icon, show, hot key
  if (!p.idList.empty()) PutLe(out, p.idList.size() + 2, 2), out += p.idList, PutLe(out, 0, 2);

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
  if (env) {  // after a block of another kind
    for (std::uint32_t v : {12u, 0xA0000005u, 0u}) PutLe(out, v);
    PutLe(out, 0x314), PutLe(out, 0xA0000001), out += p.envAnsi;
    out.append(260 - p.envAnsi.size(), '\0');
    for (char16_t c : p.env) PutLe(out, c, 2);
    out.append(520 - 2 * p.env.size(), '\0');
  }
  PutLe(out, 0);  // the ExtraData's TerminalBlock
  if (p.patch != 0) SetLe(out, p.patchAt, p.patch);
  return out;
}

}  // namespace talqtest
