// The directory search through the public interface, on directories made
// for each test under the system's temporary folder.
#include "TalqOSUtils/FindFile.h"

#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/Streams.h"
#include "gtest/gtest.h"
#include "support/StreamTestSupport.h"
#include "support/TestSupport.h"

namespace {

using TalqOSUtils::ChFindFile;
using TalqOSUtils::ChFindFileIterator;
using Names = std::multiset<std::string>;

class FindFile : public ::testing::Test {
 protected:
  std::string Root() const { return dir.Generic(); }
  void File(const std::string& name, std::int64_t size = 0) {
    std::ofstream out(dir.Native(name), std::ios::binary);
    if (size > 0) {  // sparse beyond a few bytes
      out.seekp(size - 1);
      out.put('x');
    }
  }
  streamtest::TempDir dir;
};

// Every entry FindFirst/FindNext return; AtEnd stays false until the end.
Names Enumerate(ChFindFile& search) {
  Names out;
  for (ChFindFileIterator it = search.FindFirst(); it.IsValid(); it = search.FindNext()) {
    EXPECT_FALSE(search.AtEnd()) << "AtEnd before the end, at " << it.BaseName(nullptr);
    out.insert(it.BaseName(nullptr));
    if (out.size() > 10000) break;
  }
  EXPECT_TRUE(search.AtEnd());
  return out;
}

void ExpectThrows(const std::function<void()>& fn, const char* message) {
  talqtest::ExpectThrowWhat<TalqOSUtils::ChFindFileException>(fn, message);
}

bool NotDirectory(const ChFindFileIterator& it) { return !it.IsDirectory(); }
bool StartsWithB(const ChFindFileIterator& it) { return it.BaseName(nullptr)[0] == 'b'; }

TEST_F(FindFile, ListsEveryEntryOnceWithKindAndSize) {
  File("a", 5);
  File("b");
  streamtest::fs::create_directory(dir.Native("sub"));
  for (int i = 0; i < 300; ++i) File("many" + std::to_string(i));
  ChFindFile search(Root().c_str());
  std::map<std::string, ChFindFileIterator> seen;
  for (ChFindFileIterator it = search.FindFirst(); it.IsValid(); it = search.FindNext()) {
    EXPECT_EQ(seen.count(it.BaseName(nullptr)), 0u) << it.BaseName(nullptr) << " twice";
    seen[it.BaseName(nullptr)] = it;
  }
  EXPECT_EQ(seen.size(), 305u);
  const std::tuple<const char*, bool, std::int64_t> rows[] = {
      {".", true, 0}, {"..", true, 0}, {"a", false, 5}, {"b", false, 0}, {"sub", true, 0}};
  for (const auto& [name, directory, size] : rows) {
    SCOPED_TRACE(name);
    ASSERT_EQ(seen.count(name), 1u);
    EXPECT_EQ(seen[name].IsDirectory(), directory);
    if (!directory) EXPECT_EQ(seen[name].Size(), size);
  }
  EXPECT_FALSE(search.FindNext().IsValid()) << "after the end";
  EXPECT_TRUE(search.IsValid());
}

TEST_F(FindFile, FilterAppliesToEveryEntryAndFromTheNextCall) {
  for (const char* n : {"a", "b", "bb"}) File(n);
  streamtest::fs::create_directory(dir.Native("bdir"));
  const std::pair<ChFindFile::Filter, Names> rows[] = {
      {&NotDirectory, {"a", "b", "bb"}},
      {[](const ChFindFileIterator&) { return false; }, {}},
      {nullptr, {".", "..", "a", "b", "bb", "bdir"}},
      {&StartsWithB, {"b", "bb", "bdir"}}};
  for (const auto& [filter, names] : rows) {
    ChFindFile search(Root().c_str());
    search.SetFilter(filter);
    EXPECT_EQ(Enumerate(search), names) << names.size() << " names expected";
  }
  ChFindFile search(Root().c_str());
  ASSERT_TRUE(search.FindFirst().IsValid());
  search.SetFilter([](const ChFindFileIterator&) { return false; });
  EXPECT_FALSE(search.FindNext().IsValid());
  // FindFirst restarts the search with root and filter.
  search.SetFilter(&NotDirectory);
  EXPECT_EQ(Enumerate(search), (Names{"a", "b", "bb"}));
}

TEST_F(FindFile, IteratorsOutliveTheirSearchAndThrowWhenInvalid) {
  File("only", 3);
  ChFindFileIterator kept;
  {
    ChFindFile search(Root().c_str());
    search.SetFilter(&NotDirectory);
    ChFindFileIterator first = search.FindFirst();
    kept = first;
    first = search.FindNext();
  }
  ASSERT_TRUE(kept.IsValid());
  char buf[256] = "#########";
  EXPECT_STREQ(kept.BaseName(buf), "only");
  EXPECT_STREQ(buf, "only");
  EXPECT_EQ(kept.Size(), 3);
  EXPECT_FALSE(kept.IsBigFile());
  ChFindFileIterator copy(kept);
  copy = copy;
  kept = ChFindFileIterator();
  EXPECT_STREQ(copy.BaseName(nullptr), "only");
  const ChFindFileIterator invalid;
  EXPECT_FALSE(invalid.IsDirectory());
  ExpectThrows([&] { invalid.BaseName(buf); }, "Invalid find file iterator");
  ExpectThrows([&] { invalid.Size(); }, "Invalid find file iterator");
  ExpectThrows([&] { invalid.TimeStamp(); }, "Invalid find file iterator");
}

TEST_F(FindFile, InitRefusesWhatIsNoDirectory) {
  File("file");
  ChFindFile none;
  ExpectThrows([&] { none.FindFirst(); }, "Uninitialized search");
  ExpectThrows([&] { none.SetFilter(nullptr); }, "Uninitialized search");
  const std::pair<std::string, const char*> rows[] = {
      {Root() + "/missing", "Bad directory specification"},
      {Root() + "/file", "Bad directory specification"},
      {"", "Bad directory specification"}};
  for (const auto& [root, message] : rows) {
    SCOPED_TRACE(root);
    ChFindFile search(Root().c_str());
    ExpectThrows([&] { search.Init(root.c_str()); }, message);
    EXPECT_FALSE(search.IsValid());
  }
  ExpectThrows([&] { none.Init(nullptr); }, "Root string too long");
  ExpectThrows([&] { none.FindFirst(); }, "Root string too long");
  for (const std::string& given : {Root(), Root() + "/"}) {
    ChFindFile search(given.c_str());
    EXPECT_EQ(std::string(search.Root(nullptr)), Root() + "/") << given;
  }
#if !defined(_WIN32)
  // A root ending in ':' (an HFS-style separator) gets no '/' appended.
  streamtest::fs::create_directory(dir.Native("sub:"));
  const std::string colon = Root() + "/sub:";
  EXPECT_EQ(std::string(ChFindFile(colon.c_str()).Root(nullptr)), colon);
#endif
}

// Roots around the 256-byte area, padded with "/." so that they name the
// directory whatever their length.
TEST_F(FindFile, RootLengthBoundaries) {
  File("x");
  ASSERT_LT(Root().size(), 200u);
  auto padded = [&](std::size_t length, bool slash) {
    std::string out = Root();
    std::size_t fill = length - out.size() - (slash ? 1 : 0);
    if (fill % 2 != 0) out += "/";  // "//" is one separator
    for (fill /= 2; fill > 0; --fill) out += "/.";
    return slash ? out + "/" : out;
  };
  for (const auto& [length, slash] : {std::pair<std::size_t, bool>{255, false}, {256, true}}) {
    ChFindFile search;
    ExpectThrows([&] { search.Init(padded(length, slash).c_str()); }, "Root string too long");
    // A cut root is never searched.
    ExpectThrows([&] { search.FindFirst(); }, "Root string too long");
  }
  // The pattern (NT form, "\\*" and NUL) must fit 256 bytes.
  int searched = 0;
  for (std::size_t length = 250; length <= 254; ++length) {
    ChFindFile search(padded(length, true).c_str());
    SCOPED_TRACE(search.Root(nullptr));
    if (TalqOSUtils::OSPathLocal(std::string(search.Root(nullptr))).size() <= 253) {
      EXPECT_EQ(Enumerate(search).count("x"), 1u);
      ++searched;
    } else {
      ExpectThrows([&] { search.FindFirst(); }, "Root string too long");
    }
  }
  EXPECT_GE(searched, 3);
}

TEST_F(FindFile, SizesBeyond32BitsAndNamesAsWritten) {
  const std::tuple<const char*, std::int64_t, bool> rows[] = {
      {"max32", 4294967295LL, false}, {"just4g", 4294967296LL, true}, {"big", 5000000000LL, true}};
  for (const auto& [name, size, big] : rows) File(name, size);
  const Names unicode = {"r\xC3\xA9sum\xC3\xA9", "smile \xF0\x9F\x98\x80",
                         "\xEF\xBB\xBF"
                         "bom-first",
                         std::string(127 * 2, 'e') + "a"};
  for (const std::string& n : unicode) File(n);
  ChFindFile search(Root().c_str());
  search.SetFilter(&NotDirectory);
  std::map<std::string, ChFindFileIterator> found;
  for (auto it = search.FindFirst(); it.IsValid(); it = search.FindNext())
    found[it.BaseName(nullptr)] = it;
  for (const auto& [name, size, big] : rows) {
    SCOPED_TRACE(name);
    ASSERT_EQ(found.count(name), 1u);
    EXPECT_EQ(found[name].Size(), size);
    EXPECT_EQ(found[name].IsBigFile(), big);
  }
  // Each name comes back as written, and a stream opens the file by it.
  for (const std::string& n : unicode) {
    ASSERT_EQ(found.count(n), 1u) << n;
    const std::string path = Root() + "/" + found[n].BaseName(nullptr);
    if (path.size() > 255) continue;  // beyond what a stream opens
    TalqOSUtils::ChInputStream in;
    in.open(path);
    EXPECT_TRUE(in.isopen()) << n;
  }
}

}  // namespace
