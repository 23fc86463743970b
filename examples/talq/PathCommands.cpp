// talq path, resolve, resource, appdir: pure path functions and lookups.
#include <algorithm>
#include <string>
#include <vector>

#include "Talq.h"
#include "TalqOSUtils/TalqOSUtils.h"

namespace talq {

namespace {

using Conversion = bool (*)(const char*, char*, int);

// Notation conversions work in caller buffers; 4 KiB holds any path they
// accept, and a longer one is reported rather than cut.
std::string Convert(Conversion convert, const std::string& path) {
  std::string out(4096, '\0');
  if (!convert(path.c_str(), &out[0], static_cast<int>(out.size()))) {
    throw Failure{"cannot convert " + Quoted(path) + " (too long, or not valid in that notation)"};
  }
  out.resize(out.find('\0'));
  return out;
}

void PrintLine(const std::string& line) { WriteOut(ToDisplay(line) + "\n"); }

}  // namespace

int PathCommand(Args args) {
  if (args.empty()) throw UsageError{"missing subcommand"};
  const std::string sub = args[0];
  args.erase(args.begin());
  const bool app = TakeFlag(args, "--app");
  if (app && sub != "absolute") throw UsageError{"--app belongs to absolute"};
  // Paths are operands whatever they look like; "--" may still end the options.
  const auto dashes = std::find(args.begin(), args.end(), "--");
  if (dashes != args.end()) args.erase(dashes);
  struct Named {
    const char* name;
    Conversion convert;
  };
  const Named conversions[] = {
      {"to-nt", &TalqOSUtils::OSPathGenericToNT},
      {"from-nt", &TalqOSUtils::OSPathNTToGeneric},
      {"to-generic", &TalqOSUtils::OSPathNTToGeneric},  // the earlier name of from-nt
      {"to-hfs", &TalqOSUtils::OSPathGenericToMacHFS},
      {"from-hfs", &TalqOSUtils::OSPathMacHFSToGeneric},
      {"to-unix", &TalqOSUtils::OSPathGenericToUnix},
      {"from-unix", &TalqOSUtils::OSPathUnixToGeneric},
  };
  for (const Named& n : conversions) {
    if (sub != n.name) continue;
    if (args.empty()) throw UsageError{"missing PATH"};
    for (const std::string& path : args) PrintLine(Convert(n.convert, path));
    return kOk;
  }
  if (sub == "join") {
    if (args.size() != 2) throw UsageError{"join takes DIR and NAME"};
    PrintLine(TalqOSUtils::OSAddNameToPath(args[0], args[1]));
  } else if (sub == "basename" || sub == "dirname") {
    if (args.size() != 1) throw UsageError{sub + " takes one PATH"};
    PrintLine(sub == "basename" ? TalqOSUtils::OSBasename(args[0])
                                : TalqOSUtils::OSDirname(args[0]));
  } else if (sub == "absolute") {
    if (args.empty() || args.size() > 2 || (app && args.size() == 2)) {
      throw UsageError{"absolute takes PATH [BASE], or --app PATH"};
    }
    // Like a shell, against the current directory; the library's own
    // default, talq's directory, with --app.
    if (app) {
      PrintLine(TalqOSUtils::OSMakePathAbsolute(args[0]));
    } else {
      const std::string base = args.size() == 2 ? args[1] : CurrentDirectory();
      if (base.empty()) throw Failure{"cannot read the current directory"};
      PrintLine(TalqOSUtils::OSMakePathAbsolute(args[0], base));
    }
  } else {
    throw UsageError{"unknown subcommand '" + sub + "'"};
  }
  return kOk;
}

int ResolveCommand(Args args) {
  const bool keep = TakeFlag(args, "--keep");
  ExpectCount(args, 1, 1);
  const std::string path = ToGeneric(args[0]);
  const std::string target = TalqOSUtils::ResolveAliasOrLink(path);
  if (target != path) {
    PrintLine(target);
    return kOk;
  }
  // The library answers the path itself for anything it cannot resolve.
  if (keep) {
    PrintLine(path);
    return kOk;
  }
  throw Failure{Quoted(args[0]) + " is not a shortcut" +
                (TalqOSUtils::OSFileExists(path.c_str(), nullptr)
                     ? " (or names no file-system target)"
                     : ": it does not exist, and neither does a shortcut of that name with .lnk")};
}

int ResourceCommand(Args args) {
  const std::string shared = TakeOption(args, "--shared");
  ExpectCount(args, 1, 1);
  if (!shared.empty()) TalqOSUtils::OSSetSharedResourceDirectory(ToGeneric(shared));
  const std::string found = TalqOSUtils::OSFindResourcePath(args[0]);
  if (found.empty()) {
    std::vector<std::string> places;
    for (const std::string& dir :
         {TalqOSUtils::OSApplicationDirectory(), TalqOSUtils::OSSharedResourcesDirectory()}) {
      const std::string trimmed =
          dir.size() > 1 && dir.back() == '/' ? dir.substr(0, dir.size() - 1) : dir;
      if (!trimmed.empty() && (places.empty() || places[0] != trimmed)) places.push_back(trimmed);
    }
    std::string where;
    for (const std::string& dir : places) where += (where.empty() ? "" : " or ") + Quoted(dir);
    throw Failure{"resource " + Quoted(args[0]) + " not found" +
                  (where.empty() ? std::string() : " in " + where)};
  }
  PrintLine(found);
  return kOk;
}

int AppdirCommand(Args args) {
  ExpectCount(args, 0, 0);
  PrintLine(TalqOSUtils::OSApplicationDirectory());
  return kOk;
}

}  // namespace talq
