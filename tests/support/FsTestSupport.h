// Test helper: a temporary folder of the test's own, named in generic notation.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "TalqOSUtils/Paths.h"
#include "gtest/gtest.h"

#if defined(_WIN32)
#include <windows.h>
// windows.h first
#include <objbase.h>
#include <shlobj.h>
#else
#include "support/LnkWriter.h"
#endif

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
  std::string Generic(const std::string& relative) const { return *this / relative; }
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

/// Makes the shortcut `link` to `target` (both generic): by the shell-link
/// object on Windows, in the published format elsewhere. True on success.
inline bool MakeShortcut(const std::string& link, const std::string& target) {
  const std::string ntTarget = TalqOSUtils::OSPathLocal(target);
#if defined(_WIN32)
  ::CoInitialize(nullptr);
  IShellLinkW* shell = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shell)))) {
    return false;
  }
  IPersistFile* file = nullptr;
  bool ok = SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
  ok = ok && SUCCEEDED(shell->SetPath(std::filesystem::u8path(ntTarget).wstring().c_str()));
  const auto ntLink = std::filesystem::u8path(TalqOSUtils::OSPathLocal(link));
  ok = ok && SUCCEEDED(file->Save(ntLink.wstring().c_str(), TRUE));
  if (file != nullptr) file->Release();
  shell->Release();
  return ok;
#else
  LnkParts parts;
  parts.localBase = ntTarget;
  std::ofstream out(std::filesystem::u8path(link), std::ios::binary);
  out << MakeLnk(parts);
  return static_cast<bool>(out);
#endif
}

/// What ResolveAliasOrLink gives for a shortcut to `target`: its NT form read
/// back into generic notation.
inline std::string Resolved(const std::string& target) {
  return TalqOSUtils::OSPathGeneric(TalqOSUtils::OSPathLocal(target));
}

}  // namespace talqtest
