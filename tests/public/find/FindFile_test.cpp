// The directory search through the public interface, on real directories
// made for each test under the system's temporary folder.
#include "TalqOSUtils/FindFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Paths.h"
#include "gtest/gtest.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace stdfs = std::filesystem;
using TalqOSUtils::ChFindFile;
using TalqOSUtils::ChFindFileException;
using TalqOSUtils::ChFindFileIterator;

namespace {

// A fresh folder under the system temporary folder, removed with its content.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const stdfs::path p =
          stdfs::temp_directory_path() / ("talq-find-" + std::to_string(rd() % 100000000u));
      if (stdfs::create_directory(p)) {
        mPath = p;
        return;
      }
    }
    throw std::runtime_error("no temporary folder");
  }
  ~TempDir() {
    std::error_code ec;
    stdfs::remove_all(mPath, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const stdfs::path& Path() const { return mPath; }
  /// The folder as a generic path, without a trailing separator.
  std::string Generic() const {
    const std::string native = mPath.u8string();
#if defined(_WIN32)
    char generic[1024];
    if (!TalqOSUtils::OSPathNTToGeneric(native.c_str(), generic, sizeof generic)) return "";
    return generic;
#else
    return native;
#endif
  }
  stdfs::path File(const std::string& utf8Name, const std::string& content = "") const {
    const stdfs::path p = mPath / stdfs::u8path(utf8Name);
    std::ofstream out(p, std::ios::binary);
    out << content;
    return p;
  }
  stdfs::path Dir(const std::string& utf8Name) const {
    const stdfs::path p = mPath / stdfs::u8path(utf8Name);
    stdfs::create_directory(p);
    return p;
  }

 private:
  stdfs::path mPath;
};

struct Seen {
  std::string name;
  bool isDirectory;
  std::int64_t size;
};

// Every entry FindFirst/FindNext return, in order; AtEnd must stay false
// until the invalid iterator.
std::vector<Seen> Enumerate(ChFindFile& search) {
  std::vector<Seen> out;
  for (ChFindFileIterator it = search.FindFirst(); it.IsValid(); it = search.FindNext()) {
    EXPECT_FALSE(search.AtEnd()) << "AtEnd before the end, at " << it.BaseName(nullptr);
    out.push_back({it.BaseName(nullptr), it.IsDirectory(), it.Size()});
    if (out.size() > 10000) break;
  }
  return out;
}

std::multiset<std::string> Names(const std::vector<Seen>& seen) {
  std::multiset<std::string> names;
  for (const Seen& s : seen) names.insert(s.name);
  return names;
}

void ExpectThrows(const std::function<void()>& fn, const char* message) {
  try {
    fn();
    ADD_FAILURE() << "no exception, expected \"" << message << "\"";
  } catch (const ChFindFileException& e) {
    EXPECT_STREQ(e.what(), message);
  }
}

bool NotDirectory(const ChFindFileIterator& it) { return !it.IsDirectory(); }
bool Nothing(const ChFindFileIterator&) { return false; }
bool Everything(const ChFindFileIterator&) { return true; }
bool StartsWithB(const ChFindFileIterator& it) { return it.BaseName(nullptr)[0] == 'b'; }

// ---------------------------------------------------------------------------

TEST(FindFileEnumeration, ListsFilesDirectoriesDotAndDotDot) {
  TempDir dir;
  dir.File("a", "12345");
  dir.File("b");
  dir.Dir("sub");
  ChFindFile search(dir.Generic().c_str());
  const std::vector<Seen> seen = Enumerate(search);
  EXPECT_TRUE(search.AtEnd());
  EXPECT_EQ(Names(seen), (std::multiset<std::string>{".", "..", "a", "b", "sub"}));
  const std::map<std::string, std::pair<bool, std::int64_t>> expected = {{".", {true, 0}},
                                                                         {"..", {true, 0}},
                                                                         {"a", {false, 5}},
                                                                         {"b", {false, 0}},
                                                                         {"sub", {true, 0}}};
  for (const Seen& s : seen) {
    SCOPED_TRACE(s.name);
    const auto row = expected.find(s.name);
    ASSERT_NE(row, expected.end());
    EXPECT_EQ(s.isDirectory, row->second.first);
    if (!s.isDirectory) EXPECT_EQ(s.size, row->second.second);
  }
}

TEST(FindFileEnumeration, FindNextAfterTheEndKeepsReturningInvalid) {
  TempDir dir;
  dir.File("a");
  ChFindFile search(dir.Generic().c_str());
  EXPECT_EQ(Enumerate(search).size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(search.FindNext().IsValid());
    EXPECT_TRUE(search.AtEnd());
    EXPECT_TRUE(search.IsValid());
  }
}

TEST(FindFileEnumeration, EntriesOfLargeDirectoryAllSeenOnce) {
  TempDir dir;
  std::multiset<std::string> expected = {".", ".."};
  for (int i = 0; i < 700; ++i) {
    const std::string name = "file" + std::to_string(i);
    dir.File(name);
    expected.insert(name);
  }
  ChFindFile search(dir.Generic().c_str());
  EXPECT_EQ(Names(Enumerate(search)), expected);
}

TEST(FindFileFilter, AcceptsSomeNoneOrAll) {
  TempDir dir;
  dir.File("a");
  dir.File("b");
  dir.File("bb");
  dir.Dir("bdir");
  struct Row {
    const char* label;
    ChFindFile::Filter filter;
    std::multiset<std::string> names;
  };
  const Row rows[] = {
      {"files only", &NotDirectory, {"a", "b", "bb"}},
      {"nothing", &Nothing, {}},
      {"everything", &Everything, {".", "..", "a", "b", "bb", "bdir"}},
      {"no filter", nullptr, {".", "..", "a", "b", "bb", "bdir"}},
      {"b names", &StartsWithB, {"b", "bb", "bdir"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ChFindFile search(dir.Generic().c_str());
    search.SetFilter(row.filter);
    EXPECT_EQ(Names(Enumerate(search)), row.names);
    EXPECT_TRUE(search.AtEnd());
  }
}

TEST(FindFileFilter, RejectingEverythingEndsAtFindFirst) {
  TempDir dir;
  dir.File("a");
  ChFindFile search(dir.Generic().c_str());
  search.SetFilter(&Nothing);
  EXPECT_FALSE(search.FindFirst().IsValid());
  EXPECT_TRUE(search.AtEnd());
}

TEST(FindFileFilter, ChangedMidwayAppliesFromTheNextCall) {
  TempDir dir;
  for (const char* n : {"a1", "a2", "a3"}) dir.File(n);
  ChFindFile search(dir.Generic().c_str());
  ASSERT_TRUE(search.FindFirst().IsValid());
  search.SetFilter(&Nothing);
  EXPECT_FALSE(search.FindNext().IsValid());
  EXPECT_TRUE(search.AtEnd());
  search.SetFilter(nullptr);
  EXPECT_EQ(Names(Enumerate(search)).size(), 5u);
}

// A filter that ends the search it runs in: the search reports it instead of
// reading freed state.
ChFindFile* gEndedByFilter = nullptr;
bool EndsTheSearch(const ChFindFileIterator&) {
  gEndedByFilter->EndSearch();
  return false;
}

TEST(FindFileFilter, FilterThatEndsTheSearchThrowsUninitialized) {
  TempDir dir;
  dir.File("a");
  ChFindFile search(dir.Generic().c_str());
  gEndedByFilter = &search;
  search.SetFilter(&EndsTheSearch);
  ExpectThrows([&] { search.FindFirst(); }, "Uninitialized search");
  EXPECT_FALSE(search.IsValid());
  gEndedByFilter = nullptr;
}

// ---------------------------------------------------------------------------

TEST(FindFileIterator, InvalidIteratorAccessors) {
  const ChFindFileIterator invalid;
  EXPECT_FALSE(invalid.IsValid());
  EXPECT_FALSE(invalid.IsDirectory());
  EXPECT_FALSE(invalid.IsBigFile());
  char buf[256] = "untouched";
  ExpectThrows([&] { invalid.BaseName(buf); }, "Invalid find file iterator");
  ExpectThrows([&] { invalid.BaseName(nullptr); }, "Invalid find file iterator");
  ExpectThrows([&] { invalid.Size(); }, "Invalid find file iterator");
  ExpectThrows([&] { invalid.TimeStamp(); }, "Invalid find file iterator");
  EXPECT_STREQ(buf, "untouched");
  // Caught as the base class too.
  try {
    invalid.Size();
  } catch (const TalqOSUtils::ChException& e) {
    EXPECT_STREQ(e.what(), "Invalid find file iterator");
  }
}

TEST(FindFileIterator, OutlivesItsSearchAndItsCopies) {
  TempDir dir;
  dir.File("only", "xyz");
  ChFindFileIterator kept;
  {
    ChFindFile search(dir.Generic().c_str());
    search.SetFilter(&NotDirectory);
    ChFindFileIterator first = search.FindFirst();
    ASSERT_TRUE(first.IsValid());
    {
      ChFindFileIterator copy(first);
      kept = copy;
    }
    first = search.FindNext();  // drops its share; the end
    EXPECT_FALSE(first.IsValid());
    search.EndSearch();
  }
  ASSERT_TRUE(kept.IsValid());
  char buf[256];
  const char* internal = kept.BaseName(buf);
  EXPECT_STREQ(buf, "only");
  EXPECT_EQ(internal, kept.BaseName(nullptr));
  EXPECT_NE(internal, static_cast<const char*>(buf));
  EXPECT_EQ(kept.Size(), 3);
  // Copies and assignments in every order, self-assignment included.
  ChFindFileIterator a(kept);
  ChFindFileIterator b;
  b = a;
  b = b;
  a = ChFindFileIterator();
  kept = a;
  EXPECT_FALSE(kept.IsValid());
  EXPECT_STREQ(b.BaseName(nullptr), "only");
  b = kept;
  EXPECT_FALSE(b.IsValid());
}

// ---------------------------------------------------------------------------

TEST(FindFileInit, DefaultObjectHasNoSearch) {
  ChFindFile search;
  EXPECT_FALSE(search.IsValid());
  EXPECT_TRUE(search.AtEnd());
  ExpectThrows([&] { search.FindFirst(); }, "Uninitialized search");
  ExpectThrows([&] { search.FindNext(); }, "Uninitialized search");
  ExpectThrows([&] { search.Root(nullptr); }, "Uninitialized search");
  ExpectThrows([&] { search.SetFilter(nullptr); }, "Uninitialized search");
  search.EndSearch();
  EXPECT_FALSE(search.IsValid());
}

TEST(FindFileInit, RootGetsOneTrailingSeparator) {
  TempDir dir;
  const std::string root = dir.Generic();
  for (const std::string& given : {root, root + "/"}) {
    SCOPED_TRACE(given);
    ChFindFile search(given.c_str());
    char buf[256];
    EXPECT_EQ(std::string(search.Root(buf)), root + "/");
    EXPECT_STREQ(buf, (root + "/").c_str());
    EXPECT_FALSE(search.AtEnd());
  }
}

TEST(FindFileInit, MissingPathFileAndNullRoot) {
  TempDir dir;
  dir.File("file");
  struct Row {
    std::string root;
    bool null;
    const char* message;
    bool validAfter;
  };
  const Row rows[] = {
      {dir.Generic() + "/missing", false, "Bad directory specification", false},
      {dir.Generic() + "/file", false, "Bad directory specification", false},
      {"", false, "Bad directory specification", false},
      {"", true, "Root string too long", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.root + (row.null ? " (null)" : ""));
    ChFindFile search(dir.Generic().c_str());  // an earlier search, ended by Init
    ExpectThrows([&] { search.Init(row.null ? nullptr : row.root.c_str()); }, row.message);
    EXPECT_EQ(search.IsValid(), row.validAfter);
    if (row.validAfter) ExpectThrows([&] { search.FindFirst(); }, row.message);
  }
}

// Roots around the 256-byte area, made of a real directory plus "/./" and
// "." components so that they name it whatever their length.
std::string Padded(const std::string& root, std::size_t length, bool trailingSlash) {
  std::string out = root;
  std::size_t fill = length - root.size() - (trailingSlash ? 1 : 0);
  if (fill % 2 != 0) out += "/";  // "//" is one separator
  for (fill /= 2; fill > 0; --fill) out += "/.";
  if (trailingSlash) out += "/";
  return out;
}

TEST(FindFileInit, RootLengthBoundaries) {
  TempDir dir;
  dir.File("x");
  const std::string root = dir.Generic();
  ASSERT_LT(root.size(), 200u);
  struct Row {
    std::size_t length;
    bool trailingSlash;
    bool tooLong;
  };
  const Row rows[] = {
      {254, false, false},  // room for the '/'
      {255, true, false},   // ends in a separator already
      {255, false, true},   // no room for the '/'
      {256, true, true},   {300, true, true},
  };
  for (const Row& row : rows) {
    const std::string given = Padded(root, row.length, row.trailingSlash);
    ASSERT_EQ(given.size(), row.length);
    SCOPED_TRACE(given);
    ChFindFile search;
    if (row.tooLong) {
      ExpectThrows([&] { search.Init(given.c_str()); }, "Root string too long");
      EXPECT_TRUE(search.IsValid());
      EXPECT_EQ(std::string(search.Root(nullptr)), given.substr(0, 255));
      // A cut root is never searched.
      ExpectThrows([&] { search.FindFirst(); }, "Root string too long");
    } else {
      search.Init(given.c_str());
      std::string stored = search.Root(nullptr);
      EXPECT_EQ(stored.size(), 255u);
      // The NT pattern of a 255-byte root does not fit in 256 bytes with "\*".
      ExpectThrows([&] { search.FindFirst(); }, "Root string too long");
    }
  }
  // The pattern (NT form, "\\*" and NUL) must fit 256 bytes: NT forms of up
  // to 253 bytes search, longer ones throw. The NT form of "/C:/x" is one
  // byte shorter than the generic path; a drive-less root's is as long.
  int searched = 0;
  for (std::size_t length = 250; length <= 254; ++length) {
    const std::string given = Padded(root, length, true);
    SCOPED_TRACE(given);
    ChFindFile search(given.c_str());
    const std::size_t ntLength = TalqOSUtils::OSPathLocal(std::string(search.Root(nullptr))).size();
    if (ntLength <= 253) {
      EXPECT_EQ(Names(Enumerate(search)).count("x"), 1u);
      ++searched;
    } else {
      ExpectThrows([&] { search.FindFirst(); }, "Root string too long");
    }
  }
  EXPECT_GE(searched, 3);
}

TEST(FindFileInit, CutRootWithEscapesIsNotSearched) {
  // 300 bytes whose first 255, escapes removed, would name a short path.
  std::string root = "/";
  while (root.size() < 300) root += "\\a";
  ChFindFile search;
  ExpectThrows([&] { search.Init(root.c_str()); }, "Root string too long");
  ExpectThrows([&] { search.FindFirst(); }, "Root string too long");
  EXPECT_FALSE(search.FindNext().IsValid());
}

// ---------------------------------------------------------------------------

TEST(FindFileSearch, RestartWhileEnumeratingKeepsRootAndFilter) {
  TempDir dir;
  for (const char* n : {"f1", "f2", "f3"}) dir.File(n);
  ChFindFile search(dir.Generic().c_str());
  search.SetFilter(&NotDirectory);
  const std::multiset<std::string> files = {"f1", "f2", "f3"};
  ASSERT_TRUE(search.FindFirst().IsValid());  // mid-way
  EXPECT_EQ(Names(Enumerate(search)), files);
  EXPECT_TRUE(search.AtEnd());
  // After the end: FindFirst starts over and clears AtEnd.
  const ChFindFileIterator again = search.FindFirst();
  ASSERT_TRUE(again.IsValid());
  EXPECT_FALSE(search.AtEnd());
  EXPECT_EQ(Names(Enumerate(search)), files);
}

TEST(FindFileSearch, CopiesShareOneEnumeration) {
  TempDir dir;
  for (const char* n : {"f1", "f2", "f3", "f4"}) dir.File(n);
  const std::multiset<std::string> files = {"f1", "f2", "f3", "f4"};
  // Orders of: which copy advances, which one ends first.
  for (int order = 0; order < 4; ++order) {
    SCOPED_TRACE(order);
    auto original = std::make_unique<ChFindFile>(dir.Generic().c_str());
    original->SetFilter(&NotDirectory);
    std::multiset<std::string> names;
    names.insert(original->FindFirst().BaseName(nullptr));
    auto copy = std::make_unique<ChFindFile>(*original);
    EXPECT_STREQ(copy->Root(nullptr), original->Root(nullptr));
    names.insert(copy->FindNext().BaseName(nullptr));  // the same enumeration moves on
    ChFindFile* survivor = nullptr;
    switch (order) {
      case 0:
        original->EndSearch();
        survivor = copy.get();
        break;
      case 1:
        copy->EndSearch();
        survivor = original.get();
        break;
      case 2:
        original.reset();
        survivor = copy.get();
        break;
      default:
        copy.reset();
        survivor = original.get();
        break;
    }
    for (ChFindFileIterator it = survivor->FindNext(); it.IsValid(); it = survivor->FindNext()) {
      names.insert(it.BaseName(nullptr));
    }
    EXPECT_EQ(names, files);
    EXPECT_TRUE(survivor->AtEnd());
    // The survivor restarts the shared search and can end it.
    EXPECT_EQ(Names(Enumerate(*survivor)), files);
    survivor->EndSearch();
    EXPECT_FALSE(survivor->IsValid());
  }
}

TEST(FindFileSearch, InitOnOneCopyLeavesTheOtherEnumerating) {
  TempDir dir;
  TempDir other;
  for (const char* n : {"f1", "f2"}) dir.File(n);
  other.File("g");
  ChFindFile a(dir.Generic().c_str());
  a.SetFilter(&NotDirectory);
  ASSERT_TRUE(a.FindFirst().IsValid());
  ChFindFile b(a);
  b.Init(other.Generic().c_str());  // b's own new search, no filter
  EXPECT_EQ(Names(Enumerate(b)), (std::multiset<std::string>{".", "..", "g"}));
  ChFindFileIterator rest = a.FindNext();
  ASSERT_TRUE(rest.IsValid());
  EXPECT_EQ(rest.BaseName(nullptr)[0], 'f');
  EXPECT_FALSE(a.FindNext().IsValid());
  // A copy of a copy of an ended search has no search either.
  a.EndSearch();
  ChFindFile c(a);
  EXPECT_FALSE(c.IsValid());
}

// ---------------------------------------------------------------------------

TEST(FindFileEntries, SparseFileOfFiveBillionBytes) {
  TempDir dir;
  struct Row {
    const char* name;
    std::int64_t size;
    bool big;
  };
  const Row rows[] = {
      {"big", 5000000000LL, true},
      {"max32", 4294967295LL, false},
      {"just4g", 4294967296LL, true},
  };
  for (const Row& row : rows) {
    // Sparse: a far seek and one byte written (resize where it is cheap).
    std::ofstream out(dir.Path() / row.name, std::ios::binary);
    out.seekp(row.size - 1);
    out.put('\0');
    ASSERT_TRUE(out.good()) << row.name;
  }
  ChFindFile search(dir.Generic().c_str());
  search.SetFilter(&NotDirectory);
  std::map<std::string, ChFindFileIterator> found;
  for (ChFindFileIterator it = search.FindFirst(); it.IsValid(); it = search.FindNext()) {
    found[it.BaseName(nullptr)] = it;
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(found.count(row.name), 1u);
    EXPECT_EQ(found[row.name].Size(), row.size);
    EXPECT_EQ(found[row.name].IsBigFile(), row.big);
  }
}

TEST(FindFileEntries, TimeStampIsTheRealModificationTime) {
  TempDir dir;
  const stdfs::path file = dir.File("dated", "x");
  // 2001-09-09 01:46:40.1234567 UTC, and its FILETIME written out by hand.
  const std::uint64_t expected = 126444736001234567ULL;
#if defined(_WIN32)
  const HANDLE h = CreateFileW(file.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(expected);
  ft.dwHighDateTime = static_cast<DWORD>(expected >> 32);
  ASSERT_NE(SetFileTime(h, nullptr, nullptr, &ft), 0);
  CloseHandle(h);
#else
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = 1000000000;
  times[0].tv_nsec = times[1].tv_nsec = 123456789;
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
#endif
  ChFindFile search(dir.Generic().c_str());
  search.SetFilter(&NotDirectory);
  const ChFindFileIterator it = search.FindFirst();
  ASSERT_TRUE(it.IsValid());
  EXPECT_EQ(it.TimeStamp(), expected);
}

TEST(FindFileEntries, NonAsciiNamesComeBackAsWritten) {
  TempDir dir;
  const std::vector<std::string> names = {
      "r\xC3\xA9sum\xC3\xA9.txt",              // é
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",  // CJK
      "smile \xF0\x9F\x98\x80",                // a surrogate pair in UTF-16
      "\xEF\xBB\xBF"
      "bom-first",  // U+FEFF leading: no mark here
      "\xEF\xBF\xBE"
      "swapped-mark-first",  // U+FFFE leading
  };
  for (const std::string& n : names) dir.File(n);
  ChFindFile search(dir.Generic().c_str());
  search.SetFilter(&NotDirectory);
  const std::multiset<std::string> found = Names(Enumerate(search));
  EXPECT_EQ(found, std::multiset<std::string>(names.begin(), names.end()));
  for (const std::string& n : names) {
    SCOPED_TRACE(n);
    EXPECT_TRUE(TalqOSUtils::OSFileExists((dir.Generic() + "/" + n).c_str()));
  }
}

TEST(FindFileEntries, NameOf255BytesComesBackWhole) {
  TempDir dir;
  // 127 two-byte characters and one byte: 255 bytes, the most a name keeps.
  // (Longer names are cut in the record tests: Wine, like Linux, stores at
  // most 255 bytes of UTF-8 per name.)
  std::string exact;
  for (int i = 0; i < 127; ++i) exact += "\xC3\xA9";
  exact += "a";
  dir.File(exact);
  std::multiset<std::string> expected = {exact};
  ChFindFile search(dir.Generic().c_str());
  search.SetFilter(&NotDirectory);
  EXPECT_EQ(Names(Enumerate(search)), expected);
}

#if !defined(_WIN32)
TEST(FindFileEntries, IllFormedUtf8NameGivesReplacementCharacter) {
  TempDir dir;
  dir.File("bad\xFFname");
  dir.File("cut\xE2\x82");
  ChFindFile search(dir.Generic().c_str());
  search.SetFilter(&NotDirectory);
  EXPECT_EQ(Names(Enumerate(search)),
            (std::multiset<std::string>{"bad\xEF\xBF\xBDname", "cut\xEF\xBF\xBD"}));
}
#endif

}  // namespace
