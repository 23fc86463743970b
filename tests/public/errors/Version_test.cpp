// The DLLs' version resources. LibraryVersion() itself is compared with the
// headers by the package test's host, on both builds.
#if defined(_WIN32)
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "TalqOSUtils/Version.h"

namespace {

TEST(Version, DllsCarryVersionResources) {
  for (const std::wstring name : {L"TalqOSUtils.dll", L"Vandrel.dll"}) {
    wchar_t path[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(::GetModuleHandleW(name.c_str()), path, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u) << "no VERSIONINFO resource";
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path, 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), TALQOSUTILS_VERSION_MAJOR) << name.size();
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), TALQOSUTILS_VERSION_MINOR);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), TALQOSUTILS_VERSION_PATCH);
  }
}

}  // namespace

#endif  // _WIN32
