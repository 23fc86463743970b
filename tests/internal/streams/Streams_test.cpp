// The streams' failure paths, made to happen through the platform layer's
// test hook, the OS calls the streams make, counted, and the file calls of
// the backends themselves.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "TalqOSUtils/Streams.h"
#include "TalqOSUtils/UnicodeString.h"
#include "platform/Platform.h"
#include "platform/testing/FaultInjection.h"
#include "support/StreamTestSupport.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)
namespace pf = TalqOSUtils::platform;
using pf::CallId;
using streamtest::ReadAll;
using streamtest::WriteAll;

constexpr int kNoCode = INT_MIN;  // the OS failed without a code

class StreamFaults : public ::testing::Test {
 protected:
  void TearDown() override { pf::ClearFaults(); }
  std::string MakeFile(const std::string& name, const std::string& bytes) {
    WriteAll(dir.Native(name), bytes);
    return dir.Generic(name);
  }
  streamtest::TempDir dir;
};

// Codes as the OS gives them, and what the stream records.
const std::pair<pf::ErrorCode, int> kCodes[] = {
    {pf::kErrorAccessDenied, 5}, {pf::kErrorIoDevice, 1117}, {0, kNoCode}};

TEST_F(StreamFaults, FailedOpenRecordsTheCode) {
  const std::string path = MakeFile("f", "abc");
  for (const auto& [os, recorded] : kCodes) {
    SCOPED_TRACE(os);
    {
      pf::ScopedFault fault(CallId::kCreateFile, 1, os);
      ChInputStream in;
      in.open(path);
      EXPECT_FALSE(in.isopen());
      EXPECT_EQ(in.error(), recorded);
    }
    {  // both of the output stream's attempts (create new, truncate) fail
      pf::ScopedFault fault(CallId::kCreateFile, 1, os, pf::FaultMode::kFromNthOn);
      ChOutputStream out;
      out.open(path);
      EXPECT_EQ(out.error(), recorded);
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
  out.write("new");
  out.close();
  EXPECT_EQ(ReadAll(dir.Native("f")), "new");
}

TEST_F(StreamFaults, UnknownSizeFailsTheOpenAndClosesTheHandle) {
  pf::ScopedFault fault(CallId::kGetFileSize, 1, pf::kErrorIoDevice);
  ChInputStream in;
  in.open(MakeFile("f", "abc"));
  EXPECT_FALSE(in.isopen());
  EXPECT_EQ(in.error(), 1117);
  EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 1u) << "the opened handle leaked";
}

TEST_F(StreamFaults, ReadErrorStopsReadsUntilACheckClearsIt) {
  const std::string path = MakeFile("f", "abcdef");
  for (const auto& [os, recorded] : kCodes) {
    SCOPED_TRACE(os);
    ChInputStream in;
    in.open(path);
    int checkResult = 0;
    in.setcheckfn([](void* data) { return *static_cast<int*>(data); }, &checkResult);
    std::vector<char> buf(2 << 20);
    pf::ScopedFault fault(CallId::kReadFile, 2, os);
    EXPECT_EQ(in.read(buf.data(), 1), 1u);
    EXPECT_EQ(in.read(buf.data(), static_cast<std::uint32_t>(buf.size())), 0u);  // counts 2 MiB
    EXPECT_EQ(in.error(), recorded);
    EXPECT_FALSE(in.eof()) << "a failed read is no end of file";
    in.seek(0);
    EXPECT_EQ(pf::CallsSeen(CallId::kSetFilePointer), 0u) << "seek ran in error";
    // The check function runs now and its 0 makes the stream usable again.
    EXPECT_EQ(in.read(buf.data(), 2), 2u);
    EXPECT_EQ(std::string(buf.data(), 2), "bc");
  }
}

TEST_F(StreamFaults, WriteErrorAndShortWriteAreFailures) {
  for (const bool shortWrite : {false, true}) {
    for (const auto& [os, recorded] : {kCodes[1], kCodes[2]}) {
      SCOPED_TRACE(testing::Message() << (shortWrite ? "short write " : "write error ") << os);
      ChOutputStream out;
      out.open(dir.Generic("o"));
      out.write("ok");
      if (shortWrite) {
        pf::ArmShortWrite(1, 3, os);
      } else {
        pf::ArmFault(CallId::kWriteFile, 1, os);
      }
      out.write("0123456789", 10);
      EXPECT_EQ(out.error(), recorded);
      out.write("more");
      EXPECT_EQ(pf::CallsSeen(CallId::kWriteFile), 1u) << "a write ran after the failure";
      pf::ClearFaults();
      out.close();
      EXPECT_EQ(ReadAll(dir.Native("o")), shortWrite ? "ok012" : "ok");
    }
  }
}

TEST_F(StreamFaults, FailingSeekIsRecordedWhateverThePosition) {
  const std::pair<std::int64_t, pf::ErrorCode> rows[] = {
      {10, pf::kErrorInvalidParameter},
      {10, 0},
      // The failure value itself, with the high word left as given.
      {0xFFFFFFFFLL, pf::kErrorInvalidParameter},
      {0x1FFFFFFFFLL, pf::kErrorInvalidParameter}};
  const std::string path = MakeFile("f", "abc");
  for (const auto& [pos, os] : rows) {
    SCOPED_TRACE(testing::Message() << pos << " code " << os);
    ChInputStream in;
    in.open(path);
    ChOutputStream out;
    out.open(dir.Generic("o"));
    pf::ArmFault(CallId::kSetFilePointer, 1, os, pf::FaultMode::kFromNthOn);
    in.seek(pos);
    out.seek(pos);
    EXPECT_EQ(in.error(), os == 0 ? kNoCode : 87);
    EXPECT_EQ(out.error(), os == 0 ? kNoCode : 87);
    pf::ClearFaults();
  }
}

TEST_F(StreamFaults, HandleClosesOnceWithTheLastSharer) {
  const std::string path = MakeFile("f", "abc");
  pf::CountCalls();
  {
    ChInputStream a;
    a.open(path);
    ChInputStream b(a), c;
    c = b;
    a.close();
    b.close();
    EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 0u);
    c.open(path);  // lets go of the last share first
    EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 1u);
    ChOutputStream o;
    o.open(dir.Generic("o"));
    ChOutputStream p(o);
    o = ChOutputStream();
    EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 1u);
  }
  EXPECT_EQ(pf::CallsSeen(CallId::kCloseHandle), 3u);
}

TEST_F(StreamFaults, ForkCompanionAndItsFailure) {
  pf::CountCalls();
  ChInputStream in;
  in.openFork("talq-no-such-file-7f3a", true);  // no backslash: no companion
  EXPECT_EQ(pf::CallsSeen(CallId::kCreateFile), 1u);
  EXPECT_EQ(in.error(), 2);
  const std::string path = MakeFile("doc", "data");
  WriteAll(dir.Native("._doc"), "companion");
  // The fork is not found; the companion open is refused: its code wins.
  pf::ScopedFault fault(CallId::kCreateFile, 2, pf::kErrorAccessDenied);
  in.openFork(path, true);
  EXPECT_FALSE(in.isopen());
  EXPECT_EQ(in.error(), 5);
}

// ---------------------------------------------------------------------------
// The file calls themselves: the same Win32 behaviour from both backends
// (under Wine these run against its real implementation).

class FileCalls : public StreamFaults {
 protected:
  pf::FileHandle Open(const std::string& name, std::uint32_t access, std::uint32_t disposition) {
    const UnicodeString w(OSPathLocal(dir.Generic(name)));
    return pf::Os().createFile(w.c_str(), access, pf::kFileShareRead | pf::kFileShareWrite,
                               disposition, pf::kFileFlagSequentialScan);
  }
};

TEST_F(FileCalls, OpenFailuresSpeakWin32) {
  MakeFile("exists", "x");
  streamtest::fs::create_directory(dir.Native("dir"));
  const struct {
    const char* name;
    std::uint32_t access, disposition;
    pf::ErrorCode code;
  } rows[] = {
    {"exists", pf::kGenericWrite, pf::kCreateNew, pf::kErrorFileExists},
    {"missing", pf::kGenericRead, pf::kOpenExisting, pf::kErrorFileNotFound},
    {"missing", pf::kGenericWrite, pf::kTruncateExisting, pf::kErrorFileNotFound},
    {"nodir/missing", pf::kGenericRead, pf::kOpenExisting, pf::kErrorPathNotFound},
    {"dir", pf::kGenericRead, pf::kOpenExisting, pf::kErrorAccessDenied},
#if !defined(_WIN32)
    // Truncating needs write access, as Windows documents (Wine lets a
    // reader truncate): a reader must not empty the file.
    {"exists", pf::kGenericRead, pf::kTruncateExisting, pf::kErrorInvalidParameter},
#endif
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name + std::string(" disposition ") + std::to_string(row.disposition));
    EXPECT_EQ(Open(row.name, row.access, row.disposition), pf::kInvalidHandle);
    EXPECT_EQ(pf::LastError(), row.code);
  }
  EXPECT_EQ(ReadAll(dir.Native("exists")), "x");
  // Creating always empties an existing file, as truncating does.
  const pf::FileHandle h = Open("exists", pf::kGenericWrite, pf::kCreateAlways);
  ASSERT_NE(h, pf::kInvalidHandle);
  pf::Os().closeHandle(h);
  EXPECT_EQ(ReadAll(dir.Native("exists")), "");
}

TEST_F(FileCalls, PointerAndSizeInTwoHalves) {
  MakeFile("f", "0123456789");
  const pf::FileHandle h = Open("f", pf::kGenericRead, pf::kOpenExisting);
  ASSERT_NE(h, pf::kInvalidHandle);
  std::int32_t high = 0;
  EXPECT_EQ(pf::Os().setFilePointer(h, 5, &high, pf::kFileBegin), 5u);
  // Without a high word the distance is a signed 32-bit value.
  EXPECT_EQ(pf::Os().setFilePointer(h, -2, nullptr, pf::kFileCurrent), 3u);
  // Landing on -1 fails with 131 and leaves the pointer and the high word.
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
  EXPECT_FALSE(pf::Os().closeHandle(h));
  EXPECT_EQ(pf::LastError(), pf::kErrorInvalidHandle);
  EXPECT_EQ(errno, 4242);
}
#endif

}  // namespace
