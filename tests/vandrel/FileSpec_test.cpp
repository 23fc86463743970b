// Vandrel::FileSpec: path parts and their NT path rule, edits, the existence query.
#include "Vandrel/FileSpec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "VandrelRules/NtPath.h"

namespace {

using Vandrel::FileSpec;
using Str = FileSpec::String;

// `s` as UTF-16 that lives to the end of the run; null stays null.
const Vandrel::Uni16* W(const char* s) {
  static std::deque<Str> texts;
  return s ? texts.emplace_back(s, s + std::strlen(s)).c_str() : nullptr;
}

// Name, stem, extension, parent, absolute, root; and the POSIX form by the
// NT path rule, which FileSpec::Exists and TalqOSUtils' POSIX backend apply.
using Parts =
    std::tuple<std::string, std::string, std::string, std::string, bool, bool, std::string>;
std::string N(const Str& s) { return std::string(s.begin(), s.end()); }

TEST(FileSpecParts, Table) {
  const std::pair<const char*, Parts> cases[] = {
      {"C:\\d\\f.tar.gz", {"f.tar.gz", "f.tar", "gz", "C:\\d", true, false, "/d/f.tar.gz"}},
      {"C:\\dir", {"dir", "dir", "", "C:\\", true, false, "/dir"}},
      {"C:\\", {"", "", "", "", true, true, "/"}},
      {"a:", {"", "", "", "", false, true, "/"}},
      {"Z:/", {"", "", "", "", true, true, "/"}},
      {"z:rel\\x", {"x", "x", "", "z:rel", false, false, "z:rel/x"}},  // relative: no root
      {"1:\\a", {"a", "a", "", "1:", false, false, "1:/a"}},           // no drive: not a letter
      {"@:a", {"@:a", "@:a", "", "", false, false, "@:a"}},
      {"[:a", {"[:a", "[:a", "", "", false, false, "[:a"}},
      {"\\\\s\\sh\\x.txt", {"x.txt", "x", "txt", "\\\\s\\sh\\", true, false, "//s/sh/x.txt"}},
      {"\\\\srv\\share", {"", "", "", "", true, true, "//srv/share"}},
      {"\\top", {"top", "top", "", "\\", true, false, "/top"}},
      {"d/s//.profile", {".profile", ".profile", "", "d/s", false, false, "d/s//.profile"}},
      {"a\\b\\", {"", "", "", "a", false, false, "a/b/"}},
      {"", {"", "", "", "", false, false, ""}},
  };
  for (const auto& [path, parts] : cases) {
    const FileSpec f(W(path));
    EXPECT_EQ(parts, Parts(N(f.Name()), N(f.Stem()), N(f.Extension()), N(f.Parent().Path()),
                           f.IsAbsolute(), f.IsRoot(), Vandrel::ntpath::NtToPosix(path)))
        << path;
    EXPECT_EQ(f.IsEmpty(), *path == 0) << path;
  }
}

// A null result: refused, the path unchanged.
TEST(FileSpecEdits, Table) {
  const struct {
    char op;  // SetName, SetExtension, Append, Clear
    const char *path, *arg, *result;
  } cases[] = {
      {'N', "C:\\a\\b.txt", "c", "C:\\a\\c"},
      {'N', "C:\\dir\\", "n", "C:\\dir\\n"},
      {'N', "\\\\srv\\share", "n", "\\\\srv\\share\\n"},
      {'N', "C:", "n", "C:n"},
      {'N', "C:\\a\\b", "x\\y", nullptr},
      {'N', "C:\\a\\b", "", nullptr},
      {'N', "C:\\a\\b", nullptr, nullptr},
      {'E', "C:\\b.tar.gz", "zip", "C:\\b.tar.zip"},
      {'E', "C:\\b.tar.zip", ".gz", "C:\\b.tar.gz"},
      {'E', "C:\\b.tar.gz", nullptr, "C:\\b.tar"},
      {'E', "C:\\b.tar", "x/y", nullptr},
      {'E', "C:\\dir\\", "txt", nullptr},
      {'A', "C:\\a", "b", "C:\\a\\b"},
      {'A', "C:\\", "b", "C:\\b"},
      {'A', "C:", "b", "C:b"},
      {'A', "a", nullptr, "a"},
      {'A', nullptr, "b", "b"},  // null is the empty path
      {'C', "a", nullptr, ""},
  };
  for (const auto& [op, path, arg, result] : cases) {
    FileSpec f(W(path));
    const bool ok = op == 'N'   ? f.SetName(W(arg))
                    : op == 'E' ? f.SetExtension(W(arg))
                    : op == 'A' ? (f.Append(W(arg)), true)
                                : (f.Clear(), true);
    EXPECT_EQ(ok, result != nullptr) << op << path;
    EXPECT_EQ(Str(f.Path()), W(result ? result : path)) << op << path;
  }
}

// A name of three UTF-8 bytes a unit, the most a conversion needs.
TEST(FileSpecExists, FilesDirectoriesAndMissingEntries) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path(), absent = dir / "vandrel_filespec_absent";
  const fs::path wide = dir / (u"vandrel_" + std::u16string(40, u'\u20AC') + u".txt");
  std::ofstream(wide) << "x";
  for (const fs::path& p : {wide, dir, absent}) {
#if defined(_WIN32)
    const Str nt = p.wstring();
#else  // "C:" stands for the root, '\' for '/'
    Str nt = u"C:" + p.u16string();
    std::replace(nt.begin(), nt.end(), u'/', u'\\');
#endif
    EXPECT_EQ(FileSpec(nt.c_str()).Exists(), p != absent) << p;
  }
  fs::remove(wide);
  EXPECT_FALSE(FileSpec().Exists());
}

}  // namespace
