// The version a host sees: the headers' macros, the loaded library's answer
// and, on Windows, the DLLs' VERSIONINFO resources.
#include <gtest/gtest.h>

#include <string>

#include "TalqOSUtils/Version.h"

#if defined(_WIN32)
#include <windows.h>

#include <vector>
#endif

namespace {

TEST(Version, LibraryAnswersWhatTheHeadersSay) {
  const std::string expected = std::to_string(TALQOSUTILS_VERSION_MAJOR) + "." +
                               std::to_string(TALQOSUTILS_VERSION_MINOR) + "." +
                               std::to_string(TALQOSUTILS_VERSION_PATCH);
  EXPECT_EQ(expected, TALQOSUTILS_VERSION_STRING);
  EXPECT_EQ(std::string(TalqOSUtils::LibraryVersion()), expected);
}

#if defined(_WIN32)
// What Explorer's Details tab shows for a loaded DLL.
void ExpectVersionResource(const wchar_t* module, const wchar_t* description) {
  SCOPED_TRACE(::testing::Message() << "module " << std::wstring(module).size());
  wchar_t path[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(::GetModuleHandleW(module), path, MAX_PATH), 0u);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
  ASSERT_GT(size, 0u) << "no VERSIONINFO resource";
  std::vector<char> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(path, 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), TALQOSUTILS_VERSION_MAJOR);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), TALQOSUTILS_VERSION_MINOR);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), TALQOSUTILS_VERSION_PATCH);
  wchar_t* text = nullptr;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\FileDescription",
                               reinterpret_cast<void**>(&text), &length));
  EXPECT_EQ(std::wstring(text).rfind(description, 0), 0u);
}

TEST(Version, DllsCarryVersionResources) {
  ExpectVersionResource(L"TalqOSUtils.dll", L"TalqOSUtils:");
  ExpectVersionResource(L"Vandrel.dll", L"Vandrel:");
}
#endif

}  // namespace
