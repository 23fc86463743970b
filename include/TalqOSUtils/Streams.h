/// @file
/// Unbuffered file streams: ChInputStream reads a file (or its resource fork),
/// ChOutputStream writes one. Every read and write is one OS call on the
/// caller's buffer; the streams hold no data of their own.
///
/// Paths are generic paths (Paths.h), UTF-8. A path of 256 bytes or more
/// throws ChException, as does ChOutputStream::printf for a text of 1024
/// characters or more; every other failure is recorded, never thrown: the
/// stream keeps an int error code (error()), which is
///   0            no error,
///   the OS code  the Win32 last-error value of the failing call (for example
///                2 file not found, 32 sharing violation, 112 disk full,
///                131 negative seek),
///   0x80000000   (INT_MIN) a failure for which the OS gave no code,
///   other        a check function's non-zero result (cancelled).
/// Once a file is in error, reads return 0, writes and seeks do nothing and
/// getpos() returns 0, until a check function returns 0 (which never clears a
/// failed open) or the stream opens again.
///
/// Check functions: a stream calls its check function (with its user pointer)
/// at the first read or write that starts after more than 1,048,576 bytes were
/// requested since the last call or the open; the result replaces the file's
/// error code, so non-zero cancels and 0 resumes. A new stream takes the
/// process-wide default pair of its kind (SetDefaultInputCheckFn,
/// SetDefaultOutputCheckFn); the defaults are plain globals, set them before
/// streams are used on several threads. A stream is used by one thread at a
/// time.
///
/// Copies share the file: a copy (or an assigned stream) uses the same handle,
/// position, error code, size and check count as its source, while keeping its
/// own name(), error() and check function. The file is closed when the last
/// stream sharing it closes, opens another file or is destroyed; close() on
/// one copy leaves the others working.
#pragma once

#include <cstdint>
#include <string>

#include "TalqOSUtils/Export.h"

/// @def TALQ_PRINTF_FORMAT
/// Lets GCC and clang check printf's arguments against its format.
#if defined(__MINGW32__)
#define TALQ_PRINTF_FORMAT __attribute__((format(gnu_printf, 2, 3)))
#elif defined(__GNUC__)
#define TALQ_PRINTF_FORMAT __attribute__((format(printf, 2, 3)))
#else
#define TALQ_PRINTF_FORMAT
#endif

namespace TalqOSUtils {

/// A check function: called with the stream's user pointer; 0 lets transfers
/// go on, any other value stops them and becomes the stream's error code.
using ChCheckFn = int (*)(void* data);

/// Sets the check function and user pointer that input streams constructed
/// from now on take. Null fn: no checking. Streams that exist keep theirs.
TALQ_API void SetDefaultInputCheckFn(ChCheckFn fn, void* data);
/// The same for output streams.
TALQ_API void SetDefaultOutputCheckFn(ChCheckFn fn, void* data);

/// A copy's check function: called with its data pointer, the bytes copied
/// so far and the source's size, once more than 1,048,576 bytes have been
/// copied since the last call (and not at all for a smaller file); 0 lets the
/// copy go on, any other value cancels it and is the copy's result.
using ChCopyCheckFn = int (*)(void* data, std::int64_t done, std::int64_t total);

/// Copies the file at source to target (generic paths), fork false: its
/// data; true: its resource fork (from the companion "._name" when the
/// source has none). Returns 0, the check function's non-zero answer when it
/// cancelled, or the OS's Win32 code (also 123 for a path that is not UTF-8,
/// 206 for one of 256 bytes or more, 32 for a target that is the source).
/// What ends on disk is what cp(1) leaves:
/// - a new target gets the source's mode less the umask (Linux) and is
///   named only once whole: a failed or cancelled copy leaves no file;
/// - an existing target keeps its mode, owner, group (Windows: attributes
///   and security) and its other hard links, which see the new content; a
///   symbolic link is written through; one that leads nowhere is refused (3);
/// - a failed or cancelled copy leaves an existing target as it was, except
///   where it must be written in place: on Linux a file with other hard
///   links, in a folder this process may not write to, or owned by another
///   user (as a non-root user); on Windows in a folder it may not write to.
///   Those are left part written, as cp leaves them.
/// Linux copies through the kernel (copy_file_range) and keeps the source's
/// holes; Windows through CopyFileExW.
///   OSCopyFile("/C:/a.txt", "/C:/b.txt", false, nullptr, nullptr) => 0
TALQ_API std::uint32_t OSCopyFile(const char* source, const char* target, bool fork,
                                  ChCopyCheckFn check, void* data);

/// What an input stream shares with its copies (internal).
struct ChInputFileState;
/// What an output stream shares with its copies (internal).
struct ChOutputFileState;

/// The stream base: name, error code and check function. Abstract.
class TALQ_API ChIOStream {
 public:
  /// Name "", error 0, no check function.
  ChIOStream();
  /// Copies the name, the error code and the check function pair.
  ChIOStream(const ChIOStream& other);
  /// As the copy constructor.
  ChIOStream& operator=(const ChIOStream& other);
  virtual ~ChIOStream();

  /// True while the stream holds a file that opened.
  virtual bool isopen() const = 0;
  /// True while the stream holds a file state and error() is 0.
  virtual bool good() const = 0;
  /// Opens path (a generic path) or, when fork is true, its resource fork.
  virtual void openFork(const std::string& path, bool fork) = 0;
  /// openFork(path, false); path is read up to its first NUL.
  virtual void open(const std::string& path) = 0;
  /// Lets go of the file; name() and error() keep their values.
  virtual void close() = 0;
  /// The position from the start of the file; 0 without a file or in error.
  virtual std::int64_t getpos() const = 0;
  /// Moves to pos bytes from the start; a negative pos fails with 131.
  virtual void seek(std::int64_t pos) = 0;

  /// The error code of the last open, transfer or seek (see Streams.h); 0 on
  /// a new stream.
  int error() const { return mError; }
  /// The generic path given to the last open, as given ("" on a new
  /// stream); a path too long to open is kept cut to its first 255 bytes.
  const char* name() const { return mName; }
  /// The check function; its user pointer goes to *data (data must not be
  /// null).
  ChCheckFn getcheckfn(void** data) const {
    *data = mCheckData;
    return mCheckFn;
  }
  /// Sets the check function and its user pointer; null fn stops checking.
  /// The count of requested bytes carries on from where it was.
  void setcheckfn(ChCheckFn fn, void* data) {
    mCheckFn = fn;
    mCheckData = data;
  }

 protected:
  /// The generic path of the last open, NUL-terminated; "" on a new stream.
  char mName[256];
  /// The stream's copy of its file's error code; 0 = none.
  int mError;
  /// The check function, or null for none.
  ChCheckFn mCheckFn;
  /// The user pointer handed to mCheckFn.
  void* mCheckData;
};

/// Reads a file from its start or any position.
///
///   ChInputStream in;
///   in.open("/C:/docs/report");           // name() == "/C:/docs/report"
///   char buf[4];
///   in.read(buf, 4);                      // 10-byte file: 4, 4, 2 (eof()), 0
///
/// Opens with read access, sharing reading and writing with others, and the
/// sequential-scan hint; the file must exist.
class TALQ_API ChInputStream : public ChIOStream {
 public:
  /// No file; takes the default input check pair. The argument has no effect.
  explicit ChInputStream(int unused = 0);
  /// Shares other's file (see Streams.h).
  ChInputStream(const ChInputStream& other);
  /// Lets go of this stream's file, then shares other's. Self-assignment
  /// changes nothing.
  ChInputStream& operator=(const ChInputStream& other);
  ~ChInputStream() override;

  bool isopen() const override;
  bool good() const override;
  /// fork false: the file. fork true: its resource fork, the alternate data
  /// stream path:AFP_Resource, else the companion file "._name" beside it
  /// (read as it stands). Lets go of the file held before. Throws ChException
  /// "ChInputStream: path too long" for a path of 256 bytes or more, keeping
  /// the file held before. An OS failure leaves isopen() false and the
  /// code in error() (2 for a missing file).
  void openFork(const std::string& path, bool fork) override;
  void open(const std::string& path) override;
  void close() override;
  std::int64_t getpos() const override;
  /// Succeeds beyond the end (then reads return 0 and set eof()); clears
  /// eof() on success.
  void seek(std::int64_t pos) override;

  /// Reads up to n bytes into buf with one OS call; returns the count read.
  /// Fewer than n (0 at the end) sets eof(). Without a file, or in error,
  /// returns 0.
  std::uint32_t read(void* buf, std::uint32_t n);
  /// seek(getpos() + delta).
  void skip(std::int64_t delta);
  /// The file's size in bytes as it was at the open; 0 without a file.
  std::int64_t size() const;
  /// True when the file has 4 GiB (4,294,967,296 bytes) or more.
  bool isbig() const;
  /// position / size * 100, truncated: 33 at 1 of 3 bytes, 28 at 29 of 100
  /// (double rounding); 100 for an empty file or a failed open, 0 without a
  /// file. Not clamped at 100 past the end; values beyond the int range
  /// saturate.
  int percent() const;
  /// True without a file, else whether a read got fewer bytes than asked
  /// since the last successful seek.
  bool eof() const;

 protected:
  /// The file state, shared by copies of this stream; null without a file.
  ChInputFileState* mFile;
};

/// Writes a new file, or replaces the contents of an existing one.
///
///   ChOutputStream out;
///   out.open("/C:/docs/report");          // created, or emptied if present
///   out.write("abc");                     // 3 bytes, no terminator
///   out.printf("%d items\n", 12);
///
/// Opens with write access, sharing only reading with others, and the
/// sequential-scan hint.
class TALQ_API ChOutputStream : public ChIOStream {
 public:
  /// No file; takes the default output check pair. The argument has no
  /// effect.
  explicit ChOutputStream(int unused = 0);
  /// Shares other's file (see Streams.h).
  ChOutputStream(const ChOutputStream& other);
  /// Lets go of this stream's file, then shares other's.
  ChOutputStream& operator=(const ChOutputStream& other);
  ~ChOutputStream() override;

  bool isopen() const override;
  bool good() const override;
  /// fork false: the file; fork true: its alternate data stream
  /// path:AFP_Resource (a missing file is created with it, empty, as NTFS
  /// does). Created when missing, else truncated to 0 bytes; never appended
  /// to. Lets go of the file held before. Throws ChException
  /// "ChOutputStream: path too long" for a path of 256 bytes or more. An OS
  /// failure leaves isopen() false and the code in error() (32 while another
  /// handle holds the file without sharing writing, on Windows; 5, not 2,
  /// for a new file in a folder the user may not write to).
  void openFork(const std::string& path, bool fork) override;
  void open(const std::string& path) override;
  void close() override;
  std::int64_t getpos() const override;
  /// A position beyond the end is accepted; the next write fills the gap.
  void seek(std::int64_t pos) override;

  /// Writes n bytes of buf with one OS call. A write of fewer bytes (a full
  /// disk) is an error, with the OS's code or 0x80000000.
  void write(const void* buf, std::uint32_t n);
  /// Writes the string's bytes, embedded NULs included, no terminator.
  void write(const std::string& s);
  /// Formats as std::printf does and writes the text without its NUL. Throws
  /// ChException "Buffer overflow in ChOutputStream::printf", writing
  /// nothing, when the text has 1024 characters or more (1023 is written) or
  /// cannot be formatted.
  void printf(const char* format, ...) TALQ_PRINTF_FORMAT;

 protected:
  /// The file state, shared by copies of this stream; null without a file.
  ChOutputFileState* mFile;
};

}  // namespace TalqOSUtils
