// talq: a command-line host of TalqOSUtils. Shared pieces of the subcommands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talq {

/// Exit codes: 0 done, 1 failed, 2 usage error, 128 + N cancelled by signal N
/// (130 for Ctrl-C, SIGINT).
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

/// A Win32 error code (what streams and searches report) in words:
/// 2 => "file not found (error 2)".
std::string DescribeOsError(std::int64_t code);

/// An argument as the library takes it: on Linux the raw bytes of a name,
/// with each byte that is not valid UTF-8 carried as a lone surrogate; on
/// Windows the command line is UTF-16 already and arrives as UTF-8.
std::string ArgFromBytes(const std::string& bytes);
/// The reverse, for output: a name from the library as the bytes the user's
/// system spells it with (on Windows, UTF-8 unchanged).
std::string ToDisplay(const std::string& utf8);
/// An argument quoted for a message: 'name'.
std::string Quoted(const std::string& arg);

/// A file typed by the user (native notation, as ArgFromBytes gives it) in
/// generic notation, made absolute against the current directory. On Linux
/// the notations agree; on Windows "C:\dir" becomes "/C:/dir". Throws
/// Failure for what the library cannot name: a Linux name holding a
/// backslash, or a generic path over the library's 255-byte limit.
std::string ToGeneric(const std::string& nativePath);
/// The current directory in generic notation ("" when it cannot be read).
std::string CurrentDirectory();

/// Thrown when standard output cannot be written (a full disk, a closed
/// pipe): no command goes on, and main prints "talq CMD: write error:
/// REASON" and exits with kFailed.
struct OutputError {
  std::string reason;  ///< "No space left on device"
};

/// A stop signal that cancelled the command (0: none). main raises it again,
/// with its default action, once all is cleaned up and flushed, so that a
/// shell sees the death by signal and stops a loop too (POSIX; on Windows
/// the exit code 128 + N stands).
extern int gCancelSignal;

/// Writes bytes to standard output (or to the file OutputTo named),
/// unchanged; throws OutputError.
void WriteOut(const std::string& bytes);
void WriteOut(const char* bytes, std::size_t n);
/// Flushes standard output; throws OutputError.
void FlushOut();
/// Sends what WriteOut writes to the file at the generic path (created or
/// emptied) instead of standard output; throws Failure when it cannot be
/// opened.
void OutputTo(const std::string& generic, const std::string& shown);

/// Whether args holds `flag` before any "--"; removes it when present.
bool TakeFlag(Args& args, const std::string& flag);
/// The value after `option` (removed with it) before any "--", or "" when
/// absent. Throws UsageError when the option has no value.
std::string TakeOption(Args& args, const std::string& option);
/// Removes the "--" that ends the options, then throws UsageError for an
/// option left before it, or unless min <= args.size() <= max.
void ExpectCount(Args& args, std::size_t min, std::size_t max);

int PathCommand(Args args);
int LsCommand(Args args);
int CatCommand(Args args);
int CopyCommand(Args args);
int ResolveCommand(Args args);
int ResourceCommand(Args args);
int AppdirCommand(Args args);
int IconvCommand(Args args);

}  // namespace talq
