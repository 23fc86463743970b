// The directory search's failure paths through the fault hook, the find
// record's conversion into an entry, and the POSIX emulation of the find calls.
#include <cerrno>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "TalqOSUtils/FindFile.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/UnicodeString.h"
#include "find/FindInternal.h"
#include "gtest/gtest.h"
#include "platform/Platform.h"
#include "platform/testing/FaultInjection.h"
#include "support/StreamTestSupport.h"
#if !defined(_WIN32)
#include "platform/posix/find.h"
#endif

namespace pf = TalqOSUtils::platform;
using pf::CallId;
using TalqOSUtils::ChFindFile;
using TalqOSUtils::ChFindFileIterator;
using OsString = std::basic_string<pf::OsChar>;

namespace {

class FindFaults : public ::testing::Test {
 protected:
  void TearDown() override { pf::ClearFaults(); }
  std::string Root() const { return dir.Generic(); }
  OsString Nt(const std::string& tail) const {
    return TalqOSUtils::UnicodeString(TalqOSUtils::OSPathLocal(Root()) + tail);
  }
  void Files(std::initializer_list<const char*> names) {
    for (const char* n : names) std::ofstream(dir.Native(n)) << "x";
  }
  streamtest::TempDir dir;
};

TEST_F(FindFaults, FindFirstFailingGivesTheEndWithoutAskingTheOsAgain) {
  Files({"a"});
  ChFindFile search(Root().c_str());
  pf::ScopedFault fault(CallId::kFindFirstFile, 1, pf::kErrorAccessDenied);
  EXPECT_FALSE(search.FindFirst().IsValid());
  EXPECT_FALSE(search.FindNext().IsValid());
  EXPECT_TRUE(search.AtEnd());
  EXPECT_EQ(pf::CallsSeen(CallId::kFindNextFile), 0u);
  EXPECT_TRUE(search.FindFirst().IsValid()) << "a restart after the failure";
}

TEST_F(FindFaults, FindNextFailingEndsTheEnumeration) {
  Files({"a", "b", "c"});
  for (unsigned nth = 1; nth <= 4; ++nth) {
    SCOPED_TRACE(nth);
    ChFindFile search(Root().c_str());
    pf::ScopedFault fault(CallId::kFindNextFile, nth, pf::kErrorIoDevice);
    unsigned returned = 0;
    for (auto it = search.FindFirst(); it.IsValid(); it = search.FindNext()) ++returned;
    EXPECT_EQ(returned, nth);  // FindFirst's entry plus nth-1 from FindNext
    EXPECT_FALSE(search.FindNext().IsValid());
    EXPECT_EQ(pf::CallsSeen(CallId::kFindNextFile), nth) << "asked after the end";
  }
}

TEST_F(FindFaults, OsSearchClosesOnceWithTheLastSharerOrARestart) {
  Files({"a"});
  pf::CountCalls();
  {
    ChFindFile a(Root().c_str());
    ASSERT_TRUE(a.FindFirst().IsValid());
    ChFindFile b(a);
    a.EndSearch();
    EXPECT_EQ(pf::CallsSeen(CallId::kFindClose), 0u);
    EXPECT_TRUE(b.FindFirst().IsValid());
    EXPECT_EQ(pf::CallsSeen(CallId::kFindClose), 1u) << "a restart closes the running search";
  }
  EXPECT_EQ(pf::CallsSeen(CallId::kFindClose), 2u);
}

TEST_F(FindFaults, PatternIsTheNtRootWithABackslashAndAStar) {
  ChFindFile search(Root().c_str());
  static OsString seen;
  static pf::Calls table;
  table = pf::NativeCalls();
  table.findFirstFile = [](const pf::OsChar* pattern, pf::FindData* data) {
    seen = pattern;
    return pf::NativeCalls().findFirstFile(pattern, data);
  };
  pf::InstallCalls(&table);
  const bool found = search.FindFirst().IsValid();
  pf::InstallCalls(nullptr);
  EXPECT_TRUE(found);
  EXPECT_EQ(seen, Nt("\\\\*"));
}

TEST(FindEntryRecord, NameKindSizeAndTime) {
  const auto wide = [](const std::string& ascii) { return OsString(ascii.begin(), ascii.end()); };
  std::string cut127;
  for (int i = 0; i < 127; ++i) cut127 += "\xC3\xA9";
  const struct {
    const char* label;
    OsString name;
    std::uint32_t attributes;
    std::string utf8;
  } rows[] = {
      {"plain", wide("a.txt"), 0x80, "a.txt"},
      {"directory", wide("sub"), 0x10 | 0x20, "sub"},
      {"leading U+FFFE kept", OsString{0xFFFE, 'x'}, 0x80, "\xEF\xBF\xBEx"},
      {"259 units cut to 255 bytes", OsString(259, 'n'), 0x80, std::string(255, 'n')},
      {"cut between characters", OsString(150, 0xE9), 0x80, cut127},
      {"no NUL in 260 units", OsString(260, 'z'), 0x80, std::string(255, 'z')},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    pf::FindData record;
    std::copy(row.name.begin(), row.name.end(), record.name);
    record.attributes = row.attributes;
    record.sizeHigh = 1;
    record.sizeLow = 0x2A05F200u;
    record.lastWriteTime = 0x01D0000012345678ULL;
    TalqOSUtils::ChFindFileEntry entry;
    entry.refCount = 7;
    TalqOSUtils::find::FillEntry(record, entry);
    EXPECT_EQ(std::string(entry.name), row.utf8);
    EXPECT_EQ(entry.refCount, 1u);
    EXPECT_EQ(entry.isDirectory, (row.attributes & 0x10) != 0);
    EXPECT_EQ(entry.sizeHigh, 1u);
    EXPECT_EQ(entry.lastWriteTime, 0x01D0000012345678ULL);
  }
}

#if !defined(_WIN32)
TEST(PosixFind, FileTimeFromTimespec) {
  const struct {
    long long sec;
    long nsec;
    std::uint64_t ticks;
  } rows[] = {{0, 199, 116444736000000001ULL},
              {1000000000, 123456789, 126444736001234567ULL},
              {-11644473600LL, 0, 0},
              {-11644473601LL, 999999999, 0},
              {-1, 500000000, 116444735995000000ULL},
              {1844674407370LL, 0, ~0ULL}};
  for (const auto& row : rows) {
    struct timespec t {};
    t.tv_sec = static_cast<time_t>(row.sec);
    t.tv_nsec = row.nsec;
    EXPECT_EQ(pf::posix::FileTimeFromTimespec(t), row.ticks) << row.sec << " s " << row.nsec;
  }
}

TEST_F(FindFaults, PosixPatternsErrorsAndErrno) {
  Files({"f"});
  const std::pair<OsString, pf::ErrorCode> rows[] = {{Nt("\\*.txt"), pf::kErrorNotSupported},
                                                     {Nt("*"), pf::kErrorNotSupported},
                                                     {Nt("\\missing\\*"), pf::kErrorPathNotFound},
                                                     {Nt("\\f\\*"), pf::kErrorPathNotFound}};
  pf::FindData data;
  errno = 1234;
  for (const auto& [pattern, code] : rows) {
    EXPECT_EQ(pf::Os().findFirstFile(pattern.c_str(), &data), pf::kInvalidHandle);
    EXPECT_EQ(pf::LastError(), code) << std::string(pattern.begin(), pattern.end());
  }
  const pf::FindHandle h = pf::Os().findFirstFile(Nt("\\*").c_str(), &data);
  ASSERT_NE(h, pf::kInvalidHandle);
  int entries = 1;
  while (pf::Os().findNextFile(h, &data)) ++entries;
  EXPECT_EQ(pf::LastError(), pf::kErrorNoMoreFiles);
  EXPECT_EQ(entries, 3);
  EXPECT_TRUE(pf::Os().findClose(h));
  EXPECT_FALSE(pf::Os().findClose(pf::kInvalidHandle));
  EXPECT_EQ(errno, 1234);
}

TEST_F(FindFaults, PosixSymlinksBrokenLinksAndReadOnlyFiles) {
  Files({"target", "ro"});
  namespace fs = streamtest::fs;
  fs::permissions(dir.Native("ro"), fs::perms::owner_write, fs::perm_options::remove);
  fs::create_directory(dir.Native("subdir"));
  fs::create_symlink(dir.Native("target"), dir.Native("to-file"));
  fs::create_directory_symlink(dir.Native("subdir"), dir.Native("to-dir"));
  fs::create_symlink(dir.Native("nowhere"), dir.Native("broken"));
  std::map<std::string, pf::FindData> seen;
  pf::FindData data;
  const pf::FindHandle h = pf::Os().findFirstFile(Nt("\\*").c_str(), &data);
  ASSERT_NE(h, pf::kInvalidHandle);
  do {
    std::string name;
    for (const pf::OsChar* p = data.name; *p != 0; ++p) name += static_cast<char>(*p);
    seen[name] = data;
  } while (pf::Os().findNextFile(h, &data));
  pf::Os().findClose(h);
  const std::tuple<const char*, std::uint32_t, std::uint32_t> rows[] = {
      {"target", pf::kFileAttributeNormal, 1},
      {"ro", pf::kFileAttributeReadonly, 1},
      {"to-file", pf::kFileAttributeNormal, 1},
      {"to-dir", pf::kFileAttributeDirectory, 0},
      {"broken", pf::kFileAttributeNormal,
       static_cast<std::uint32_t>(dir.Native("nowhere").string().size())}};
  for (const auto& [name, attributes, size] : rows) {
    SCOPED_TRACE(name);
    ASSERT_EQ(seen.count(name), 1u);
    EXPECT_EQ(seen[name].attributes, attributes);
    EXPECT_EQ(seen[name].sizeLow, size);
  }
}
#endif

}  // namespace
