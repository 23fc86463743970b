// The .lnk reader (lnk/) on written, real, cut and corrupted shortcuts, on every build; off
// Windows also the backend call that reads shortcut files with it, on Windows that call's COM
// apartments. The queries when the OS fails or answers oddly.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "TalqOSUtils/FileSystem.h"
#include "Vandrel/Vandrel.h"
#include "fs/OsPath.h"
#include "gtest/gtest.h"
#include "lnk/ShellLink.h"
#include "lnk/TargetPath.h"
#include "platform/testing/FaultInjection.h"
#include "support/FsTestSupport.h"
#include "support/LnkWriter.h"
#include "support/TestSupport.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>

#include <cerrno>
#endif

namespace lnk = TalqOSUtils::lnk;
namespace pf = TalqOSUtils::platform;
using Kind = lnk::ShellLinkTarget::Kind;
using namespace talqtest;  // NOLINT(google-build-using-namespace): the .lnk writer
using P = LnkParts;
using pf::CallId;

namespace {

using Target = std::pair<Kind, std::u16string>;
constexpr Kind kNo = Kind::kNone, kLoc = Kind::kLocal, kNet = Kind::kNetwork,
               kRel = Kind::kRelative, kEnv = Kind::kEnvironment;

std::u16string U16(const lnk::Text& s) { return std::u16string(s.begin(), s.end()); }
lnk::Text T(const std::u16string& s) { return lnk::Text(s.begin(), s.end()); }

Target Parse(const std::string& bytes, bool environment = true) {
  const std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());  // ASan sees a read past it
  const lnk::ShellLinkTarget got = lnk::ParseShellLink(exact.data(), exact.size(), environment);
  return {got.kind, U16(got.path)};
}

// Cut anywhere before its ExtraData (before its end, for the environment block's), a file has no
// target; patched rows break one rule each.
TEST(LnkReader, WrittenShortcutsGiveTheirTargetsAndNoneWhenCutOrBroken) {
  const Target none{kNo, u""};
  const P full = P().Local("C:\\x").Net("\\\\s\\t").Suffix("y");
  const std::size_t li = 0x4C, liEnd = MakeLnk(full).size() - 4;  // LinkInfo follows the header
  const std::string computer = "{20D04FE0-3AEA-1069-A2D8-08002B30309D}", pc = Root(computer),
                    c = pc + Drive("C:\\"),
                    network = Root("{F02C1A0D-BE21-4350-88B0-7367FC96EF3C}"), f = Entry(0x32, u"f");
  const P envr = P().Env(u"%w%").Relative(u"r");
  const std::size_t envAt = MakeLnk(envr).size() - 4 - 0x314;
  const std::tuple<const char*, P, Target> rows[] = {
      {"Unicode wins", P().Local("?").LocalU(u"\u00E9").SuffixU(u"f"), {kLoc, u"\u00E9\\f"}},
      {"'\\' ends base, UTF-8",
       P().Local("C:\\").Suffix("\xC3\xB6\xF0\x9F\x98\x80"),
       {kLoc, u"C:\\\u00F6\U0001F600"}},
      {"ED A0 80 is no UTF-8", P().Local("D:\\\xED\xA0\x80"), {kLoc, u"D:\\\u00ED\u00A0\u20AC"}},
      {"network ANSI", P().Net("\\\\s\\t").Suffix("d\\f"), {kNet, u"\\\\s\\t\\d\\f"}},
      {"network Unicode", P().Net("\\\\s\\?").NetU(u"\\\\s\\\u00E9"), {kNet, u"\\\\s\\\u00E9"}},
      {"local before network, RELATIVE_PATH", P(full).Relative(u"r"), {kLoc, u"C:\\x\\y"}},
      {"a stored NUL ends it", P().Relative(std::u16string(u"r\0x", 3)), {kRel, u"r"}},
      {"LinkInfo off, ANSI", P().Local("x").Relative(u"r").NoLinkInfo().Ansi(), {kRel, u"r"}},
      {"IDList: block versions 3, 7, 8, 9; short, Unicode",
       P().Items(c + Entry(0x31, u"A~1", u"Al", 3) + Entry(0x31, u"B~1", u"Be", 7) +
                 Entry(0x31, u"G~1", u"Gam", 8) + Entry(0x35, u"\u00E9t") +
                 Entry(0x31, u"S", u"", 9) + Entry(0x32, u"D~1.TXT", u"Delta.txt", 9)),
       {kLoc, u"C:\\Al\\Be\\Gam\\\u00E9t\\S\\Delta.txt"}},
      {"IDList: a drive alone", P().Items(c), {kLoc, u"C:\\"}},
      {"IDList: a share after a server",
       P().Items(network + Net(0x42, "\\\\srv") + Net(0xC3, "\\\\srv\\share") + f),
       {kNet, u"\\\\srv\\share\\f"}},
      {"IDList: My Network Places",
       P().Items(Root("{208D2C60-3AEA-1069-A2D7-08002B30309D}") + Net(0x43, "\\\\s\\t")),
       {kNet, u"\\\\s\\t"}},
      {"IDList: other root", P().Items(Root("{59031A47-3F72-44A7-89C5-5595FE6B30EE}") + f), none},
      {"IDList: My Computer alone", P().Items(pc), none},
      {"IDList: its CLSID, not as root", P().Items(Root(computer, 0x2E) + Drive("C:\\")), none},
      {"IDList: a drive of another class", P().Items(pc + Item(0x31, std::string("C:\\", 4))),
       none},
      {"IDList: other item among entries",
       P().Items(c + Item(0x71, std::string(11, '\0') + "x" + '\0')), none},
      {"IDList: file among network items", P().Items(network + f + Net(0xC3, "\\\\s\\t")), none},
      {"IDList: drive without letter", P().Items(pc + Drive("\\") + f), none},
      {"IDList: entry before a drive", P().Items(pc + f), none},
      {"IDList: '..'", P().Items(c + Entry(0x31, u"..") + f), none},
      {"IDList: '\\' in a name", P().Items(c + Entry(0x32, u"a\\b")), none},
      {"IDList: a server alone", P().Items(network + Net(0x42, "\\\\srv")), none},
      {"IDList: share without name", P().Items(network + Net(0xC3, "\\\\srv\\")), none},
      {"IDList: item past the list", P().Items(c + f).Patch(0x4A, 0x1C << 16), none},
      {"IDList: no terminal item", P().Items(c + f).Patch(0x4A, (c + f).size() << 16), none},
      {"LinkInfo first", P().Local("C:\\L").Items(c + f).Env(u"%w%"), {kLoc, u"C:\\L"}},
      {"environment second", P().Items(c + f).Env(u"%w%").Relative(u"r"), {kEnv, u"%w%"}},
      {"IDList third", P().Items(c + f).Relative(u"r"), {kLoc, u"C:\\f"}},
      {"environment: ANSI", P().Env(u"", "%t%\\\xE9"), {kEnv, u"%t%\\\u00E9"}},
      {"environment: empty", P().Env(u"").Relative(u"r"), {kRel, u"r"}},
      {"environment: no HasExpString",
       P().Env(u"%w%").Relative(u"r").Patch(20, 0x8C),
       {kRel, u"r"}},
      {"environment: block size", P(envr).Patch(envAt, 0x318), none},
      {"environment: block before it", P(envr).Patch(envAt - 12, 6), none},
      {"environment: unterminated", P().Env(std::u16string(260, u'a')), none},
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
    const bool unread = parts.envBlock && target.first != kEnv;
    for (std::size_t cut = 0; cut + 4 + (unread ? 12 + 0x314 : 0) < bytes.size(); ++cut)
      ASSERT_EQ(Parse(bytes.substr(0, cut)), none) << "cut at " << cut;
  }
  EXPECT_EQ(lnk::ParseShellLink(nullptr, 100).kind, kNo);
}

// Every byte outside UTF-8 is read as Windows-1252 reads it, whatever the machine's code page.
TEST(LnkReader, AnsiBytesOutsideUtf8AreWindows1252) {
  for (int b = 1; b < 256; ++b) {
    const char byte[2] = {static_cast<char>(b), 0};
    lnk::Text::value_type unit[2] = {};
#if defined(_WIN32)
    ASSERT_EQ(::MultiByteToWideChar(1252, 0, byte, 1, unit, 1), 1);
#else
    ASSERT_EQ(Vandrel::PlatformCStringToUni16Char(byte, unit, 2), 1);  // Windows-1252 here
#endif
    EXPECT_EQ(lnk::DecodeAnsi(byte, 1), lnk::Text(1, unit[0])) << b;
  }
}

void SetVariable(const char* name, const char* value) {  // null: unset
#if defined(_WIN32)
  ::SetEnvironmentVariableA(name, value);
#else
  value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
#endif
}

// Sets a variable (null: unsets it) until the end of the scope; std::getenv gives the value to
// restore (on Windows the one the process started with: the C runtime keeps its own copy).
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value)
      : mName(name), mHad(std::getenv(name) != nullptr), mOld(mHad ? std::getenv(name) : "") {
    SetVariable(name, value);
  }
  ~ScopedVariable() { SetVariable(mName, mHad ? mOld.c_str() : nullptr); }

 private:
  const char* mName;
  bool mHad;
  std::string mOld;
};

// The environment through the call table, where the faults armed below reach it.
lnk::Lookup TableVariable(const lnk::Text& name, lnk::Text& value) {
  pf::OsChar buffer[1024] = {};  // more than any value set here
  pf::SetLastError(0);
  const bool set = pf::Os().getEnvironmentVariable(name.c_str(), buffer, 1024) || !pf::LastError();
  value = buffer;
  if (set) return lnk::Lookup::kSet;
  return pf::LastError() == pf::kErrorEnvvarNotFound ? lnk::Lookup::kNotSet : lnk::Lookup::kFailed;
}

// The system's variables from the environment, not case sensitive, else Windows' values; any
// other variable refused before the environment is read; the environment's failures; relative
// targets below the shortcut's folder, never above its root.
TEST(LnkTarget, EnvironmentAndRelativeTargetsGiveFullPathsOrNone) {
  const std::u16string longer = u"\\\\s\\" + std::u16string(256, u'a');  // not in 260 with a NUL
  const ScopedVariable dir("ProgramData", "C:\\Data"),
      lengthy("ProgramW6432", std::string(longer.begin(), longer.end()).c_str()),
      empty("CommonProgramFiles", ""), rel("SystemDrive", "rel"),
      secret("TALQ_TEST_SECRET", "s3cret");
  const char* windir = std::getenv("windir");
  const std::string windirValue = windir != nullptr ? windir : "C:\\Windows";
  const pf::ErrorCode unset = pf::kErrorEnvvarNotFound, no = pf::kErrorInvalidFunction,
                      memory = pf::kErrorNotEnoughMemory;
  const std::tuple<Kind, std::u16string, pf::ErrorCode, std::u16string, pf::ErrorCode> rows[] = {
      {kEnv, u"%ProgramData%\\f", 0, u"C:\\Data\\f", 0},
      {kEnv, u"%programDATA%\\f", 0, u"C:\\Data\\f", 0},
      {kEnv, u"%ProgramW6432%", 0, longer, 0},
      {kEnv, u"C:\\1%%%CommonProgramFiles%2", 0, u"C:\\1%%2", 0},
      {kEnv, u"%windir%\\x", 0, std::u16string(windirValue.begin(), windirValue.end()) + u"\\x", 0},
      {kEnv, u"\\\\%TALQ_TEST_SECRET%\\x", 0, u"", no},
      {kEnv, u"\\\\%TALQ_TEST_SECRET%\\x", memory, u"", no},  // the environment is never read
      {kEnv, u"%windir%\\%TALQ_TEST_SECRET%", memory, u"", no},
      {kEnv, u"%SystemDrive%\\f", 0, u"", no},
      {kEnv, u"%ProgramData%", memory, u"", memory},
      {kEnv, u"%SystemRoot%\\a", unset, u"C:\\Windows\\a", 0},
      {kEnv, u"%WINDIR%\\a", unset, u"C:\\Windows\\a", 0},
      {kEnv, u"%SystemDrive%\\a", unset, u"C:\\a", 0},
      {kEnv, u"%ProgramFiles%\\a", unset, u"C:\\Program Files\\a", 0},
      {kEnv, u"%ProgramFiles(x86)%\\a", unset, u"C:\\Program Files (x86)\\a", 0},
      {kEnv, u"%ProgramW6432%\\a", unset, u"C:\\Program Files\\a", 0},
      {kEnv, u"%CommonProgramFiles%\\a", unset, u"C:\\Program Files\\Common Files\\a", 0},
      {kEnv, u"%ProgramData%\\a", unset, u"C:\\ProgramData\\a", 0},
      {kRel, u"..\\..\\..\\s/./f", 0, u"\\\\srv\\share\\s\\f", 0},
      {kRel, u"b\\..\\..\\c\\", 0, u"\\\\srv\\share\\c\\", 0},
      {kLoc, u"", 0, u"", no},
  };
  for (std::size_t row = 0; row < std::size(rows); ++row) {
    const auto& [kind, text, fault, expected, error] = rows[row];
    SCOPED_TRACE("row " + std::to_string(row));
    if (fault != 0) {
      pf::ArmFault(pf::CallId::kGetEnvironmentVariable, 1, fault, pf::FaultMode::kFromNthOn);
    }
    lnk::Text out;
    const lnk::Assembled got =
        lnk::ShortcutTargetPath("\\\\srv\\share\\a\\l.lnk", {kind, T(text)}, &TableVariable, out);
    const pf::ErrorCode code = got == lnk::Assembled::kNoTarget ? no : pf::LastError();
    pf::ClearFaults();
    EXPECT_EQ(got == lnk::Assembled::kPath ? U16(out) : u"", expected);
    EXPECT_EQ(got == lnk::Assembled::kPath ? 0 : code, error);
  }
}

// Every stretch between two '%' is a name, however they pair up; a block that names another
// variable is read as if it were absent, ExtraData unread: IDList, then RELATIVE_PATH, or none.
TEST(LnkTarget, OnlyTheSystemsVariablesAreNamedElseTheBlockIsPassedOver) {
  const std::pair<std::u16string, bool> texts[] = {
      {u"", true},
      {u"C:\\50%", true},
      {u"%windir", true},
      {u"%windir%\\x.exe", true},
      {u"%WINDIR%", true},
      {u"%SYSTEMDRIVE%%ProgramFiles(x86)%", true},
      {u"C:\\%%x", true},
      {u"\\\\%TALQ_TEST_SECRET%\\x", false},
      {u"%windir%\\%TALQ_TEST_SECRET%", false},
      {u"%%TALQ_TEST_SECRET%", false},
      {u"%windir%x%", false},
      {u"%windir %", false},
      {u"%ProgramFiles(x86%", false},
  };
  for (std::size_t row = 0; row < std::size(texts); ++row)
    EXPECT_EQ(lnk::NamesOnlySystemVariables(T(texts[row].first)), texts[row].second) << row;

  const std::string c =
      Root("{20D04FE0-3AEA-1069-A2D8-08002B30309D}") + Drive("C:\\") + Entry(0x32, u"f");
  const P envr = P().Env(u"%x%").Relative(u"r");
  const std::size_t envAt = MakeLnk(envr).size() - 4 - 0x314;
  const std::pair<P, Target> links[] = {
      {P(envr).Items(c), {kLoc, u"C:\\f"}},
      {envr, {kRel, u"r"}},
      {P().Env(u"%x%"), {kNo, u""}},
      {P(envr).Patch(envAt, 0x318), {kRel, u"r"}},  // a broken block, never looked at
      {P().Local("C:\\L").Env(u"%x%"), {kLoc, u"C:\\L"}},
  };
  for (const auto& [parts, target] : links) EXPECT_EQ(Parse(MakeLnk(parts), false), target);
}

// Real shortcuts, with the targets their makers' tests expect; with LinkInfo switched off
// (ForceNoLinkInfo, HasExpString cleared) those whose IDList names a path give that path.
TEST(LnkReader, RealShortcutsFromWindows) {
  TALQ_REQUIRE_TESTDATA(readme, "lnk/README.md");
  const std::u16string file1 = u"\\Downloads\\folder1\\file1.txt";
  const std::tuple<const char*, Target, bool> rows[] = {
      {"pylnk3/local_file.lnk", {kLoc, u"C:\\Windows\\explorer.exe"}, true},
      {"pylnk3/local_emoji.lnk",
       {kLoc, u"C:\\Users\\Public\\Downloads\\test\u2764\uFE0Fand\U0001F370.txt"},
       true},
      {"pylnk3/diacritic_symbols.lnk",
       {kLoc,
        u"D:\\\u00F6\u00F6\u00F6\\\u00E4\u00F6\u00FC\u00E0\u00E9\u00E8\u00ED\u00EF\u00F3"
        u"\u00F2\u00FA\u00FC.txt"},
       true},
      {"pylnk3/local_disk.lnk", {kLoc, u"C:\\"}, true},
      {"plaso/NeroInfoTool.lnk",
       {kLoc, u"C:\\Program Files (x86)\\Nero\\Nero 9\\Nero InfoTool\\InfoTool.exe"},
       true},
      {"plaso/unpaired_surrogate.lnk", {kLoc, u"C:\\test\\unicode_U+0000d800_\xD800.exe"}, true},
      {"pylnk3/mounted_folder1_file1.lnk", {kNet, u"Z:" + file1}, true},
      {"pylnk3/net_folder1_file1.lnk", {kNet, u"\\\\192.168.138.2\\STORAGE" + file1}, false},
      {"pylnk3/local_folder.lnk", {kLoc, u"C:\\Users\\stray\\Desktop\\New folder"}, false},
      {"plaso/example.lnk", {kEnv, u"%windir%\\system32\\migwiz\\migwiz.exe"}, false},
      {"pylnk3/send_to_fax.lnk", {kEnv, u"%windir%\\system32\\WFS.exe"}, false},
      {"pylnk3/uwp_calc.lnk", {kNo, u""}, false},
      {"pylnk3/local_thispc.lnk", {kNo, u""}, false},
  };
  for (const auto& [file, target, sameByIdList] : rows) {
    SCOPED_TRACE(file);
    std::string bytes = ReadAll(TestDataPath(std::string("lnk/") + file));
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(Parse(bytes), target);
    if (!sameByIdList) continue;
    bytes[21] = static_cast<char>((bytes[21] | 0x01) & ~0x02);
    EXPECT_EQ(Parse(bytes).second, target.second) << "by the IDList";
  }
}

#if defined(_WIN32)
// The shell link object's own IDList, read back.
TEST(LnkReader, IdListsTheShellLinkObjectWritesNameTheirTargets) {
  TempDir tmp;
  for (const char* name : {"t.txt", "long name \xC3\xA9.txt"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(MakeShortcut(tmp / "l.lnk", tmp.Write(name)));
    std::string bytes = ReadAll(tmp.Native("l.lnk"));
    ASSERT_FALSE(bytes.empty());
    bytes[21] = static_cast<char>(bytes[21] | 0x01);  // ForceNoLinkInfo
    const lnk::Text nt = TalqOSUtils::UnicodeString(TalqOSUtils::OSPathLocal(tmp / name));
    EXPECT_EQ(Parse(bytes), Target(kLoc, U16(nt)));
  }
}

// COM: the first thread that reads a shortcut keeps its apartment; any other reads and is left as
// it was, outside any apartment, in its own single-threaded one (S_FALSE balanced), or in the
// multithreaded one. This thread reads first: every other test reads shortcuts on it too.
TEST(LnkFile, OnlyTheFirstReadingThreadIsLeftInAnApartment) {
  TempDir tmp;
  ASSERT_TRUE(MakeShortcut(tmp / "l.lnk", tmp.Write("t.txt")));
  const std::string link = TalqOSUtils::OSPathLocal(tmp / "l.lnk");
  const auto read = [&link] {
    pf::OsChar target[260] = {};
    return pf::Os().readShortcut(link.c_str(), target, 260) && target[0] != 0;
  };
  ASSERT_TRUE(read());
  // the worker's own apartment (-1: none), what CoInitializeEx(MULTITHREADED) gives after
  const std::pair<int, HRESULT> rows[] = {
      {-1, S_OK}, {COINIT_APARTMENTTHREADED, S_OK}, {COINIT_MULTITHREADED, S_FALSE}};
  for (const auto& [own, after] : rows) {
    bool ok = false;
    HRESULT got = E_FAIL;
    std::thread([&, own = own] {
      if (own >= 0) ::CoInitializeEx(nullptr, static_cast<DWORD>(own));
      ok = read();
      if (own == COINIT_APARTMENTTHREADED) ::CoUninitialize();
      got = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      if (SUCCEEDED(got)) ::CoUninitialize();
      if (own == COINIT_MULTITHREADED) ::CoUninitialize();
    }).join();
    EXPECT_TRUE(ok) << own;
    EXPECT_EQ(got, after) << own;
  }
}
#else
// The backend call: bounded reads of regular files, a Win32 code per refusal, errno untouched,
// no descriptor left open.
TEST(LnkFile, ReadsBoundedRegularFilesAndSaysWhyNot) {
  const long open = OpenDescriptors();
  TempDir tmp;
  const auto write = [&](const char* name, const std::string& bytes) {
    return tmp.Write(name, bytes), tmp.Native(name).string();
  };
  const std::string longest = "C:\\" + std::string(256, 'a');  // 259 units: fits 260 with the NUL
  const std::string fifo = tmp.Native("fifo.lnk").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::tuple<const char*, std::string, pf::ErrorCode, std::u16string> rows[] = {
      {"259 units, data past the bound",
       write("fits.lnk", MakeLnk(P().Local(longest)) + std::string(0x10000, 'x')), 0,
       u"C:\\" + std::u16string(256, u'a')},
      {"target of 260 units", write("long.lnk", MakeLnk(P().Local(longest + "a"))),
       pf::kErrorInsufficientBuffer, u""},
      // An ID list of 0xFFFF bytes runs past the bound: read whole, the file would parse.
      {"ID list past the bound",
       write("late.lnk", MakeLnk(P().Items(std::string(0xFFFD, 'x')).Local("C:\\t.txt"))),
       pf::kErrorInvalidFunction, u""},
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
  EXPECT_EQ(OpenDescriptors(), open);
}
#endif

// Path text is UTF-8 that reads as itself. The oracle: Vandrel's own reader, whose U+FFFD for an
// ill-formed sequence does not convert back to the bytes read. Every string of up to three bytes
// from an alphabet of lead, continuation and edge bytes, and encoded surrogates side by side
// (a high one before a low one is refused, not read as a pair).
TEST(PathText, IsWhatTheUtf8ReaderReadsAsItself) {
  const unsigned char bytes[] = {0x41, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2,
                                 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
  const auto readsAsItself = [](const std::string& text) {
    std::vector<Vandrel::Uni16> units(text.size() + 1);
    Vandrel::UTF8ToUni16Char(text.c_str(), units.data(), units.size());
    std::vector<char> back(3 * text.size() + 1);
    Vandrel::Uni16CharToUTF8(units.data(), back.data(), back.size());
    return text == back.data();
  };
  std::vector<std::string> texts = {"\xED\xA0\x80\xED\xB0\x80", "\xED\xB0\x80\xED\xA0\x80",
                                    "\xED\xA0\x80\xED\xA0\x80", "caf\xED\xB3\xA9",
                                    "\xF0\x9F\x98\x80",         "\xEF\xBF\xBD"};
  for (const unsigned char a : bytes) {
    texts.emplace_back(1, static_cast<char>(a));
    for (const unsigned char b : bytes) {
      texts.push_back({static_cast<char>(a), static_cast<char>(b)});
      for (const unsigned char c : bytes) {
        texts.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
      }
    }
  }
  int valid = 0;
  for (const std::string& text : texts) {
    const bool expected = readsAsItself(text);
    valid += expected;
    EXPECT_EQ(TalqOSUtils::fs::IsPathText(text.data(), text.size()), expected)
        << ::testing::PrintToString(text);
  }
  EXPECT_GT(valid, 100) << "the oracle accepts too little to tell anything";
}

// What the disk holds after a fault is the answer: a directory made since the test counts, one
// refused does not; the creation's code is the reason, not the retest's. Without the module path,
// or with one cut to the buffer (which names another folder: the count decides, not the NUL),
// there is no application directory, so relative paths cannot be made absolute against it.
TEST(QueryFaults, MakeDirectoryAndApplicationDirectory) {
  TempDir tmp;
  std::filesystem::create_directory(tmp.Native("made"));
  for (const auto& [call, name, made] :
       {std::tuple<CallId, const char*, bool>{CallId::kGetFileAttributes, "made", true},
        {CallId::kCreateDirectory, "refused", false}}) {
    pf::ScopedFault fault(call, 1, pf::kErrorAccessDenied);
    EXPECT_EQ(TalqOSUtils::fs::MakeDirectory((tmp / name).c_str()),
              made ? 0 : pf::kErrorAccessDenied)
        << name;
    EXPECT_EQ(pf::CallsSeen(CallId::kCreateDirectory), 1u) << name;
  }
  pf::ArmFault(CallId::kGetModuleFileName, 1, pf::kErrorAccessDenied);
  EXPECT_EQ(TalqOSUtils::OSApplicationDirectory(), "");
  pf::ArmFault(CallId::kGetModuleFileName, 1, pf::kErrorAccessDenied);
  EXPECT_EQ(TalqOSUtils::OSMakePathAbsolute("x"), "");
  static pf::Calls calls = pf::NativeCalls();
  calls.getModuleFileName = [](pf::OsChar* buffer, std::uint32_t capacity) {
    for (const char c : "C:\\dir\\x") *buffer++ = c;
    return capacity;
  };
  pf::InstallCalls(&calls);
  EXPECT_EQ(TalqOSUtils::OSApplicationDirectory(), "");
  EXPECT_EQ(TalqOSUtils::OSFindResourcePath("."), "") << "looked up in the current directory";
  pf::ClearFaults();
}

}  // namespace
