// File queries when the OS answers oddly: the cases the failure sweep cannot make.
#include <algorithm>
#include <filesystem>
#include <string>

#include "TalqOSUtils/FileSystem.h"
#include "gtest/gtest.h"
#include "platform/testing/FaultInjection.h"
#include "support/FsTestSupport.h"

using namespace TalqOSUtils;
using platform::CallId;

namespace {

// The test says "missing", the creation finds the directory made meanwhile: true.
TEST(MakeDirectoryFaults, ADirectoryMadeMeanwhileCountsAsMade) {
  talqtest::TempDir tmp;
  std::filesystem::create_directory(tmp.Native("made"));
  platform::ScopedFault fault(CallId::kGetFileAttributes, 1, platform::kErrorFileNotFound);
  EXPECT_TRUE(OSMakeDirectory((tmp / "made").c_str()));
  EXPECT_EQ(platform::CallsSeen(CallId::kCreateDirectory), 1u);
}

// A module path cut to the buffer names another directory: the answer is the
// root, as when the OS fails. The count decides, not where the text ends.
TEST(ApplicationDirectoryFaults, ACutModulePathGivesTheRoot) {
  static platform::Calls calls = platform::NativeCalls();
  calls.getModuleFileName = [](platform::OsChar* buffer, std::uint32_t capacity) {
    const char kCut[] = "C:\\dir\\x";
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
