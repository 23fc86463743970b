// The directory search through the public interface, on directories made
// for each test under the system's temporary folder.
#include "TalqOSUtils/FindFile.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "TalqOSUtils/Paths.h"
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
  void File(const std::string& name, std::int64_t size = 0) {  // sparse
    dir.Write(name, "");
    streamtest::fs::resize_file(dir.Native(name), static_cast<std::uintmax_t>(size));
  }
  streamtest::TempDir dir;
};

// Every entry as "name size", with a '/' after a directory's name; AtEnd
// stays false until the end.
Names Enumerate(ChFindFile& search) {
  Names out;
  for (ChFindFileIterator it = search.FindFirst(); it.IsValid(); it = search.FindNext()) {
    EXPECT_FALSE(search.AtEnd()) << "AtEnd before the end, at " << it.BaseName(nullptr);
    EXPECT_EQ(it.IsBigFile(), it.Size() >= 4294967296LL) << it.BaseName(nullptr);
    out.insert(it.BaseName(nullptr) + std::string(it.IsDirectory() ? "/ " : " ") +
               std::to_string(it.Size()));
  }
  EXPECT_TRUE(search.AtEnd());
  EXPECT_FALSE(search.FindNext().IsValid()) << "after the end";
  return out;
}

void ExpectThrows(const std::function<void()>& fn, const char* message) {
  talqtest::ExpectThrowWhat<TalqOSUtils::ChFindFileException>(fn, message);
}

bool NotDirectory(const ChFindFileIterator& it) { return !it.IsDirectory(); }
bool None(const ChFindFileIterator&) { return false; }

// Names come back as written, sizes beyond 32 bits too; entries outlive the
// search.
TEST_F(FindFile, ListsEveryEntryOnceThroughTheFilter) {
  const std::string names[] = {"r\xC3\xA9sum\xC3\xA9", "smile \xF0\x9F\x98\x80",
                               "\357\273\277bom-first", std::string(127 * 2, 'e') + "a"};
  Names files = {"max32 4294967295", "just4g 4294967296"};
  for (const std::string& n : names) files.insert(n + " 0");
  File("max32", 4294967295LL);
  File("just4g", 4294967296LL);
  for (const std::string& n : names) File(n);
  streamtest::fs::create_directory(dir.Native("sub"));
  Names all = {"./ 0", "../ 0", "sub/ 0"};
  all.insert(files.begin(), files.end());
  for (const auto& [filter, expected] :
       {std::pair<ChFindFile::Filter, Names>{nullptr, all}, {&NotDirectory, files}, {&None, {}}}) {
    SCOPED_TRACE(expected.size());
    ChFindFile search(Root().c_str());
    search.SetFilter(filter);
    EXPECT_EQ(Enumerate(search), expected);
  }
  ChFindFileIterator kept;
  {
    // A filter set during a search applies from the next call; FindFirst
    // restarts with it.
    ChFindFile search(Root().c_str());
    ASSERT_TRUE(search.FindFirst().IsValid());
    search.SetFilter(&None);
    EXPECT_FALSE(search.FindNext().IsValid());
    search.SetFilter(&NotDirectory);
    ChFindFileIterator first = search.FindFirst();
    kept = first;
    first = search.FindNext();
  }
  ChFindFileIterator copy(kept);
  copy = copy;
  kept = ChFindFileIterator();
  std::string buf(256, '#');
  const std::string name = copy.BaseName(&buf[0]);
  EXPECT_STREQ(buf.c_str(), name.c_str());
  EXPECT_EQ(files.count(name + " " + std::to_string(copy.Size())), 1u) << name;
  const ChFindFileIterator invalid;
  EXPECT_FALSE(invalid.IsDirectory());
  EXPECT_FALSE(invalid.IsBigFile());
  ExpectThrows([&] { invalid.BaseName(&buf[0]); }, "Invalid find file iterator");
  ExpectThrows([&] { invalid.Size(); }, "Invalid find file iterator");
  ExpectThrows([&] { invalid.TimeStamp(); }, "Invalid find file iterator");
}

// Roots around the 256-byte area are padded with "/." so that they name the
// directory whatever their length.
TEST_F(FindFile, RootsAreCheckedAndEndInASeparator) {
  File("x");
  auto padded = [&](std::size_t length, bool slash) {
    std::string out = Root();
    std::size_t fill = length - out.size() - (slash ? 1 : 0);
    if (fill % 2 != 0) out += "/";  // "//" is one separator
    for (fill /= 2; fill > 0; --fill) out += "/.";
    return slash ? out + "/" : out;
  };
  ChFindFile none;
  ExpectThrows([&] { none.FindFirst(); }, "Uninitialized search");
  ExpectThrows([&] { none.SetFilter(nullptr); }, "Uninitialized search");
  ExpectThrows([&] { none.Init(nullptr); }, "Root string too long");
  const char* const kBad = "Bad directory specification";
  const char* const kLong = "Root string too long";
  for (const auto& [root, message] :
       {std::pair<std::string, const char*>{Root() + "/missing", kBad},
        {Root() + "/x", kBad},
        {"", kBad},
        {padded(255, false), kLong},
        {padded(256, true), kLong}}) {
    SCOPED_TRACE(root);
    ChFindFile search(Root().c_str());
    ExpectThrows([&] { search.Init(root.c_str()); }, message);
    // A refused directory ends the search; a cut root stays, never searched.
    EXPECT_EQ(search.IsValid(), message == kLong);
    if (message == kLong) ExpectThrows([&] { search.FindFirst(); }, kLong);
  }
  for (const std::string& given : {Root(), Root() + "/"}) {
    EXPECT_EQ(std::string(ChFindFile(given.c_str()).Root(nullptr)), Root() + "/") << given;
  }
#if !defined(_WIN32)
  // A root ending in ':' (an HFS-style separator) gets no '/' appended.
  streamtest::fs::create_directory(dir.Native("sub:"));
  const std::string colon = Root() + "/sub:";
  EXPECT_EQ(std::string(ChFindFile(colon.c_str()).Root(nullptr)), colon);
#endif
  // The pattern (NT form, "\\*" and NUL) must fit 256 bytes.
  int searched = 0;
  for (std::size_t length = 250; length <= 254; ++length) {
    ChFindFile search(padded(length, true).c_str());
    SCOPED_TRACE(search.Root(nullptr));
    if (TalqOSUtils::OSPathLocal(std::string(search.Root(nullptr))).size() <= 253) {
      EXPECT_EQ(Enumerate(search).count("x 0"), 1u);
      ++searched;
    } else {
      ExpectThrows([&] { search.FindFirst(); }, "Root string too long");
    }
  }
  EXPECT_GE(searched, 3);
}

}  // namespace
