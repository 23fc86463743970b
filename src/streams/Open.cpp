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
#include "streams/FileState.h"

namespace TalqOSUtils {
namespace streams {

namespace {

constexpr int kPathArea = 256;
constexpr const char* kForkSuffix = ":AFP_Resource";

platform::FileHandle OpenForReading(const std::string& ntName) {
  const UnicodeString wide(ntName);
  return platform::Os().createFile(wide.c_str(), platform::kGenericRead,
                                   platform::kFileShareRead | platform::kFileShareWrite,
                                   platform::kOpenExisting, platform::kFileFlagSequentialScan);
}

platform::FileHandle OpenForWriting(const UnicodeString& wide, std::uint32_t disposition) {
  return platform::Os().createFile(wide.c_str(), platform::kGenericWrite, platform::kFileShareRead,
                                   disposition, platform::kFileFlagSequentialScan);
}

}  // namespace

void PreparePath(const std::string& path, char* name, char* nt, const char* tooLong) {
  if (!OSPathGenericToUnix(path.c_str(), name, kPathArea) ||
      !OSPathLocal(path.c_str(), nt, kPathArea)) {
    throw ChException(tooLong);
  }
}

platform::FileHandle OpenForkCompanion(const char* ntPath) {
  const char* slash = std::strrchr(ntPath, '\\');
  if (slash == nullptr) return platform::kInvalidHandle;
  std::string companion(ntPath, static_cast<std::size_t>(slash - ntPath) + 1);
  companion += "._";
  companion += slash + 1;
  return OpenForReading(companion);
}

void OpenInputFile(ChInputFileState& file, const char* ntPath, bool fork) {
  if (!fork) {
    file.handle = OpenForReading(ntPath);
  } else {
    file.handle = OpenForReading(std::string(ntPath) + kForkSuffix);
    if (file.handle == platform::kInvalidHandle) {
      file.error = static_cast<std::int32_t>(platform::LastError());
      file.handle = OpenForkCompanion(ntPath);
    }
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
  file.error = 0;
}

void OpenOutputFile(ChOutputFileState& file, const char* ntPath, bool fork) {
  const UnicodeString wide(fork ? std::string(ntPath) + kForkSuffix : std::string(ntPath));
  file.handle = OpenForWriting(wide, platform::kCreateNew);
  if (file.handle == platform::kInvalidHandle) {
    const platform::ErrorCode first = platform::LastError();
    file.handle = OpenForWriting(wide, platform::kTruncateExisting);
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
