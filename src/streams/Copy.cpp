// OSCopyFile: the platform's copy (CopyFileExW, or its emulation) with the
// caller's check function on its progress routine.
#include <string>

#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/Streams.h"
#include "fs/OsPath.h"
#include "streams/FileState.h"

namespace TalqOSUtils {

namespace {

struct Check {
  ChCopyCheckFn fn;
  void* data;
  std::uint64_t last = 0;  // bytes copied at the last call
  int answer = 0;
};

// The progress routine: the check function once more than kCheckInterval
// bytes have gone since its last call, as streams call theirs.
bool OnProgress(std::uint64_t done, std::uint64_t total, void* data) {
  Check& check = *static_cast<Check*>(data);
  if (check.fn == nullptr || done - check.last <= streams::kCheckInterval) return true;
  check.last = done;
  check.answer =
      check.fn(check.data, static_cast<std::int64_t>(done), static_cast<std::int64_t>(total));
  return check.answer == 0;
}

platform::ErrorCode Copy(const std::string& source, const std::string& target, Check& check) {
  UnicodeString from;
  UnicodeString to;
  platform::ErrorCode code = fs::NtToOsPath(source, from);
  if (code == 0) code = fs::NtToOsPath(target, to);
  if (code != 0) return code;
  if (platform::Os().copyFile(from.c_str(), to.c_str(), &OnProgress, &check)) return 0;
  return platform::FailureCode();
}

// Makes the fork's file, as writing a fork does: true when this call made it.
bool MakeOwner(const std::string& nt) {
  UnicodeString wide;
  if (fs::NtToOsPath(nt, wide) != 0 ||
      platform::Os().getFileAttributes(wide.c_str()) != platform::kInvalidFileAttributes) {
    return false;
  }
  const platform::FileHandle made =
      platform::Os().createFile(wide.c_str(), platform::kGenericWrite, 0, platform::kCreateNew, 0);
  if (made == platform::kInvalidHandle) return false;
  platform::Os().closeHandle(made);
  return true;
}

}  // namespace

std::uint32_t OSCopyFile(const char* source, const char* target, bool fork, ChCopyCheckFn check,
                         void* data) {
  std::string from;
  std::string to;
  platform::ErrorCode code = fs::PrepareOsPath(source, from);
  if (code == 0) code = fs::PrepareOsPath(target, to);
  if (code != 0) return code;
  Check state{check, data};
  if (!fork) {
    code = Copy(from, to, state);
  } else {
    const bool madeOwner = MakeOwner(to);
    code = Copy(streams::ForkPath(from.c_str()), streams::ForkPath(to.c_str()), state);
    if (code == platform::kErrorFileNotFound) {
      code = Copy(streams::CompanionPath(from.c_str()), streams::ForkPath(to.c_str()), state);
    }
    if (code != 0 && madeOwner) {
      UnicodeString wide;
      if (fs::NtToOsPath(to, wide) == 0) platform::Os().deleteFile(wide.c_str());
    }
  }
  if (code == platform::kErrorRequestAborted && state.answer != 0) {
    return static_cast<std::uint32_t>(state.answer);
  }
  return code;
}

}  // namespace TalqOSUtils
