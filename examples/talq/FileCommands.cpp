// talq ls, cat, copy: directory search and the two streams.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "Talq.h"
#include "TalqOSUtils/TalqOSUtils.h"

#if defined(_WIN32)
#include <windows.h>
// windows.h first.
#include <io.h>
#include <process.h>
#define TALQ_ISATTY _isatty
#define TALQ_FILENO _fileno
#else
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#define TALQ_ISATTY isatty
#define TALQ_FILENO fileno
#endif

namespace talq {

namespace {

constexpr std::uint32_t kBlock = 1u << 20;

bool IsTerminal(std::FILE* stream) { return TALQ_ISATTY(TALQ_FILENO(stream)) != 0; }

// The width of the terminal on standard error; 80 when it cannot be told.
int TerminalColumns() {
#if defined(_WIN32)
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) {
    return info.srWindow.Right - info.srWindow.Left + 1;
  }
#else
  struct winsize size {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  if (const char* columns = std::getenv("COLUMNS")) {
    const int n = std::atoi(columns);
    if (n > 0) return n;
  }
  return 80;
}

// A generic path as the system's own name, for the calls the library does
// not make (rename, same-file test, permissions).
std::filesystem::path NativeOf(const std::string& generic) {
#if defined(_WIN32)
  return std::filesystem::path(
      std::wstring(TalqOSUtils::UnicodeString(TalqOSUtils::OSPathLocal(generic))));
#else
  return std::filesystem::path(ToDisplay(generic));
#endif
}

// Whether an existing file may be written by this process: a copy replaces
// only what it could have overwritten, as cp does.
bool MayWrite(const std::string& generic) {
#if defined(_WIN32)
  const DWORD attributes = ::GetFileAttributesW(NativeOf(generic).c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
#else
  return ::access(NativeOf(generic).c_str(), W_OK) == 0 || errno == ENOENT;
#endif
}

bool IsDirectory(const std::string& generic) {
  return TalqOSUtils::OSDirectoryExists(generic.c_str());
}

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

// A name as `ls -b` shows it: C escapes for control characters and the
// backslash, octal for other bytes that are no printable UTF-8.
std::string Escaped(const std::string& name) {
  const std::string bytes = ToDisplay(name);
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x80) {
      // A whole, valid UTF-8 sequence stays; anything else goes as octal.
      const std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
      const std::string piece = n != 0 && i + n <= bytes.size() ? bytes.substr(i, n) : "";
      if (!piece.empty() && TalqOSUtils::OSNameBytesToUTF8(piece) == piece) {
        out += piece;
        i += n - 1;
        continue;
      }
    }
    static const char kNamed[] = {'\a', 'a', '\b', 'b', '\t', 't', '\n', 'n',
                                  '\v', 'v', '\f', 'f', '\r', 'r', '\\', '\\'};
    const char* named = nullptr;
    for (std::size_t k = 0; k < sizeof kNamed; k += 2) {
      if (kNamed[k] == static_cast<char>(c)) named = &kNamed[k + 1];
    }
    if (named != nullptr) {
      out += '\\';
      out += *named;
    } else if (c < 0x20 || c >= 0x7F) {
      char octal[5];
      std::snprintf(octal, sizeof octal, "\\%03o", c);
      out += octal;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// --- signals ----------------------------------------------------------------

volatile std::sig_atomic_t gSignal = 0;
extern "C" void OnSignal(int signal) { gSignal = signal; }

// Catches the signals that ask a copy to stop, for as long as it lives.
class StopSignals {
 public:
  StopSignals() {
    gSignal = 0;
    for (std::size_t i = 0; i < kCount; ++i) mPrevious[i] = std::signal(kSignals[i], &OnSignal);
  }
  ~StopSignals() {
    for (std::size_t i = 0; i < kCount; ++i) std::signal(kSignals[i], mPrevious[i]);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  static const char* Name(int signal) {
    switch (signal) {
      case SIGINT:
        return "SIGINT";
      case SIGTERM:
        return "SIGTERM";
#if defined(SIGHUP)
      case SIGHUP:
        return "SIGHUP";
#endif
      default:
        return "a signal";
    }
  }

 private:
#if defined(SIGHUP)
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
#else
  static constexpr int kSignals[] = {SIGINT, SIGTERM};
#endif
  static constexpr std::size_t kCount = sizeof kSignals / sizeof kSignals[0];
  void (*mPrevious[kCount])(int);
};

// --- copy progress ------------------------------------------------------------

struct Progress {
  bool drawing = false;
  int columns = 80;
  std::int64_t cancelAfter = -1;  // test hook: cancel once this many bytes are copied
  std::int64_t done = 0;
  std::int64_t total = 0;  // 0: a pipe or device, whose size is unknown
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

  // One line that fits the terminal: the bar shrinks first, then the speed
  // and the sizes go; the last column stays free so the line never wraps.
  void Draw(bool last) const {
    if (!drawing) return;
    const bool sized = total > 0;
    const std::int64_t shown = sized && last ? total : done;
    const int percent = last    ? 100
                        : sized ? static_cast<int>(std::min<std::int64_t>(100, 100 * done / total))
                                : 0;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double mib = 1024.0 * 1024.0;
    const double doneMiB = static_cast<double>(shown) / mib;
    char sizes[64];
    if (sized) {
      std::snprintf(sizes, sizeof sizes, "  %.1f / %.1f MiB", doneMiB,
                    static_cast<double>(total) / mib);
    } else {
      std::snprintf(sizes, sizeof sizes, "  %.1f MiB", doneMiB);
    }
    char speed[32];
    std::snprintf(speed, sizeof speed, "  %.1f MiB/s", elapsed > 0 ? doneMiB / elapsed : 0.0);
    char pct[8] = "";
    if (sized) std::snprintf(pct, sizeof pct, " %3d%%", percent);
    const int room = columns - 1;
    std::string tail = std::string(pct) + sizes + speed;
    if (static_cast<int>(tail.size()) + 12 > room) tail = std::string(pct) + sizes;
    if (static_cast<int>(tail.size()) + 12 > room) tail = pct;
    const int width = std::min(30, room - static_cast<int>(tail.size()) - 2);
    std::string line;
    if (width >= 5 && sized) {
      const int filled = percent * width / 100;
      line = "[" + std::string(filled, '#') + std::string(width - filled, '-') + "]";
    }
    line += tail;
    if (static_cast<int>(line.size()) > room) line.resize(room > 0 ? room : 0);
    // Padded to the width, so a shorter frame leaves nothing of a longer one.
    std::fprintf(stderr, "\r%-*s", room, line.c_str());
    if (last) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

  void Clear() const {
    if (!drawing) return;
    std::fprintf(stderr, "\r%*s\r", columns - 1, "");
    std::fflush(stderr);
  }
};

// The copy's check function: draws the bar; a stop signal cancels the copy
// with 128 + its number.
int CheckCopy(void* data, std::int64_t done, std::int64_t total) {
  Progress& progress = *static_cast<Progress*>(data);
  progress.done = done;
  progress.total = total;
  progress.Draw(false);
  if (progress.cancelAfter >= 0 && done >= progress.cancelAfter) gSignal = SIGINT;
  return gSignal != 0 ? 128 + gSignal : 0;
}

}  // namespace

namespace {

// Lists one directory, sorted by name; throws Failure when it cannot be read whole.
void ListDirectory(const std::string& arg, TalqOSUtils::ChFindFile::Filter filter) {
  const std::string root = ToGeneric(arg);
  if (!IsDirectory(root)) {
    throw Failure{"cannot list " + Quoted(arg) + ": " +
                  (TalqOSUtils::OSFileExists(root.c_str(), nullptr)
                       ? "not a directory"
                       : "no such directory (or it cannot be reached)")};
  }
  std::unique_ptr<TalqOSUtils::ChFindFile> search;
  try {
    search.reset(new TalqOSUtils::ChFindFile(root.c_str()));
  } catch (const TalqOSUtils::ChFindFileException& e) {
    throw Failure{"cannot list " + Quoted(arg) + ": " + e.what()};
  }
  search->SetFilter(filter);
  const bool terminal = IsTerminal(stdout);
  // Sorted by name: the OS's order is its own.
  std::vector<std::pair<std::string, std::string>> lines;
  for (auto it = search->FindFirst(); it.IsValid(); it = search->FindNext()) {
    const std::string name = it.BaseName(nullptr);
    char line[96];
    std::snprintf(line, sizeof line, "%c %12lld %s ",
                  it.IsReparsePoint() ? 'l'
                  : it.IsDirectory()  ? 'd'
                                      : '-',
                  static_cast<long long>(it.Size()), IsoTime(it.TimeStamp()).c_str());
    lines.emplace_back(name, line + (terminal ? Escaped(name) : ToDisplay(name)) + "\n");
  }
  std::sort(lines.begin(), lines.end());
  for (const auto& line : lines) WriteOut(line.second);
  if (search->LastError() != 0) {
    throw Failure{(lines.empty() ? "cannot list " : "cannot list all of ") + Quoted(arg) + ": " +
                  DescribeOsError(search->LastError())};
  }
}

}  // namespace

int LsCommand(Args args) {
  const bool files = TakeFlag(args, "--files");
  const bool dirs = TakeFlag(args, "--dirs");
  if (files && dirs) throw UsageError{"--files and --dirs exclude each other"};
  ExpectCount(args, 0, static_cast<std::size_t>(-1));
  if (args.empty()) args.push_back(".");
  int status = kOk;
  // As ls(1): several directories each under a "DIR:" heading, a blank line between; one
  // that fails is reported and the others still list.
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args.size() > 1) WriteOut((i > 0 ? "\n" : "") + ToDisplay(args[i]) + ":\n");
    try {
      ListDirectory(args[i], files ? &FilesOnly : dirs ? &DirsOnly : &AnyButDots);
    } catch (const Failure& e) {
      FlushOut();
      std::fprintf(stderr, "talq ls: %s\n", e.what.c_str());
      status = kFailed;
    }
  }
  return status;
}

namespace {

// Why a file cannot be opened for reading, in a user's words.
// What a name that is no regular file names, in a user's words ("" for a
// file, a directory or nothing): a socket cannot be opened, and "file not
// found" would say something false.
std::string KindOf(const std::string& generic) {
  std::error_code error;
  switch (std::filesystem::status(NativeOf(generic), error).type()) {
    case std::filesystem::file_type::socket:
      return "a socket";
    case std::filesystem::file_type::fifo:
      return "a FIFO";
    case std::filesystem::file_type::block:
    case std::filesystem::file_type::character:
      return "a device";
    default:
      return std::string();
  }
}

std::string WhyNotOpened(const std::string& generic, const TalqOSUtils::ChInputStream& in,
                         bool fork) {
  if (IsDirectory(generic)) return "it is a directory";
  const std::string kind = KindOf(generic);
  if (!kind.empty()) return "it is " + kind + " (" + DescribeOsError(in.error()) + ")";
  if (fork && in.error() == 2) return "it has no resource fork (" + DescribeOsError(2) + ")";
  return DescribeOsError(in.error());
}

}  // namespace

int CatCommand(Args args) {
  const bool fork = TakeFlag(args, "--fork");
  ExpectCount(args, 0, static_cast<std::size_t>(-1));
  if (args.empty()) args.push_back("-");
  std::unique_ptr<char[]> block(new char[kBlock]);
  int status = kOk;
  // As cat(1): a file that fails is reported, and the others still print.
  for (const std::string& arg : args) {
    try {
      if (arg == "-") {  // standard input, as cat(1) reads it
        if (fork) throw Failure{"standard input has no resource fork"};
        while (const std::size_t n = std::fread(block.get(), 1, kBlock, stdin)) {
          WriteOut(block.get(), n);
        }
        if (std::ferror(stdin)) throw Failure{"cannot read standard input"};
        std::clearerr(stdin);  // "-" again reads on after an end of file, as cat(1) does
        continue;
      }
      const std::string path = ToGeneric(arg);
      TalqOSUtils::ChInputStream in;
      in.openFork(path, fork);
      if (!in.isopen()) {
        throw Failure{"cannot open " + std::string(fork ? "the resource fork of " : "") +
                      Quoted(arg) + ": " + WhyNotOpened(path, in, fork)};
      }
      for (;;) {
        const std::uint32_t n = in.read(block.get(), kBlock);
        if (!in.good())
          throw Failure{"cannot read " + Quoted(arg) + ": " + DescribeOsError(in.error())};
        if (n == 0) break;
        WriteOut(block.get(), n);
      }
    } catch (const Failure& e) {
      FlushOut();
      std::fprintf(stderr, "talq cat: %s\n", e.what.c_str());
      status = kFailed;
    }
  }
  return status;
}

int CopyCommand(Args args) {
  const bool fork = TakeFlag(args, "--fork");
  ExpectCount(args, 2, 2);
  const std::string source = ToGeneric(args[0]);
  std::string target = ToGeneric(args[1]);
  const char last = args[1].empty() ? '\0' : args[1].back();
#if defined(_WIN32)
  const bool namesDirectory = last == '/' || last == '\\';
#else
  const bool namesDirectory = last == '/';
#endif
  // SRC DIR (or DIR/) copies into the directory, as cp does.
  std::string shownTarget = Quoted(args[1]);
  if (IsDirectory(target)) {
    const std::string name = TalqOSUtils::OSBasename(source);
    target = ToGeneric(TalqOSUtils::OSAddNameToPath(target, name));
    shownTarget = Quoted(TalqOSUtils::OSAddNameToPath(args[1], name));
  } else if (namesDirectory || !IsDirectory(TalqOSUtils::OSDirname(target))) {
    throw Failure{"cannot copy to " + Quoted(args[1]) + ": no such directory"};
  }
  if (IsDirectory(source)) throw Failure{"cannot copy " + Quoted(args[0]) + ": it is a directory"};
  std::error_code error;
  if (std::filesystem::is_symlink(NativeOf(target), error) &&
      !std::filesystem::exists(NativeOf(target), error)) {
    throw Failure{"cannot copy to " + shownTarget +
                  ": it is a symbolic link that leads nowhere (cp does not write through it)"};
  }
  if (std::filesystem::equivalent(NativeOf(source), NativeOf(target), error) && !error) {
    throw Failure{Quoted(args[0]) + " and " + shownTarget + " are the same file"};
  }
  if (!fork && !MayWrite(target)) {
    throw Failure{"cannot write " + shownTarget + ": " + DescribeOsError(5)};
  }

  const StopSignals stopSignals;
  Progress progress;
  progress.drawing = IsTerminal(stderr);
  progress.columns = TerminalColumns();
  if (const char* hook = std::getenv("TALQ_CANCEL_AFTER_BYTES")) {
    progress.cancelAfter = std::strtoll(hook, nullptr, 10);
  }
  // The library's copy leaves what cp leaves: a new file only once whole, an
  // existing one as it was after a failure wherever it need not be written
  // in place.
  const std::uint32_t code =
      TalqOSUtils::OSCopyFile(source.c_str(), target.c_str(), fork, &CheckCopy, &progress);
  if (code == 0) {
    progress.Draw(true);
    return kOk;
  }
  progress.Clear();
  const int stopped = gSignal;
  if (stopped != 0 && code == static_cast<std::uint32_t>(128 + stopped)) {
    std::fprintf(stderr, "talq copy: cancelled by %s; %s was left as it was\n",
                 StopSignals::Name(stopped), shownTarget.c_str());
    gCancelSignal = stopped;
    return 128 + stopped;
  }
  if (code == 2 && !TalqOSUtils::OSFileExists(source.c_str(), nullptr)) {
    throw Failure{"cannot open " + Quoted(args[0]) + ": " + DescribeOsError(code)};
  }
  if (code == 2 && fork) {
    throw Failure{"cannot open the resource fork of " + Quoted(args[0]) +
                  ": it has no resource fork (" + DescribeOsError(2) + ")"};
  }
  const std::string kind = KindOf(source);
  throw Failure{"cannot copy " + Quoted(args[0]) + " to " + shownTarget + ": " +
                (kind.empty() ? "" : Quoted(args[0]) + " is " + kind + " (") +
                DescribeOsError(code) + (kind.empty() ? "" : ")")};
}

}  // namespace talq
