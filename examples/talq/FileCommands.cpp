// talq ls, cat, copy: directory search and the two streams.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Talq.h"
#include "TalqOSUtils/TalqOSUtils.h"

#if defined(_WIN32)
#include <io.h>
#define TALQ_ISATTY _isatty
#define TALQ_FILENO _fileno
#else
#include <unistd.h>
#define TALQ_ISATTY isatty
#define TALQ_FILENO fileno
#endif

namespace talq {

namespace {

constexpr std::uint32_t kBlock = 1u << 20;

// --- ls ---------------------------------------------------------------------

bool IsDots(const TalqOSUtils::ChFindFileIterator& it) {
  const std::string name = it.BaseName(nullptr);
  return name == "." || name == "..";
}
bool AnyButDots(const TalqOSUtils::ChFindFileIterator& it) { return !IsDots(it); }
bool FilesOnly(const TalqOSUtils::ChFindFileIterator& it) { return !it.IsDirectory(); }
bool DirsOnly(const TalqOSUtils::ChFindFileIterator& it) { return it.IsDirectory() && !IsDots(it); }

// FILETIME ticks (100 ns since 1601-01-01 UTC) as "YYYY-MM-DDThh:mm:ssZ".
std::string IsoTime(std::uint64_t ticks) {
  const std::int64_t seconds = static_cast<std::int64_t>(ticks / 10000000u) - 11644473600LL;
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Days since 1970-01-01 to a civil date (proleptic Gregorian).
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char text[96];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                static_cast<long long>(year), static_cast<long long>(month),
                static_cast<long long>(day), static_cast<long long>(rest / 3600),
                static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
  return text;
}

// --- copy progress ------------------------------------------------------------

volatile std::sig_atomic_t gInterrupted = 0;
extern "C" void OnInterrupt(int /*signal*/) { gInterrupted = 1; }

struct Progress {
  TalqOSUtils::ChInputStream* in = nullptr;
  bool drawing = false;
  std::int64_t cancelAfter = -1;  // test hook: cancel once this many bytes are read
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

  void Draw(bool last) const {
    if (!drawing) return;
    const std::int64_t done = last ? in->size() : in->getpos();
    const int percent = last ? 100 : in->percent();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double mib = 1024.0 * 1024.0;
    const int filled = (percent > 100 ? 100 : percent < 0 ? 0 : percent) * 30 / 100;
    const double doneMiB = static_cast<double>(done) / mib;
    std::fprintf(stderr, "\r[%s%s] %3d%%  %.1f / %.1f MiB  %.1f MiB/s",
                 std::string(filled, '#').c_str(), std::string(30 - filled, '-').c_str(), percent,
                 doneMiB, static_cast<double>(in->size()) / mib,
                 elapsed > 0 ? doneMiB / elapsed : 0.0);
    if (last) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

  void Clear() const {
    if (!drawing) return;
    std::fprintf(stderr, "\r%70s\r", "");
    std::fflush(stderr);
  }
};

// The input stream's check function: draws the bar and cancels on Ctrl-C.
int CheckCopy(void* data) {
  const Progress& progress = *static_cast<const Progress*>(data);
  progress.Draw(false);
  if (progress.cancelAfter >= 0 && progress.in->getpos() >= progress.cancelAfter) {
    gInterrupted = 1;
  }
  return gInterrupted != 0 ? kCancelled : 0;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

int LsCommand(Args args) {
  const bool files = TakeFlag(args, "--files");
  const bool dirs = TakeFlag(args, "--dirs");
  if (files && dirs) throw UsageError{"--files and --dirs exclude each other"};
  ExpectCount(args, 1, 1);
  const std::string root = ToGeneric(args[0]);
  std::unique_ptr<TalqOSUtils::ChFindFile> search;
  try {
    search.reset(new TalqOSUtils::ChFindFile(root.c_str()));
  } catch (const TalqOSUtils::ChFindFileException& e) {
    throw Failure{"cannot list " + Quoted(args[0]) + ": " + e.what() +
                  " (no such directory, or not a directory)"};
  }
  search->SetFilter(files ? &FilesOnly : dirs ? &DirsOnly : &AnyButDots);
  // Sorted by name: the OS's order is its own.
  std::vector<std::pair<std::string, std::string>> lines;
  for (auto it = search->FindFirst(); it.IsValid(); it = search->FindNext()) {
    char line[512];
    std::snprintf(line, sizeof line, "%c %12lld %s %s\n", it.IsDirectory() ? 'd' : '-',
                  static_cast<long long>(it.Size()), IsoTime(it.TimeStamp()).c_str(),
                  it.BaseName(nullptr));
    lines.emplace_back(it.BaseName(nullptr), line);
  }
  std::sort(lines.begin(), lines.end());
  for (const auto& line : lines) WriteOut(line.second);
  return kOk;
}

int CatCommand(Args args) {
  const bool fork = TakeFlag(args, "--fork");
  ExpectCount(args, 1, 1);
  TalqOSUtils::ChInputStream in;
  in.openFork(ToGeneric(args[0]), fork);
  if (!in.isopen()) {
    throw Failure{"cannot open " + std::string(fork ? "the resource fork of " : "") +
                  Quoted(args[0]) + ": " + DescribeOsError(in.error())};
  }
  std::unique_ptr<char[]> block(new char[kBlock]);
  for (;;) {
    const std::uint32_t n = in.read(block.get(), kBlock);
    if (!in.good())
      throw Failure{"cannot read " + Quoted(args[0]) + ": " + DescribeOsError(in.error())};
    if (n == 0) break;
    WriteOut(block.get(), n);
  }
  return kOk;
}

int CopyCommand(Args args) {
  const bool fork = TakeFlag(args, "--fork");
  ExpectCount(args, 2, 2);
  const std::string source = ToGeneric(args[0]);
  const std::string target = ToGeneric(args[1]);

  TalqOSUtils::ChInputStream in;
  in.openFork(source, fork);
  if (!in.isopen()) {
    throw Failure{"cannot open " + Quoted(args[0]) + ": " + DescribeOsError(in.error())};
  }
  Progress progress;
  progress.in = &in;
  progress.drawing = TALQ_ISATTY(TALQ_FILENO(stderr)) != 0;
  if (const char* hook = std::getenv("TALQ_CANCEL_AFTER_BYTES")) {
    progress.cancelAfter = std::strtoll(hook, nullptr, 10);
  }
  in.setcheckfn(&CheckCopy, &progress);

  TalqOSUtils::ChOutputStream out;
  out.openFork(target, fork);
  if (!out.isopen()) {
    throw Failure{"cannot create " + Quoted(args[1]) + ": " + DescribeOsError(out.error())};
  }
  // The partial copy goes when the copy does not finish.
  const std::string written = fork ? target + ":AFP_Resource" : target;
  auto discard = [&](const std::string& why) {
    out.close();
    TalqOSUtils::OSDeleteFile(written.c_str());
    progress.Clear();
    return why;
  };

  gInterrupted = 0;
  void (*previous)(int) = std::signal(SIGINT, &OnInterrupt);
  std::unique_ptr<char[]> block(new char[kBlock]);
  int status = kOk;
  for (;;) {
    const std::uint32_t n = in.read(block.get(), kBlock);
    if (in.error() == kCancelled) {
      std::fprintf(
          stderr, "%s",
          discard("talq copy: cancelled; nothing was left at " + Quoted(args[1]) + "\n").c_str());
      status = kCancelled;
      break;
    }
    if (!in.good()) {
      std::signal(SIGINT, previous);
      throw Failure{discard("cannot read " + Quoted(args[0]) + ": " + DescribeOsError(in.error()))};
    }
    if (n == 0) break;
    out.write(block.get(), n);
    if (!out.good()) {
      std::signal(SIGINT, previous);
      throw Failure{
          discard("cannot write " + Quoted(args[1]) + ": " + DescribeOsError(out.error()))};
    }
  }
  std::signal(SIGINT, previous);
  if (status == kOk) progress.Draw(true);
  return status;
}

}  // namespace talq
