// Vandrel::FileSpec: path parts, edits, and the existence query.
#include "Vandrel/FileSpec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>

namespace {

using Vandrel::FileSpec;
using Str = FileSpec::String;

// `s` as UTF-16 that lives to the end of the run; null stays null.
const Vandrel::Uni16* W(const char* s) {
  static std::deque<Str> texts;
  return s ? texts.emplace_back(s, s + std::strlen(s)).c_str() : nullptr;
}

TEST(FileSpecParts, Table) {
  const struct {
    const char *path, *name, *stem, *extension, *parent;
    bool absolute, root;
  } cases[] = {
      {"C:\\dir\\file.tar.gz", "file.tar.gz", "file.tar", "gz", "C:\\dir", true, false},
      {"C:\\dir", "dir", "dir", "", "C:\\", true, false},
      {"C:\\", "", "", "", "", true, true},
      {"C:", "", "", "", "", false, true},
      {"Z:/", "", "", "", "", true, true},
      {"c:rel\\x", "x", "x", "", "c:rel", false, false},
      {"\\\\srv\\share\\x.txt", "x.txt", "x", "txt", "\\\\srv\\share\\", true, false},
      {"\\\\srv\\share", "", "", "", "", true, true},
      {"\\top", "top", "top", "", "\\", true, false},
      {"dir/sub//.profile", ".profile", ".profile", "", "dir/sub", false, false},
      {"a\\b\\", "", "", "", "a", false, false},
      {"name.", "name.", "name", "", "", false, false},
      {"..", "..", "..", "", "", false, false},
      {"", "", "", "", "", false, false},
  };
  for (const auto& c : cases) {
    const FileSpec f(W(c.path));
    SCOPED_TRACE(c.path);
    EXPECT_EQ(Str(f.Path()), W(c.path));
    EXPECT_EQ(f.Length(), std::strlen(c.path));
    EXPECT_EQ(f.IsEmpty(), *c.path == 0);
    EXPECT_EQ(f.Name(), W(c.name));
    EXPECT_EQ(f.Stem(), W(c.stem));
    EXPECT_EQ(f.Extension(), W(c.extension));
    EXPECT_EQ(Str(f.Parent().Path()), W(c.parent));
    EXPECT_EQ(f.IsAbsolute(), c.absolute);
    EXPECT_EQ(f.IsRoot(), c.root);
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
      {'A', "a/", "b", "a/b"},
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

// The query is virtual: a subclass's answer comes through a base pointer.
TEST(FileSpecExists, AnswersThroughTheBaseClass) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path(), file = dir / "vandrel_filespec_test.txt";
  const fs::path absent = dir / "vandrel_filespec_absent.txt";
  std::ofstream(file) << "x";
  // Three UTF-8 bytes to every unit: the most a path's conversion needs.
  std::u16string euros(40, u'\u20AC');
  const fs::path wide = dir / (u"vandrel_" + euros + u".txt");
  std::ofstream(wide) << "x";
  struct Always : FileSpec {
    bool Exists() const override { return true; }
  } always;
  FileSpec plain;
  for (FileSpec* base : {&plain, static_cast<FileSpec*>(&always)}) {
    for (const fs::path& p : {file, wide, dir, absent}) {
#if defined(_WIN32)
      *base = p.wstring().c_str();
#else  // "C:" stands for the root, '\' for '/'
      Str nt = u"C:" + p.u16string();
      std::replace(nt.begin(), nt.end(), u'/', u'\\');
      *base = nt.c_str();
#endif
      EXPECT_EQ(base->Exists(), p != absent || base == &always) << p;
    }
  }
  EXPECT_FALSE(FileSpec().Exists());
#if !defined(_WIN32)
  // The drive rule of TalqOSUtils' POSIX backend: only an ASCII letter and
  // ':' stand for the root; "1:\" is a relative name that does not exist.
  const std::pair<const char16_t*, bool> drives[] = {
      {u"C:", true}, {u"z:\\", true}, {u"C:/", true}, {u"1:\\", false}, {u"@:", false}};
  for (const auto& row : drives) {
    EXPECT_EQ(FileSpec(row.first).Exists(), row.second) << Str(row.first).size();
  }
#endif
  fs::remove(file);
  fs::remove(wide);
}

}  // namespace
