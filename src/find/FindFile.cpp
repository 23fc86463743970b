// Directory search over the platform layer's find calls.
#include "TalqOSUtils/FindFile.h"

#include <cstring>
#include <memory>
#include <string>

#include "TalqOSUtils/FileSystem.h"
#include "TalqOSUtils/Paths.h"
#include "TalqOSUtils/UnicodeString.h"
#include "Vandrel/Vandrel.h"
#include "errors/Exceptions.h"
#include "find/FindInternal.h"
#include "platform/Platform.h"

namespace TalqOSUtils {

namespace {

constexpr int kRootArea = 256;

[[noreturn]] void Throw(const char* message) { throw ChFindFileException(message); }

bool IsRootSeparator(char c) { return c == '/' || c == ':' || c == '\\'; }

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

ChFindFileEntry* NewEntry(const platform::FindData& record) {
  constexpr std::size_t kUnits = sizeof record.name / sizeof record.name[0];
  // A record without a NUL within its units holds a cut name.
  if (std::char_traits<platform::OsChar>::find(record.name, kUnits, 0) == nullptr) return nullptr;
  auto entry = std::make_unique<ChFindFileEntry>();
  // Straight from UTF-16, with no mark processing: a name may begin with
  // U+FEFF or U+FFFE, and it must come back as the OS spelled it.
  if (Vandrel::Uni16CharToUTF8(record.name, entry->name, sizeof entry->name) < 0) return nullptr;
  entry->sizeHigh = record.sizeHigh;
  entry->sizeLow = record.sizeLow;
  entry->isDirectory = (record.attributes & platform::kFileAttributeDirectory) != 0;
  entry->isReparsePoint = (record.attributes & platform::kFileAttributeReparsePoint) != 0;
  entry->lastWriteTime = record.lastWriteTime;
  return entry.release();
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
  if (!OSPathGenericToUnix(root, mRoot, kRootArea)) {
    // mRoot holds a cut root, or for a null root the one it held: it stays
    // readable through Root(), but is never searched.
    mSearch->rootTooLong = true;
    Throw(errors::kRootTooLong);
  }
  if (!OSDirectoryExists(mRoot)) {
    EndSearch();  // NOLINT(clang-analyzer-optin.cplusplus.VirtualCall)
    Throw(errors::kBadDirectory);
  }
  const std::size_t length = std::strlen(mRoot);
  if (length == 0 || !IsRootSeparator(mRoot[length - 1])) {
    if (length + 2 > static_cast<std::size_t>(kRootArea)) {
      mSearch->rootTooLong = true;
      Throw(errors::kRootTooLong);
    }
    mRoot[length] = '/';
    mRoot[length + 1] = '\0';
  }
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

  char pattern[kRootArea];
  if (!OSPathLocal(mRoot, pattern, kRootArea)) Throw(errors::kRootTooLong);
  const std::size_t length = std::strlen(pattern);
  if (length + 3 > static_cast<std::size_t>(kRootArea)) Throw(errors::kRootTooLong);
  pattern[length] = '\\';
  pattern[length + 1] = '*';
  pattern[length + 2] = '\0';

  const UnicodeString wide{std::string(pattern)};
  platform::FindData record;
  mSearch->handle = platform::Os().findFirstFile(wide.c_str(), &record);
  if (mSearch->handle == platform::kInvalidHandle) {
    // FILE_NOT_FOUND is FindFirstFileW's answer for nothing to list.
    const platform::ErrorCode code = platform::LastError();
    mSearch->lastError = code == platform::kErrorFileNotFound ? 0 : find::FailureCode(code);
    return ChFindFileIterator();
  }
  mSearch->atEnd = false;
  mSearch->skipped = 0;
  if (ChFindFileEntry* entry = find::NewEntry(record)) return ChFindFileIterator(entry);
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
  platform::FindData record;
  for (;;) {
    if (!platform::Os().findNextFile(mSearch->handle, &record)) {
      const platform::ErrorCode code = platform::LastError();
      mSearch->lastError =
          code == platform::kErrorNoMoreFiles ? mSearch->skipped : find::FailureCode(code);
      mSearch->atEnd = true;
      return ChFindFileIterator();
    }
    if (ChFindFileEntry* entry = find::NewEntry(record)) return ChFindFileIterator(entry);
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
