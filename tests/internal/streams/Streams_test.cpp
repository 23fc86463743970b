// The streams' failure paths, made to happen through the platform layer's
// test hook, and the OS calls the streams make, counted.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "TalqOSUtils/Streams.h"
#include "platform/Platform.h"
#include "platform/testing/FaultInjection.h"
#include "support/StreamTestSupport.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)
namespace pf = TalqOSUtils::platform;
using pf::CallId;
using streamtest::ReadAll;
using streamtest::TempDir;
using streamtest::WriteAll;

constexpr int kNoCode = INT_MIN;  // 0x80000000: the OS failed without a code

class StreamFaults : public ::testing::Test {
 protected:
  void TearDown() override { pf::ClearFaults(); }
  std::string MakeFile(const std::string& name, const std::string& bytes) {
    WriteAll(dir.Native(name), bytes);
    return dir.Generic(name);
  }
  TempDir dir;
};

// Codes as the OS gives them, and what the stream records.
struct Code {
  pf::ErrorCode os;
  int recorded;
};
const Code kCodes[] = {{pf::kErrorAccessDenied, 5},
                       {pf::kErrorSharingViolation, 32},
                       {pf::kErrorIoDevice, 1117},
                       {0, kNoCode}};

TEST_F(StreamFaults, FailedOpenRecordsTheCode) {
  const std::string path = MakeFile("f", "abc");
  for (const Code& code : kCodes) {
    SCOPED_TRACE(code.os);
    {
      pf::ScopedFault fault(CallId::kCreateFile, 1, code.os);
      ChInputStream in;
      in.open(path);
      EXPECT_FALSE(in.isopen());
      EXPECT_FALSE(in.good());
      EXPECT_EQ(in.error(), code.recorded);
      char c;
      EXPECT_EQ(in.read(&c, 1), 0u);
      EXPECT_EQ(pf::CallsSeen(CallId::kReadFile), 0u);
    }
    {
      // Both of the output stream's attempts (create new, truncate) fail.
      pf::ScopedFault fault(CallId::kCreateFile, 1, code.os, pf::FaultMode::kFromNthOn);
      ChOutputStream out;
      out.open(path);
      EXPECT_FALSE(out.isopen());
      EXPECT_EQ(out.error(), code.recorded);
      EXPECT_EQ(pf::CallsSeen(CallId::kCreateFile), 2u);
      out.write("x");
      EXPECT_EQ(pf::CallsSeen(CallId::kWriteFile), 0u);
    }
  }
  EXPECT_EQ(ReadAll(dir.Native("f")), "abc");
}

TEST_F(StreamFaults, OutputOpenFallsBackToTruncating) {
  const std::string path = MakeFile("f", "old content");
  pf::ScopedFault fault(CallId::kCreateFile, 1, pf::kErrorFileExists);
  ChOutputStream out;
  out.open(path);
  EXPECT_TRUE(out.isopen());
  EXPECT_EQ(pf::CallsSeen(CallId::kCreateFile), 2u);
  out.write("new");
  out.close();
  EXPECT_EQ(ReadAll(dir.Native("f")), "new");
}

TEST_F(StreamFaults, UnknownSizeFailsTheOpenAndClosesTheHandle) {
  const std::string path = MakeFile("f", "abc");
  pf::ScopedFault fault(CallId::kGetFileSize, 1, pf::kErrorIoDevice);
  ChInputStream in;
  in.open(path);
  EXPECT_FALSE(in.isopen());
  EXPECT_EQ(in.error(), 1117);
  EXPECT_EQ(in.size(), 0);
  EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 1u) << "the opened handle leaked";
}

TEST_F(StreamFaults, ReadErrorStopsReadsUntilACheckClearsIt) {
  const std::string path = MakeFile("f", "abcdef");
  for (const Code& code : kCodes) {
    SCOPED_TRACE(code.os);
    ChInputStream in;
    in.open(path);
    int checkResult = 0;
    in.setcheckfn([](void* data) { return *static_cast<int*>(data); }, &checkResult);
    std::vector<char> storage(2 << 20);
    char* buf = storage.data();
    const auto bigRead = static_cast<std::uint32_t>(storage.size());
    pf::ScopedFault fault(CallId::kReadFile, 2, code.os);
    EXPECT_EQ(in.read(buf, 1), 1u);
    EXPECT_EQ(in.read(buf, bigRead), 0u);  // fails; counts 2 MiB
    EXPECT_EQ(in.error(), code.recorded);
    EXPECT_FALSE(in.good());
    EXPECT_FALSE(in.eof()) << "a failed read is no end of file";
    EXPECT_EQ(in.getpos(), 0);
    in.seek(0);
    EXPECT_EQ(pf::CallsSeen(CallId::kSetFilePointer), 0u) << "seek ran in error";
    EXPECT_EQ(pf::CallsSeen(CallId::kReadFile), 2u);
    // The check function runs now and its 0 makes the stream usable again.
    EXPECT_EQ(in.read(buf, 2), 2u);
    EXPECT_EQ(std::string(buf, 2), "bc");
    EXPECT_TRUE(in.good());
  }
}

TEST_F(StreamFaults, WriteErrorAndShortWriteAreFailures) {
  struct Row {
    const char* what;
    bool shortWrite;
    Code code;
  } rows[] = {{"write error", false, {pf::kErrorDiskFull, 112}},
              {"write error without code", false, {0, kNoCode}},
              {"short write", true, {pf::kErrorDiskFull, 112}},
              {"short write without code", true, {0, kNoCode}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ChOutputStream out;
    out.open(dir.Generic("o"));
    out.write("ok");
    if (row.shortWrite) {
      pf::ArmShortWrite(1, 3, row.code.os);
    } else {
      pf::ArmFault(CallId::kWriteFile, 1, row.code.os);
    }
    out.write("0123456789", 10);
    EXPECT_EQ(out.error(), row.code.recorded);
    EXPECT_FALSE(out.good());
    out.write("more");
    out.seek(0);
    EXPECT_EQ(out.getpos(), 0);
    EXPECT_EQ(pf::CallsSeen(CallId::kWriteFile), 1u) << "a write ran after the failure";
    EXPECT_EQ(pf::CallsSeen(CallId::kSetFilePointer), 0u);
    pf::ClearFaults();
    out.close();
    EXPECT_EQ(ReadAll(dir.Native("o")), row.shortWrite ? "ok012" : "ok");
  }
}

TEST_F(StreamFaults, FailingSeekIsRecordedWhateverThePosition) {
  struct Row {
    std::int64_t pos;
    Code code;
  } rows[] = {{10, {pf::kErrorInvalidParameter, 87}},
              {10, {0, kNoCode}},
              // The failure value itself, with the high word left as given.
              {0xFFFFFFFFLL, {pf::kErrorInvalidParameter, 87}},
              {0x1FFFFFFFFLL, {pf::kErrorInvalidParameter, 87}},
              {-1, {pf::kErrorNegativeSeek, 131}}};
  const std::string path = MakeFile("f", "abc");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pos);
    ChInputStream in;
    in.open(path);
    ChOutputStream out;
    out.open(dir.Generic("o"));
    pf::ArmFault(CallId::kSetFilePointer, 1, row.code.os, pf::FaultMode::kFromNthOn);
    in.seek(row.pos);
    out.seek(row.pos);
    EXPECT_EQ(in.error(), row.code.recorded);
    EXPECT_EQ(out.error(), row.code.recorded);
    pf::ClearFaults();
  }
}

TEST_F(StreamFaults, FailingPositionQueryGivesZeroNotTheFailureValue) {
  ChInputStream in;
  in.open(MakeFile("f", "abcdef"));
  in.seek(4);
  pf::ScopedFault fault(CallId::kSetFilePointer, 1, pf::kErrorInvalidHandle);
  EXPECT_EQ(in.getpos(), 0);
  EXPECT_EQ(in.error(), 0) << "a position query records nothing";
  EXPECT_EQ(in.getpos(), 4);
}

TEST_F(StreamFaults, EachTransferIsOneOsCall) {
  const std::string path = MakeFile("f", std::string(100, 'x'));
  pf::CountCalls();
  ChInputStream in;
  in.open(path);
  char buf[64];
  for (int i = 0; i < 3; ++i) in.read(buf, sizeof buf);
  EXPECT_EQ(pf::CallsSeen(CallId::kReadFile), 3u);
  ChOutputStream out;
  out.open(dir.Generic("o"));
  for (int i = 0; i < 5; ++i) out.write(buf, sizeof buf);
  out.printf("%d", 5);
  EXPECT_EQ(pf::CallsSeen(CallId::kWriteFile), 6u);
}

// ---------------------------------------------------------------------------
// The shared file state is closed once, by the last sharer.

TEST_F(StreamFaults, HandleClosesWithTheLastSharer) {
  const std::string path = MakeFile("f", "abc");
  const std::string other = MakeFile("g", "xyz");
  pf::CountCalls();
  {
    ChInputStream a;
    a.open(path);
    ChInputStream b(a);
    ChInputStream c;
    c = b;
    a.close();
    b.close();
    EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 0u);
    c.open(other);  // lets go of the last share of f
    EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 1u);
    ChInputStream d(c);
    c = a;  // a holds nothing: c lets go, d keeps g
    EXPECT_FALSE(c.isopen());
    EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 1u);
    EXPECT_TRUE(d.isopen());
  }
  EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 2u);
  {
    ChOutputStream a;
    a.open(dir.Generic("o"));
    a.open(dir.Generic("o"));  // releases the first handle before opening
    EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 3u);
    ChOutputStream b(a);
    a = ChOutputStream();
    EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 3u);
  }
  EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 4u);
  EXPECT_EQ(pf::CallsSeen(CallId::kCreateFile), 5u);  // f, g, o (new), o (new fails, truncate)
}

TEST_F(StreamFaults, ForkWithoutBackslashTriesNoCompanion) {
  pf::CountCalls();
  ChInputStream in;
  in.openFork("talq-no-such-file-7f3a", true);
  EXPECT_EQ(pf::CallsSeen(CallId::kCreateFile), 1u);
  EXPECT_EQ(in.error(), 2);
}

TEST_F(StreamFaults, CompanionFailureCodeWins) {
  const std::string path = MakeFile("doc", "data");
  WriteAll(dir.Native("._doc"), "companion");
  // The fork open fails (not found); the companion open is refused.
  pf::ScopedFault fault(CallId::kCreateFile, 2, pf::kErrorAccessDenied);
  ChInputStream in;
  in.openFork(path, true);
  EXPECT_FALSE(in.isopen());
  EXPECT_EQ(in.error(), 5);
}

// ---------------------------------------------------------------------------
// The file calls themselves: the same Win32 behaviour from both backends
// (under Wine these run against its real implementation).

using Wide = std::basic_string<pf::OsChar>;
Wide WideOf(const streamtest::fs::path& p) {
  const std::string nt = OSPathLocal(TalqOSUtils::OSPathGeneric(p.u8string()));
  return UnicodeString(nt);
}

class FileCalls : public StreamFaults {
 protected:
  pf::FileHandle Open(const std::string& name, std::uint32_t access, std::uint32_t disposition) {
    const Wide w = WideOf(dir.Native(name));
    return pf::Os().createFile(w.c_str(), access, pf::kFileShareRead | pf::kFileShareWrite,
                               disposition, pf::kFileFlagSequentialScan);
  }
};

TEST_F(FileCalls, OpenFailuresSpeakWin32) {
  MakeFile("exists", "x");
  streamtest::fs::create_directory(dir.Native("dir"));
  struct Row {
    const char* name;
    std::uint32_t access;
    std::uint32_t disposition;
    pf::ErrorCode code;
  } rows[] = {
      {"exists", pf::kGenericWrite, pf::kCreateNew, pf::kErrorFileExists},
      {"missing", pf::kGenericRead, pf::kOpenExisting, pf::kErrorFileNotFound},
      {"missing", pf::kGenericWrite, pf::kTruncateExisting, pf::kErrorFileNotFound},
      {"nodir/missing", pf::kGenericRead, pf::kOpenExisting, pf::kErrorPathNotFound},
      {"dir", pf::kGenericRead, pf::kOpenExisting, pf::kErrorAccessDenied},
      {"dir", pf::kGenericWrite, pf::kTruncateExisting, pf::kErrorAccessDenied},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name + std::string(" disposition ") + std::to_string(row.disposition));
    pf::SetLastError(0);
    EXPECT_EQ(Open(row.name, row.access, row.disposition), pf::kInvalidHandle);
    EXPECT_EQ(pf::LastError(), row.code);
  }
}

TEST_F(FileCalls, PointerAndSizeInTwoHalves) {
  MakeFile("f", "0123456789");
  const pf::FileHandle h = Open("f", pf::kGenericRead, pf::kOpenExisting);
  ASSERT_NE(h, pf::kInvalidHandle);
  std::int32_t high = 0;
  EXPECT_EQ(pf::Os().setFilePointer(h, 5, &high, pf::kFileBegin), 5u);
  EXPECT_EQ(high, 0);
  // Without a high word the distance is a signed 32-bit value.
  EXPECT_EQ(pf::Os().setFilePointer(h, -2, nullptr, pf::kFileCurrent), 3u);
  // A negative result fails with 131 and leaves the pointer where it was.
  high = -1;
  EXPECT_EQ(pf::Os().setFilePointer(h, -4, &high, pf::kFileCurrent), pf::kInvalidSetFilePointer);
  EXPECT_EQ(pf::LastError(), pf::kErrorNegativeSeek);
  EXPECT_EQ(high, -1) << "a failed call left the high word as given";
  EXPECT_EQ(pf::Os().setFilePointer(h, -1, nullptr, pf::kFileEnd), 9u);
  high = 1;  // 4 GiB + 3 from the start
  EXPECT_EQ(pf::Os().setFilePointer(h, 3, &high, pf::kFileBegin), 3u);
  EXPECT_EQ(high, 1);
  std::uint32_t sizeHigh = 7;
  EXPECT_EQ(pf::Os().getFileSize(h, &sizeHigh), 10u);
  EXPECT_EQ(sizeHigh, 0u);
  high = 0;
  pf::Os().setFilePointer(h, 8, &high, pf::kFileBegin);
  char buf[8];
  std::uint32_t got = 99;
  EXPECT_TRUE(pf::Os().readFile(h, buf, 8, &got));
  EXPECT_EQ(got, 2u);
  EXPECT_TRUE(pf::Os().readFile(h, buf, 8, &got));
  EXPECT_EQ(got, 0u) << "at the end a read succeeds with 0";
  std::uint32_t written = 99;
  EXPECT_FALSE(pf::Os().writeFile(h, "x", 1, &written)) << "a read-only handle wrote";
  EXPECT_TRUE(pf::Os().closeHandle(h));
}

#if !defined(_WIN32)
TEST_F(FileCalls, EmulationLeavesErrnoAlone) {
  MakeFile("f", "abc");
  errno = 4242;
  EXPECT_EQ(Open("missing", pf::kGenericRead, pf::kOpenExisting), pf::kInvalidHandle);
  const pf::FileHandle h = Open("f", pf::kGenericRead, pf::kOpenExisting);
  std::int32_t high = -1;
  pf::Os().setFilePointer(h, -5, &high, pf::kFileBegin);
  char c;
  std::uint32_t n = 0;
  pf::Os().writeFile(h, "x", 1, &n);
  pf::Os().readFile(h, &c, 1, &n);
  pf::Os().closeHandle(h);
  pf::Os().closeHandle(h);
  EXPECT_EQ(pf::LastError(), pf::kErrorInvalidHandle);
  EXPECT_EQ(errno, 4242);
}
#endif

}  // namespace
