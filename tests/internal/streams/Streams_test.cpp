// What the failure sweep cannot make happen (short writes, handle counts) and
// the file calls of the backends.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>

#include "TalqOSUtils/Streams.h"
#include "TalqOSUtils/UnicodeString.h"
#include "TalqOSUtils/talq.h"
#include "platform/Platform.h"
#include "platform/testing/FaultInjection.h"
#include "support/FsTestSupport.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)
namespace pf = TalqOSUtils::platform;

class StreamFaults : public ::testing::Test {
 protected:
  void TearDown() override { pf::ClearFaults(); }
  talqtest::TempDir dir;
};

TEST_F(StreamFaults, AShortWriteFailsAndStopsTheStream) {
  for (const pf::ErrorCode os : std::initializer_list<pf::ErrorCode>{pf::kErrorDiskFull, 0}) {
    SCOPED_TRACE(os);
    ChOutputStream out;
    out.open(dir / "o");
    pf::ArmShortWrite(1, 3, os);
    out.write("0123456789", 10);
    EXPECT_EQ(out.error(), os == 0 ? INT_MIN : 112);
    out.write("more");
    EXPECT_EQ(pf::CallsSeen(pf::CallId::kWriteFile), 1u) << "a write ran after the failure";
    pf::ClearFaults();
  }
}

#if !defined(_WIN32)
// A string that fits the 32-bit count is one write. (Native only, into
// /dev/null: the string takes 2 GiB; skipped under valgrind.)
TEST_F(StreamFaults, AStringThatFitsTheCountIsOneWrite) {
  if (const char* p = std::getenv("LD_PRELOAD"); p && std::strstr(p, "vgpreload")) GTEST_SKIP();
  ChOutputStream out;
  out.open("/dev/null");
  pf::CountCalls();
  out.write(std::string((std::size_t{1} << 31) + 1, 'x'));
  EXPECT_EQ(pf::CallsSeen(pf::CallId::kWriteFile), 1u);
  EXPECT_TRUE(out.good());
}
#endif

// Creating fails, then truncating: a retry that only finds nothing keeps the
// creation's reason; any other retry failure is the reason.
TEST_F(StreamFaults, OutputOpenReportsWhyTheFileCouldNotBeMade) {
  // clang-format off
  const std::tuple<pf::ErrorCode, pf::ErrorCode, int> rows[] = {
      {pf::kErrorAccessDenied, pf::kErrorFileNotFound, 5}, {0, pf::kErrorFileNotFound, INT_MIN},
      {pf::kErrorFileExists, pf::kErrorSharingViolation, 32},
      {pf::kErrorDiskFull, pf::kErrorAccessDenied, 5}};
  // clang-format on
  for (const auto& [create, truncate, error] : rows) {
    SCOPED_TRACE(std::to_string(create) + " then " + std::to_string(truncate));
    ChOutputStream out;
    pf::ArmFault(pf::CallId::kCreateFile, 1, create);
    pf::ArmAnyFault(2, truncate);  // the second call of all: the retry
    out.open(dir / "o");
    EXPECT_EQ(pf::CallsSeen(pf::CallId::kCreateFile), 2u);
    pf::ClearFaults();
    EXPECT_EQ(out.error(), error);
  }
}

TEST_F(StreamFaults, HandleClosesOnceWithTheLastSharer) {
  const std::string path = dir.Write("f", "abc");
  pf::CountCalls();
  {
    ChInputStream a;
    a.open(path);
    ChInputStream b(a), c;
    c = b;
    a.close();
    b.close();
    c.open(path);  // lets go of the last share first
    EXPECT_EQ(pf::CallsSeen(pf::CallId::kCloseHandle), 1u);
    ChOutputStream o;
    o.open(dir / "o");
    ChOutputStream p(o);
    o = ChOutputStream();
  }
  EXPECT_EQ(pf::CallsSeen(pf::CallId::kCloseHandle), 3u);
}

// The C interface's streams: a failed close of a written file is the close's answer (its data
// may be lost there), a failed open closes no handle, and a C stream runs no check function
// unless the host sets one, whatever the C++ defaults.
TEST_F(StreamFaults, CStreamsReportTheirCloseAndTakeNoDefaults) {
  talq_stream* s = nullptr;
  ASSERT_EQ(talq_stream_open((dir / "o").c_str(), TALQ_STREAM_WRITE, 0, &s), 0);
  ASSERT_EQ(talq_stream_write(s, "abc", 3), 0);
  pf::ArmFault(pf::CallId::kCloseHandle, 1, pf::kErrorDiskQuotaExceeded);
  EXPECT_EQ(talq_stream_close(s), 1295);
  pf::ClearFaults();
  EXPECT_EQ(talq_stream_close(s), TALQ_ERROR_INVALID_HANDLE) << "a failed close frees the handle";
  // Closed by its own check function, the file closes as the write returns: the write says so.
  ASSERT_EQ(talq_stream_open((dir / "o").c_str(), TALQ_STREAM_WRITE, 0, &s), 0);
  const std::string chunk(600000, 'c');
  talq_stream_set_check(
      s, [](void* self) { return talq_stream_close(*static_cast<talq_stream**>(self)); }, &s);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(talq_stream_write(s, chunk.data(), 600000), 0);
  pf::ArmFault(pf::CallId::kCloseHandle, 1, pf::kErrorDiskQuotaExceeded);
  EXPECT_EQ(talq_stream_write(s, chunk.data(), 600000), 1295);
  pf::ClearFaults();
  pf::CountCalls();
  for (const int mode : {TALQ_STREAM_READ, TALQ_STREAM_WRITE}) {
    EXPECT_EQ(talq_stream_open((dir / "no/such").c_str(), mode, 0, &s), pf::kErrorPathNotFound);
  }
  EXPECT_EQ(pf::CallsSeen(pf::CallId::kCloseHandle), 0u);

  SetDefaultInputCheckFn([](void*) { return 77; }, nullptr);
  ASSERT_EQ(talq_stream_open(dir.Write("big", std::string(3u << 20, 'b')).c_str(), TALQ_STREAM_READ,
                             0, &s),
            0);
  SetDefaultInputCheckFn(nullptr, nullptr);
  std::string buf(1u << 20, '\0');
  std::uint32_t got = 0;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(talq_stream_read(s, &buf[0], static_cast<std::uint32_t>(buf.size()), &got), 0);
    EXPECT_EQ(got, buf.size());
  }
  EXPECT_EQ(talq_stream_close(s), 0);
}

// A copy that fails says why; the file it made for a fork goes again, one that was there stays.
TEST_F(StreamFaults, ACopyThatFailsSaysWhyAndTakesBackWhatItMade) {
  const std::string src = dir.Write("src", "data");
  dir.Write("kept", "kept");
  for (const auto& [target, fork] :
       {std::pair<const char*, bool>{"new", false}, {"made", true}, {"kept", true}}) {
    pf::ArmFault(pf::CallId::kCopyFile, 1, pf::kErrorDiskFull);
    EXPECT_EQ(OSCopyFile(src.c_str(), (dir / target).c_str(), fork, nullptr, nullptr), 112u);
    pf::ClearFaults();
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Native("new")));
  EXPECT_FALSE(std::filesystem::exists(dir.Native("made")));
  EXPECT_EQ(talqtest::ReadAll(dir.Native("kept")), "kept");
}

// The file calls themselves: the same Win32 behaviour from both backends
// (under Wine these run against its real implementation).

class FileCalls : public StreamFaults {
 protected:
  pf::FileHandle Open(const std::string& name, std::uint32_t access, std::uint32_t disposition) {
    const UnicodeString w(OSPathLocal(dir / name));
    return pf::Os().createFile(w.c_str(), access, pf::kFileShareRead | pf::kFileShareWrite,
                               disposition, pf::kFileFlagSequentialScan);
  }
};

// Failures give Win32 codes; no call touches errno.
TEST_F(FileCalls, SpeakWin32AndLeaveErrnoAlone) {
  dir.Write("exists", "0123456789");
  std::filesystem::create_directory(dir.Native("dir"));
  errno = 4242;
  const std::tuple<const char*, std::uint32_t, std::uint32_t, pf::ErrorCode> rows[] = {
    {"exists", pf::kGenericWrite, pf::kCreateNew, pf::kErrorFileExists},
    {"missing", pf::kGenericWrite, pf::kTruncateExisting, pf::kErrorFileNotFound},
    {"nodir/missing", pf::kGenericRead, pf::kOpenExisting, pf::kErrorPathNotFound},
    {"dir", pf::kGenericRead, pf::kOpenExisting, pf::kErrorAccessDenied},
#if !defined(_WIN32)
    // Truncating needs write access, as Windows documents (Wine lets a reader).
    {"exists", pf::kGenericRead, pf::kTruncateExisting, pf::kErrorInvalidParameter},
#endif
  };
  for (const auto& [name, access, disposition, code] : rows) {
    SCOPED_TRACE(name + std::string(" disposition ") + std::to_string(disposition));
    EXPECT_EQ(Open(name, access, disposition), pf::kInvalidHandle);
    EXPECT_EQ(pf::LastError(), code);
  }
  const pf::FileHandle h = Open("exists", pf::kGenericRead, pf::kOpenExisting);
  ASSERT_NE(h, pf::kInvalidHandle);
  EXPECT_EQ(pf::Os().setFilePointer(h, 5, nullptr, pf::kFileBegin), 5u);
  // Without a high word the distance is a signed 32-bit value.
  EXPECT_EQ(pf::Os().setFilePointer(h, -2, nullptr, pf::kFileCurrent), 3u);
  // Landing on -1 fails with 131 and leaves the high word.
  std::int32_t high = -1;
  EXPECT_EQ(pf::Os().setFilePointer(h, -4, &high, pf::kFileCurrent), pf::kInvalidSetFilePointer);
  EXPECT_EQ(pf::LastError(), pf::kErrorNegativeSeek);
  EXPECT_EQ(high, -1);
  EXPECT_EQ(pf::Os().setFilePointer(h, -1, nullptr, pf::kFileEnd), 9u);
  std::uint32_t sizeHigh = 7;
  EXPECT_EQ(pf::Os().getFileSize(h, &sizeHigh), 10u);
  EXPECT_EQ(sizeHigh, 0u);
  EXPECT_TRUE(pf::Os().closeHandle(h));
  EXPECT_FALSE(pf::Os().closeHandle(h));
  EXPECT_EQ(pf::LastError(), pf::kErrorInvalidHandle);
  EXPECT_EQ(errno, 4242);
  // Creating always empties an existing file, as truncating does.
  pf::Os().closeHandle(Open("exists", pf::kGenericWrite, pf::kCreateAlways));
  EXPECT_EQ(talqtest::ReadAll(dir.Native("exists")), "");
}

}  // namespace
