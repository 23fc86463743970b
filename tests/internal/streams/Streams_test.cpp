// What the failure sweep cannot make happen (short writes, a seek failing at
// its failure value, handle counts) and the file calls of the backends.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <string>
#include <tuple>

#include "TalqOSUtils/Streams.h"
#include "TalqOSUtils/UnicodeString.h"
#include "platform/Platform.h"
#include "platform/testing/FaultInjection.h"
#include "support/StreamTestSupport.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)
namespace pf = TalqOSUtils::platform;
using streamtest::ReadAll;

class StreamFaults : public ::testing::Test {
 protected:
  void TearDown() override { pf::ClearFaults(); }
  streamtest::TempDir dir;
};

TEST_F(StreamFaults, ShortWriteAndSeekReturningTheFailureValueFail) {
  for (const auto& [os, recorded] :
       {std::pair<pf::ErrorCode, int>{pf::kErrorDiskFull, 112}, {0, INT_MIN}}) {
    SCOPED_TRACE(os);
    ChOutputStream out;
    out.open(dir / "o");
    out.write("ok");
    pf::ArmShortWrite(1, 3, os);
    out.write("0123456789", 10);
    EXPECT_EQ(out.error(), recorded);
    out.write("more");
    EXPECT_EQ(pf::CallsSeen(pf::CallId::kWriteFile), 1u) << "a write ran after the failure";
    pf::ClearFaults();
    out.close();
    EXPECT_EQ(ReadAll(dir.Native("o")), "ok012");
  }
  // 0xFFFFFFFF is also a position: the last error tells them apart.
  ChInputStream in;
  in.open(dir.Write("f", "abc"));
  pf::ScopedFault fault(pf::CallId::kSetFilePointer, 1, pf::kErrorInvalidParameter);
  in.seek(0xFFFFFFFFLL);
  EXPECT_EQ(in.error(), 87);
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

TEST_F(FileCalls, OpenFailuresSpeakWin32) {
  dir.Write("exists", "x");
  streamtest::fs::create_directory(dir.Native("dir"));
  const std::tuple<const char*, std::uint32_t, std::uint32_t, pf::ErrorCode> rows[] = {
    {"exists", pf::kGenericWrite, pf::kCreateNew, pf::kErrorFileExists},
    {"missing", pf::kGenericWrite, pf::kTruncateExisting, pf::kErrorFileNotFound},
    {"nodir/missing", pf::kGenericRead, pf::kOpenExisting, pf::kErrorPathNotFound},
    {"dir", pf::kGenericRead, pf::kOpenExisting, pf::kErrorAccessDenied},
#if !defined(_WIN32)
    // Truncating needs write access, as Windows documents (Wine lets a
    // reader truncate): a reader must not empty the file.
    {"exists", pf::kGenericRead, pf::kTruncateExisting, pf::kErrorInvalidParameter},
#endif
  };
  for (const auto& [name, access, disposition, code] : rows) {
    SCOPED_TRACE(name + std::string(" disposition ") + std::to_string(disposition));
    EXPECT_EQ(Open(name, access, disposition), pf::kInvalidHandle);
    EXPECT_EQ(pf::LastError(), code);
  }
  // Creating always empties an existing file, as truncating does.
  pf::Os().closeHandle(Open("exists", pf::kGenericWrite, pf::kCreateAlways));
  EXPECT_EQ(ReadAll(dir.Native("exists")), "");
}

TEST_F(FileCalls, PointerSizeAndCloseLeaveErrnoAlone) {
  dir.Write("f", "0123456789");
  errno = 4242;
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
  EXPECT_EQ(high, -1);
  EXPECT_EQ(pf::Os().setFilePointer(h, -1, nullptr, pf::kFileEnd), 9u);
  std::uint32_t sizeHigh = 7;
  EXPECT_EQ(pf::Os().getFileSize(h, &sizeHigh), 10u);
  EXPECT_EQ(sizeHigh, 0u);
  EXPECT_TRUE(pf::Os().closeHandle(h));
  EXPECT_FALSE(pf::Os().closeHandle(h));
  EXPECT_EQ(pf::LastError(), pf::kErrorInvalidHandle);
  EXPECT_EQ(errno, 4242);
}

}  // namespace
