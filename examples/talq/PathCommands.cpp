// talq path, resolve, resource, appdir: pure path functions and lookups.
#include <string>

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
    throw Failure{"cannot convert '" + path + "' (too long, or not valid in that notation)"};
  }
  out.resize(out.find('\0'));
  return out;
}

void PrintLine(const std::string& line) { WriteOut(line + "\n"); }

}  // namespace

int PathCommand(Args args) {
  if (args.empty()) throw UsageError{"missing subcommand"};
  const std::string sub = args[0];
  args.erase(args.begin());
  struct Named {
    const char* name;
    Conversion convert;
  };
  const Named conversions[] = {
      {"to-nt", &TalqOSUtils::OSPathGenericToNT},
      {"to-generic", &TalqOSUtils::OSPathNTToGeneric},
      {"to-hfs", &TalqOSUtils::OSPathGenericToMacHFS},
      {"from-hfs", &TalqOSUtils::OSPathMacHFSToGeneric},
      {"to-unix", &TalqOSUtils::OSPathGenericToUnix},
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
    if (args.empty() || args.size() > 2) throw UsageError{"absolute takes PATH [BASE]"};
    PrintLine(args.size() == 2 ? TalqOSUtils::OSMakePathAbsolute(args[0], args[1])
                               : TalqOSUtils::OSMakePathAbsolute(args[0]));
  } else {
    throw UsageError{"unknown subcommand '" + sub + "'"};
  }
  return kOk;
}

int ResolveCommand(Args args) {
  ExpectCount(args, 1, 1);
  PrintLine(TalqOSUtils::ResolveAliasOrLink(ToGeneric(args[0])));
  return kOk;
}

int ResourceCommand(Args args) {
  const std::string shared = TakeOption(args, "--shared");
  ExpectCount(args, 1, 1);
  if (!shared.empty()) TalqOSUtils::OSSetSharedResourceDirectory(ToGeneric(shared));
  const std::string found = TalqOSUtils::OSFindResourcePath(args[0]);
  if (found.empty()) {
    throw Failure{"resource '" + args[0] + "' not found in " +
                  TalqOSUtils::OSApplicationDirectory() + " or " +
                  TalqOSUtils::OSSharedResourcesDirectory()};
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
