// Test helper: a temporary folder of the test's own, named in generic notation.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "TalqOSUtils/Paths.h"

#if defined(_WIN32)
#include <windows.h>

#include <shlobj.h>
#else
#include "support/LnkWriter.h"
#endif

namespace talqtest {

/// A fresh, uniquely named folder under the system temp folder, removed on destruction.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    do mNative = temp / ("talq-fs-" + std::to_string(counter++));
    while (!std::filesystem::create_directory(mNative));  // taken: another test's, or stale
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
  std::filesystem::path Native(const std::string& relative) const {
    return mNative / std::filesystem::u8path(relative);
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

/// Makes dir the current directory for a scope.
class InDirectory {
 public:
  explicit InDirectory(const std::filesystem::path& dir) : mOld(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~InDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(mOld, ignored);
  }
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;

 private:
  std::filesystem::path mOld;
};

/// The whole file's bytes ("" when it cannot be read).
inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#if !defined(_WIN32)
/// The descriptors this process holds open.
inline long OpenDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}
#endif

/// Makes the shortcut `link` to `target` (generic): by the shell link on Windows, else MakeLnk.
inline bool MakeShortcut(const std::string& link, const std::string& target) {
#if defined(_WIN32)
  const auto wide = [](auto& p) { return std::filesystem::u8path(TalqOSUtils::OSPathLocal(p)); };
  ::CoInitialize(nullptr);
  IShellLinkW* shell = nullptr;
  IPersistFile* file = nullptr;
  const bool ok =
      SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shell))) &&
      SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(shell->SetPath(wide(target).c_str())) &&
      SUCCEEDED(file->Save(wide(link).c_str(), TRUE));
  if (file != nullptr) file->Release();
  if (shell != nullptr) shell->Release();
  return ok;
#else
  std::ofstream out(std::filesystem::u8path(link), std::ios::binary);
  out << MakeLnk(LnkParts().Local(TalqOSUtils::OSPathLocal(target)));
  return static_cast<bool>(out);
#endif
}

/// What ResolveAliasOrLink gives for a shortcut to `target`: its NT form, read back.
inline std::string Resolved(const std::string& target) {
  return TalqOSUtils::OSPathGeneric(TalqOSUtils::OSPathLocal(target));
}

}  // namespace talqtest
