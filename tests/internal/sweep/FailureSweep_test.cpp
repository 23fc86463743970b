// Failure sweep: each scenario runs once to count its platform calls, then
// with the Nth call failing (alone, or with every later one) for several codes,
// checking the reported failures, the files and the descriptors. POSIX only:
// descriptors are counted in /proc; the code above the call table is shared.
#if !defined(_WIN32)

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "TalqOSUtils/Streams.h"
#include "platform/Platform.h"
#include "platform/testing/FaultInjection.h"
#include "support/FsTestSupport.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)
namespace pf = TalqOSUtils::platform;
namespace stdfs = std::filesystem;
using pf::CallId;

/// Where a scenario's next operation starts in the call trace.
std::size_t Mark() { return pf::TotalCallsSeen(); }

using talqtest::ReadAll;

struct Faults {
  pf::ErrorCode code = 0;
  /// (index in the trace, call) of each call made to fail.
  std::vector<std::pair<std::size_t, CallId>> failed;

  /// GetFileSize and SetFilePointer "failing" with code 0 return a real
  /// 0xFFFFFFFF, which no caller can tell apart.
  bool Real(CallId id) const {
    return code != 0 || (id != CallId::kGetFileSize && id != CallId::kSetFilePointer);
  }
  /// True when a call in [from, to) failed, other than those in `except`.
  bool FailedIn(std::size_t from, std::size_t to, std::initializer_list<CallId> except = {}) const {
    return std::any_of(failed.begin(), failed.end(), [&](const auto& f) {
      return f.first >= from && f.first < to && Real(f.second) &&
             std::find(except.begin(), except.end(), f.second) == except.end();
    });
  }
  bool Ambiguous() const {
    return std::any_of(failed.begin(), failed.end(),
                       [&](const auto& f) { return !Real(f.second); });
  }
  /// What a stream records for the injected code.
  int StreamCode() const { return code == 0 ? INT_MIN : static_cast<int>(code); }
};

using Check = std::function<void(const Faults&)>;
using Dir = talqtest::TempDir;

/// prepare sets the folder up without the library; run makes the library
/// calls and returns the checks to apply once the failures are known.
void Sweep(const char* name, const std::function<void(const Dir&)>& prepare,
           const std::function<Check(const Dir&)>& run) {
  SCOPED_TRACE(name);
  Dir dir;
  prepare(dir);
  pf::CountCalls();
  Check check = run(dir);
  const std::size_t total = pf::TotalCallsSeen();
  pf::ClearFaults();
  {
    SCOPED_TRACE("without failures");
    check(Faults{});
  }
  ASSERT_GT(total, 0u) << "the scenario makes no platform call";

  for (const pf::ErrorCode code : std::initializer_list<pf::ErrorCode>{
           pf::kErrorAccessDenied, pf::kErrorSharingViolation, pf::kErrorDiskFull, 0}) {
    for (const pf::FaultMode mode : {pf::FaultMode::kNthOnly, pf::FaultMode::kFromNthOn}) {
      const bool once = mode == pf::FaultMode::kNthOnly;
      for (unsigned nth = 1; nth <= total; ++nth) {
        prepare(dir);
        const long descriptors = talqtest::OpenDescriptors();
        pf::ArmAnyFault(nth, code, mode);
        check = run(dir);
        const std::vector<CallId> trace = pf::CallTrace();
        pf::ClearFaults();
        Faults faults{code, {}};
        for (std::size_t i = nth - 1; i < trace.size() && (!once || i == nth - 1); ++i) {
          faults.failed.emplace_back(i, trace[i]);
        }
        ASSERT_FALSE(faults.failed.empty()) << "call " << nth << " never made";
        SCOPED_TRACE(::testing::Message()
                     << "call " << nth << " of " << total << " ("
                     << pf::CallName(faults.failed[0].second) << ") fails with " << code
                     << (once ? ", that call only" : ", and all after"));
        EXPECT_EQ(talqtest::OpenDescriptors(), descriptors) << "a descriptor leaked";
        check(faults);
      }
    }
  }
}

class FailureSweep : public ::testing::Test {
 protected:
  void TearDown() override { pf::ClearFaults(); }
};

const std::string kData = [] {
  std::string bytes(3 * 4096, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 251);
  return bytes;
}();
constexpr std::int64_t kHalf = 3 * 4096 / 2;

// Writes kData in chunks to a new file or a new fork of "doc". Good means
// complete; a failed call (closing aside: the bytes are out by then) means
// not good, with the injected code. A failed CREATE_NEW is followed by
// TRUNCATE_EXISTING, whose own failure (no file) is the one recorded.
void SweepWrite(const char* name, const std::string& stream) {
  Sweep(
      name,
      [=](const Dir& dir) {
        dir.Write("doc", "data");
        stdfs::remove(dir.Native(stream));
      },
      [=](const Dir& dir) {
        bool good = false;
        int error = 0;
        {
          ChOutputStream out;
          out.openFork(dir / "doc", stream != "doc");
          for (std::size_t at = 0; at < kData.size(); at += 4096) out.write(&kData[at], 4096);
          good = out.good();
          error = out.error();
        }
        const std::string disk = ReadAll(dir.Native(stream)), file = ReadAll(dir.Native("doc"));
        return [=](const Faults& run) {
          if (stream != "doc") EXPECT_EQ(file, "data") << "the file itself changed";
          EXPECT_EQ(good, error == 0);
          if (good) EXPECT_TRUE(disk == kData) << "reported written, " << disk.size() << " bytes";
          if (run.FailedIn(0, SIZE_MAX, {CallId::kCloseHandle})) EXPECT_FALSE(good);
          if (!good && error != pf::kErrorFileNotFound) EXPECT_EQ(error, run.StreamCode());
        };
      });
}

// Opens kData as `stream` of "doc" (the file, its fork, or the "._" companion
// read when there is no fork), seeks to the middle, asks the position and
// the percentage, reads to the end in pieces.
void SweepRead(const char* name, const std::string& stream) {
  Sweep(
      name,
      [=](const Dir& dir) {
        dir.Write("doc", "data");
        dir.Write(stream, kData);
      },
      [=](const Dir& dir) {
        ChInputStream in;
        in.openFork(dir / "doc", stream != "doc");
        const std::int64_t size = in.size();
        const std::size_t seekAt = Mark();
        in.seek(kHalf);
        const std::size_t posAt = Mark();
        const std::int64_t pos = in.getpos();
        const std::size_t percentAt = Mark();
        const int percent = in.percent();
        const std::size_t readAt = Mark();
        std::string data;
        char buf[700];
        for (int i = 0; i < 100 && in.good(); ++i) {
          const std::uint32_t got = in.read(buf, sizeof buf);
          data.append(buf, got);
          if (got < sizeof buf) break;
        }
        const bool good = in.good(), eof = in.eof();
        const int error = in.error();
        in.close();
        return [=](const Faults& run) {
          // The companion is opened after the missing fork, whose failure is no news.
          const bool companion = stream == "._doc";
          const bool openFailed = run.FailedIn(companion ? 1 : 0, seekAt);
          const bool inError = openFailed || run.FailedIn(seekAt, posAt);
          EXPECT_EQ(good, error == 0);
          if (!run.Ambiguous()) {
            if (!openFailed) EXPECT_EQ(size, static_cast<std::int64_t>(kData.size()));
            // A stream in error has position 0; a failed open counts as
            // complete (100); getpos and percent answer from position 0
            // when the OS cannot tell them the position.
            EXPECT_EQ(pos, inError || run.FailedIn(posAt, percentAt) ? 0 : kHalf);
            EXPECT_EQ(percent, openFailed                                   ? 100
                               : inError || run.FailedIn(percentAt, readAt) ? 0
                                                                            : 50);
          }
          if (good) {
            EXPECT_TRUE(data == kData.substr(kHalf)) << data.size() << " bytes read";
            EXPECT_TRUE(eof);
          }
          if (inError || run.FailedIn(readAt, SIZE_MAX, {CallId::kCloseHandle})) {
            EXPECT_FALSE(good);
          }
          // A failed fork open tries the companion, which is not there.
          if (!good && (stream == "doc" || companion || error != pf::kErrorFileNotFound)) {
            EXPECT_EQ(error, run.StreamCode());
          }
        };
      });
}

// Copies kData over an existing file, to a new one, and to the fork of a
// file that is not there. Success means the whole copy in place; a failure
// gives the injected code (or says there was none) and leaves the target as
// it was, and no file for the fork unless the OS refused to take it back.
void SweepCopy(const char* name, const char* target, bool fork) {
  Sweep(
      name,
      [=](const Dir& dir) {
        dir.Write("src", "data");
        dir.Write("src:AFP_Resource", kData);
        dir.Write("src.bin", kData);
        stdfs::remove(dir.Native(target));
        stdfs::remove(dir.Native(std::string(target) + ":AFP_Resource"));
        if (std::string(target) == "old") dir.Write("old", "old");
      },
      [=](const Dir& dir) {
        const std::uint32_t code = OSCopyFile((dir / (fork ? "src" : "src.bin")).c_str(),
                                              (dir / target).c_str(), fork, nullptr, nullptr);
        const std::string copied =
            ReadAll(dir.Native(fork ? std::string(target) + ":AFP_Resource" : target));
        const bool made = stdfs::exists(dir.Native(target));
        return [=](const Faults& run) {
          if (code == 0) {
            EXPECT_TRUE(copied == kData) << copied.size() << " bytes";
            return;
          }
          if (run.FailedIn(0, SIZE_MAX, {CallId::kGetFileAttributes})) {
            EXPECT_EQ(code, run.code == 0 ? 0x80000000u : run.code);
          }
          if (std::string(target) == "old") {
            EXPECT_EQ(copied, "old");
          } else if (!run.FailedIn(0, SIZE_MAX, {CallId::kCopyFile})) {
            EXPECT_FALSE(made) << "a failed copy left " << target;
          }
        };
      });
}

TEST_F(FailureSweep, Copies) {
  SweepCopy("copy over a file", "old", false);
  SweepCopy("copy to a new file", "new", false);
  SweepCopy("copy a fork", "made", true);
}

TEST_F(FailureSweep, StreamsWriteAndRead) {
  SweepWrite("write a file", "doc");
  SweepWrite("write a fork", "doc:AFP_Resource");
  SweepRead("read a file", "doc");
  SweepRead("read a fork", "doc:AFP_Resource");
  SweepRead("read a fork from its companion", "._doc");
}

}  // namespace

#endif  // !_WIN32
