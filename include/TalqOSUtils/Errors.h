/// @file
/// The exception class of TalqOSUtils and the message logging switch.
#pragma once

#include <cstdint>
#include <string>

#include "TalqOSUtils/Export.h"

namespace TalqOSUtils {

/// What the library throws for its own errors (allocation failures and
/// UnicodeString's size limits throw the standard exceptions instead). It
/// has no base class (a handler for std::exception does not catch it); catch
/// it by reference and read what().
///
/// Each object owns a private heap copy of its message, exactly as long as
/// the text; copies and assignments copy the text into the receiver.
class TALQ_API ChException {
 public:
  /// No message: what() yields "".
  ChException();
  /// Copies text; a null pointer leaves the object without message.
  explicit ChException(const char* text);
  /// Copies the string's text up to its first NUL byte.
  explicit ChException(const std::string& text);
  /// Copies source.what() (an object without message copies as an owned "").
  ChException(const ChException& source);
  /// As the copy constructor; self-assignment changes nothing.
  ChException& operator=(const ChException& source);
  virtual ~ChException();

  /// The message, or "" (a static string) when there is none or it is empty.
  /// Never null. Valid until the next SetDescription, assignment or
  /// destruction of this object.
  virtual const char* what() const;

  /// Replaces the message by a copy of text and returns the stored copy;
  /// null text removes the message and returns null. Passing the object's
  /// own what() keeps the text. When the copy cannot be allocated,
  /// std::bad_alloc propagates and the object is left without message.
  virtual const char* SetDescription(const char* text);

 protected:
  /// The message text, or null for none.
  char* mDescription;
  /// Whether mDescription is this object's own heap copy.
  bool mOwnsDescription;
};

/// Thrown by the directory search; caught by a ChException handler.
class TALQ_API ChFindFileException : public ChException {
 public:
  /// Copies text, as ChException(const char*).
  explicit ChFindFileException(const char* text);
  /// Copies the message, as ChException's copy constructor.
  ChFindFileException(const ChFindFileException& source);
  /// Copies the message, as ChException's assignment.
  ChFindFileException& operator=(const ChFindFileException& source);
  ~ChFindFileException() override;
};

/// The words for an error code the library hands out: a stream's error(), a
/// search's LastError(), or a Win32 code from the system. Short and lower
/// case, the same on every build; a code the library does not know (or a
/// check function's own result) gives "error N".
///   2 => "file not found"     5 => "access denied"     0 => "no error"
///   0x80000000 (a stream's INT_MIN) => "failed without a reason from the system"
///   4242 => "error 4242"
TALQ_API std::string OSErrorText(std::uint32_t code);

/// Records the logging switch. Nothing in the library reads it.
TALQ_API void FileMessageLogging(bool enable);

/// Accepts a message and any arguments, reads none of them, logs nothing.
TALQ_API void LogFileMessage(const char* message, ...);

}  // namespace TalqOSUtils
