// Directory search over the platform layer's find calls.
#include "TalqOSUtils/FindFile.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/UnicodeString.h"
#include "Vandrel/Vandrel.h"
#include "errors/Exceptions.h"
#include "find/FindInternal.h"
#include "fs/OsPath.h"
#include "platform/Platform.h"

namespace TalqOSUtils {

namespace {

[[noreturn]] void Throw(const char* message) { throw ChFindFileException(message); }

// The root's NT form in nt when the root names a directory, else false.
bool DirectoryAt(const char* root, std::string& nt) {
  UnicodeString wide;
  if (fs::PrepareOsPath(root, nt) != 0 || fs::NtToOsPath(nt, wide) != 0) return false;
  const std::uint32_t attributes = platform::Os().getFileAttributes(wide.c_str());
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kFileAttributeDirectory) != 0;
}

// An entry for the search's next name: one of the two it made last that no
// iterator holds any more, else a new one.
ChFindFileEntry& FreeEntry(ChFindFileState& search) {
  for (ChFindFileEntry* entry : search.made) {
    if (entry != nullptr && entry->sharers == 1) return *entry;
  }
  // The iterators that hold the older keep it.
  shared::Release(search.made[1]);
  search.made[1] = search.made[0];
  search.made[0] = new ChFindFileEntry;
  return *search.made[0];
}

// A share of the entry made from the search's record, or null when its name
// does not fit (a cut name would name another file): the caller skips it.
ChFindFileEntry* EntryOf(ChFindFileState& search) {
  ChFindFileEntry& entry = FreeEntry(search);
  return find::FillEntry(search.record, entry) ? shared::Share(&entry) : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// ChFindFileIterator

ChFindFileIterator::ChFindFileIterator() : mEntry(nullptr) {}

ChFindFileIterator::ChFindFileIterator(ChFindFileEntry* entry) : mEntry(entry) {}

ChFindFileIterator::ChFindFileIterator(const ChFindFileIterator& other)
    : mEntry(shared::Share(other.mEntry)) {}

ChFindFileIterator& ChFindFileIterator::operator=(const ChFindFileIterator& other) {
  if (this != &other) shared::Assign(mEntry, other.mEntry);
  return *this;
}

ChFindFileIterator::~ChFindFileIterator() { shared::Release(mEntry); }

bool ChFindFileIterator::IsValid() const { return mEntry != nullptr; }

const char* ChFindFileIterator::BaseName(char* buf) const {
  if (mEntry == nullptr) Throw(errors::kInvalidIterator);
  if (buf != nullptr) std::memcpy(buf, mEntry->name, std::strlen(mEntry->name) + 1);
  return mEntry->name;
}

bool ChFindFileIterator::IsDirectory() const { return mEntry != nullptr && mEntry->isDirectory; }

bool ChFindFileIterator::IsReparsePoint() const {
  return mEntry != nullptr && mEntry->isReparsePoint;
}

bool ChFindFileIterator::IsBigFile() const { return mEntry != nullptr && mEntry->sizeHigh != 0; }

std::int64_t ChFindFileIterator::Size() const {
  if (mEntry == nullptr) Throw(errors::kInvalidIterator);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(mEntry->sizeHigh) << 32) |
                                   mEntry->sizeLow);
}

std::uint64_t ChFindFileIterator::TimeStamp() const {
  if (mEntry == nullptr) Throw(errors::kInvalidIterator);
  return mEntry->lastWriteTime;
}

namespace find {

bool FillEntry(const platform::FindData& record, ChFindFileEntry& entry) {
  if (record.nameBytes != nullptr) {
    if (fs::NameBytesToUtf8(record.nameBytes, record.nameLength, entry.name, sizeof entry.name) ==
        sizeof entry.name) {
      return false;
    }
  } else {
    constexpr std::size_t kUnits = sizeof record.name / sizeof record.name[0];
    // Units without a NUL hold a cut name.
    if (std::char_traits<platform::OsChar>::find(record.name, kUnits, 0) == nullptr) return false;
    // Straight from UTF-16, with no mark processing: a name may begin with
    // U+FEFF or U+FFFE, and it must come back as the OS spelled it.
    if (Vandrel::Uni16CharToUTF8(record.name, entry.name, sizeof entry.name) < 0) return false;
  }
  entry.sizeHigh = record.sizeHigh;
  entry.sizeLow = record.sizeLow;
  entry.isDirectory = (record.attributes & platform::kFileAttributeDirectory) != 0;
  entry.isReparsePoint = (record.attributes & platform::kFileAttributeReparsePoint) != 0;
  entry.lastWriteTime = record.lastWriteTime;
  return true;
}

}  // namespace find

// ---------------------------------------------------------------------------
// ChFindFile

ChFindFile::ChFindFile() : mRoot(), mSearch(nullptr) {}

// Delegating: once ChFindFile() has run, the destructor ends a search that
// Init began and then refused by throwing.
ChFindFile::ChFindFile(const char* root) : ChFindFile() { ChFindFile::Init(root); }

ChFindFile::ChFindFile(const ChFindFile& other) : mRoot(), mSearch(shared::Share(other.mSearch)) {
  std::memcpy(mRoot, other.mRoot, sizeof mRoot);
}

ChFindFile::~ChFindFile() { ChFindFile::EndSearch(); }

void ChFindFile::Init(const char* root) {
  // Through the virtual interface, so a subclass's EndSearch runs too (not
  // from the constructor, where there is nothing to end).
  EndSearch();  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
  mSearch = new ChFindFileState;
  if (!OSPathGenericToUnix(root, mRoot, static_cast<int>(kPathArea))) {
    // mRoot holds a cut root, or for a null root the one it held: it stays
    // readable through Root(), but is never searched.
    mSearch->rootTooLong = true;
    Throw(errors::kRootTooLong);
  }
  // The root goes to the OS once: its NT form serves the test here and
  // becomes the pattern of every FindFirst.
  std::string nt;
  if (!DirectoryAt(mRoot, nt)) {
    EndSearch();  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
    Throw(errors::kBadDirectory);
  }
  const std::size_t length = std::strlen(mRoot);
  if (length == 0 || !IsAnySeparator(mRoot[length - 1])) {
    if (length + 2 > kPathArea) {
      mSearch->rootTooLong = true;
      Throw(errors::kRootTooLong);
    }
    mRoot[length] = '/';
    mRoot[length + 1] = '\0';
    nt += '\\';
  }
  nt += "\\*";
  // FindFirst refuses a root whose pattern does not fit the area.
  mSearch->rootTooLong = nt.size() >= kPathArea;
  // The root's text passed NtToOsPath in DirectoryAt; "\*" keeps it path text.
  fs::NtToOsPath(nt, mSearch->pattern);
  mSearch->atEnd = false;
}

ChFindFileIterator ChFindFile::ActualFindFirst() {
  if (mSearch == nullptr) Throw(errors::kNoSearch);
  if (mSearch->rootTooLong) Throw(errors::kRootTooLong);
  // A restart closes only the OS search: root, filter and the other sharers'
  // state stay.
  if (mSearch->handle != platform::kInvalidHandle) {
    const platform::FindHandle running = mSearch->handle;
    mSearch->handle = platform::kInvalidHandle;
    platform::Os().findClose(running);
  }
  mSearch->lastError = 0;

  mSearch->handle = platform::Os().findFirstFile(mSearch->pattern.c_str(), &mSearch->record);
  if (mSearch->handle == platform::kInvalidHandle) {
    // FILE_NOT_FOUND is FindFirstFileW's answer for nothing to list.
    const platform::ErrorCode code = platform::LastError();
    mSearch->lastError = code == platform::kErrorFileNotFound ? 0 : platform::FailureCode(code);
    return ChFindFileIterator();
  }
  mSearch->atEnd = false;
  mSearch->skipped = 0;
  if (ChFindFileEntry* entry = EntryOf(*mSearch)) return ChFindFileIterator(entry);
  mSearch->skipped = platform::kErrorFilenameExcedRange;
  return ActualFindNext();
}

ChFindFileIterator ChFindFile::ActualFindNext() {
  if (mSearch == nullptr) Throw(errors::kNoSearch);
  if (mSearch->atEnd) return ChFindFileIterator();
  // No OS search to continue (none started, or it failed to start): the end,
  // without handing the OS an invalid handle.
  if (mSearch->handle == platform::kInvalidHandle) {
    mSearch->atEnd = true;
    return ChFindFileIterator();
  }
  for (;;) {
    if (!platform::Os().findNextFile(mSearch->handle, &mSearch->record)) {
      const platform::ErrorCode code = platform::LastError();
      mSearch->lastError =
          code == platform::kErrorNoMoreFiles ? mSearch->skipped : platform::FailureCode(code);
      mSearch->atEnd = true;
      return ChFindFileIterator();
    }
    if (ChFindFileEntry* entry = EntryOf(*mSearch)) return ChFindFileIterator(entry);
    // A name cut to fit would name another file: skipped, and said at the end.
    mSearch->skipped = platform::kErrorFilenameExcedRange;
  }
}

ChFindFileIterator ChFindFile::FilterIterator(const ChFindFileIterator& iterator) {
  ChFindFileIterator current = iterator;
  while (current.IsValid()) {
    // The filter may end, restart or re-filter the search it runs in, so the
    // state is looked up again after every call.
    if (mSearch == nullptr) Throw(errors::kNoSearch);
    const Filter filter = mSearch->filter;
    if (filter == nullptr || filter(current)) return current;
    current = ActualFindNext();
  }
  return current;
}

ChFindFileIterator ChFindFile::FindFirst() {
  ChFindFileIterator first = ActualFindFirst();
  if (mSearch->filter == nullptr) return first;
  return FilterIterator(first);
}

ChFindFileIterator ChFindFile::FindNext() {
  ChFindFileIterator next = ActualFindNext();
  if (mSearch->filter == nullptr) return next;
  return FilterIterator(next);
}

void ChFindFile::EndSearch() { shared::Release(mSearch); }

bool ChFindFile::AtEnd() const { return mSearch == nullptr || mSearch->atEnd; }

bool ChFindFile::IsValid() const { return mSearch != nullptr; }

std::uint32_t ChFindFile::LastError() const { return mSearch == nullptr ? 0 : mSearch->lastError; }

const char* ChFindFile::Root(char* buf) const {
  if (mSearch == nullptr) Throw(errors::kNoSearch);
  if (buf != nullptr) std::memcpy(buf, mRoot, std::strlen(mRoot) + 1);
  return mRoot;
}

void ChFindFile::SetFilter(Filter filter) {
  if (mSearch == nullptr) Throw(errors::kNoSearch);
  mSearch->filter = filter;
}

}  // namespace TalqOSUtils
