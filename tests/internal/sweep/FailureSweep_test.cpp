// Failure sweep: each scenario runs once to count its platform calls, then
// with the Nth call failing (alone, or with every later one) for several codes,
// checking the reported failures, the files and the descriptors. POSIX only:
// descriptors are counted in /proc; the code above the call table is shared.
#if !defined(_WIN32)

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/FindFile.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/Streams.h"
#include "platform/Platform.h"
#include "platform/testing/FaultInjection.h"
#include "support/StreamTestSupport.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)
namespace pf = TalqOSUtils::platform;
namespace stdfs = std::filesystem;
using pf::CallId;

/// Where a scenario's next operation starts in the call trace.
std::size_t Mark() { return pf::TotalCallsSeen(); }

long OpenDescriptors() {
  return std::distance(stdfs::directory_iterator("/proc/self/fd"), stdfs::directory_iterator());
}

using streamtest::ReadAll;
using streamtest::WriteAll;

// Equal bytes; else the sizes and the first offset that differs.
::testing::AssertionResult SameBytes(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  const auto at = std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first;
  return ::testing::AssertionFailure() << got.size() << " bytes where " << want.size()
                                       << " were due, first difference at " << at - got.begin();
}

std::string Payload(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed) % 251);
  return bytes;
}

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
        const long descriptors = OpenDescriptors();
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
        EXPECT_EQ(OpenDescriptors(), descriptors) << "a descriptor leaked";
        check(faults);
      }
    }
  }
}

class FailureSweep : public ::testing::Test {
 protected:
  void TearDown() override { pf::ClearFaults(); }
};

const std::string kData = Payload(3 * 4096, 1);
constexpr std::uint32_t kChunk = 4096;
constexpr std::uint32_t kReadChunk = 700;

// Reads to the end in pieces, bounded against a stream that never ends.
std::string ReadToEnd(ChInputStream& in) {
  std::string data;
  char buf[kReadChunk];
  for (int i = 0; i < 100; ++i) {
    const std::uint32_t got = in.read(buf, kReadChunk);
    data.append(buf, got);
    if (got < kReadChunk || !in.good()) break;
  }
  return data;
}

// Writes kData in chunks with the library, reads it back, closes. Good means
// complete; a failed call of a step (closing aside: the bytes are out by
// then) means that step is not good, with the injected code. A failed
// CREATE_NEW is followed by TRUNCATE_EXISTING, whose own failure (no file) is
// the one recorded; reading a file never made, or a fork whose stream
// cannot be opened (the missing companion is tried), fails alike.
void SweepWriteRead(const char* name, bool fork) {
  const std::string stream = fork ? "doc:AFP_Resource" : "doc";
  Sweep(
      name,
      [=](const Dir& dir) {
        WriteAll(dir.Native("doc"), "data");
        stdfs::remove(dir.Native(stream));
      },
      [=](const Dir& dir) {
        bool outGood = false;
        int outError = 0;
        {
          ChOutputStream out;
          fork ? out.openFork(dir / "doc", true) : out.open(dir / "doc");
          for (std::uint32_t at = 0; at < kData.size(); at += kChunk) {
            out.write(kData.data() + at, kChunk);
          }
          outGood = out.good();
          outError = out.error();
        }
        const std::string disk = ReadAll(dir.Native(stream));
        const bool made = stdfs::exists(dir.Native(stream));
        const std::size_t readFrom = Mark();
        ChInputStream in;
        fork ? in.openFork(dir / "doc", true) : in.open(dir / "doc");
        const std::int64_t size = in.size();
        const std::string data = ReadToEnd(in);
        const bool inGood = in.good();
        const bool eof = in.eof();
        const int inError = in.error();
        in.close();
        const std::string file = ReadAll(dir.Native("doc"));
        return [=](const Faults& run) {
          if (fork) EXPECT_EQ(file, "data") << "the file itself changed";
          EXPECT_EQ(outGood, outError == 0);
          EXPECT_EQ(inGood, inError == 0);
          if (outGood) EXPECT_TRUE(SameBytes(disk, kData)) << "reported written, file incomplete";
          if (inGood) {
            EXPECT_TRUE(SameBytes(data, disk)) << "reported read, data wrong";
            EXPECT_TRUE(eof);
            if (!run.Ambiguous()) EXPECT_EQ(size, static_cast<std::int64_t>(disk.size()));
          }
          if (run.FailedIn(0, readFrom, {CallId::kCloseHandle})) EXPECT_FALSE(outGood);
          if (run.FailedIn(readFrom, SIZE_MAX, {CallId::kCloseHandle})) EXPECT_FALSE(inGood);
          if (!outGood && outError != pf::kErrorFileNotFound) {
            EXPECT_EQ(outError, run.StreamCode());
          }
          if (!inGood && ((made && !fork) || inError != pf::kErrorFileNotFound)) {
            EXPECT_EQ(inError, run.StreamCode());
          }
        };
      });
}

TEST_F(FailureSweep, StreamAndForkWriteThenRead) {
  SweepWriteRead("open, write, close, read back", false);
  SweepWriteRead("fork: write it, read it back", true);
}

// Call 0 opens the missing AFP_Resource stream, which fails anyway.
TEST_F(FailureSweep, ResourceForkFromCompanion) {
  Sweep(
      "fork: read the ._ companion",
      [](const Dir& dir) {
        WriteAll(dir.Native("doc"), "data");
        WriteAll(dir.Native("._doc"), kData);
      },
      [](const Dir& dir) {
        ChInputStream in;
        in.openFork(dir / "doc", true);
        const std::int64_t size = in.size();
        const std::string data = ReadToEnd(in);
        const bool good = in.good();
        const int error = in.error();
        in.close();
        return [=](const Faults& run) {
          EXPECT_EQ(good, error == 0);
          if (good) EXPECT_TRUE(SameBytes(data, kData)) << "reported read, data wrong";
          if (good && !run.Ambiguous()) EXPECT_EQ(size, static_cast<std::int64_t>(kData.size()));
          if (run.FailedIn(1, SIZE_MAX, {CallId::kCloseHandle})) EXPECT_FALSE(good);
          if (!good) EXPECT_EQ(error, run.StreamCode());
        };
      });
}

TEST_F(FailureSweep, SeekPositionPercent) {
  Sweep(
      "seek, getpos, percent, read",
      [](const Dir& dir) { WriteAll(dir.Native("in"), Payload(1000, 3)); },
      [](const Dir& dir) {
        ChInputStream in;
        in.open(dir / "in");
        const std::size_t seekAt = Mark();
        in.seek(500);
        const std::size_t posAt = Mark();
        const std::int64_t pos = in.getpos();
        const std::size_t percentAt = Mark();
        const int percent = in.percent();
        const std::size_t readAt = Mark();
        char buf[10] = {};
        const std::string bytes(buf, in.read(buf, sizeof buf));
        const bool good = in.good();
        const int error = in.error();
        in.close();
        return [=](const Faults& run) {
          EXPECT_EQ(good, error == 0);
          if (good) EXPECT_EQ(bytes, Payload(1000, 3).substr(500, 10));
          const bool openFailed = run.FailedIn(0, seekAt);
          const bool inError = openFailed || run.FailedIn(seekAt, posAt);
          if (!run.Ambiguous()) {
            // A stream in error has position 0; a failed open counts as
            // complete (100); getpos and percent answer from position 0
            // when the OS cannot tell them the position.
            EXPECT_EQ(pos, inError || run.FailedIn(posAt, percentAt) ? 0 : 500);
            EXPECT_EQ(percent, openFailed                                   ? 100
                               : inError || run.FailedIn(percentAt, readAt) ? 0
                                                                            : 50);
          }
          if (inError || run.FailedIn(readAt, SIZE_MAX, {CallId::kCloseHandle})) {
            EXPECT_FALSE(good);
          }
          if (!good) EXPECT_EQ(error, run.StreamCode());
        };
      });
}

using Listed = std::tuple<std::string, std::int64_t, bool>;  // name, size, directory

bool NotDat(const ChFindFileIterator& entry) {
  const std::string name = entry.BaseName(nullptr);
  return name.size() < 4 || name.compare(name.size() - 4, 4, ".dat") != 0;
}

TEST_F(FailureSweep, DirectorySearch) {
  const std::set<Listed> expected = {
      {".", 0, true}, {"..", 0, true}, {"a.txt", 3, false}, {"c.txt", 7, false}, {"sub", 0, true}};
  Sweep(
      "Init, filter, FindFirst/FindNext to the end, copies, EndSearch",
      [](const Dir& dir) {
        WriteAll(dir.Native("a.txt"), "abc");
        WriteAll(dir.Native("b.dat"), "bbbbb");
        WriteAll(dir.Native("c.txt"), "ccccccc");
        stdfs::create_directories(dir.Native("sub"));
      },
      [expected](const Dir& dir) {
        std::string thrown;
        std::vector<ChFindFileIterator> kept;
        std::size_t restartAt = 0;
        bool searchAtEnd = false;
        bool copyAtEnd = false;
        std::uint32_t lastError = 0;
        try {
          ChFindFile search((dir / "").c_str());
          search.SetFilter(&NotDat);
          // A first start, then a restart that closes it.
          search.FindFirst();
          restartAt = Mark();
          ChFindFileIterator it = search.FindFirst();
          // Half way through, a copy of the search carries on.
          ChFindFile copy(search);
          for (int i = 0; it.IsValid() && i < 100; ++i) {
            kept.push_back(it);
            it = (i % 2 == 0 ? copy : search).FindNext();
          }
          searchAtEnd = search.AtEnd();
          copyAtEnd = copy.AtEnd();
          lastError = search.LastError();
          search.EndSearch();
        } catch (const ChFindFileException& e) {
          thrown = e.what();
        }
        // The entries stay readable after the search has gone.
        std::vector<Listed> listed;
        for (const ChFindFileIterator& entry : kept) {
          listed.emplace_back(entry.BaseName(nullptr), entry.Size(), entry.IsDirectory());
        }
        return [=](const Faults& run) {
          if (!thrown.empty()) {
            // Init's existence test is the only call before FindFirst.
            EXPECT_EQ(thrown, "Bad directory specification");
            EXPECT_TRUE(run.FailedIn(0, 1));
            return;
          }
          std::set<Listed> seen;
          for (const Listed& entry : listed) {
            SCOPED_TRACE(std::get<0>(entry));
            EXPECT_EQ(expected.count(entry), 1u) << "an entry not in the folder, or wrong";
            EXPECT_TRUE(seen.insert(entry).second) << "listed twice";
          }
          // A failed FindFirstFile or FindNextFile ends the listing early, as
          // a real end would, and LastError says why; what fails before the
          // restart is forgotten with it.
          const bool stopped = run.FailedIn(restartAt, SIZE_MAX, {CallId::kFindClose});
          EXPECT_EQ(lastError, !stopped ? 0 : run.code != 0 ? run.code : 0x80000000u);
          if (!stopped) {
            EXPECT_EQ(seen, expected);
            EXPECT_TRUE(searchAtEnd);
            EXPECT_TRUE(copyAtEnd);
          }
        };
      });
}

TEST_F(FailureSweep, FileQueriesAndApplicationDirectory) {
  const std::string app =
      OSPathGeneric(stdfs::read_symlink("/proc/self/exe").parent_path().u8string()) + "/";
  Sweep(
      "OSFileExists, OSDirectoryExists, OSDeleteFile, OSMakeDirectory, OSApplicationDirectory",
      [](const Dir& dir) {
        WriteAll(dir.Native("file"), "x");
        WriteAll(dir.Native("victim"), "x");
        stdfs::remove_all(dir.Native("m"));
      },
      [app](const Dir& dir) {
        const bool file = OSFileExists((dir / "file").c_str());
        const bool directory = OSDirectoryExists(dir.Generic().c_str());
        bool isDirectory = true;
        const bool missing = OSFileExists((dir / "missing").c_str(), &isDirectory);
        const std::size_t deleteAt = Mark();
        errno = EINVAL;
        const bool deleted = OSDeleteFile((dir / "victim").c_str());
        const int error = errno;
        const bool gone = !stdfs::exists(dir.Native("victim"));
        const std::size_t makeAt = Mark();
        const bool made = OSMakeDirectory((dir / "m/a/b/c").c_str());
        const bool there = stdfs::is_directory(dir.Native("m/a/b/c"));
        const std::size_t appAt = Mark();
        const std::string appDir = OSApplicationDirectory();
        return [=](const Faults& run) {
          // "/" is the documented answer when the OS cannot say.
          EXPECT_EQ(appDir, run.FailedIn(appAt, SIZE_MAX) ? "/" : app);
          // One query, one call; a failed query is "not found".
          EXPECT_EQ(file, !run.FailedIn(0, 1));
          EXPECT_EQ(directory, !run.FailedIn(1, 2));
          EXPECT_FALSE(missing);
          EXPECT_FALSE(isDirectory);
          EXPECT_EQ(deleted, gone) << "the answer disagrees with the disk";
          EXPECT_EQ(deleted, !run.FailedIn(deleteAt, makeAt));
          EXPECT_EQ(error, 0);
          EXPECT_EQ(made, there) << "the answer disagrees with the disk";
          if (!run.FailedIn(makeAt, appAt)) EXPECT_TRUE(made);
          // Without the directory call the chain cannot be made.
          if (run.FailedIn(makeAt, appAt, {CallId::kGetFileAttributes})) EXPECT_FALSE(made);
        };
      });
}

TEST_F(FailureSweep, ShortcutsAndResources) {
  const std::string name = "talq-sweep-resource-4f1c";
  Sweep(
      "ResolveAliasOrLink of a .lnk, a plain file, a name with .lnk beside it; "
      "OSFindResourcePath directly and through a .lnk",
      [name](const Dir& dir) {
        OSSetSharedResourceDirectory(dir.Generic());
        WriteAll(dir.Native("target.txt"), "t");
        WriteAll(dir.Native(name + ".txt"), "r");
        for (const char* link : {"link.lnk", "other.lnk"}) {
          talqtest::MakeShortcut(dir / link, dir / "target.txt");
        }
        talqtest::MakeShortcut(dir / (name + "-linked.lnk"), dir / "target.txt");
      },
      [name](const Dir& dir) {
        struct Answer {
          std::string got, unchanged, expected;
          std::size_t from, to;
        };
        std::vector<Answer> answers;
        std::size_t from = Mark();
        const auto note = [&](const std::string& got, const std::string& unchanged,
                              const std::string& expected) {
          answers.push_back({got, unchanged, expected, from, Mark()});
          from = Mark();
        };
        const std::string target = talqtest::Resolved(dir / "target.txt");
        const std::string plain = dir / (name + ".txt");
        note(ResolveAliasOrLink(dir / "link.lnk"), dir / "link.lnk", target);
        note(ResolveAliasOrLink(plain), plain, plain);
        note(ResolveAliasOrLink(dir / "other"), dir / "other", target);
        note(OSFindResourcePath(name + ".txt"), "", plain);
        note(OSFindResourcePath(name + "-linked"), "", target);
        return [=](const Faults& run) {
          // A shortcut or resource that cannot be read or found is taken for
          // none: the path comes back unchanged, or "" for a resource.
          for (const Answer& a : answers) {
            SCOPED_TRACE(a.expected);
            if (run.FailedIn(a.from, a.to) && a.got == a.unchanged) continue;
            EXPECT_EQ(a.got, a.expected);
          }
        };
      });
  OSSetSharedResourceDirectory("");
}

}  // namespace

#endif  // !_WIN32
