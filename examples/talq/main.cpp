// talq: the library's jobs from a shell. `talq --help` lists the commands.
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
     "talq path to-nt|to-generic|to-hfs|from-hfs|to-unix PATH...\n"
     "       talq path join DIR NAME\n"
     "       talq path basename|dirname PATH\n"
     "       talq path absolute PATH [BASE]",
     "convert, compose and absolutise generic paths"},
    {"ls", &LsCommand, "talq ls [--files|--dirs] DIR",
     "list a directory: kind, size, last write (UTC), name"},
    {"cat", &CatCommand, "talq cat [--fork] FILE", "a file (or its resource fork) to stdout"},
    {"copy", &CopyCommand, "talq copy [--fork] SRC DST",
     "copy a file (or its resource fork), with progress; Ctrl-C cancels"},
    {"resolve", &ResolveCommand, "talq resolve PATH",
     "the target of a Windows shortcut (.lnk), or PATH itself"},
    {"resource", &ResourceCommand, "talq resource NAME [--shared DIR]",
     "find a resource beside talq, else in the shared directory"},
    {"appdir", &AppdirCommand, "talq appdir", "the directory of the talq executable"},
    {"iconv", &IconvCommand, "talq iconv [-c] -f ENC -t ENC [FILE|-]...\n       talq iconv -l",
     "re-encode text as GNU iconv does; -c drops what cannot convert, -l lists ENC"},
};

void PrintHelp() {
  std::printf("talq %s: paths, files, directories and text through TalqOSUtils\n\n",
              TalqOSUtils::LibraryVersion());
  std::printf("usage: talq COMMAND [ARGS...]    talq COMMAND --help\n\ncommands:\n");
  for (const Command& c : kCommands) std::printf("  %-9s %s\n", c.name, c.summary);
  std::printf(
      "\nFiles are named in the platform's notation; `talq path` takes each\n"
      "notation as its subcommand says. Exit codes: 0 done, 1 failed,\n"
      "2 usage error, 130 cancelled.\n");
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
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
#endif
  return args;
}

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
      return c.run(args);
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
  return std::fflush(stdout) == 0 ? status : talq::kFailed;
}
