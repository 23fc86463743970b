/// @file
/// The C interface of TalqOSUtils: plain C99 (also valid C++), exported from
/// the same library as the C++ interface, usable from any compiler and, through
/// its flat functions, from any language (ctypes, P/Invoke, cgo, Rust FFI).
///
/// Conventions, common to every function:
/// - Strings are NUL-terminated UTF-8 (char) or UTF-16 in host byte order
///   (talq_unit); paths are generic paths, as in Paths.h.
/// - Every function returns an int code: 0 (TALQ_OK) on success, otherwise a
///   Win32 error code (the TALQ_ERROR_ constants name those the interface
///   gives itself; the OS's own codes pass through), whatever the platform.
///   talq_error_text gives the words for any code.
/// - A string result goes into the caller's buffer buf of capacity units
///   (bytes for char, 16-bit units for talq_unit), NUL included. The size the
///   whole result needs, its NUL included, goes to *needed unless needed is
///   null. A null buf is a size query: nothing is written and the call
///   succeeds. When the result does not fit, its first capacity - 1 units and
///   a NUL are written (nothing when capacity is 0) and the call returns
///   TALQ_ERROR_INSUFFICIENT_BUFFER. A UTF-8 result cut that way may end
///   inside a character. On any other failure, buf holds "" (when capacity is
///   not 0) and *needed is 0.
/// - A null pointer where the function needs one gives
///   TALQ_ERROR_INVALID_PARAMETER; a null, closed or foreign handle gives
///   TALQ_ERROR_INVALID_HANDLE. Handles are never reused, so closing one twice
///   is harmless (the second close gives TALQ_ERROR_INVALID_HANDLE).
/// - No exception crosses the interface. The C++ interface's exceptions (as
///   its headers document them) become these codes:
///     a path too long (for OSPathLocal, a stream, a search root)
///                                        TALQ_ERROR_FILENAME_EXCED_RANGE (206)
///     a search root that is no directory TALQ_ERROR_DIRECTORY (267)
///     a search without a search, an
///     invalid find file iterator         TALQ_ERROR_INVALID_HANDLE (6)
///     an unknown encoding                TALQ_ERROR_INVALID_PARAMETER (87)
///     the unsupported encoding           TALQ_ERROR_NOT_SUPPORTED (50)
///     any other                          TALQ_ERROR_GEN_FAILURE (31)
///   and the standard ones: allocation failure TALQ_ERROR_NOT_ENOUGH_MEMORY
///   (8), a text beyond the conversion buffers' limits (std::length_error)
///   TALQ_ERROR_NOT_ENOUGH_MEMORY (8), anything else TALQ_ERROR_GEN_FAILURE.
/// - A handle is used by one thread at a time; different handles and the
///   handle-free functions may be used on any thread.
///
///   char nt[256];
///   size_t needed;
///   if (talq_path_to_nt("/C:/docs/a.txt", nt, sizeof nt, &needed) == TALQ_OK)
///     puts(nt);  // C:\docs\a.txt
#ifndef TALQOSUTILS_TALQ_H
#define TALQOSUTILS_TALQ_H

#include <stddef.h>
#include <stdint.h>

#include "TalqOSUtils/Export.h"

#ifdef __cplusplus
extern "C" {
#endif

/// @name Result codes (Win32 numbering)
/// @{

/// Success.
#define TALQ_OK 0
/// A file to open, delete or look up does not exist.
#define TALQ_ERROR_FILE_NOT_FOUND 2
/// A directory on the way to a path does not exist.
#define TALQ_ERROR_PATH_NOT_FOUND 3
/// The operation is refused (a directory given to talq_delete_file, ...).
#define TALQ_ERROR_ACCESS_DENIED 5
/// A null, closed or foreign handle, or a search that has no search.
#define TALQ_ERROR_INVALID_HANDLE 6
/// Memory ran out, or a text exceeded the conversion buffers' limits.
#define TALQ_ERROR_NOT_ENOUGH_MEMORY 8
/// talq_convert: input that is not valid in its encoding.
#define TALQ_ERROR_INVALID_DATA 13
/// talq_search_next: the entries have run out.
#define TALQ_ERROR_NO_MORE_FILES 18
/// talq_convert: the source ends inside a character (carry it to the next block).
#define TALQ_ERROR_HANDLE_EOF 38
/// An unexpected failure inside the library.
#define TALQ_ERROR_GEN_FAILURE 31
/// The encoding TALQ_ENCODING_UNSUPPORTED.
#define TALQ_ERROR_NOT_SUPPORTED 50
/// A null pointer, an unknown encoding or mode, or an operation the handle's
/// kind does not have (the size of a write stream).
#define TALQ_ERROR_INVALID_PARAMETER 87
/// The result did not fit in the caller's buffer; see the conventions.
#define TALQ_ERROR_INSUFFICIENT_BUFFER 122
/// A path or name that no file can have (an odd run of leading colons in a
/// Mac HFS path; UTF-8 that no Linux name reads back as; a path handed to
/// the file system that is not UTF-8, which never stands for the file whose
/// name has U+FFFD there).
#define TALQ_ERROR_INVALID_NAME 123
/// talq_make_directory: a file that is not a directory is in the way.
#define TALQ_ERROR_ALREADY_EXISTS 183
/// A path too long for the library (see the exception table above).
#define TALQ_ERROR_FILENAME_EXCED_RANGE 206
/// talq_search_open: the root is no existing directory.
#define TALQ_ERROR_DIRECTORY 267
/// talq_convert, talq_utf8_to_encoding: a character the target encoding lacks.
#define TALQ_ERROR_NO_UNICODE_TRANSLATION 1113
/// A stream failure for which the OS gave no code (0x80000000).
#define TALQ_ERROR_NO_REASON (-2147483647 - 1)
/// @}

/// One UTF-16 code unit, host byte order (wchar_t on Windows, char16_t
/// elsewhere, in the C++ interface).
typedef uint16_t talq_unit;

/// @name Version and error texts
/// @{

/// The version of the library loaded, "major.minor.patch"; a static string.
TALQ_API const char* talq_version(void);
/// The words for code, as OSErrorText gives them: 2 => "file not found",
/// 4242 => "error 4242"; TALQ_ERROR_NO_REASON => "failed without a reason
/// from the system". Buffer contract as above.
TALQ_API int talq_error_text(int code, char* buf, size_t capacity, size_t* needed);
/// @}

/// @name Path notations
/// Each converts a NUL-terminated path of any length; a null path gives
/// TALQ_ERROR_INVALID_PARAMETER.
/// @{

/// Generic to NT: "/C:/Windows" => "C:\Windows", "a\/b" => "a/b".
TALQ_API int talq_path_to_nt(const char* path, char* buf, size_t capacity, size_t* needed);
/// NT to generic: "C:\Windows" => "/C:/Windows".
TALQ_API int talq_path_from_nt(const char* path, char* buf, size_t capacity, size_t* needed);
/// Generic to Mac HFS: "/Disk/Docs/a.txt" => "Disk:Docs:a.txt", "a/b" => ":a:b".
TALQ_API int talq_path_to_hfs(const char* path, char* buf, size_t capacity, size_t* needed);
/// Mac HFS to generic: "Disk:Docs" => "/Disk/Docs", "::a" => "../a"; an odd
/// run of leading colons (":::a") gives TALQ_ERROR_INVALID_NAME.
TALQ_API int talq_path_from_hfs(const char* path, char* buf, size_t capacity, size_t* needed);
/// Generic to Unix: a copy (the notations agree).
TALQ_API int talq_path_to_unix(const char* path, char* buf, size_t capacity, size_t* needed);
/// Unix to generic: a copy.
TALQ_API int talq_path_from_unix(const char* path, char* buf, size_t capacity, size_t* needed);
/// @}

/// @name Path composition
/// @{

/// path made absolute against base, "." and ".." resolved (OSMakePathAbsolute):
/// ("x/y", "/a/b") => "/a/b/x/y"; an absolute path comes back unchanged. A
/// null or empty base stands for the application directory.
TALQ_API int talq_path_absolute(const char* path, const char* base, char* buf, size_t capacity,
                                size_t* needed);
/// The last component, ignoring one trailing '/': "/a/b/" => "b", "/" => "".
TALQ_API int talq_path_basename(const char* path, char* buf, size_t capacity, size_t* needed);
/// Everything before the last '/': "a/b" => "a", "/a" => "/", "a" => ".".
TALQ_API int talq_path_dirname(const char* path, char* buf, size_t capacity, size_t* needed);
/// name appended to path with one '/' between: "/a" + "b" => "/a/b",
/// "/a/" + "b" => "/a/b", "" + "b" => "b".
TALQ_API int talq_path_join(const char* path, const char* name, char* buf, size_t capacity,
                            size_t* needed);
/// Raw Linux name bytes as the library's UTF-8 (OSNameBytesToUTF8): a byte
/// that is not part of valid UTF-8 becomes the three-byte form of
/// U+DC00+byte: "caf\xE9" => "caf\xED\xB3\xA9".
TALQ_API int talq_name_bytes_to_utf8(const char* bytes, char* buf, size_t capacity, size_t* needed);
/// The reverse (OSUTF8ToNameBytes): "caf\xED\xB3\xA9" => "caf\xE9". Text that
/// no name reads back as (a lone surrogate outside U+DC80..U+DCFF) gives
/// TALQ_ERROR_INVALID_NAME.
TALQ_API int talq_utf8_to_name_bytes(const char* utf8, char* buf, size_t capacity, size_t* needed);
/// @}

/// @name File queries and changes
/// @{

/// What path names, into *kind: TALQ_KIND_NONE, TALQ_KIND_FILE or
/// TALQ_KIND_DIRECTORY (paths of 256 bytes or more name nothing).
TALQ_API int talq_path_kind(const char* path, int* kind);
/// talq_path_kind: nothing there (or the OS cannot tell).
#define TALQ_KIND_NONE 0
/// talq_path_kind: a file (anything that is not a directory).
#define TALQ_KIND_FILE 1
/// talq_path_kind: a directory.
#define TALQ_KIND_DIRECTORY 2
/// Deletes the file at path (on Linux with its resource fork, when that is a
/// regular file). "" gives TALQ_ERROR_INVALID_PARAMETER, 256 bytes or more
/// TALQ_ERROR_FILENAME_EXCED_RANGE, text that is not UTF-8
/// TALQ_ERROR_INVALID_NAME, a directory TALQ_ERROR_ACCESS_DENIED, otherwise
/// a failure gives the OS's code.
TALQ_API int talq_delete_file(const char* path);
/// Makes path a directory, parents first; 0 when it is one on return. "" or
/// "/" give TALQ_ERROR_INVALID_PARAMETER, a file in the way
/// TALQ_ERROR_ALREADY_EXISTS, 256 bytes or more
/// TALQ_ERROR_FILENAME_EXCED_RANGE, text that is not UTF-8
/// TALQ_ERROR_INVALID_NAME, a missing entry directly below the root (never
/// created) TALQ_ERROR_PATH_NOT_FOUND, otherwise the code with which the OS
/// refused to create a directory (5 access denied, 112 disk full, ...).
TALQ_API int talq_make_directory(const char* path);
/// @}

/// @name Application and resources directories, resources, shortcuts
/// @{

/// The directory of the process's executable, generic, ending with '/';
/// TALQ_ERROR_PATH_NOT_FOUND when the OS cannot give its path whole.
TALQ_API int talq_application_directory(char* buf, size_t capacity, size_t* needed);
/// The shared resources directory as set, else the application directory.
TALQ_API int talq_shared_resources_directory(char* buf, size_t capacity, size_t* needed);
/// Sets the shared resources directory, stored unchanged; "" clears it.
TALQ_API int talq_set_shared_resources_directory(const char* dir);
/// The path of the resource name below the application directory, else below
/// the shared resources directory (OSFindResourcePath); neither gives
/// TALQ_ERROR_FILE_NOT_FOUND.
TALQ_API int talq_find_resource(const char* name, char* buf, size_t capacity, size_t* needed);
/// The target of the Windows shortcut path (or path + ".lnk" when path does
/// not exist), generic; any other path comes back unchanged
/// (ResolveAliasOrLink). Shortcut files are read on every platform.
TALQ_API int talq_resolve_shortcut(const char* path, char* buf, size_t capacity, size_t* needed);
/// @}

/// @name Streams
/// Unbuffered file streams behind an opaque handle (Streams.h): every read or
/// write is one OS call on the caller's buffer. Once a stream is in error,
/// transfers and seeks do nothing and return the error code, until the check
/// function returns 0.
/// @{

/// An open file stream.
typedef struct talq_stream talq_stream;
/// A check function: called with its user pointer at the first transfer that
/// starts after more than 1,048,576 bytes were requested since the last call
/// or the open; 0 lets transfers go on, any other value stops them and
/// becomes the stream's error code.
typedef int (*talq_check_fn)(void* user);
/// talq_stream_open: read an existing file.
#define TALQ_STREAM_READ 0
/// talq_stream_open: write a file, created or emptied.
#define TALQ_STREAM_WRITE 1
/// Opens path for mode (TALQ_STREAM_READ or TALQ_STREAM_WRITE); fork 0 is the
/// file's data, any other value its resource fork (path:AFP_Resource). The
/// handle goes to *stream (null on failure); it has no check function. Fails with the OS's code (2
/// for a missing file to read), TALQ_ERROR_FILENAME_EXCED_RANGE for 256 bytes or more,
/// TALQ_ERROR_INVALID_PARAMETER for another mode.
TALQ_API int talq_stream_open(const char* path, int mode, int fork, talq_stream** stream);
/// Reads up to size bytes into buf; the count read goes to *got (0 at the
/// end of the file, which is no error).
TALQ_API int talq_stream_read(talq_stream* stream, void* buf, uint32_t size, uint32_t* got);
/// Writes size bytes of buf; a short write is an error.
TALQ_API int talq_stream_write(talq_stream* stream, const void* buf, uint32_t size);
/// Moves to pos bytes from the start; a negative pos fails with 131.
TALQ_API int talq_stream_seek(talq_stream* stream, int64_t pos);
/// The position from the start into *pos; a stream in error gives 0 there
/// and returns its error code.
TALQ_API int talq_stream_position(talq_stream* stream, int64_t* pos);
/// The size of a read stream's file, as at the open, into *size; a write
/// stream gives TALQ_ERROR_INVALID_PARAMETER.
TALQ_API int talq_stream_size(talq_stream* stream, int64_t* size);
/// How far a read stream has come, position / size * 100 truncated (100 for
/// an empty file), into *percent; a stream in error gives 0 there and
/// returns its error code; a write stream gives
/// TALQ_ERROR_INVALID_PARAMETER.
TALQ_API int talq_stream_percent(talq_stream* stream, int* percent);
/// The stream's error code: 0, the OS's code, TALQ_ERROR_NO_REASON or a check
/// function's result; TALQ_ERROR_INVALID_HANDLE for a bad handle.
TALQ_API int talq_stream_error(talq_stream* stream);
/// Sets the check function and its user pointer; a null fn stops checking.
TALQ_API int talq_stream_set_check(talq_stream* stream, talq_check_fn fn, void* user);
/// Closes the file and frees the handle; a write stream returns the OS's
/// code when closing the file fails (data lost at close, on a network or
/// quota-limited file system). A check function may close its own stream:
/// the handle is closed at once, the file when the transfer that ran the
/// check function returns; that transfer moves nothing and returns the
/// check function's non-zero result, else TALQ_ERROR_INVALID_HANDLE (or the
/// close's failure).
TALQ_API int talq_stream_close(talq_stream* stream);
/// @}

/// @name Copying a file
/// @{

/// A copy's check function: called with its user pointer, the bytes copied
/// and the source's size, once more than 1,048,576 bytes have been copied
/// since the last call; 0 goes on, any other value cancels the copy and is
/// its result.
typedef int (*talq_copy_fn)(void* user, int64_t done, int64_t total);
/// Copies source to target (fork 0: the data; other: the resource fork),
/// with what cp leaves on disk (OSCopyFile in Streams.h): a new target named
/// only once whole, with the source's mode less the umask; an existing one
/// keeping its mode, owner and hard links, left as it was by a failure or
/// cancel wherever it need not be written in place. check may be null.
/// Returns 0, the check function's answer when it cancelled, or the OS's
/// code (32 when target is source, 3 for a link that leads nowhere).
TALQ_API int talq_copy_file(const char* source, const char* target, int fork, talq_copy_fn check,
                            void* user);
/// @}

/// @name Directory search
/// The entries of one directory, in the order the OS lists them, "." and ".."
/// included where the file system lists them (FindFile.h).
/// @{

/// A running directory search.
typedef struct talq_search talq_search;
/// talq_entry.attributes: the entry is a directory (FILE_ATTRIBUTE_DIRECTORY).
#define TALQ_ATTRIBUTE_DIRECTORY 0x10u
/// talq_entry.attributes: the entry is a symbolic link, or on Windows another
/// reparse point such as a junction (FILE_ATTRIBUTE_REPARSE_POINT). A walk
/// through a tree that descends into such a directory may go round forever.
#define TALQ_ATTRIBUTE_REPARSE_POINT 0x400u
/// One directory entry. Its size is fixed, with a reserved tail so that
/// later versions can add fields without changing it.
typedef struct talq_entry {
  /// The name without directory, UTF-8, at most 255 bytes and a NUL.
  char name[256];
  /// TALQ_ATTRIBUTE_DIRECTORY and TALQ_ATTRIBUTE_REPARSE_POINT, or 0.
  uint32_t attributes;
  /// The size in bytes as the OS lists it (0 for directories).
  int64_t size;
  /// The last-write time in 100-nanosecond ticks since 1601-01-01 00:00 UTC.
  uint64_t last_write;
  /// Reserved: 0 in this version.
  uint64_t reserved[8];
} talq_entry;
/// A filter: sees every entry with its user pointer; non-zero keeps it.
typedef int (*talq_filter_fn)(const talq_entry* entry, void* user);
/// Starts a search over the directory root (generic; relative to the current
/// directory when relative); filter may be null. The handle goes to *search
/// (null on failure). Fails with TALQ_ERROR_DIRECTORY when root is no
/// existing directory, TALQ_ERROR_FILENAME_EXCED_RANGE when it is too long,
/// TALQ_ERROR_INVALID_NAME when it is not UTF-8.
TALQ_API int talq_search_open(const char* root, talq_filter_fn filter, void* user,
                              talq_search** search);
/// The next entry that passes the filter into *entry: 0, or
/// TALQ_ERROR_NO_MORE_FILES once the entries have run out, or the OS's code
/// when the search could not start or stopped early (5 for a directory that
/// cannot be read), which talq_search_error then also gives. An entry whose
/// name does not fit talq_entry.name is skipped, never listed cut, and the
/// search then ends with TALQ_ERROR_FILENAME_EXCED_RANGE instead of
/// TALQ_ERROR_NO_MORE_FILES. A filter may close its own search: this call
/// then returns TALQ_ERROR_INVALID_HANDLE once the filter returns.
TALQ_API int talq_search_next(talq_search* search, talq_entry* entry);
/// Why the search could not start or stopped early (ChFindFile::LastError):
/// 0 while all is well and after a normal end; TALQ_ERROR_INVALID_HANDLE for
/// a bad handle.
TALQ_API int talq_search_error(talq_search* search);
/// Ends the search and frees the handle.
TALQ_API int talq_search_close(talq_search* search);
/// @}

/// @name Text
/// @{

/// talq_encoding_to_utf8, talq_utf8_to_encoding: the platform code page.
#define TALQ_ENCODING_DEFAULT 0
/// Refused with TALQ_ERROR_NOT_SUPPORTED.
#define TALQ_ENCODING_UNSUPPORTED 1
/// Mac OS Roman.
#define TALQ_ENCODING_MAC_ROMAN 2
/// ISO 8859-1.
#define TALQ_ENCODING_ISO_LATIN1 3
/// Percent-encoded UTF-8.
#define TALQ_ENCODING_URL 4
/// UTF-8.
#define TALQ_ENCODING_UTF8 5
/// The platform code page: the ANSI code page on Windows, else Windows-1252.
#define TALQ_ENCODING_PLATFORM 6

/// UTF-8 to UTF-16 (UTF8ToUCS2): a leading EF BB BF of a text longer than
/// three bytes is dropped, each ill-formed sequence becomes U+FFFD. Sizes
/// count 16-bit units.
TALQ_API int talq_utf8_to_utf16(const char* utf8, talq_unit* buf, size_t capacity, size_t* needed);
/// UTF-16 (up to its first 0 unit) to UTF-8 (UCS2ToUTF8): a leading U+FEFF
/// is dropped, a leading U+FFFE is dropped and the rest byte-swapped.
TALQ_API int talq_utf16_to_utf8(const talq_unit* text, char* buf, size_t capacity, size_t* needed);
/// text in encoding, as UTF-8 (MapEncodingToUTF8):
/// (TALQ_ENCODING_ISO_LATIN1, "\xE9") => "\xC3\xA9".
TALQ_API int talq_encoding_to_utf8(int encoding, const char* text, char* buf, size_t capacity,
                                   size_t* needed);
/// UTF-8 text in encoding (MapUTF8ToEncoding). A character Mac OS Roman
/// lacks fails with TALQ_ERROR_NO_UNICODE_TRANSLATION (talq_convert says
/// where), never an empty success.
TALQ_API int talq_utf8_to_encoding(int encoding, const char* utf8, char* buf, size_t capacity,
                                   size_t* needed);
/// talq_convert: UTF-16 in little-endian byte order (a byte-order mark is a
/// character; handling one is the caller's).
#define TALQ_ENCODING_UTF16LE 7
/// talq_convert: UTF-16 in big-endian byte order.
#define TALQ_ENCODING_UTF16BE 8
/// talq_convert flags: stop at the first problem (the default), ...
#define TALQ_CONVERT_STRICT 0
/// ... or replace it (U+FFFD for bad input, '?' where the target lacks that
/// or the character, as the other text functions do), ...
#define TALQ_CONVERT_REPLACE 1
/// ... or skip it;
#define TALQ_CONVERT_SKIP 2
/// and: the source ends here, so a character it cuts is bad input, not
/// TALQ_ERROR_HANDLE_EOF.
#define TALQ_CONVERT_LAST 4
/// Converts src_size bytes of src from one encoding to another (the
/// TALQ_ENCODING_ values; DEFAULT is the platform code page) into dst, at most
/// dst_size bytes, no NUL added; NUL in src is a character. Bytes read go to
/// *read, bytes written to *written (either may be null). Returns 0 when all
/// of src is converted; TALQ_ERROR_INSUFFICIENT_BUFFER when dst is full (go
/// on from *read; 12 bytes hold any one character);
/// TALQ_ERROR_INVALID_DATA or TALQ_ERROR_NO_UNICODE_TRANSLATION for bad input
/// or a character the target lacks, at the offset *read (strict only);
/// TALQ_ERROR_HANDLE_EOF when the source ends inside a character starting at
/// *read (without TALQ_CONVERT_LAST: carry those bytes into the next call);
/// TALQ_ERROR_NOT_SUPPORTED for TALQ_ENCODING_UNSUPPORTED or a multi-byte
/// ANSI code page; TALQ_ERROR_INVALID_PARAMETER for an unknown encoding or
/// flag, or a null pointer with a size.
///   (TALQ_ENCODING_UTF8, TALQ_ENCODING_MAC_ROMAN, "a\xC4\x89", 3, dst, 8,
///    TALQ_CONVERT_LAST, &read, &written) => 1113, read 1, written 1
TALQ_API int talq_convert(int from, int to, const void* src, size_t src_size, void* dst,
                          size_t dst_size, int flags, size_t* read, size_t* written);
/// Into *has: 1 when text is longer than three bytes and starts with EF BB
/// BF, else 0.
TALQ_API int talq_utf8_has_bom(const char* text, int* has);
/// Into *has: 1 when text starts with U+FEFF or U+FFFE, else 0.
TALQ_API int talq_utf16_has_bom(const talq_unit* text, int* has);
/// text without its leading EF BB BF when talq_utf8_has_bom says so, else
/// text.
TALQ_API int talq_utf8_strip_bom(const char* text, char* buf, size_t capacity, size_t* needed);
/// {FEFF, x...} => {x...}; {FFFE, x...} => {x...} byte-swapped; otherwise
/// text. Sizes count 16-bit units.
TALQ_API int talq_utf16_strip_bom(const talq_unit* text, talq_unit* buf, size_t capacity,
                                  size_t* needed);
/// @}

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // TALQOSUTILS_TALQ_H
