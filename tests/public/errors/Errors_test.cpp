// Errors.h: the exception and the words for error codes; on Windows the DLLs' version resources.
#include <cstdint>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>

#include "TalqOSUtils/Errors.h"
#include "gtest/gtest.h"

#if defined(_WIN32)
#include <windows.h>

#include <vector>

#include "TalqOSUtils/Version.h"
#endif

using TalqOSUtils::ChException;

namespace {

// A handler for std::exception does not catch it. (Tests of the functions
// that throw catch it as ChException across the library boundary.)
static_assert(!std::is_base_of<std::exception, ChException>::value, "ChException has no base");

TEST(ChException, TextsAreExactPrivateCopies) {
  EXPECT_STREQ(ChException().what(), "");
  char text[] = "Unsupported encoding";
  ChException e(text);
  text[0] = 'X';
  EXPECT_STREQ(e.what(), "Unsupported encoding");
  // Its own text handed back must survive the release of the old copy.
  EXPECT_STREQ(e.SetDescription(e.what()), "Unsupported encoding");
  EXPECT_EQ(e.SetDescription(nullptr), nullptr);

  auto* first = new ChException("Unable to convert file path");
  ChException copy(*first);
  delete first;
  EXPECT_STREQ(copy.what(), "Unable to convert file path");
  const char* before = copy.what();
  copy = static_cast<ChException&>(copy);
  EXPECT_EQ(copy.what(), before);
  copy = ChException();
  EXPECT_STREQ(copy.what(), "") << "assigned an exception without a message";
}

// Codes and their Win32 meanings, written from the system's documentation: every code of the
// list, and numbers outside it.
TEST(OSErrorText, GivesWordsForReportedCodesAndTheNumberOtherwise) {
  // clang-format off
  const std::pair<std::uint32_t, const char*> rows[] = {
      {0, "no error"}, {2, "file not found"}, {3, "path not found"}, {5, "access denied"},
      {112, "the disk is full"}, {32, "the file is in use by another process (sharing violation)"},
      {0x80000000u, "failed without a reason from the system"}, {4242, "error 4242"},
      {130, "error 130"}, {0xFFFFFFFFu, "error 4294967295"},
      // the rest of the list: hosts and talq print these after "cannot open 'x': "
      {1, "invalid function"}, {4, "too many open files"}, {6, "invalid handle"},
      {18, "no more files"}, {8, "not enough memory"}, {17, "not on the same device"},
      {19, "the medium is write-protected"}, {31, "general failure"},
      {33, "part of the file is locked"}, {38, "end of file"}, {50, "not supported"},
      {80, "the file exists"}, {87, "invalid parameter"}, {123, "invalid file name"},
      {109, "the pipe has been ended"}, {122, "the buffer is too small"},
      {206, "file name too long"}, {131, "seek before the start of the file"},
      {132, "cannot seek on this device"}, {145, "the directory is not empty"},
      {170, "the resource is in use"}, {223, "the file is too large"},
      {183, "the file already exists"}, {203, "no such environment variable"},
      {1117, "input/output error"}, {267, "invalid directory name"},
      {1142, "too many links to the file"}, {1295, "disk quota exceeded"},
      {1235, "the operation was cancelled"}, {13, "the data is invalid"},
      {1113, "a character has no form in the target encoding"},
      {1921, "the name cannot be resolved (too many symbolic links)"}};
  // clang-format on
  for (const auto& row : rows) EXPECT_EQ(TalqOSUtils::OSErrorText(row.first), row.second);
}

#if defined(_WIN32)
// The DLLs' version resources. LibraryVersion() itself is compared with the
// headers by the package test's host, on both builds.
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

#endif

}  // namespace
