// The POSIX backend's .lnk reader on written, real, cut and corrupted shortcuts.
#if !defined(_WIN32)
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "gtest/gtest.h"
#include "platform/posix/lnk.h"
#include "support/FsTestSupport.h"
#include "support/TestSupport.h"

namespace posix = TalqOSUtils::platform::posix;
using Kind = posix::ShellLinkTarget::Kind;
using P = talqtest::LnkParts;
using talqtest::MakeLnk;

namespace {

using Target = std::pair<Kind, std::u16string>;

Target Parse(const std::string& bytes) {
  const std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());  // ASan sees a read past it
  const posix::ShellLinkTarget got = posix::ParseShellLink(exact.data(), exact.size());
  return {got.kind, got.path};
}

// Cut anywhere before its strings end, a file has no target; patched rows break one rule each.
TEST(LnkReader, WrittenShortcutsGiveTheirTargetsAndNoneWhenCutOrBroken) {
  const Target none{Kind::kNone, u""};
  const Kind local = Kind::kLocal, net = Kind::kNetwork, relative = Kind::kRelative;
  const P full = P().Local("C:\\x").Net("\\\\s\\t").Suffix("y");
  const std::size_t li = 0x4C, liEnd = MakeLnk(full).size() - 4;  // LinkInfo follows the header
  const std::tuple<const char*, P, Target> rows[] = {
      {"Unicode wins", P().Local("?").LocalU(u"\u00E9").SuffixU(u"f"), {local, u"\u00E9\\f"}},
      {"base ending in '\\', UTF-8",
       P().Local("C:\\").Suffix("\xC3\xB6\xF0\x9F\x98\x80"),
       {local, u"C:\\\u00F6\U0001F600"}},
      {"ED A0 80 is no UTF-8", P().Local("D:\\\xED\xA0\x80"), {local, u"D:\\\u00ED\u00A0\u20AC"}},
      {"network ANSI", P().Net("\\\\s\\t").Suffix("d\\f"), {net, u"\\\\s\\t\\d\\f"}},
      {"network Unicode", P().Net("\\\\s\\?").NetU(u"\\\\s\\\u00E9"), {net, u"\\\\s\\\u00E9"}},
      {"local before network and RELATIVE_PATH", P(full).Relative(u"r"), {local, u"C:\\x\\y"}},
      {"a stored NUL ends it", P().Relative(std::u16string(u"r\0x", 3)), {relative, u"r"}},
      {"LinkInfo off, ANSI", P().Local("x").Relative(u"r").NoLinkInfo().Ansi(), {relative, u"r"}},
      {"header size", P(full).Patch(0, 0x4D), none},
      {"CLSID", P(full).Patch(4, 0x00021402), none},
      {"LinkInfo size below its header", P(full).Patch(li, 0x10), none},
      {"LinkInfo header beyond LinkInfo", P(full).Patch(li + 4, 0x1000), none},
      {"LinkInfo header too small", P(full).Patch(li + 4, 0x18), none},
      {"LocalBasePath offset outside", P(full).Patch(li + 16, 0xFFFFFFF0), none},
      {"network link offset outside", P(full).Patch(li + 20, 0x7FFFFFFF), none},
      {"strings unterminated at LinkInfo's end", P(full).Patch(liEnd - 4, 0x7A7A7A7A), none},
  };
  for (const auto& [what, parts, target] : rows) {
    SCOPED_TRACE(what);
    const std::string bytes = MakeLnk(parts);
    EXPECT_EQ(Parse(bytes), target);
    for (std::size_t cut = 0; cut + 4 < bytes.size(); ++cut)  // ExtraData's end is not read
      ASSERT_EQ(Parse(bytes.substr(0, cut)), none) << "cut at " << cut;
  }
  EXPECT_EQ(posix::ParseShellLink(nullptr, 100).kind, Kind::kNone);
}

TEST(LnkReader, RelativeTargetsLandInTheShortcutsFolderAndNeverLeaveItsRoot) {
  const Kind rel = Kind::kRelative;
  EXPECT_EQ(posix::ShortcutTargetPath("C:\\a\\l.lnk", {rel, u"..\\..\\..\\s/./f"}), u"C:\\s\\f");
  EXPECT_EQ(posix::ShortcutTargetPath("\\\\srv\\share\\l.lnk", {rel, u"..\\x"}),
            u"\\\\srv\\share\\x");
  EXPECT_EQ(posix::ShortcutTargetPath("C:\\a.lnk", {}), u"");
}

// Real shortcuts made by Windows, with the targets their makers' tests expect.
TEST(LnkReader, RealShortcutsFromWindows) {
  TALQ_REQUIRE_TESTDATA(readme, "lnk/README.md");
  const std::pair<const char*, Target> rows[] = {
      {"pylnk3/local_emoji.lnk",
       {Kind::kLocal, u"C:\\Users\\Public\\Downloads\\test\u2764\uFE0Fand\U0001F370.txt"}},
      {"pylnk3/net_folder1_file1.lnk",
       {Kind::kNetwork, u"\\\\192.168.138.2\\STORAGE\\Downloads\\folder1\\file1.txt"}},
      {"pylnk3/mounted_folder1_file1.lnk", {Kind::kNetwork, u"Z:\\Downloads\\folder1\\file1.txt"}},
      {"pylnk3/uwp_calc.lnk", {Kind::kNone, u""}},
      {"plaso/example.lnk", {Kind::kRelative, u".\\migwiz\\migwiz.exe"}},
  };
  for (const auto& [file, target] : rows) {
    SCOPED_TRACE(file);
    std::string bytes;
    EXPECT_TRUE(talqtest::ReadFileBytes(talqtest::TestDataPath(std::string("lnk/") + file), bytes));
    EXPECT_EQ(Parse(bytes), target);
  }
}

// The backend call: bounded reads of regular files, a Win32 code per refusal, errno untouched.
TEST(LnkFile, ReadsBoundedRegularFilesAndSaysWhyNot) {
  namespace pf = TalqOSUtils::platform;
  talqtest::TempDir tmp;
  const auto write = [&](const char* name, const std::string& bytes) {
    return tmp.Write(name, bytes), tmp.Native(name).string();
  };
  const std::string longest = "C:\\" + std::string(256, 'a');  // 259 units: fits 260 with the NUL
  // An ID list of 0xFFFF bytes runs past the bound: read whole, the file would parse.
  std::string late = MakeLnk(P().IdList().Local("C:\\t.txt"));
  late.replace(0x4C, 2, "\xFF\xFF" + std::string(0xFFFF - 6, '\0'));
  const std::string fifo = tmp.Native("fifo.lnk").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::tuple<const char*, std::string, pf::ErrorCode, std::u16string> rows[] = {
      {"259 units, data past the bound",
       write("fits.lnk", MakeLnk(P().Local(longest)) + std::string(0x10000, 'x')), 0,
       u"C:\\" + std::u16string(256, u'a')},
      {"target of 260 units", write("long.lnk", MakeLnk(P().Local(longest + "a"))),
       pf::kErrorInsufficientBuffer, u""},
      {"ID list past the bound", write("late.lnk", late), pf::kErrorInvalidFunction, u""},
      {"FIFO, never waited on", fifo, pf::kErrorAccessDenied, u""},
      {"missing", tmp.Native("missing.lnk").string(), pf::kErrorFileNotFound, u""},
      {"empty path", "", pf::kErrorInvalidParameter, u""},
  };
  for (const auto& [what, path, error, target] : rows) {
    SCOPED_TRACE(what);
    std::vector<char16_t> buffer(261, u'#');
    errno = 777;
    pf::SetLastError(0);
    const bool read = pf::Os().readShortcut(path.c_str(), buffer.data(), 260);
    EXPECT_EQ(read ? std::u16string(buffer.data()) : u"", target);
    EXPECT_EQ(buffer[260], u'#') << "wrote past the capacity";
    EXPECT_EQ(errno, 777);
    EXPECT_EQ(pf::LastError(), error);
  }
}

}  // namespace
#endif  // !_WIN32
