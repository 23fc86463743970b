// Temporary folders and whole-file helpers for the stream tests, usable from
// the public and the internal test programs alike.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "TalqOSUtils/Paths.h"

namespace streamtest {

namespace fs = std::filesystem;

/// A new folder under the system temp folder, removed with its contents.
class TempDir {
 public:
  TempDir() {
    static std::atomic<unsigned> serial{0};
    const auto stamp =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const fs::path base = fs::temp_directory_path();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
      mDir = base / ("talq-streams-" + std::to_string(stamp % 1000000007u) + "-" +
                     std::to_string(serial++));
      std::error_code ec;
      if (fs::create_directory(mDir, ec)) return;
    }
    ADD_FAILURE() << "cannot create a folder under " << base.u8string();
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(mDir, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  /// The native path of name in the folder.
  fs::path Native(const std::string& name) const { return mDir / fs::u8path(name); }
  /// The generic path of name in the folder ("/C:/users/.../name" on
  /// Windows, "/tmp/.../name" elsewhere).
  std::string Generic(const std::string& name) const {
    return TalqOSUtils::OSPathGeneric(Native(name).u8string());
  }
  /// The folder's generic path, without a trailing slash.
  std::string GenericDir() const { return TalqOSUtils::OSPathGeneric(mDir.u8string()); }

 private:
  fs::path mDir;
};

inline void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace streamtest
