// Failure sweep: every stream, directory-search and file-system scenario runs
// once to count its platform calls, then once per call N with the Nth call
// failing and once with every call from the Nth on failing, for several Win32
// codes. Each run checks that failures are reported as the interface
// defines, that nothing passes for success when a call it needs failed, that
// a written file is complete or reported failed, and that no descriptor
// leaks (LeakSanitizer covers memory in the asan build).
//
// POSIX only: descriptors are counted in /proc, and the code above the call
// table is the same on both builds.
#if !defined(_WIN32)

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/FindFile.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/Streams.h"
#include "platform/Platform.h"
#include "platform/testing/FaultInjection.h"
#include "support/FsTestSupport.h"
#include "support/LnkWriter.h"

namespace {

using namespace TalqOSUtils;  // NOLINT(google-build-using-namespace)
namespace pf = TalqOSUtils::platform;
namespace stdfs = std::filesystem;
using pf::CallId;

// ---------------------------------------------------------------------------
// A tracing table in front of the fault hook's: which call came when, so a
// check knows which call the armed fault hit.

std::vector<CallId> gTrace;
const pf::Calls* gInner = nullptr;

template <CallId Id>
struct MemberOf;
#define TALQ_OS_CALL(member, id, result, params, failure) \
  template <>                                             \
  struct MemberOf<CallId::k##id> {                        \
    static constexpr auto kMember = &pf::Calls::member;   \
  };
#include "platform/Calls.def"
#undef TALQ_OS_CALL

template <CallId Id, typename Signature>
struct Tracer;
template <CallId Id, typename R, typename... Args>
struct Tracer<Id, R (*)(Args...)> {
  static R Call(Args... args) {
    gTrace.push_back(Id);
    return (gInner->*MemberOf<Id>::kMember)(args...);
  }
};

const pf::Calls& TracingCalls() {
  static const pf::Calls table = [] {
    pf::Calls t;
#define TALQ_OS_CALL(member, id, result, params, failure) \
  t.member = &Tracer<CallId::k##id, decltype(t.member)>::Call;
#include "platform/Calls.def"
#undef TALQ_OS_CALL
    return t;
  }();
  return table;
}

const char* CallName(CallId id) {
  static const char* const kNames[] = {
#define TALQ_OS_CALL(member, id, result, params, failure) #id,
#include "platform/Calls.def"
#undef TALQ_OS_CALL
  };
  return kNames[static_cast<int>(id)];
}

/// Puts the tracer in front of the table in use (the fault hook's).
void StartTrace() {
  gInner = &pf::Os();
  gTrace.clear();
  pf::InstallCalls(&TracingCalls());
}

/// Marks the next call's index in the trace: a scenario notes where each of
/// its operations starts.
std::size_t Mark() { return gTrace.size(); }

int OpenDescriptors() {
  int n = 0;
  for (auto it = stdfs::directory_iterator("/proc/self/fd"); it != stdfs::directory_iterator();
       ++it) {
    ++n;
  }
  return n;
}

std::string ReadAll(const stdfs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const stdfs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Equal bytes; else the sizes and the first offset that differs, not the
// bytes themselves.
::testing::AssertionResult SameBytes(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  return ::testing::AssertionFailure()
         << got.size() << " bytes where " << want.size() << " were due, first difference at " << at;
}

std::string Payload(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed) % 251);
  return bytes;
}

// ---------------------------------------------------------------------------
// One run's failures.

struct Faults {
  pf::ErrorCode code = 0;
  /// (index in the trace, call) of every call the hook made fail.
  std::vector<std::pair<std::size_t, CallId>> failed;

  /// By Win32's contract GetFileSize and SetFilePointer return 0xFFFFFFFF
  /// with last error 0 for a real size or position of that value: with code
  /// 0 their "failure" is such a success, which no caller can tell apart.
  bool Real(CallId id) const {
    return code != 0 || (id != CallId::kGetFileSize && id != CallId::kSetFilePointer);
  }
  /// True when a call in [from, to) failed, other than those in `except`.
  bool FailedIn(std::size_t from, std::size_t to, std::initializer_list<CallId> except = {}) const {
    for (const auto& f : failed) {
      if (f.first < from || f.first >= to || !Real(f.second)) continue;
      bool excepted = false;
      for (CallId e : except) excepted = excepted || e == f.second;
      if (!excepted) return true;
    }
    return false;
  }
  bool FailedAny(std::initializer_list<CallId> except = {}) const {
    return FailedIn(0, static_cast<std::size_t>(-1), except);
  }
  bool Ambiguous() const {
    for (const auto& f : failed) {
      if (!Real(f.second)) return true;
    }
    return false;
  }
  /// What a stream records for the injected code.
  int StreamCode() const { return code == 0 ? INT_MIN : static_cast<int>(code); }
};

using Check = std::function<void(const Faults&)>;

/// A scenario: prepare puts the folder in its starting state without the
/// library; run makes the library calls (all of them, destructors included)
/// and returns the checks to apply once the run's failures are known.
struct Scenario {
  const char* name;
  std::function<void(const talqtest::TempDir&)> prepare;
  std::function<Check(const talqtest::TempDir&)> run;
};

const pf::ErrorCode kCodes[] = {pf::kErrorAccessDenied, pf::kErrorSharingViolation,
                                pf::kErrorDiskFull, 0};

void Sweep(const Scenario& scenario) {
  SCOPED_TRACE(scenario.name);
  talqtest::TempDir dir;

  scenario.prepare(dir);
  pf::CountCalls();
  StartTrace();
  Check check = scenario.run(dir);
  const std::size_t total = pf::TotalCallsSeen();
  ASSERT_EQ(total, gTrace.size());
  pf::ClearFaults();
  {
    SCOPED_TRACE("without failures");
    check(Faults{});
  }
  ASSERT_GT(total, 0u) << "the scenario makes no platform call";
  ::testing::Test::RecordProperty("platform_calls", static_cast<int>(total));

  for (const pf::ErrorCode code : kCodes) {
    for (const pf::FaultMode mode : {pf::FaultMode::kNthOnly, pf::FaultMode::kFromNthOn}) {
      for (unsigned nth = 1; nth <= total; ++nth) {
        scenario.prepare(dir);
        const int descriptors = OpenDescriptors();
        pf::ArmAnyFault(nth, code, mode);
        StartTrace();
        check = scenario.run(dir);
        const std::vector<CallId> trace = gTrace;
        pf::ClearFaults();

        Faults run;
        run.code = code;
        for (std::size_t i = nth - 1; i < trace.size(); ++i) {
          run.failed.emplace_back(i, trace[i]);
          if (mode == pf::FaultMode::kNthOnly) break;
        }
        SCOPED_TRACE(::testing::Message()
                     << "call " << nth << " of " << total << " ("
                     << (run.failed.empty() ? "never made" : CallName(run.failed[0].second))
                     << ") fails with " << code
                     << (mode == pf::FaultMode::kNthOnly ? ", that call only" : ", and all after"));
        // The first nth-1 calls are those of the counting run, so the nth
        // is always made.
        EXPECT_FALSE(run.failed.empty());
        EXPECT_EQ(OpenDescriptors(), descriptors) << "a descriptor leaked";
        check(run);
      }
    }
  }
}

class FailureSweep : public ::testing::Test {
 protected:
  void TearDown() override { pf::ClearFaults(); }
};

// ---------------------------------------------------------------------------
// Streams

const std::string kData = Payload(3 * 4096, 1);
constexpr std::uint32_t kChunk = 4096;
constexpr std::uint32_t kReadChunk = 700;

// Reads to the end in kReadChunk pieces (bounded, so a stream that never
// reports its end cannot hang the sweep).
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

TEST_F(FailureSweep, StreamWrite) {
  Sweep({"open, write, close",
         [](const talqtest::TempDir& dir) {
           std::error_code ignored;
           stdfs::remove(dir.Native("out"), ignored);
         },
         [](const talqtest::TempDir& dir) {
           bool good = false;
           int error = 0;
           {
             ChOutputStream out;
             out.open(dir / "out");
             for (std::uint32_t at = 0; at < kData.size(); at += kChunk) {
               out.write(kData.data() + at, kChunk);
             }
             good = out.good();
             error = out.error();
           }
           const std::string disk = ReadAll(dir.Native("out"));
           return [=](const Faults& run) {
             EXPECT_EQ(good, error == 0);
             if (good) EXPECT_TRUE(SameBytes(disk, kData)) << "reported written, file incomplete";
             // Closing is unreported by design: the bytes are written by then.
             if (run.FailedAny({CallId::kCloseHandle})) EXPECT_FALSE(good);
             // A failed CREATE_NEW is followed by TRUNCATE_EXISTING, whose own
             // failure (no file) is the one recorded.
             if (!good)
               EXPECT_TRUE(error == run.StreamCode() || error == pf::kErrorFileNotFound)
                   << "error " << error;
           };
         }});
}

TEST_F(FailureSweep, StreamRead) {
  Sweep({"open, read to the end, close",
         [](const talqtest::TempDir& dir) { WriteAll(dir.Native("in"), kData); },
         [](const talqtest::TempDir& dir) {
           ChInputStream in;
           in.open(dir / "in");
           const std::int64_t size = in.size();
           const std::string data = ReadToEnd(in);
           const bool good = in.good();
           const bool eof = in.eof();
           const int error = in.error();
           in.close();
           return [=](const Faults& run) {
             EXPECT_EQ(good, error == 0);
             if (good) {
               EXPECT_TRUE(SameBytes(data, kData)) << "reported read, data wrong";
               EXPECT_TRUE(eof);
               if (!run.Ambiguous()) EXPECT_EQ(size, static_cast<std::int64_t>(kData.size()));
             }
             if (run.FailedAny({CallId::kCloseHandle})) EXPECT_FALSE(good);
             if (!good) EXPECT_EQ(error, run.StreamCode());
           };
         }});
}

TEST_F(FailureSweep, ResourceForkWriteThenRead) {
  Sweep({"fork: write it, read it back",
         [](const talqtest::TempDir& dir) {
           WriteAll(dir.Native("doc"), "data");
           std::error_code ignored;
           stdfs::remove(dir.Native("doc:AFP_Resource"), ignored);
         },
         [](const talqtest::TempDir& dir) {
           bool outGood = false;
           {
             ChOutputStream out;
             out.openFork(dir / "doc", true);
             out.write(kData.data(), static_cast<std::uint32_t>(kData.size()));
             outGood = out.good();
           }
           const std::size_t readFrom = Mark();
           ChInputStream in;
           in.openFork(dir / "doc", true);
           const std::string data = ReadToEnd(in);
           const bool inGood = in.good();
           const int inError = in.error();
           in.close();
           const std::string fork = ReadAll(dir.Native("doc:AFP_Resource"));
           const std::string file = ReadAll(dir.Native("doc"));
           return [=](const Faults& run) {
             EXPECT_EQ(file, "data") << "the file itself changed";
             if (outGood)
               EXPECT_TRUE(SameBytes(fork, kData)) << "fork reported written, incomplete";
             if (inGood) EXPECT_TRUE(SameBytes(data, fork)) << "fork reported read, data wrong";
             if (run.FailedIn(0, readFrom, {CallId::kCloseHandle})) EXPECT_FALSE(outGood);
             if (run.FailedIn(readFrom, SIZE_MAX, {CallId::kCloseHandle})) EXPECT_FALSE(inGood);
             // Without the stream the companion is tried, and is missing.
             if (!inGood)
               EXPECT_TRUE(inError == run.StreamCode() || inError == pf::kErrorFileNotFound)
                   << "error " << inError;
           };
         }});
}

TEST_F(FailureSweep, ResourceForkFromCompanion) {
  Sweep({"fork: read the ._ companion",
         [](const talqtest::TempDir& dir) {
           WriteAll(dir.Native("doc"), "data");
           WriteAll(dir.Native("._doc"), kData);
         },
         [](const talqtest::TempDir& dir) {
           ChInputStream in;
           in.openFork(dir / "doc", true);
           const std::int64_t size = in.size();
           const std::string data = ReadToEnd(in);
           const bool good = in.good();
           const int error = in.error();
           in.close();
           return [=](const Faults& run) {
             EXPECT_EQ(good, error == 0);
             if (good) {
               EXPECT_TRUE(SameBytes(data, kData));
               if (!run.Ambiguous()) EXPECT_EQ(size, static_cast<std::int64_t>(kData.size()));
             }
             // Call 0 opens the missing AFP_Resource stream, which fails anyway.
             if (run.FailedIn(1, SIZE_MAX, {CallId::kCloseHandle})) EXPECT_FALSE(good);
             if (!good) EXPECT_EQ(error, run.StreamCode());
           };
         }});
}

TEST_F(FailureSweep, SeekPositionPercent) {
  Sweep({"seek, getpos, percent, read",
         [](const talqtest::TempDir& dir) { WriteAll(dir.Native("in"), Payload(1000, 3)); },
         [](const talqtest::TempDir& dir) {
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
           const std::uint32_t got = in.read(buf, sizeof buf);
           const bool good = in.good();
           const int error = in.error();
           in.close();
           const std::string bytes(buf, got);
           return [=](const Faults& run) {
             EXPECT_EQ(good, error == 0);
             if (good) EXPECT_EQ(bytes, Payload(1000, 3).substr(500, 10));
             const bool openFailed = run.FailedIn(0, seekAt);
             const bool seekFailed = run.FailedIn(seekAt, posAt);
             if (!run.Ambiguous()) {
               // A stream in error has position 0; a failed open counts as
               // complete (100); getpos and percent answer from position 0
               // when the OS cannot tell them the position.
               const bool inError = openFailed || seekFailed;
               EXPECT_EQ(pos, inError || run.FailedIn(posAt, percentAt) ? 0 : 500);
               EXPECT_EQ(percent, openFailed                                      ? 100
                                  : seekFailed || run.FailedIn(percentAt, readAt) ? 0
                                                                                  : 50);
             }
             if (openFailed || seekFailed ||
                 run.FailedIn(readAt, SIZE_MAX, {CallId::kCloseHandle})) {
               EXPECT_FALSE(good);
             }
             if (!good) EXPECT_EQ(error, run.StreamCode());
           };
         }});
}

// A short write is a failure, with the OS's code or 0x80000000, and the
// file holds exactly what was written before it.
TEST_F(FailureSweep, ShortWrites) {
  talqtest::TempDir dir;
  for (unsigned nth = 1; nth <= 3; ++nth) {
    for (const std::uint32_t keep : {0u, 100u}) {
      for (const pf::ErrorCode code : {pf::ErrorCode{pf::kErrorDiskFull}, pf::ErrorCode{0}}) {
        SCOPED_TRACE(::testing::Message()
                     << "write " << nth << " keeps " << keep << ", code " << code);
        const int descriptors = OpenDescriptors();
        int error = 0;
        {
          ChOutputStream out;
          out.open(dir / "short");
          pf::ArmShortWrite(nth, keep, code);
          for (std::uint32_t at = 0; at < kData.size(); at += kChunk) {
            out.write(kData.data() + at, kChunk);
          }
          pf::ClearFaults();
          error = out.error();
        }
        EXPECT_EQ(error, code == 0 ? INT_MIN : static_cast<int>(code));
        EXPECT_TRUE(
            SameBytes(ReadAll(dir.Native("short")), kData.substr(0, (nth - 1) * kChunk + keep)));
        EXPECT_EQ(OpenDescriptors(), descriptors);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Directory search

struct Listed {
  std::string name;
  std::int64_t size;
  bool directory;
  bool operator<(const Listed& o) const { return name < o.name; }
  bool operator==(const Listed& o) const {
    return name == o.name && size == o.size && directory == o.directory;
  }
};

bool NotDat(const ChFindFileIterator& entry) {
  const std::string name = entry.BaseName(nullptr);
  return name.size() < 4 || name.compare(name.size() - 4, 4, ".dat") != 0;
}

TEST_F(FailureSweep, DirectorySearch) {
  const std::set<Listed> expected = {
      {".", 0, true}, {"..", 0, true}, {"a.txt", 3, false}, {"c.txt", 7, false}, {"sub", 0, true}};
  Sweep({"Init, filter, FindFirst/FindNext to the end, copies, EndSearch",
         [](const talqtest::TempDir& dir) {
           WriteAll(dir.Native("a.txt"), "abc");
           WriteAll(dir.Native("b.dat"), "bbbbb");
           WriteAll(dir.Native("c.txt"), "ccccccc");
           stdfs::create_directories(dir.Native("sub"));
         },
         [expected](const talqtest::TempDir& dir) {
           std::string thrown;
           std::vector<ChFindFileIterator> kept;
           std::size_t restartAt = 0;
           bool atEnd = false;
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
             atEnd = search.AtEnd() && copy.AtEnd();
             search.EndSearch();
           } catch (const ChFindFileException& e) {
             thrown = e.what();
           }
           // The entries stay readable after the search has gone.
           std::vector<Listed> listed;
           for (const ChFindFileIterator& entry : kept) {
             listed.push_back({entry.BaseName(nullptr), entry.Size(), entry.IsDirectory()});
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
               SCOPED_TRACE(entry.name);
               EXPECT_EQ(expected.count(entry), 1u) << "an entry not in the folder, or wrong";
               EXPECT_TRUE(seen.insert(entry).second) << "listed twice";
             }
             // A failed FindFirstFile or FindNextFile ends the listing early,
             // as a real end would; the search must close either way.
             // What fails before the restart is forgotten with it.
             if (!run.FailedIn(restartAt, SIZE_MAX, {CallId::kFindClose})) {
               EXPECT_EQ(seen, expected);
               EXPECT_TRUE(atEnd);
             }
           };
         }});
}

// ---------------------------------------------------------------------------
// File system

TEST_F(FailureSweep, ExistenceTests) {
  Sweep({"OSFileExists, OSDirectoryExists",
         [](const talqtest::TempDir& dir) {
           WriteAll(dir.Native("file"), "x");
           stdfs::create_directories(dir.Native("dir"));
         },
         [](const talqtest::TempDir& dir) {
           const bool file = OSFileExists((dir / "file").c_str());
           const bool directory = OSDirectoryExists((dir / "dir").c_str());
           bool isDirectory = true;
           const bool missing = OSFileExists((dir / "missing").c_str(), &isDirectory);
           const bool dirAsFile = OSFileExists((dir / "dir").c_str());
           return [=](const Faults& run) {
             // One query, one call; a failed query is "not found".
             EXPECT_EQ(file, !run.FailedIn(0, 1));
             EXPECT_EQ(directory, !run.FailedIn(1, 2));
             EXPECT_FALSE(missing);
             EXPECT_FALSE(isDirectory);
             EXPECT_FALSE(dirAsFile);
           };
         }});
}

TEST_F(FailureSweep, DeleteFile) {
  Sweep({"OSDeleteFile", [](const talqtest::TempDir& dir) { WriteAll(dir.Native("victim"), "x"); },
         [](const talqtest::TempDir& dir) {
           errno = EINVAL;
           const bool deleted = OSDeleteFile((dir / "victim").c_str());
           const int error = errno;
           const bool gone = !stdfs::exists(dir.Native("victim"));
           return [=](const Faults& run) {
             EXPECT_EQ(deleted, gone) << "the answer disagrees with the disk";
             EXPECT_EQ(deleted, !run.FailedAny());
             EXPECT_EQ(error, 0);
           };
         }});
}

TEST_F(FailureSweep, MakeDeepDirectory) {
  Sweep({"OSMakeDirectory of a deep chain",
         [](const talqtest::TempDir& dir) {
           std::error_code ignored;
           stdfs::remove_all(dir.Native("m"), ignored);
         },
         [](const talqtest::TempDir& dir) {
           const bool made = OSMakeDirectory((dir / "m/a/b/c/d").c_str());
           const bool there = stdfs::is_directory(dir.Native("m/a/b/c/d"));
           return [=](const Faults& run) {
             EXPECT_EQ(made, there) << "the answer disagrees with the disk";
             if (!run.FailedAny()) EXPECT_TRUE(made);
             // Without the directory call the chain cannot be made.
             if (run.FailedAny({CallId::kGetFileAttributes})) EXPECT_FALSE(made);
           };
         }});
}

TEST_F(FailureSweep, ApplicationDirectory) {
  const std::string real =
      OSPathGeneric(stdfs::read_symlink("/proc/self/exe").parent_path().u8string()) + "/";
  Sweep({"OSApplicationDirectory", [](const talqtest::TempDir&) {},
         [real](const talqtest::TempDir&) {
           const std::string dir = OSApplicationDirectory();
           return [=](const Faults& run) {
             // "/" is the documented answer when the OS cannot say.
             EXPECT_EQ(dir, run.FailedAny() ? "/" : real);
           };
         }});
}

// The shortcut `link` (native) to the generic `target`; what resolving it gives.
std::string MakeShortcut(const stdfs::path& link, const std::string& target) {
  talqtest::LnkParts parts;
  parts.localBase = OSPathLocal(target);
  WriteAll(link, talqtest::MakeLnk(parts));
  return OSPathGeneric(OSPathLocal(target));
}

TEST_F(FailureSweep, ResolveShortcuts) {
  Sweep({"ResolveAliasOrLink: a .lnk, a plain file, a name with .lnk beside it",
         [](const talqtest::TempDir& dir) {
           WriteAll(dir.Native("target.txt"), "t");
           WriteAll(dir.Native("plain.txt"), "p");
           MakeShortcut(dir.Native("link.lnk"), dir / "target.txt");
           MakeShortcut(dir.Native("other.lnk"), dir / "target.txt");
         },
         [](const talqtest::TempDir& dir) {
           const std::string target = OSPathGeneric(OSPathLocal(dir / "target.txt"));
           const std::size_t linkAt = Mark();
           const std::string link = ResolveAliasOrLink(dir / "link.lnk");
           const std::size_t plainAt = Mark();
           const std::string plain = ResolveAliasOrLink(dir / "plain.txt");
           const std::size_t besideAt = Mark();
           const std::string beside = ResolveAliasOrLink(dir / "other");
           const std::size_t endAt = Mark();
           const std::string linkPath = dir / "link.lnk";
           const std::string plainPath = dir / "plain.txt";
           const std::string besidePath = dir / "other";
           return [=](const Faults& run) {
             // A shortcut that cannot be read is taken for no shortcut: the
             // path comes back unchanged, never as something else.
             EXPECT_EQ(link, run.FailedIn(linkAt, plainAt) && link != target ? linkPath : target);
             EXPECT_EQ(plain, plainPath);
             EXPECT_EQ(beside,
                       run.FailedIn(besideAt, endAt) && beside != target ? besidePath : target);
           };
         }});
}

TEST_F(FailureSweep, FindResourcePath) {
  const std::string name = "talq-sweep-resource-4f1c";
  Sweep({"OSFindResourcePath in the shared folder, directly and through a .lnk",
         [name](const talqtest::TempDir& dir) {
           OSSetSharedResourceDirectory(dir.Generic());
           WriteAll(dir.Native(name + ".txt"), "r");
           WriteAll(dir.Native("target.txt"), "t");
           MakeShortcut(dir.Native(name + "-linked.lnk"), dir / "target.txt");
         },
         [name](const talqtest::TempDir& dir) {
           const std::size_t plainAt = Mark();
           const std::string plain = OSFindResourcePath(name + ".txt");
           const std::size_t linkedAt = Mark();
           const std::string linked = OSFindResourcePath(name + "-linked");
           const std::size_t endAt = Mark();
           const std::string target = OSPathGeneric(OSPathLocal(dir / "target.txt"));
           const std::string direct = dir / (name + ".txt");
           return [=](const Faults& run) {
             // Not found is the only answer a failure may give.
             EXPECT_EQ(plain,
                       run.FailedIn(plainAt, linkedAt) && plain.empty() ? std::string() : direct);
             EXPECT_EQ(linked,
                       run.FailedIn(linkedAt, endAt) && linked.empty() ? std::string() : target);
           };
         }});
  OSSetSharedResourceDirectory("");
}

}  // namespace

#endif  // !_WIN32
