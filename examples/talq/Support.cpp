// Argument handling, error words and output shared by the subcommands.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "Talq.h"
#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/Streams.h"

namespace talq {

std::string DescribeOsError(std::int64_t code) {
  const std::string text = TalqOSUtils::OSErrorText(static_cast<std::uint32_t>(code));
  if (text.rfind("error ", 0) == 0) return text;
  return text + " (error " + std::to_string(code) + ")";
}

std::string ArgFromBytes(const std::string& bytes) {
#if defined(_WIN32)
  return bytes;
#else
  return TalqOSUtils::OSNameBytesToUTF8(bytes);
#endif
}

std::string ToDisplay(const std::string& utf8) {
#if defined(_WIN32)
  return utf8;
#else
  return TalqOSUtils::OSUTF8ToNameBytes(utf8);
#endif
}

std::string Quoted(const std::string& arg) { return "'" + ToDisplay(arg) + "'"; }

namespace {

// The library's paths hold at most 255 bytes (a fixed limit of its interface).
constexpr std::size_t kPathLimit = 255;

std::string NativeToGeneric(const std::string& nativePath) {
#if defined(_WIN32)
  return TalqOSUtils::OSPathGeneric(nativePath);
#else
  // In generic notation a backslash escapes the next byte, and the NT form
  // the system is given turns any backslash into a separator: a Linux name
  // holding one cannot be reached through the library.
  if (nativePath.find('\\') != std::string::npos) {
    throw Failure{"cannot use " + Quoted(nativePath) +
                  ": names holding a backslash are out of TalqOSUtils' reach on Linux"};
  }
  return nativePath;
#endif
}

}  // namespace

std::string CurrentDirectory() {
  std::error_code error;
  const std::filesystem::path cwd = std::filesystem::current_path(error);
  if (error) return std::string();
#if defined(_WIN32)
  const auto utf8 = cwd.u8string();
  return TalqOSUtils::OSPathGeneric(std::string(utf8.begin(), utf8.end()));
#else
  return ArgFromBytes(cwd.native());
#endif
}

std::string ToGeneric(const std::string& nativePath) {
  std::string generic = NativeToGeneric(nativePath);
  // The library takes relative paths against the application's directory;
  // a shell user means the current one.
  if (!generic.empty() && generic[0] != '/') {
    const std::string cwd = CurrentDirectory();
    if (!cwd.empty()) generic = TalqOSUtils::OSMakePathAbsolute(generic, cwd);
  }
  if (generic.size() > kPathLimit) {
    throw Failure{"cannot use " + Quoted(nativePath) + ": its full path has " +
                  std::to_string(generic.size()) +
                  " bytes, and TalqOSUtils names files by paths of at most " +
                  std::to_string(kPathLimit) + " bytes"};
  }
  return generic;
}

namespace {

// The file OutputTo opened, or null for standard output.
std::unique_ptr<TalqOSUtils::ChOutputStream> gOutputFile;

// The words for a write's errno; a stream error without one is an I/O error.
std::string ErrnoText(int error) { return std::strerror(error != 0 ? error : EIO); }

}  // namespace

void WriteOut(const char* bytes, std::size_t n) {
  if (gOutputFile != nullptr) {
    gOutputFile->write(std::string(bytes, n));
    if (!gOutputFile->good()) throw OutputError{DescribeOsError(gOutputFile->error())};
    return;
  }
  errno = 0;
  if (n != 0 && std::fwrite(bytes, 1, n, stdout) != n) throw OutputError{ErrnoText(errno)};
}

void FlushOut() {
  errno = 0;
  if (gOutputFile == nullptr && std::fflush(stdout) != 0) throw OutputError{ErrnoText(errno)};
}

void OutputTo(const std::string& generic, const std::string& shown) {
  auto file = std::make_unique<TalqOSUtils::ChOutputStream>();
  file->setcheckfn(nullptr, nullptr);
  file->open(generic);
  if (!file->isopen()) {
    throw Failure{"cannot write " + Quoted(shown) + ": " + DescribeOsError(file->error())};
  }
  gOutputFile = std::move(file);
}

void WriteOut(const std::string& bytes) { WriteOut(bytes.data(), bytes.size()); }

namespace {

// Options come before a "--", which ends them: what follows is operands only.
Args::iterator FindOption(Args& args, const std::string& option) {
  const auto end = std::find(args.begin(), args.end(), "--");
  const auto at = std::find(args.begin(), end, option);
  return at == end ? args.end() : at;
}

}  // namespace

bool TakeFlag(Args& args, const std::string& flag) {
  const auto at = FindOption(args, flag);
  if (at == args.end()) return false;
  args.erase(at);
  return true;
}

std::string TakeOption(Args& args, const std::string& option) {
  const auto at = FindOption(args, option);
  if (at == args.end()) return std::string();
  if (at + 1 == args.end() || at[1] == "--") throw UsageError{option + " needs a value"};
  std::string value = *(at + 1);
  args.erase(at, at + 2);
  return value;
}

void ExpectCount(Args& args, std::size_t min, std::size_t max) {
  const auto end = std::find(args.begin(), args.end(), "--");
  for (auto a = args.begin(); a != end; ++a) {
    // "-" alone is an operand: standard input where a command reads files.
    if (a->size() > 1 && (*a)[0] == '-') throw UsageError{"unknown option " + *a};
  }
  if (end != args.end()) args.erase(end);
  if (args.size() < min) throw UsageError{"missing argument"};
  if (args.size() > max) throw UsageError{"too many arguments"};
}

}  // namespace talq
