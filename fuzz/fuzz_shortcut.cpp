// libFuzzer target for the POSIX backend's .lnk reader.
//
// Input: the bytes of a shortcut file. The reader runs on an exact heap copy
// (ASan reports any byte read past it); whatever it answers must be
// consistent: a target exactly when the kind says so, no longer than two
// strings of the input joined (base and suffix may share their bytes), and a relative target placed
// below a shortcut's folder stays below that folder's root.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "FuzzCheck.h"
#include "platform/posix/lnk.h"

namespace posix = TalqOSUtils::platform::posix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > posix::kMaxShortcutBytes) return 0;  // the backend never reads more
  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[size == 0 ? 1 : size]);
  std::copy(data, data + size, exact.get());
  const posix::ShellLinkTarget target = posix::ParseShellLink(exact.get(), size);
  FUZZ_CHECK((target.kind == posix::ShellLinkTarget::Kind::kNone) == target.path.empty());
  FUZZ_CHECK(target.path.size() <= 2 * size + 1);
  const std::string link = "C:\\links\\a.lnk";
  const auto full = posix::ShortcutTargetPath(link, target);
  FUZZ_CHECK(full.empty() == target.path.empty());
  if (target.kind == posix::ShellLinkTarget::Kind::kRelative) {
    FUZZ_CHECK(full.size() >= 3 && full[0] == u'C' && full[1] == u':' && full[2] == u'\\');
  }
  return 0;
}
