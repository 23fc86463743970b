// talq: a command-line host of TalqOSUtils. Shared pieces of the subcommands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talq {

/// Exit codes: 0 done, 1 failed, 2 usage error, 130 cancelled (as by SIGINT).
enum Exit { kOk = 0, kFailed = 1, kUsage = 2, kCancelled = 130 };

using Args = std::vector<std::string>;

/// Thrown by a subcommand for a bad command line; main prints it with the
/// subcommand's usage and exits with kUsage.
struct UsageError {
  std::string message;
};

/// Thrown by a subcommand for a failure; main prints "talq: <what>" and
/// exits with kFailed.
struct Failure {
  std::string what;
};

/// A Win32 error code (what streams report) in words: 2 => "file not found".
std::string DescribeOsError(std::int64_t code);

/// A path typed by the user (native notation) in generic notation, made
/// absolute against the current directory. On Linux the notations agree; on
/// Windows "C:\dir" becomes "/C:/dir".
std::string ToGeneric(const std::string& nativePath);

/// Writes bytes to standard output, unchanged.
void WriteOut(const std::string& bytes);
void WriteOut(const char* bytes, std::size_t n);

/// Whether args holds `flag`; removes it when present.
bool TakeFlag(Args& args, const std::string& flag);
/// The value after `option` (removed with it), or "" when absent. Throws
/// UsageError when the option is last.
std::string TakeOption(Args& args, const std::string& option);
/// Throws UsageError unless min <= args.size() <= max.
void ExpectCount(const Args& args, std::size_t min, std::size_t max);

int PathCommand(Args args);
int LsCommand(Args args);
int CatCommand(Args args);
int CopyCommand(Args args);
int ResolveCommand(Args args);
int ResourceCommand(Args args);
int AppdirCommand(Args args);
int IconvCommand(Args args);

}  // namespace talq
