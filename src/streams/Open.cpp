// Opening a stream's file or resource fork. The fork is the alternate data
// stream AFP_Resource; an input stream that finds none reads the companion
// file "._name" beside the file instead. An output stream creates its file
// new, else truncates the one there; when both fail, the error is the
// truncation's unless that only found nothing, for then the creation's
// failure (access denied in a read-only folder, say) is the reason.
#include <cstring>
#include <string>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/UnicodeString.h"
#include "VandrelRules/NtPath.h"
#include "fs/OsPath.h"
#include "streams/FileState.h"

namespace TalqOSUtils {
namespace streams {

namespace {

// CreateFileW on the NT path; text that is not UTF-8 names no file.
platform::FileHandle CreateFile(const std::string& nt, std::uint32_t access, std::uint32_t share,
                                std::uint32_t disposition) {
  UnicodeString wide;
  const platform::ErrorCode refused = fs::NtToOsPath(nt, wide);
  if (refused != platform::kErrorSuccess) {
    platform::SetLastError(refused);
    return platform::kInvalidHandle;
  }
  return platform::Os().createFile(wide.c_str(), access, share, disposition,
                                   platform::kFileFlagSequentialScan);
}

platform::FileHandle OpenForReading(const std::string& nt) {
  return CreateFile(nt, platform::kGenericRead,
                    platform::kFileShareRead | platform::kFileShareWrite, platform::kOpenExisting);
}

platform::FileHandle OpenForWriting(const std::string& nt, std::uint32_t disposition) {
  return CreateFile(nt, platform::kGenericWrite, platform::kFileShareRead, disposition);
}

}  // namespace

void PreparePath(const std::string& path, char* name, std::string& nt, const char* tooLong) {
  OSPathGenericToUnix(path.c_str(), name, static_cast<int>(kPathArea));
  // "" goes on as it is: the OS's answer is the open's error.
  if (fs::PrepareOsPath(path.c_str(), nt) == platform::kErrorFilenameExcedRange) {
    throw ChException(tooLong);
  }
}

std::string ForkPath(const char* ntPath) {
  // "x:AFP_Resource" would be drive X's relative path AFP_Resource.
  std::string fork = std::string(ntPath) + platform::kForkSuffix;
  if (Vandrel::ntpath::StartsWithDrive(fork) && !Vandrel::ntpath::StartsWithDrive(ntPath)) {
    fork.insert(0, ".\\");
  }
  return fork;
}

std::string CompanionPath(const char* ntPath) {
  // The name starts after the last separator, or after a drive ("C:x").
  const char* slash = std::strrchr(ntPath, '\\');
  const std::size_t name = slash != nullptr                           ? slash - ntPath + 1
                           : Vandrel::ntpath::StartsWithDrive(ntPath) ? 2
                                                                      : 0;
  return std::string(ntPath, name) + "._" + (ntPath + name);
}

platform::FileHandle OpenForkCompanion(const char* ntPath) {
  return OpenForReading(CompanionPath(ntPath));
}

void OpenInputFile(ChInputFileState& file, const char* ntPath, bool fork) {
  if (!fork) {
    file.handle = OpenForReading(ntPath);
  } else {
    file.handle = OpenForReading(ForkPath(ntPath));
    if (file.handle == platform::kInvalidHandle) file.handle = OpenForkCompanion(ntPath);
  }
  if (file.handle == platform::kInvalidHandle) {
    file.error = FailureCode();
    return;
  }
  std::uint32_t high = 0;
  platform::SetLastError(platform::kErrorSuccess);
  const std::uint32_t low = platform::Os().getFileSize(file.handle, &high);
  if (low == platform::kInvalidFileSize && platform::LastError() != platform::kErrorSuccess) {
    // Without its size the stream would report wrong sizes and progress:
    // the open fails instead.
    file.error = FailureCode();
    platform::Os().closeHandle(file.handle);
    file.handle = platform::kInvalidHandle;
    return;
  }
  file.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

void OpenOutputFile(ChOutputFileState& file, const char* ntPath, bool fork) {
  const std::string nt = fork ? ForkPath(ntPath) : std::string(ntPath);
  file.handle = OpenForWriting(nt, platform::kCreateNew);
  if (file.handle == platform::kInvalidHandle) {
    const platform::ErrorCode first = platform::LastError();
    file.handle = OpenForWriting(nt, platform::kTruncateExisting);
    // "Not found" from the retry says only that nothing was there to
    // truncate: the first failure (access denied, say) is the reason.
    if (file.handle == platform::kInvalidHandle &&
        platform::LastError() == platform::kErrorFileNotFound) {
      platform::SetLastError(first);
    }
  }
  if (file.handle == platform::kInvalidHandle) file.error = FailureCode();
}

}  // namespace streams
}  // namespace TalqOSUtils
