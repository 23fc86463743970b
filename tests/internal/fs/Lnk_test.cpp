// The POSIX backend's .lnk reader: shortcuts written by the test helper,
// real shortcuts made by Windows, and truncated or corrupted files.
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/Platform.h"
#include "platform/posix/lnk.h"
#include "support/FsTestSupport.h"
#include "support/LnkWriter.h"
#include "support/TestSupport.h"

namespace posix = TalqOSUtils::platform::posix;
using Kind = posix::ShellLinkTarget::Kind;
using talqtest::LnkParts;
using talqtest::MakeLnk;
using talqtest::U16;

namespace {

posix::ShellLinkTarget Parse(const std::string& bytes) {
  return posix::ParseShellLink(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Printable and exact: non-ASCII units as \u{XXXX}.
std::string Utf8(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      char hex[12];
      std::snprintf(hex, sizeof hex, "\\u{%04X}", static_cast<unsigned>(c));
      out += hex;
    }
  }
  return out;
}

struct Case {
  const char* what;
  LnkParts parts;
  Kind kind;
  std::u16string path;
};

const Case kCases[] = {
    {"local ANSI", LnkParts().Local("C:\\Windows\\explorer.exe"), Kind::kLocal,
     u"C:\\Windows\\explorer.exe"},
    {"local Unicode wins over ANSI",
     LnkParts().Local("C:\\d\\caf??.txt").LocalU(u"C:\\d\\caf\u00E9\u2603.txt"), Kind::kLocal,
     u"C:\\d\\caf\u00E9\u2603.txt"},
    {"local base and suffix", LnkParts().Local("C:\\base").Suffix("dir\\f.txt"), Kind::kLocal,
     u"C:\\base\\dir\\f.txt"},
    {"base ending in a separator", LnkParts().Local("C:\\").Suffix("f.txt"), Kind::kLocal,
     u"C:\\f.txt"},
    {"ANSI as UTF-8", LnkParts().Local("D:\\\xC3\xB6\xC3\xA4.txt"), Kind::kLocal,
     u"D:\\\u00F6\u00E4.txt"},
    {"ANSI as Windows-1252", LnkParts().Local("D:\\\xF6\x80.txt"), Kind::kLocal,
     u"D:\\\u00F6\u20AC.txt"},
    // An encoded surrogate is no UTF-8.
    {"surrogate bytes as Windows-1252", LnkParts().Local("D:\\\xED\xA0\x80"), Kind::kLocal,
     u"D:\\\u00ED\u00A0\u20AC"},
    {"network ANSI", LnkParts().Net("\\\\srv\\share").Suffix("dir\\f.txt"), Kind::kNetwork,
     u"\\\\srv\\share\\dir\\f.txt"},
    {"network Unicode",
     LnkParts().Net("\\\\srv\\sh?re").NetU(u"\\\\srv\\sh\u00E9re").SuffixU(u"f.txt"),
     Kind::kNetwork, u"\\\\srv\\sh\u00E9re\\f.txt"},
    {"network share itself", LnkParts().Net("\\\\srv\\share"), Kind::kNetwork, u"\\\\srv\\share"},
    {"local before network", LnkParts().Local("Z:\\f.txt").Net("\\\\srv\\share"), Kind::kLocal,
     u"Z:\\f.txt"},
    {"relative only", LnkParts().Relative(u".\\sub\\f.txt"), Kind::kRelative, u".\\sub\\f.txt"},
    // A stored NUL ends the text, as it would on Windows.
    {"relative with a NUL inside", LnkParts().Relative(std::u16string(u"r\0x", 3)), Kind::kRelative,
     u"r"},
    {"relative in ANSI after a name", LnkParts().Name(u"comment").Relative(u"..\\f.txt").Ansi(),
     Kind::kRelative, u"..\\f.txt"},
    {"ID list skipped", LnkParts().IdList().Local("C:\\x"), Kind::kLocal, u"C:\\x"},
    {"LinkInfo ignored when forced off", LnkParts().Local("C:\\x").Relative(u"r.txt").NoLinkInfo(),
     Kind::kRelative, u"r.txt"},
    {"ID list only", LnkParts().IdList(), Kind::kNone, u""},
};

TEST(LnkReader, WrittenShortcutsGiveTheirTargets) {
  for (const Case& row : kCases) {
    SCOPED_TRACE(row.what);
    const posix::ShellLinkTarget got = Parse(MakeLnk(row.parts));
    EXPECT_EQ(got.kind, row.kind);
    EXPECT_EQ(Utf8(got.path), Utf8(row.path));
  }
}

// Every structure is sized: a file cut anywhere before its string data ends
// is malformed, never read past its end (ASan watches the exact block).
TEST(LnkReader, EveryTruncationIsNoShortcut) {
  for (const Case& row : kCases) {
    SCOPED_TRACE(row.what);
    const std::string bytes = MakeLnk(row.parts);
    const std::size_t end = bytes.size() - 4;  // the ExtraData terminal is not read
    for (std::size_t cut = 0; cut < end; ++cut) {
      std::vector<std::uint8_t> exact(bytes.begin(), bytes.begin() + cut);
      const posix::ShellLinkTarget got = posix::ParseShellLink(exact.data(), exact.size());
      ASSERT_EQ(got.kind, Kind::kNone) << "cut at " << cut;
    }
  }
}

TEST(LnkReader, MalformedStructuresAreNoShortcut) {
  LnkParts parts = LnkParts().Local("C:\\x").Suffix("y");
  const std::string good = MakeLnk(parts);
  ASSERT_EQ(Parse(good).kind, Kind::kLocal);
  const std::size_t li = 0x4C;  // LinkInfo follows the header
  const std::size_t liEnd = li + static_cast<std::uint8_t>(good[li]);
  const struct {
    const char* what;
    std::size_t at;
    std::uint32_t value;
    std::size_t at2 = 0;  // a second byte to set, when not 0
    char byte2 = 0;
  } rows[] = {
      {"header size", 0, 0x4D},
      {"CLSID", 4, 0x00021402},
      {"LinkInfo size beyond the file", li, 0x10000},
      {"LinkInfo size below its header", li, 0x10},
      {"LinkInfo header beyond LinkInfo", li + 4, 0x1000},
      {"LinkInfo header too small", li + 4, 0x18},
      {"LocalBasePath offset outside", li + 16, 0xFFFFFFF0},
      {"suffix unterminated at LinkInfo's end", li + 24, static_cast<std::uint32_t>(liEnd - li - 1),
       liEnd - 1, 'z'},
      {"network link offset outside", li + 20, 0x7FFFFFFF, li + 8, 0x3},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::string bad = good;
    for (int i = 0; i < 4; ++i) bad[row.at + i] = static_cast<char>((row.value >> (8 * i)) & 0xFF);
    if (row.at2 != 0) bad[row.at2] = row.byte2;
    EXPECT_EQ(Parse(bad).kind, Kind::kNone);
  }
  // An ID list whose size runs past the file.
  parts.idList = true;
  std::string bad = MakeLnk(parts);
  bad[0x4C] = '\xFF';
  bad[0x4D] = '\xFF';
  EXPECT_EQ(Parse(bad).kind, Kind::kNone);
  // A string count running past the file.
  bad = MakeLnk(LnkParts().Relative(u"abc"));
  bad[0x4D] = '\x40';
  EXPECT_EQ(Parse(bad).kind, Kind::kNone);
  EXPECT_EQ(posix::ParseShellLink(nullptr, 100).kind, Kind::kNone);
}

// Found by fuzz_shortcut: offsets may point at the same bytes, so a target
// can be longer than the file; each string is still read within LinkInfo.
TEST(LnkReader, BaseAndSuffixMayShareTheirBytes) {
  std::string bytes = MakeLnk(LnkParts().Local("C:\\d").Suffix("s"));
  const std::size_t li = 0x4C;
  for (int i = 0; i < 4; ++i) bytes[li + 24 + i] = bytes[li + 16 + i];  // suffix := base
  const posix::ShellLinkTarget got = Parse(bytes);
  EXPECT_EQ(got.kind, Kind::kLocal);
  EXPECT_EQ(Utf8(got.path), "C:\\d\\C:\\d");
}

TEST(LnkReader, RelativeTargetsLandInTheShortcutsFolder) {
  const struct {
    const char* link;
    const char16_t* relative;
    const char16_t* expected;
  } rows[] = {
      {"C:\\a\\l.lnk", u".\\b\\c.txt", u"C:\\a\\b\\c.txt"},
      {"C:\\a\\l.lnk", u"..\\c.txt", u"C:\\c.txt"},
      {"C:\\a\\l.lnk", u"..\\..\\..\\c.txt", u"C:\\c.txt"},
      {"C:\\l.lnk", u"x", u"C:\\x"},
      {"\\\\srv\\share\\l.lnk", u"..\\x", u"\\\\srv\\share\\x"},
      {"\\tmp\\d\\l.lnk", u"sub/./f", u"\\tmp\\d\\sub\\f"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.link);
    const posix::ShellLinkTarget t{Kind::kRelative, row.relative};
    EXPECT_EQ(Utf8(posix::ShortcutTargetPath(row.link, t)), Utf8(row.expected));
  }
  EXPECT_TRUE(posix::ShortcutTargetPath("C:\\a.lnk", posix::ShellLinkTarget{}).empty());
}

// Real shortcuts made by Windows, with the targets their makers' tests expect.
TEST(LnkReader, RealShortcutsFromWindows) {
  TALQ_REQUIRE_TESTDATA(readme, "lnk/README.md");
  const struct {
    const char* file;
    Kind kind;
    const char16_t* expected;
  } rows[] = {
      {"pylnk3/local_file.lnk", Kind::kLocal, u"C:\\Windows\\explorer.exe"},
      {"pylnk3/local_folder.lnk", Kind::kLocal, u"C:\\Users\\stray\\Desktop\\New folder"},
      // The shell link reports the volume root with its separator.
      {"pylnk3/local_disk.lnk", Kind::kLocal, u"C:\\"},
      {"pylnk3/desktop.lnk", Kind::kLocal, u"C:\\Users\\heznik\\Desktop"},
      {"pylnk3/local_emoji.lnk", Kind::kLocal,
       u"C:\\Users\\Public\\Downloads\\test\u2764\uFE0Fand\U0001F370.txt"},
      {"pylnk3/diacritic_symbols.lnk", Kind::kLocal,
       u"D:\\\u00F6\u00F6\u00F6\\\u00E4\u00F6\u00FC\u00E0\u00E9\u00E8\u00ED\u00EF\u00F3\u00F2"
       u"\u00FA\u00FC.txt"},
      {"pylnk3/recent1.lnk", Kind::kLocal,
       u"C:\\Users\\heznik\\Downloads\\2020M09_01_contract.pdf"},
      {"pylnk3/recent2.lnk", Kind::kLocal,
       u"C:\\Users\\stray\\Downloads\\catastrophe_89f317b5c3.7z"},
      {"pylnk3/net_folder1_file1.lnk", Kind::kNetwork,
       u"\\\\192.168.138.2\\STORAGE\\Downloads\\folder1\\file1.txt"},
      {"pylnk3/mounted_folder1_file1.lnk", Kind::kNetwork, u"Z:\\Downloads\\folder1\\file1.txt"},
      {"pylnk3/mounted_folder2_file2.lnk", Kind::kNetwork, u"Z:\\Downloads\\folder12\\file12.txt"},
      {"pylnk3/net_folder2_file2.lnk", Kind::kNetwork,
       u"\\\\192.168.138.2\\STORAGE\\Downloads\\folder12\\file12.txt"},
      {"pylnk3/uwp_calc.lnk", Kind::kNone, u""},
      {"pylnk3/send_to_fax.lnk", Kind::kNone, u""},
      {"pylnk3/local_thispc.lnk", Kind::kNone, u""},
      {"plaso/NeroInfoTool.lnk", Kind::kLocal,
       u"C:\\Program Files (x86)\\Nero\\Nero 9\\Nero InfoTool\\InfoTool.exe"},
      {"plaso/unpaired_surrogate.lnk", Kind::kLocal, u"C:\\test\\unicode_U+0000d800_\xD800.exe"},
      {"plaso/example.lnk", Kind::kRelative, u".\\migwiz\\migwiz.exe"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    const std::string path = talqtest::TestDataPath(std::string("lnk/") + row.file);
    std::string bytes;
    if (path.empty() || !talqtest::ReadFileBytes(path, bytes)) {
      ADD_FAILURE() << "missing from the test data";
      continue;
    }
    const posix::ShellLinkTarget got = Parse(bytes);
    EXPECT_EQ(got.kind, row.kind);
    EXPECT_EQ(Utf8(got.path), Utf8(row.expected));
  }
}

// The backend call: bounded reads, only regular files, the Win32 code of each
// refusal, errno untouched.
TEST(LnkFile, ReadsBoundedRegularFilesAndSaysWhyNot) {
  namespace pf = TalqOSUtils::platform;
  talqtest::TempDir tmp;
  const auto write = [&](const char* name, const std::string& bytes) {
    tmp.Write(name, bytes);
    return tmp.Native(name).string();
  };
  const std::string ok = MakeLnk(LnkParts().Local("C:\\t.txt"));
  const std::string longest = "C:\\" + std::string(256, 'a');  // 259 units: fits 260 with the NUL
  // String data that starts past the bound: a LinkInfo that fills it.
  std::string late = MakeLnk(LnkParts().Relative(u"r"));
  late.insert(0x4C, std::string(posix::kMaxShortcutBytes, '\0'));
  late[20] = static_cast<char>(late[20] | 0x2);
  for (int i = 0; i < 4; ++i)
    late[0x4C + i] = static_cast<char>(posix::kMaxShortcutBytes >> (8 * i));
  late[0x4C + 4] = 0x1C;
  const std::string fifo = tmp.Native("fifo.lnk").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    const char* what;
    std::string path;
    pf::ErrorCode error;
    std::u16string target;
  } rows[] = {
      {"shortcut", write("ok.lnk", ok), 0, u"C:\\t.txt"},
      {"extra data past the bound",
       write("big.lnk", ok + std::string(posix::kMaxShortcutBytes, 'x')), 0, u"C:\\t.txt"},
      {"target of 259 units", write("fits.lnk", MakeLnk(LnkParts().Local(longest))), 0,
       u"C:\\" + std::u16string(256, u'a')},
      {"target of 260 units", write("long.lnk", MakeLnk(LnkParts().Local(longest + "a"))),
       pf::kErrorInsufficientBuffer},
      {"string data past the bound", write("late.lnk", late), pf::kErrorInvalidFunction},
      {"empty file", write("empty.lnk", ""), pf::kErrorInvalidFunction},
      {"FIFO, never waited on", fifo, pf::kErrorAccessDenied},
      {"directory", tmp.Native().string(), pf::kErrorAccessDenied},
      {"missing", tmp.Native("missing.lnk").string(), pf::kErrorFileNotFound},
      {"empty path", "", pf::kErrorInvalidParameter},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<char16_t> buffer(261, u'#');
    errno = 777;
    pf::SetLastError(0);
    const bool read = pf::Os().readShortcut(row.path.c_str(), buffer.data(), 260);
    EXPECT_EQ(read, row.error == 0);
    EXPECT_EQ(buffer[260], u'#') << "wrote past the capacity";
    EXPECT_EQ(errno, 777);
    EXPECT_EQ(pf::LastError(), row.error);
    if (read) EXPECT_EQ(Utf8(buffer.data()), Utf8(row.target));
  }
}

}  // namespace
#endif  // !_WIN32
