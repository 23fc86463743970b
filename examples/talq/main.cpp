// talq: the library's jobs from a shell. `talq --help` lists the commands.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "Talq.h"
#include "TalqOSUtils/TalqOSUtils.h"

#if defined(_WIN32)
#include <windows.h>
// windows.h first: shellapi.h builds on it.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#endif

namespace talq {
namespace {

struct Command {
  const char* name;
  int (*run)(Args);
  const char* usage;
  const char* summary;
};

const Command kCommands[] = {
    {"path", &PathCommand,
     "talq path COMMAND PATH...   (each names its input => output notation)\n"
     "  to-nt GENERIC...        generic => NT        /C:/a/b => C:\\a\\b\n"
     "  from-nt NT...           NT => generic        C:\\a\\b => /C:/a/b\n"
     "  to-generic NT...        the earlier name of from-nt\n"
     "  to-hfs GENERIC...       generic => Mac HFS   /Disk/a/b => Disk:a:b\n"
     "  from-hfs HFS...         Mac HFS => generic   Disk:a:b => /Disk/a/b\n"
     "  to-unix GENERIC...      generic => Unix      (the same text)\n"
     "  from-unix UNIX...       Unix => generic      (the same text)\n"
     "  join DIR NAME           generic => generic   /a b => /a/b\n"
     "  basename PATH           generic => generic   /a/b => b\n"
     "  dirname PATH            generic => generic   /a/b => /a\n"
     "  absolute PATH [BASE]    generic => generic   against BASE, else the cwd\n"
     "  absolute --app PATH     generic => generic   against talq's own dir",
     "convert, compose and absolutise generic paths"},
    {"ls", &LsCommand, "talq ls [--files|--dirs] [DIR...]",
     "list directories (.): kind, size, time (UTC), name"},
    {"cat", &CatCommand, "talq cat [--fork] [FILE...]",
     "files or resource forks (-: standard input) to stdout"},
    {"copy", &CopyCommand, "talq copy [--fork] SRC DST|DIR",
     "copy a file (or its resource fork) with progress, as cp does;\n"
     "Ctrl-C, SIGTERM and SIGHUP cancel it and leave DST as it was"},
    {"resolve", &ResolveCommand, "talq resolve [--keep] PATH",
     "the target of a Windows shortcut (.lnk); exit 1 for anything\n"
     "else (--keep: print PATH itself, as the library answers)"},
    {"resource", &ResourceCommand, "talq resource NAME [--shared DIR]",
     "find a resource beside talq, else in the shared directory"},
    {"appdir", &AppdirCommand, "talq appdir", "the directory of the talq executable"},
    {"iconv", &IconvCommand,
     "talq iconv [-c] [-f ENC] [-t ENC] [-o FILE] [FILE|-]...\n"
     "       talq iconv -l\n"
     "  -f ENC, --from-code=ENC   the input's encoding (the platform's text: UTF-8\n"
     "                            on Linux, the ANSI code page on Windows)\n"
     "  -t ENC, --to-code=ENC     the output's encoding (the same default)\n"
     "  -o FILE, --output=FILE    write FILE instead of standard output",
     "re-encode text as GNU iconv does; -c drops what cannot\n"
     "convert, -l lists the encodings"},
};

void PrintHelp() {
  std::printf("talq %s: paths, files, directories and text through TalqOSUtils\n\n",
              TalqOSUtils::LibraryVersion());
  std::printf("usage: talq COMMAND [ARGS...]    talq COMMAND --help\n\ncommands:\n");
  for (const Command& c : kCommands) {
    // Continuation lines of a summary line up under its first.
    std::string summary = c.summary;
    for (std::size_t at = summary.find('\n'); at != std::string::npos;
         at = summary.find('\n', at + 1)) {
      summary.insert(at + 1, 12, ' ');
    }
    std::printf("  %-9s %s\n", c.name, summary.c_str());
  }
  std::printf(
      "\nFiles are named in the platform's notation; `talq path` takes each\n"
      "notation as its subcommand says. Exit codes: 0 done, 1 failed (also\n"
      "\"write error: REASON\" when output cannot be written), 2 usage error;\n"
      "a copy cancelled by signal N cleans up, then dies by N (128+N; 130 for\n"
      "Ctrl-C; on Windows the exit code 128+N).\n");
}

Args CommandLine(int argc, char** argv) {
  Args args;
#if defined(_WIN32)
  // The wide command line, so that any file name survives.
  (void)argc;
  (void)argv;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  for (int i = 1; wide != nullptr && i < count; ++i) {
    std::string utf8;
    TalqOSUtils::UnicodeString(std::wstring(wide[i])).get(utf8);
    args.push_back(utf8);
  }
  ::LocalFree(wide);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
#else
  for (int i = 1; i < argc; ++i) args.push_back(ArgFromBytes(argv[i]));
#endif
  return args;
}

}  // namespace

int gCancelSignal = 0;

namespace {

// Set once a write error has been reported: the final flush then fails silently.
bool gWriteErrorShown = false;

// The words for a write's errno; a stream error without one is an I/O error.
const char* WriteErrorText(int error) { return std::strerror(error != 0 ? error : EIO); }

int Run(Args args) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp();
    return args.empty() ? kUsage : kOk;
  }
  if (args[0] == "--version") {
    std::printf("talq %s\n", TalqOSUtils::LibraryVersion());
    return kOk;
  }
  for (const Command& c : kCommands) {
    if (args[0] != c.name) continue;
    args.erase(args.begin());
    if (TakeFlag(args, "--help") || TakeFlag(args, "-h")) {
      std::printf("usage: %s\n\n%s\n", c.usage, c.summary);
      return kOk;
    }
    try {
      const int status = c.run(args);
      FlushOut();
      return status;
    } catch (const OutputError& e) {
      std::fprintf(stderr, "talq %s: write error: %s\n", c.name, e.reason.c_str());
      gWriteErrorShown = true;
      return kFailed;
    } catch (const UsageError& e) {
      std::fprintf(stderr, "talq %s: %s\nusage: %s\n", c.name, e.message.c_str(), c.usage);
      return kUsage;
    } catch (const Failure& e) {
      std::fprintf(stderr, "talq %s: %s\n", c.name, e.what.c_str());
      return kFailed;
    } catch (const TalqOSUtils::ChException& e) {
      std::fprintf(stderr, "talq %s: %s\n", c.name, e.what());
      return kFailed;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "talq %s: %s\n", c.name, e.what());
      return kFailed;
    }
  }
  std::fprintf(stderr, "talq: unknown command '%s' (talq --help lists them)\n", args[0].c_str());
  return kUsage;
}

}  // namespace
}  // namespace talq

int main(int argc, char** argv) {
  const int status = talq::Run(talq::CommandLine(argc, argv));
  // What the commands left in the buffer: help, usage, --version.
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    if (!talq::gWriteErrorShown) {
      std::fprintf(stderr, "talq: write error: %s\n", talq::WriteErrorText(errno));
    }
    return talq::kFailed;
  }
#if !defined(_WIN32)
  if (talq::gCancelSignal != 0) {
    std::signal(talq::gCancelSignal, SIG_DFL);
    std::raise(talq::gCancelSignal);
  }
#endif
  return status;
}
