// File queries when the OS fails or answers oddly, through the platform's
// fault hook and hand-made call tables. The failure sweep covers each call
// failing in turn; these are the cases it cannot make.
#include <algorithm>
#include <filesystem>
#include <string>

#include "TalqOSUtils/FileSystem.h"
#include "gtest/gtest.h"
#include "platform/testing/FaultInjection.h"
#include "support/FsTestSupport.h"

using namespace TalqOSUtils;
namespace platform = TalqOSUtils::platform;
using platform::CallId;

namespace {

// The test says "missing" but the creation then finds the directory there, as
// when another process made it in between: the answer is still true.
TEST(MakeDirectoryFaults, ADirectoryMadeMeanwhileCountsAsMade) {
  talqtest::TempDir tmp;
  std::filesystem::create_directory(tmp.Native("made"));
  platform::ScopedFault fault(CallId::kGetFileAttributes, 1, platform::kErrorFileNotFound);
  EXPECT_TRUE(OSMakeDirectory((tmp / "made").c_str()));
  EXPECT_EQ(platform::CallsSeen(CallId::kCreateDirectory), 1u);
}

// A module path cut to the buffer names some other directory: no directory
// is guessed from it, the answer is the root as when the OS fails. The count
// decides, not where the text seems to end.
TEST(ApplicationDirectoryFaults, ACutModulePathGivesTheRoot) {
  static platform::Calls calls = platform::NativeCalls();
  calls.getModuleFileName = [](platform::OsChar* buffer, std::uint32_t capacity) {
    const char kCut[] = "C:\\dir\\x";
    std::fill(buffer, buffer + capacity, platform::OsChar{'a'});
    std::copy(kCut, kCut + sizeof kCut, buffer);
    platform::SetLastError(platform::kErrorInsufficientBuffer);
    return capacity;
  };
  platform::InstallCalls(&calls);
  const std::string dir = OSApplicationDirectory();
  platform::ClearFaults();
  EXPECT_EQ(dir, "/");
}

}  // namespace
