// libFuzzer target for the .lnk reader (src/lnk/), on bytes in memory.
//
// Input: the bytes of a shortcut file. The parser runs on an exact heap copy
// (ASan reports any byte read past it); whatever it answers must be
// consistent: a target exactly when the kind says so, and only after a
// shortcut's header; no longer than two strings of the input joined (base and
// suffix may share their bytes); once assembled for a shortcut in C:\links,
// the path given as it was for local and network targets, absolute for
// environment targets (which name only the system's variables), and below
// drive C: for relative ones. Read without its environment block, no
// shortcut has an environment target.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "FuzzCheck.h"
#include "lnk/ShellLink.h"
#include "lnk/TargetPath.h"

namespace lnk = TalqOSUtils::lnk;
using Kind = lnk::ShellLinkTarget::Kind;

namespace {
// An environment without the system's variables: Windows' values stand in.
lnk::Lookup Unset(const lnk::Text& /*name*/, lnk::Text& /*value*/) { return lnk::Lookup::kNotSet; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[size == 0 ? 1 : size]);
  std::copy(data, data + size, exact.get());
  const lnk::ShellLinkTarget target = lnk::ParseShellLink(exact.get(), size);
  FUZZ_CHECK((target.kind == Kind::kNone) == target.path.empty());
  FUZZ_CHECK(target.kind == Kind::kNone || lnk::IsShellLinkHeader(exact.get(), size));
  FUZZ_CHECK(target.path.size() <= 2 * size + 1);
  FUZZ_CHECK(lnk::ParseShellLink(exact.get(), size, false).kind != Kind::kEnvironment);

  lnk::Text full;
  if (lnk::ShortcutTargetPath("C:\\links\\a.lnk", target, &Unset, full) != lnk::Assembled::kPath) {
    return 0;
  }
  const bool unc = full.size() >= 2 && full[0] == u'\\' && full[1] == u'\\';
  const bool drive = full.size() >= 3 && full[1] == u':' && full[2] == u'\\';
  switch (target.kind) {
    case Kind::kLocal:
    case Kind::kNetwork:
      FUZZ_CHECK(full == target.path);
      break;
    case Kind::kEnvironment:
      FUZZ_CHECK((unc || drive) && lnk::NamesOnlySystemVariables(target.path));
      break;
    case Kind::kRelative:
      FUZZ_CHECK(drive && full[0] == u'C');
      break;
    case Kind::kNone:
      FUZZ_CHECK(false && "a path for no target");
  }
  return 0;
}
