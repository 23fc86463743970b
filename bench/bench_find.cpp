// Directory search: enumerating 10,000 entries with FindFirst/FindNext,
// reading name, kind, size and time of each, against the raw
// opendir/readdir/fstatat loop the POSIX backend is built on and against
// std::filesystem::directory_iterator with file_size and last_write_time.
// Rounds of the three run interleaved; each keeps its best CPU time.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "TalqOSUtils/FindFile.h"

namespace stdfs = std::filesystem;

namespace {

constexpr int kEntries = 10000;
constexpr int kRounds = 5;

// What each loop adds up, so that no field read is optimised away and the
// loops can be checked to see the same entries.
struct Tally {
  std::size_t entries = 0;
  std::size_t nameBytes = 0;
  std::size_t directories = 0;
  std::uint64_t sizes = 0;
  std::uint64_t times = 0;
};

std::uint64_t Ticks(const struct timespec& t) {
  return (static_cast<std::uint64_t>(t.tv_sec) + 11644473600ULL) * 10000000ULL +
         static_cast<std::uint64_t>(t.tv_nsec) / 100;
}

// The parent's time changes whenever anything is made in the temp folder, so
// the loops' agreement check leaves it out (both still read it).
bool IsParent(const char* name) { return std::strcmp(name, "..") == 0; }

Tally Talq(const std::string& root) {
  Tally t;
  TalqOSUtils::ChFindFile search(root.c_str());
  for (TalqOSUtils::ChFindFileIterator it = search.FindFirst(); it.IsValid();
       it = search.FindNext()) {
    ++t.entries;
    t.nameBytes += std::strlen(it.BaseName(nullptr));
    t.directories += it.IsDirectory() ? 1 : 0;
    t.sizes += static_cast<std::uint64_t>(it.Size());
    const std::uint64_t time = it.TimeStamp();
    if (!IsParent(it.BaseName(nullptr))) t.times += time;
  }
  return t;
}

Tally Raw(const std::string& root) {
  Tally t;
  DIR* dir = ::opendir(root.c_str());
  if (dir == nullptr) return t;
  const int fd = ::dirfd(dir);
  while (const struct dirent* e = ::readdir(dir)) {
    struct stat st {};
    if (::fstatat(fd, e->d_name, &st, 0) != 0) continue;
    ++t.entries;
    t.nameBytes += std::strlen(e->d_name);
    const bool isDir = S_ISDIR(st.st_mode);
    t.directories += isDir ? 1 : 0;
    t.sizes += isDir ? 0 : static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t time = Ticks(st.st_mtim);
    if (!IsParent(e->d_name)) t.times += time;
  }
  ::closedir(dir);
  return t;
}

// std::filesystem lists neither "." nor "..".
Tally Std(const std::string& root) {
  Tally t;
  std::error_code ec;
  for (const stdfs::directory_entry& e : stdfs::directory_iterator(root, ec)) {
    ++t.entries;
    t.nameBytes += e.path().filename().native().size();
    const bool isDir = e.is_directory(ec);
    t.directories += isDir ? 1 : 0;
    t.sizes += isDir ? 0 : e.file_size(ec);
    t.times += static_cast<std::uint64_t>(e.last_write_time(ec).time_since_epoch().count());
  }
  return t;
}

class Fixture {
 public:
  Fixture() {
    std::random_device rd;
    mPath = stdfs::temp_directory_path() / ("talq-bench-find-" + std::to_string(rd() % 1000000u));
    stdfs::create_directories(mPath);
    for (int i = 0; i < kEntries; ++i) {
      if (i % 50 == 0) {
        stdfs::create_directory(mPath / ("dir" + std::to_string(i)));
      } else {
        std::ofstream(mPath / ("entry-" + std::to_string(i) + ".dat"))
            << std::string(static_cast<std::size_t>(i % 97), 'x');
      }
    }
  }
  ~Fixture() {
    std::error_code ec;
    stdfs::remove_all(mPath, ec);
  }
  Fixture(const Fixture&) = delete;
  Fixture& operator=(const Fixture&) = delete;
  std::string Root() const { return mPath.string(); }

 private:
  stdfs::path mPath;
};

template <typename Fn>
void Register(const char* name, Fn fn) {
  benchmark::RegisterBenchmark(name, [fn](benchmark::State& state) {
    for (auto _ : state) {
      Tally t = fn();
      benchmark::DoNotOptimize(t);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kEntries);
  })->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  const Fixture fixture;
  const std::string root = fixture.Root();

  const Tally talq = Talq(root), raw = Raw(root), viaStd = Std(root);
  const bool same = talq.entries == raw.entries && talq.nameBytes == raw.nameBytes &&
                    talq.directories == raw.directories && talq.sizes == raw.sizes &&
                    talq.times == raw.times && viaStd.entries + 2 == talq.entries &&
                    viaStd.sizes == talq.sizes && viaStd.directories + 2 == talq.directories;
  std::printf("entries: talq %zu, raw %zu, std::filesystem %zu (no . and ..); fields %s\n",
              talq.entries, raw.entries, viaStd.entries, same ? "agree" : "DIFFER");
  if (!same) return 1;

  for (int round = 0; round < kRounds; ++round) {
    Register("find/ChFindFile", [&root] { return Talq(root); });
    Register("find/opendir+readdir+fstatat", [&root] { return Raw(root); });
    Register("find/std::filesystem", [&root] { return Std(root); });
  }

  return bench::RunAndReport(argc, argv, [](const bench::TimeKeeper& keeper) {
    const double ours = keeper.Time("find/ChFindFile");
    struct Row {
      const char* baseline;
      double goal;
      const char* goalText;
    };
    const Row rows[] = {
        {"find/opendir+readdir+fstatat", 1 / 1.05, ">= 0.95 (at most 1.05x the raw loop)"},
        {"find/std::filesystem", 1.0, "> 1 (faster than std::filesystem)"},
    };
    std::printf("\nDirectory of %d entries: baseline CPU time / ours (above 1: we are faster)\n",
                kEntries);
    std::printf("%-32s %8s  %s\n", "baseline", "ratio", "goal");
    for (const Row& row : rows) {
      const double base = keeper.Time(row.baseline);
      const double ratio = ours > 0 ? base / ours : 0;
      std::printf("%-32s %8.2f  %s %s\n", row.baseline, ratio, row.goalText,
                  ratio >= row.goal ? "met" : "NOT met");
    }
  });
}
