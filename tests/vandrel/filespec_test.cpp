// Vandrel::FileSpec: path parts, edits, and the existence query.
#include "Vandrel/FileSpec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#if defined(_WIN32)
#define P(s) L##s
#else
#define P(s) u##s
#endif

namespace {

using Vandrel::FileSpec;
using Str = FileSpec::String;

struct PartsCase {
  const Vandrel::Uni16* path;
  const Vandrel::Uni16* name;
  const Vandrel::Uni16* stem;
  const Vandrel::Uni16* extension;
  const Vandrel::Uni16* parent;
  bool absolute;
  bool root;
};

const PartsCase kParts[] = {
    {P("C:\\dir\\file.tar.gz"), P("file.tar.gz"), P("file.tar"), P("gz"), P("C:\\dir"), true,
     false},
    {P("C:\\dir"), P("dir"), P("dir"), P(""), P("C:\\"), true, false},
    {P("C:\\"), P(""), P(""), P(""), P(""), true, true},
    {P("C:"), P(""), P(""), P(""), P(""), false, true},
    {P("c:rel\\x"), P("x"), P("x"), P(""), P("c:rel"), false, false},
    {P("\\\\srv\\share\\x.txt"), P("x.txt"), P("x"), P("txt"), P("\\\\srv\\share\\"), true, false},
    {P("\\\\srv\\share"), P(""), P(""), P(""), P(""), true, true},
    {P("\\top"), P("top"), P("top"), P(""), P("\\"), true, false},
    {P("dir/sub//.profile"), P(".profile"), P(".profile"), P(""), P("dir/sub"), false, false},
    {P("a\\b\\"), P(""), P(""), P(""), P("a"), false, false},
    {P("name."), P("name."), P("name"), P(""), P(""), false, false},
    {P(".."), P(".."), P(".."), P(""), P(""), false, false},
    {P(""), P(""), P(""), P(""), P(""), false, false},
};

TEST(FileSpecParts, Table) {
  for (const PartsCase& c : kParts) {
    const FileSpec spec(c.path);
    const Str path(c.path);
    SCOPED_TRACE(std::string(path.begin(), path.end()));
    EXPECT_EQ(Str(spec.Path()), path);
    EXPECT_EQ(spec.Length(), path.size());
    EXPECT_EQ(spec.IsEmpty(), path.empty());
    EXPECT_EQ(spec.Name(), Str(c.name));
    EXPECT_EQ(spec.Stem(), Str(c.stem));
    EXPECT_EQ(spec.Extension(), Str(c.extension));
    EXPECT_EQ(Str(spec.Parent().Path()), Str(c.parent));
    EXPECT_EQ(spec.IsAbsolute(), c.absolute);
    EXPECT_EQ(spec.IsRoot(), c.root);
  }
}

TEST(FileSpecEdits, SetNameSetExtensionAppend) {
  FileSpec spec(P("C:\\a\\b.txt"));
  EXPECT_TRUE(spec.SetName(P("c")));
  EXPECT_EQ(Str(spec.Path()), P("C:\\a\\c"));
  EXPECT_FALSE(spec.SetName(P("x\\y")));
  EXPECT_FALSE(spec.SetName(P("")));
  EXPECT_FALSE(spec.SetName(nullptr));
  EXPECT_EQ(Str(spec.Path()), P("C:\\a\\c"));

  spec = P("C:\\b.tar.gz");
  EXPECT_TRUE(spec.SetExtension(P("zip")));
  EXPECT_EQ(Str(spec.Path()), P("C:\\b.tar.zip"));
  EXPECT_TRUE(spec.SetExtension(P(".gz")));
  EXPECT_EQ(Str(spec.Path()), P("C:\\b.tar.gz"));
  EXPECT_TRUE(spec.SetExtension(nullptr));
  EXPECT_EQ(Str(spec.Path()), P("C:\\b.tar"));
  spec = P("C:\\dir\\");
  EXPECT_FALSE(spec.SetExtension(P("txt")));
  EXPECT_TRUE(spec.SetName(P("n")));  // after a trailing separator: added
  EXPECT_EQ(Str(spec.Path()), P("C:\\dir\\n"));

  const struct {
    const Vandrel::Uni16* base;
    const Vandrel::Uni16* result;
  } appends[] = {{P("C:\\a"), P("C:\\a\\b")},
                 {P("C:\\"), P("C:\\b")},
                 {P("C:"), P("C:b")},
                 {P(""), P("b")},
                 {P("a/"), P("a/b")}};
  for (const auto& a : appends) {
    spec = a.base;
    spec.Append(P("b"));
    EXPECT_EQ(Str(spec.Path()), Str(a.result));
  }
  spec.Append(nullptr);
  EXPECT_EQ(Str(spec.Path()), P("a/b"));
  spec.Clear();
  EXPECT_TRUE(spec.IsEmpty());
  EXPECT_EQ(&(spec = static_cast<const Vandrel::Uni16*>(nullptr)), &spec);
  EXPECT_TRUE(spec.IsEmpty());
}

// A path in the notation callers hand over: NT separators,
// and off Windows a drive letter that stands for the root.
Str NtPath(const std::filesystem::path& p) {
#if defined(_WIN32)
  return p.wstring();
#else
  Str s = P("C:") + p.u16string();
  for (auto& c : s) {
    if (c == '/') c = '\\';
  }
  return s;
#endif
}

TEST(FileSpecExists, AnswersThroughTheBaseClass) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "vandrel_filespec_test";
  fs::create_directories(dir);
  const fs::path file = dir / "present.txt";
  std::ofstream(file) << "x";

  FileSpec spec;
  FileSpec* base = &spec;
  *base = NtPath(file).c_str();
  EXPECT_TRUE(base->Exists());
  *base = NtPath(dir).c_str();
  EXPECT_TRUE(base->Exists());
  *base = NtPath(dir / "absent.txt").c_str();
  EXPECT_FALSE(base->Exists());
  *base = P("");
  EXPECT_FALSE(base->Exists());
#if !defined(_WIN32)
  spec = P("C:");  // the drive alone is the root
  EXPECT_TRUE(spec.Exists());
#endif

  // The query is virtual: a subclass's answer comes through a base pointer.
  struct Always : FileSpec {
    bool Exists() const override { return true; }
  } always;
  base = &always;
  *base = NtPath(dir / "absent.txt").c_str();
  EXPECT_TRUE(base->Exists());
  fs::remove_all(dir);
}

}  // namespace
