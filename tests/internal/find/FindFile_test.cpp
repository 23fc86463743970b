// The search's call counts (which the failure sweep cannot show), the find
// record's conversion into an entry, and the POSIX emulation of the calls.
#include <algorithm>
#include <cerrno>
#include <map>
#include <string>
#include <tuple>
#include <utility>

#include "TalqOSUtils/FindFile.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/UnicodeString.h"
#include "TalqOSUtils/talq.h"
#include "Vandrel/Vandrel.h"
#include "find/FindInternal.h"
#include "gtest/gtest.h"
#include "platform/Platform.h"
#include "platform/testing/FaultInjection.h"
#include "support/FsTestSupport.h"
#if !defined(_WIN32)
#include "platform/posix/find.h"
#endif

namespace pf = TalqOSUtils::platform;
using pf::CallId;
using OsString = std::basic_string<pf::OsChar>;

namespace {

class FindFaults : public ::testing::Test {
 protected:
  void TearDown() override { pf::ClearFaults(); }
  OsString Nt(const std::string& tail) const {
    return TalqOSUtils::UnicodeString(TalqOSUtils::OSPathLocal(dir.Generic()) + tail);
  }
  talqtest::TempDir dir;
};

TEST_F(FindFaults, OsSearchClosesOnceAndIsNotAskedAgainAfterTheEnd) {
  pf::CountCalls();
  TalqOSUtils::ChFindFile a(dir.Generic().c_str()), b(a);
  ASSERT_TRUE(a.FindFirst().IsValid());
  a.EndSearch();
  unsigned listed = 0;
  for (auto it = b.FindFirst(); it.IsValid(); it = b.FindNext()) ++listed;
  EXPECT_EQ(pf::CallsSeen(CallId::kFindClose), 1u) << "a restart closes the running search";
  EXPECT_FALSE(b.FindNext().IsValid());
  EXPECT_EQ(pf::CallsSeen(CallId::kFindNextFile), listed) << "asked after the end";
  b.EndSearch();
  EXPECT_EQ(pf::CallsSeen(CallId::kFindClose), 2u) << "the last sharer closes";
  pf::ArmFault(CallId::kFindFirstFile, 1, pf::kErrorAccessDenied, pf::FaultMode::kFromNthOn);
  b.Init(dir.Generic().c_str());
  b.FindFirst();
  EXPECT_FALSE(b.FindNext().IsValid());
  EXPECT_FALSE(b.FindFirst().IsValid());
  EXPECT_TRUE(b.AtEnd()) << "a search that cannot start keeps AtEnd";
}

// The C interface ends a search with the reason it stopped, not "no more files".
TEST_F(FindFaults, CSearchesEndWithTheReasonTheyStopped) {
  talq_search* search = nullptr;
  ASSERT_EQ(talq_search_open(dir.Generic().c_str(), nullptr, nullptr, &search), 0);
  pf::ArmFault(CallId::kFindNextFile, 1, pf::kErrorAccessDenied);
  talq_entry entry;
  int code = 0, listed = 0;
  while ((code = talq_search_next(search, &entry)) == 0) ++listed;
  EXPECT_EQ(listed, 1);
  EXPECT_EQ(code, 5);
  EXPECT_EQ(talq_search_next(search, &entry), 5);
  EXPECT_EQ(talq_search_error(search), 5);
  EXPECT_EQ(talq_search_close(search), 0);
}

// LastError: the OS code of a search that could not start or stopped early,
// 0 for "nothing to list" and a normal end; a restart and Init reset it.
TEST_F(FindFaults, LastErrorSaysWhyASearchStoppedAndRestartsForgetIt) {
  dir.Write("a");
  dir.Write("b");
  const CallId first = CallId::kFindFirstFile, next = CallId::kFindNextFile;
  // clang-format off
  const std::tuple<CallId, unsigned, pf::ErrorCode, std::uint32_t, unsigned> rows[] = {
      // failing call, its nth, code => LastError(), entries listed
      {first, 1, pf::kErrorAccessDenied, 5, 0}, {first, 1, pf::kErrorFileNotFound, 0, 0},
      {first, 1, 0, 0x80000000u, 0}, {next, 2, pf::kErrorAccessDenied, 5, 2},
      {next, 1, pf::kErrorDiskFull, 112, 1}, {next, 1, pf::kErrorNoMoreFiles, 0, 1}};
  // clang-format on
  EXPECT_EQ(TalqOSUtils::ChFindFile().LastError(), 0u) << "no search";
  for (const auto& [call, nth, code, reported, listed] : rows) {
    SCOPED_TRACE(std::string(pf::CallName(call)) + " fails with " + std::to_string(code));
    TalqOSUtils::ChFindFile search(dir.Generic().c_str());
    pf::ArmFault(call, nth, code);
    unsigned count = 0;
    for (auto it = search.FindFirst(); it.IsValid(); it = search.FindNext()) ++count;
    EXPECT_FALSE(search.FindNext().IsValid());
    EXPECT_TRUE(search.AtEnd());
    EXPECT_EQ(pf::CallsSeen(next), call == next ? nth : 0u)
        << "asked after the end, or with no search to continue";
    EXPECT_EQ(count, listed);
    EXPECT_EQ(search.LastError(), reported);
    EXPECT_EQ(TalqOSUtils::ChFindFile(search).LastError(), reported) << "copies share it";
    EXPECT_TRUE(search.FindFirst().IsValid());
    EXPECT_EQ(search.LastError(), 0u) << "a restart keeps the old reason";
    EXPECT_EQ(pf::CallsSeen(CallId::kFindClose), call == next ? 1u : 0u)
        << "a search stopped early is closed once by the restart";
    pf::ClearFaults();
    pf::ArmFault(call, nth, code);
    for (auto it = search.FindFirst(); it.IsValid(); it = search.FindNext()) {
    }
    pf::ClearFaults();
    search.Init(dir.Generic().c_str());
    EXPECT_EQ(search.LastError(), 0u) << "Init keeps the old reason";
    search.EndSearch();
    EXPECT_EQ(search.LastError(), 0u) << "no search";
  }
}

// U+FFFE stays (no mark processing); 260 units without a NUL are cut at whole characters.
// A name is whole or not at all: one that needs 256 bytes in UTF-8, or a record without a NUL,
// gives no entry (a cut name could open another file). 255 bytes exactly is listed, and a
// leading U+FFFE as it stands (no mark processing).
TEST(FindEntryRecord, NamesAreWholeOrRefused) {
  const OsString z253(253, 'z');
  const std::string fits = std::string(253, 'z') + "\xC3\xA9";
  for (const auto& [name, utf8] : {std::pair<OsString, const char*>{{0xFFFE, 'x'}, "\xEF\xBF\xBEx"},
                                   {z253 + OsString(1, 0xE9), fits.c_str()},
                                   {z253 + OsString{'z', 0xE9}, nullptr},
                                   {OsString(86, 0x4E2D), nullptr},
                                   {OsString(260, 'y'), nullptr}}) {
    pf::FindData record;
    std::copy(name.begin(), name.end(), record.name);
    TalqOSUtils::ChFindFileEntry entry;
    const bool filled = TalqOSUtils::find::FillEntry(record, entry);
    EXPECT_EQ(filled ? std::string(entry.name) : "(none)", utf8 ? utf8 : "(none)") << name.size();
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
    const timespec t{static_cast<time_t>(sec), nsec};
    EXPECT_EQ(pf::posix::FileTimeFromTimespec(t), ticks) << sec << " s " << nsec;
  }
}

// Links are followed (here to a read-only file); a broken one is listed as itself.
TEST_F(FindFaults, PosixPatternsErrorsAttributesAndErrno) {
  namespace fs = std::filesystem;
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
    seen[std::string(data.nameBytes, data.nameLength)] = data;
  } while (pf::Os().findNextFile(h, &data));
  EXPECT_EQ(pf::LastError(), pf::kErrorNoMoreFiles);
  EXPECT_TRUE(pf::Os().findClose(h));
  EXPECT_FALSE(pf::Os().findClose(pf::kInvalidHandle));
  EXPECT_EQ(errno, 1234);
  // Links are listed as what they point to, marked as links.
  EXPECT_EQ(seen["to-file"].attributes,
            pf::kFileAttributeReadonly | pf::kFileAttributeReparsePoint);
  EXPECT_EQ(seen["to-file"].sizeLow, 1u);
  EXPECT_EQ(seen["broken"].attributes, pf::kFileAttributeNormal | pf::kFileAttributeReparsePoint);
  EXPECT_EQ(seen["ro"].attributes & pf::kFileAttributeReparsePoint, 0u);
  EXPECT_EQ(seen["broken"].sizeLow, dir.Native("nowhere").string().size());
}
#endif

}  // namespace
