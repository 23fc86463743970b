// File queries when the OS answers oddly: the cases the failure sweep cannot make.
#include <filesystem>
#include <string>

#include "TalqOSUtils/FileSystem.h"
#include "gtest/gtest.h"
#include "platform/testing/FaultInjection.h"
#include "support/FsTestSupport.h"

using namespace TalqOSUtils;
using platform::CallId;

namespace {

TEST(MakeDirectoryFaults, ADirectoryMadeMeanwhileCountsAsMade) {
  talqtest::TempDir tmp;
  std::filesystem::create_directory(tmp.Native("made"));
  platform::ScopedFault fault(CallId::kGetFileAttributes, 1, platform::kErrorFileNotFound);
  EXPECT_TRUE(OSMakeDirectory((tmp / "made").c_str()));
  EXPECT_EQ(platform::CallsSeen(CallId::kCreateDirectory), 1u);
}

// A module path cut to the buffer names another folder: the count decides, not the NUL.
TEST(ApplicationDirectoryFaults, ACutModulePathGivesTheRoot) {
  static platform::Calls calls = platform::NativeCalls();
  calls.getModuleFileName = [](platform::OsChar* buffer, std::uint32_t capacity) {
    for (const char c : "C:\\dir\\x") *buffer++ = c;
    return capacity;
  };
  platform::InstallCalls(&calls);
  EXPECT_EQ(OSApplicationDirectory(), "/");
  platform::ClearFaults();
}

}  // namespace
