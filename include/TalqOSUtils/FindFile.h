/// @file
/// Directory search: the entries of one directory, one at a time, through the
/// OS's find-first/find-next services, with an optional filter.
///
///   ChFindFile search("/C:/docs");                    // throws ChFindFileException
///   for (ChFindFileIterator it = search.FindFirst(); it.IsValid(); it = search.FindNext())
///     use(it.BaseName(nullptr), it.IsDirectory(), it.Size(), it.TimeStamp());
///
/// Entries come in the order the OS gives them, "." and ".." included where the
/// file system lists them. A search and its iterators are used by one thread
/// at a time; nothing is locked.
#pragma once

#include <cstdint>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Export.h"

namespace TalqOSUtils {

struct ChFindFileEntry;
struct ChFindFileState;
class ChFindFile;

/// One directory entry, or the invalid iterator that marks the end. Copies
/// share one counted record holding copies of the entry's data, so an
/// iterator stays readable after the search moves on, ends or is destroyed.
/// The count is a plain integer: iterators sharing a record stay on one thread.
class TALQ_API ChFindFileIterator {
 public:
  /// The invalid iterator.
  ChFindFileIterator();
  /// Shares other's record (none when other is invalid).
  ChFindFileIterator(const ChFindFileIterator& other);
  /// Drops this iterator's record (freed with its last sharer) and shares
  /// other's; self-assignment changes nothing.
  ChFindFileIterator& operator=(const ChFindFileIterator& other);
  ~ChFindFileIterator();

  /// True when the iterator holds an entry.
  bool IsValid() const;
  /// The entry's name without directory, UTF-8, NUL-terminated, at most 255
  /// bytes (a search skips an entry whose name is longer; see
  /// ChFindFile::LastError).
  /// Copies it with its NUL into buf unless buf is null (buf must hold 256
  /// bytes). Returns the record's own copy, valid while any iterator shares
  /// the record. Throws ChFindFileException "Invalid find file iterator" on
  /// the invalid iterator.
  ///   entry "résumé.txt": BaseName(nullptr) => "r\xC3\xA9sum\xC3\xA9.txt"
  const char* BaseName(char* buf) const;
  /// True for a directory ("." and ".." included); false on the invalid iterator.
  bool IsDirectory() const;
  /// True for an entry the OS marks as a reparse point: a symbolic link
  /// (Windows also marks junctions and other reparse points). The other
  /// queries describe what a link points to where the OS follows it (POSIX),
  /// the link itself where it does not (Windows); a walk through a tree
  /// descends into no such directory, or it may go round a loop forever.
  /// False on the invalid iterator.
  bool IsReparsePoint() const;
  /// True when the size is 4 GiB or more (4,294,967,296 => true,
  /// 4,294,967,295 => false); false on the invalid iterator.
  bool IsBigFile() const;
  /// The size in bytes as the OS lists it (0 for directories). Throws
  /// "Invalid find file iterator" on the invalid iterator.
  std::int64_t Size() const;
  /// The last-write time as the OS lists it: 100-nanosecond ticks since
  /// 1601-01-01 00:00 UTC (1970-01-01 00:00 UTC => 116444736000000000).
  /// Throws "Invalid find file iterator" on the invalid iterator.
  std::uint64_t TimeStamp() const;

 private:
  friend class ChFindFile;
  /// Takes over entry, a new record with its one share, from the search.
  explicit ChFindFileIterator(ChFindFileEntry* entry);

  ChFindFileEntry* mEntry;
};

/// The search over one directory. Misuse and bad roots throw
/// ChFindFileException (a ChException) with one of these messages:
///   "Uninitialized search"         no search: never initialised, ended, or
///                                  the last Init failed on a bad directory
///   "Root string too long"         root null, 256 bytes or more, or too long
///                                  for the OS pattern
///   "Bad directory specification"  root is no existing directory
///
/// Copies share one search: each drives the same enumeration, and the OS
/// search closes when the last copy ends its share (EndSearch, Init or
/// destruction). There is no assignment.
class TALQ_API ChFindFile {
 public:
  /// Decides whether an entry reaches the caller; sees every entry the OS
  /// lists, "." and ".." included. Runs on the caller's thread.
  using Filter = bool (*)(const ChFindFileIterator& entry);

  /// No search: IsValid() false, AtEnd() true.
  ChFindFile();
  /// As ChFindFile() followed by Init(root); Init's exceptions pass through.
  explicit ChFindFile(const char* root);
  /// Shares other's root and search (see the class comment).
  ChFindFile(const ChFindFile& other);
  ChFindFile& operator=(const ChFindFile&) = delete;
  /// EndSearch().
  virtual ~ChFindFile();

  /// Ends any earlier search (EndSearch) and starts a new one over root, a
  /// generic path (relative paths are taken from the current directory). The
  /// stored root ends in a separator: "/C:/docs" => "/C:/docs/", "/C:/docs/"
  /// stays. Throws "Root string too long" for a null root, one of 256 bytes or
  /// more, or one of 255 that needs the '/' added; the search then stays
  /// initialised (IsValid() true, Root() the first 255 bytes, or for a null
  /// root the root it held) but FindFirst refuses it with the same message.
  /// Throws "Bad directory specification" when root is no existing
  /// directory; IsValid() is false afterwards.
  virtual void Init(const char* root);
  /// The first entry that passes the filter, or the invalid iterator. While
  /// an enumeration runs, restarts it from the first entry: the running OS
  /// search is closed, root and filter are kept, AtEnd() becomes false and
  /// LastError() 0. Returns the invalid iterator, without touching AtEnd(),
  /// when the OS search cannot start; LastError() then says why (0 when the
  /// directory just has nothing to list). Throws "Uninitialized search"
  /// without a search and "Root string too long" when the root's NT form
  /// with "\*" exceeds 255 bytes.
  virtual ChFindFileIterator FindFirst();
  /// The next entry that passes the filter, or the invalid iterator once the
  /// entries have run out (AtEnd() then true; later calls ask the OS
  /// nothing). An OS failure ends the enumeration the same way, and
  /// LastError() tells it from the end. Throws "Uninitialized search"
  /// without a search, also when the filter ended it.
  virtual ChFindFileIterator FindNext();
  /// Drops this object's share of the search (closing the OS search with the
  /// last share); IsValid() is false afterwards. Harmless without a search.
  virtual void EndSearch();

  /// True without a search, or once FindFirst/FindNext ran off the end.
  bool AtEnd() const;
  /// True while this object holds a search.
  bool IsValid() const;
  /// Why the search could not start or stopped early, as the OS's (Win32)
  /// error code; 0 while all is well, after a normal end, and without a
  /// search. Set by FindFirst when the OS search cannot start (except
  /// ERROR_FILE_NOT_FOUND, which only means nothing to list) and by FindNext
  /// when the OS stops with anything but ERROR_NO_MORE_FILES; Init and
  /// FindFirst reset it, and copies sharing the search share it. 0x80000000
  /// stands for a failure the OS gave no code for. A search that skipped an
  /// entry because its name is longer than 255 bytes in UTF-8 (a Linux
  /// name of 86 bytes that are not UTF-8, a Windows name of 86 CJK
  /// characters) goes on with the others and ends with
  /// ERROR_FILENAME_EXCED_RANGE (206) instead of 0: a cut name could name
  /// another file.
  ///   a directory without read permission: FindFirst() invalid, LastError() 5
  ///   an empty drive root (no "." to list): FindFirst() invalid, LastError() 0
  std::uint32_t LastError() const;
  /// The stored root (generic, ending in a separator), also copied with its
  /// NUL into buf unless buf is null (buf must hold 256 bytes). Throws
  /// "Uninitialized search" without a search.
  const char* Root(char* buf) const;
  /// Sets the filter (null: every entry passes) from the next FindFirst or
  /// FindNext on, for every copy sharing the search. Throws "Uninitialized
  /// search" without a search.
  void SetFilter(Filter filter);

 private:
  ChFindFileIterator ActualFindFirst();
  ChFindFileIterator ActualFindNext();
  ChFindFileIterator FilterIterator(const ChFindFileIterator& iterator);

  char mRoot[256];
  ChFindFileState* mSearch;
};

}  // namespace TalqOSUtils
