// Argument handling, error words and output shared by the subcommands.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "Talq.h"
#include "TalqOSUtils/Paths.h"

namespace talq {

std::string DescribeOsError(std::int64_t code) {
  struct Known {
    std::int64_t code;
    const char* words;
  };
  static const Known kKnown[] = {
      {2, "file not found"},
      {3, "path not found"},
      {4, "too many open files"},
      {5, "access denied"},
      {6, "invalid handle"},
      {8, "not enough memory"},
      {19, "the medium is write-protected"},
      {32, "the file is in use by another process (sharing violation)"},
      {33, "part of the file is locked"},
      {80, "the file exists"},
      {87, "invalid parameter"},
      {112, "the disk is full"},
      {123, "invalid file name"},
      {131, "seek before the start of the file"},
      {183, "the file already exists"},
      {206, "file name too long"},
      {267, "not a directory"},
      {1117, "input/output error"},
      {-2147483648LL, "the system reported a failure without a reason"},
  };
  for (const Known& k : kKnown) {
    if (k.code == code) return std::string(k.words) + " (error " + std::to_string(code) + ")";
  }
  return "system error " + std::to_string(code);
}

namespace {

std::string NativeToGeneric(const std::string& nativePath) {
#if defined(_WIN32)
  return TalqOSUtils::OSPathGeneric(nativePath);
#else
  return nativePath;
#endif
}

}  // namespace

std::string ToGeneric(const std::string& nativePath) {
  const std::string generic = NativeToGeneric(nativePath);
  if (generic.empty() || generic[0] == '/') return generic;
  // The library takes relative paths against the application's directory;
  // a shell user means the current one.
  std::error_code error;
  const std::filesystem::path cwd = std::filesystem::current_path(error);
  if (error) return generic;
  const auto cwdUtf8 = cwd.u8string();
  return TalqOSUtils::OSMakePathAbsolute(
      generic, NativeToGeneric(std::string(cwdUtf8.begin(), cwdUtf8.end())));
}

void WriteOut(const char* bytes, std::size_t n) {
  if (n != 0 && std::fwrite(bytes, 1, n, stdout) != n) {
    throw Failure{"cannot write to standard output"};
  }
}

void WriteOut(const std::string& bytes) { WriteOut(bytes.data(), bytes.size()); }

bool TakeFlag(Args& args, const std::string& flag) {
  const auto at = std::find(args.begin(), args.end(), flag);
  if (at == args.end()) return false;
  args.erase(at);
  return true;
}

std::string TakeOption(Args& args, const std::string& option) {
  const auto at = std::find(args.begin(), args.end(), option);
  if (at == args.end()) return std::string();
  if (at + 1 == args.end()) throw UsageError{option + " needs a value"};
  std::string value = *(at + 1);
  args.erase(at, at + 2);
  return value;
}

void ExpectCount(const Args& args, std::size_t min, std::size_t max) {
  for (const std::string& a : args) {
    if (a.size() > 1 && a[0] == '-') throw UsageError{"unknown option " + a};
  }
  if (args.size() < min) throw UsageError{"missing argument"};
  if (args.size() > max) throw UsageError{"too many arguments"};
}

}  // namespace talq
