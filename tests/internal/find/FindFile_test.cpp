// The search's call counts (which the failure sweep cannot show), the find
// record's conversion into an entry, and the POSIX emulation of the calls.
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

TEST_F(FindFaults, OsSearchClosesOnceAndIsNotAskedAgainAfterAFailure) {
  for (const char* name : {"a", "b", "c"}) dir.Write(name);
  pf::CountCalls();
  {
    ChFindFile a(Root().c_str());
    ASSERT_TRUE(a.FindFirst().IsValid());
    ChFindFile b(a);
    a.EndSearch();
    EXPECT_TRUE(b.FindFirst().IsValid());
    EXPECT_EQ(pf::CallsSeen(CallId::kFindClose), 1u) << "a restart closes the running search";
  }
  EXPECT_EQ(pf::CallsSeen(CallId::kFindClose), 2u) << "the last sharer closes";
  ChFindFile search(Root().c_str());
  {
    pf::ScopedFault fault(CallId::kFindFirstFile, 1, pf::kErrorAccessDenied);
    EXPECT_FALSE(search.FindFirst().IsValid());
    EXPECT_FALSE(search.FindNext().IsValid());
    EXPECT_TRUE(search.AtEnd());
    EXPECT_EQ(pf::CallsSeen(CallId::kFindNextFile), 0u);
  }
  pf::ScopedFault fault(CallId::kFindNextFile, 2, pf::kErrorIoDevice);
  unsigned returned = 0;  // FindFirst restarts
  for (auto it = search.FindFirst(); it.IsValid(); it = search.FindNext()) ++returned;
  EXPECT_EQ(returned, 2u) << "FindFirst's entry and one from FindNext";
  EXPECT_FALSE(search.FindNext().IsValid());
  EXPECT_EQ(pf::CallsSeen(CallId::kFindNextFile), 2u) << "asked after the end";
}

// A directory named with a leading U+FFFE (no mark processing), a name cut
// before the character that would not fit, one without a NUL in its units.
TEST(FindEntryRecord, NamesAreCutAtWholeCharactersTo255Bytes) {
  std::string cut127;
  for (int i = 0; i < 127; ++i) cut127 += "\xC3\xA9";
  for (const auto& [name, attributes, utf8] : {std::tuple<OsString, std::uint32_t, std::string>{
                                                   OsString{0xFFFE, 'x'}, 0x30, "\xEF\xBF\xBEx"},
                                               {OsString(150, 0xE9), 0x80, cut127},
                                               {OsString(260, 'z'), 0x80, std::string(255, 'z')}}) {
    SCOPED_TRACE(utf8.size());
    pf::FindData record;
    std::copy(name.begin(), name.end(), record.name);
    record.attributes = attributes;
    record.lastWriteTime = 0x01D0000012345678ULL;
    TalqOSUtils::ChFindFileEntry entry;
    entry.refCount = 7;
    TalqOSUtils::find::FillEntry(record, entry);
    EXPECT_EQ(std::string(entry.name), utf8);
    EXPECT_EQ(entry.refCount, 1u);
    EXPECT_EQ(entry.isDirectory, attributes == 0x30);
    EXPECT_EQ(entry.lastWriteTime, 0x01D0000012345678ULL);
  }
}

#if !defined(_WIN32)
TEST(PosixFind, FileTimeFromTimespec) {
  for (const auto& [sec, nsec, ticks] :
       {std::tuple<long long, long, std::uint64_t>{0, 199, 116444736000000001ULL},
        {-11644473600LL, 0, 0},
        {-11644473601LL, 999999999, 0},
        {-1, 500000000, 116444735995000000ULL},
        {1844674407370LL, 0, ~0ULL}}) {
    struct timespec t {};
    t.tv_sec = static_cast<time_t>(sec);
    t.tv_nsec = nsec;
    EXPECT_EQ(pf::posix::FileTimeFromTimespec(t), ticks) << sec << " s " << nsec;
  }
}

// Links are followed (to a read-only file here); a broken one is listed as
// itself.
TEST_F(FindFaults, PosixPatternsErrorsAttributesAndErrno) {
  namespace fs = streamtest::fs;
  dir.Write("ro");
  fs::permissions(dir.Native("ro"), fs::perms::owner_write, fs::perm_options::remove);
  fs::create_symlink(dir.Native("ro"), dir.Native("to-file"));
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
  const std::tuple<const char*, std::uint32_t, std::uint32_t> rows[] = {
      {"to-file", pf::kFileAttributeReadonly, 1},
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
