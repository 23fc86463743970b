// Helpers shared by the test suites: third-party test data and expected exceptions.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace talqtest {

/// Full path of a file under the shared test data folder, or an empty string
/// when the folder is absent (callers then skip, saying why).
inline std::string TestDataPath(const std::string& relative) {
  std::string path = std::string(TALQ_TESTDATA_DIR) + "/" + relative;
#if defined(_WIN32)
  if (path[0] == '/') path = "Z:" + path;  // under Wine the Linux root is drive Z:
#endif
  return std::ifstream(path, std::ios::binary) ? path : std::string();
}

/// Checks that fn throws an E whose what() is `message`.
template <typename E, typename Fn>
void ExpectThrowWhat(Fn&& fn, const char* message) {
  try {
    fn();
    ADD_FAILURE() << "no exception, expected \"" << message << "\"";
  } catch (const E& e) {
    EXPECT_STREQ(e.what(), message);
  }
}

}  // namespace talqtest

/// Skips the current test when the shared test data folder is missing.
#define TALQ_REQUIRE_TESTDATA(var, relative)                                            \
  const std::string var = ::talqtest::TestDataPath(relative);                           \
  if (var.empty()) {                                                                    \
    GTEST_SKIP() << "shared test data not found (expected " << TALQ_TESTDATA_DIR << "/" \
                 << (relative) << "); it lives beside the checkout";                    \
  }
