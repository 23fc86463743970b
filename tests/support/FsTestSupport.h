// Test helper: a temporary folder of the test's own, named in generic notation.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "TalqOSUtils/Paths.h"
#include "gtest/gtest.h"

namespace talqtest {

/// A fresh, uniquely named folder under the system temp folder, removed with
/// everything in it on destruction.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name =
        std::string("talq-fs-") + (info ? info->name() : "x") + "-" +
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007) +
        "-" + std::to_string(counter++);
    mNative = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(mNative);
    mGeneric = TalqOSUtils::OSPathGeneric(mNative.u8string());
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(mNative, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  /// The folder in generic notation, without a trailing '/'.
  const std::string& Generic() const { return mGeneric; }
  /// Generic path of `relative` (generic, '/'-separated) inside the folder.
  std::string operator/(const std::string& relative) const { return mGeneric + "/" + relative; }
  /// Native path of `relative` inside the folder.
  std::filesystem::path Native(const std::string& relative = std::string()) const {
    return relative.empty() ? mNative : mNative / std::filesystem::u8path(relative);
  }
  /// Writes a file of that content; returns its generic path.
  std::string Write(const std::string& relative, const std::string& content = "x") const {
    std::ofstream(Native(relative), std::ios::binary) << content;
    return *this / relative;
  }

 private:
  std::filesystem::path mNative;
  std::string mGeneric;
};

}  // namespace talqtest
