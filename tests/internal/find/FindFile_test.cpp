// What the failure sweep cannot show of the directory search (call counts),
// the find record's conversion into an entry, and the POSIX emulation of the
// find calls.
#include <cerrno>
#include <map>
#include <string>
#include <tuple>
#include <utility>

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
using OsString = std::basic_string<pf::OsChar>;

namespace {

class FindFaults : public ::testing::Test {
 protected:
  void TearDown() override { pf::ClearFaults(); }
  std::string Root() const { return dir.Generic(); }
  OsString Nt(const std::string& tail) const {
    return TalqOSUtils::UnicodeString(TalqOSUtils::OSPathLocal(Root()) + tail);
  }
  streamtest::TempDir dir;
};

TEST_F(FindFaults, OsFailuresEndTheEnumerationAndTheOsIsNotAskedAgain) {
  for (const char* name : {"a", "b", "c"}) dir.Write(name);
  ChFindFile search(Root().c_str());
  {
    pf::ScopedFault fault(CallId::kFindFirstFile, 1, pf::kErrorAccessDenied);
    EXPECT_FALSE(search.FindFirst().IsValid());
    EXPECT_FALSE(search.FindNext().IsValid());
    EXPECT_TRUE(search.AtEnd());
    EXPECT_EQ(pf::CallsSeen(CallId::kFindNextFile), 0u);
  }
  for (const unsigned nth : {1u, 4u}) {  // of five entries; FindFirst restarts
    SCOPED_TRACE(nth);
    pf::ScopedFault fault(CallId::kFindNextFile, nth, pf::kErrorIoDevice);
    unsigned returned = 0;
    for (auto it = search.FindFirst(); it.IsValid(); it = search.FindNext()) ++returned;
    EXPECT_EQ(returned, nth);  // FindFirst's entry plus nth-1 from FindNext
    EXPECT_FALSE(search.FindNext().IsValid());
    EXPECT_EQ(pf::CallsSeen(CallId::kFindNextFile), nth) << "asked after the end";
  }
}

TEST_F(FindFaults, OsSearchClosesOnceWithTheLastSharerOrARestart) {
  pf::CountCalls();
  {
    ChFindFile a(Root().c_str());
    ASSERT_TRUE(a.FindFirst().IsValid());
    ChFindFile b(a);
    a.EndSearch();
    EXPECT_TRUE(b.FindFirst().IsValid());
    EXPECT_EQ(pf::CallsSeen(CallId::kFindClose), 1u) << "a restart closes the running search";
  }
  EXPECT_EQ(pf::CallsSeen(CallId::kFindClose), 2u);
}

TEST(FindEntryRecord, NamesAreCutAtWholeCharactersTo255Bytes) {
  std::string cut127;
  for (int i = 0; i < 127; ++i) cut127 += "\xC3\xA9";
  const struct {
    const char* label;
    OsString name;
    std::uint32_t attributes;
    std::string utf8;
  } rows[] = {
      {"a directory, leading U+FFFE kept", OsString{0xFFFE, 'x'}, 0x10 | 0x20, "\xEF\xBF\xBEx"},
      {"cut between characters", OsString(150, 0xE9), 0x80, cut127},
      {"no NUL in 260 units", OsString(260, 'z'), 0x80, std::string(255, 'z')},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    pf::FindData record;
    std::copy(row.name.begin(), row.name.end(), record.name);
    record.attributes = row.attributes;
    record.sizeHigh = 1;
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

// Links are followed; a broken one is listed as itself.
TEST_F(FindFaults, PosixPatternsErrorsAttributesAndErrno) {
  namespace fs = streamtest::fs;
  dir.Write("ro");
  fs::permissions(dir.Native("ro"), fs::perms::owner_write, fs::perm_options::remove);
  fs::create_directory(dir.Native("subdir"));
  fs::create_symlink(dir.Native("ro"), dir.Native("to-file"));
  fs::create_directory_symlink(dir.Native("subdir"), dir.Native("to-dir"));
  fs::create_symlink(dir.Native("nowhere"), dir.Native("broken"));
  pf::FindData data;
  errno = 1234;
  for (const auto& [pattern, code] :
       {std::pair<OsString, pf::ErrorCode>{Nt("\\*.txt"), pf::kErrorNotSupported},
        {Nt("*"), pf::kErrorNotSupported},
        {Nt("\\missing\\*"), pf::kErrorPathNotFound},
        {Nt("\\ro\\*"), pf::kErrorPathNotFound}}) {
    EXPECT_EQ(pf::Os().findFirstFile(pattern.c_str(), &data), pf::kInvalidHandle);
    EXPECT_EQ(pf::LastError(), code) << std::string(pattern.begin(), pattern.end());
  }
  std::map<std::string, pf::FindData> seen;
  const pf::FindHandle h = pf::Os().findFirstFile(Nt("\\*").c_str(), &data);
  ASSERT_NE(h, pf::kInvalidHandle);
  do {
    seen[std::string(data.name, data.name + std::char_traits<pf::OsChar>::length(data.name))] =
        data;
  } while (pf::Os().findNextFile(h, &data));
  EXPECT_EQ(pf::LastError(), pf::kErrorNoMoreFiles);
  EXPECT_TRUE(pf::Os().findClose(h));
  EXPECT_FALSE(pf::Os().findClose(pf::kInvalidHandle));
  EXPECT_EQ(errno, 1234);
  EXPECT_EQ(seen.size(), 7u);
  const std::tuple<const char*, std::uint32_t, std::uint32_t> rows[] = {
      {"ro", pf::kFileAttributeReadonly, 1},
      {"to-file", pf::kFileAttributeReadonly, 1},
      {"to-dir", pf::kFileAttributeDirectory, 0},
      {"broken", pf::kFileAttributeNormal,
       static_cast<std::uint32_t>(dir.Native("nowhere").string().size())}};
  for (const auto& [name, attributes, size] : rows) {
    SCOPED_TRACE(name);
    EXPECT_EQ(seen[name].attributes, attributes);
    EXPECT_EQ(seen[name].sizeLow, size);
  }
}
#endif

}  // namespace
