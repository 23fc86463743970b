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

TEST_F(FailureSweep, StreamsWriteAndRead) {
  SweepWrite("write a file", "doc");
  SweepWrite("write a fork", "doc:AFP_Resource");
  SweepRead("read a file", "doc");
  SweepRead("read a fork", "doc:AFP_Resource");
  SweepRead("read a fork from its companion", "._doc");
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
        dir.Write("a.txt", "abc");
        dir.Write("b.dat", "bbbbb");
        dir.Write("c.txt", "ccccccc");
        stdfs::create_directories(dir.Native("sub"));
      },
      [expected](const Dir& dir) {
        std::string thrown;
        std::vector<ChFindFileIterator> kept;
        std::size_t restartAt = 0;
        bool searchAtEnd = false, copyAtEnd = false;
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
          const std::set<Listed> seen(listed.begin(), listed.end());
          EXPECT_EQ(seen.size(), listed.size()) << "an entry listed twice";
          EXPECT_TRUE(std::includes(expected.begin(), expected.end(), seen.begin(), seen.end()))
              << "an entry not in the folder, or wrong";
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
        dir.Write("file");
        dir.Write("victim");
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
        dir.Write("target.txt", "t");
        dir.Write(name + ".txt", "r");
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
