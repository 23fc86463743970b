// ChInputStream: reads straight from the OS into the caller's buffer.
#include <climits>
#include <cmath>

#include "TalqOSUtils/Streams.h"
#include "streams/FileState.h"

namespace TalqOSUtils {

namespace streams {
extern ChCheckFn gInputCheckFn;
extern void* gInputCheckData;
}  // namespace streams

ChInputStream::ChInputStream(int /*unused*/) : mFile(nullptr) {
  mCheckFn = streams::gInputCheckFn;
  mCheckData = streams::gInputCheckData;
}

ChInputStream::ChInputStream(const ChInputStream& other)
    : ChIOStream(other), mFile(streams::Share(other.mFile)) {}

ChInputStream& ChInputStream::operator=(const ChInputStream& other) {
  if (this == &other) return *this;
  ChInputFileState* const shared = streams::Share(other.mFile);
  streams::Release(mFile);
  mFile = shared;
  ChIOStream::operator=(other);
  return *this;
}

ChInputStream::~ChInputStream() { streams::Release(mFile); }

bool ChInputStream::isopen() const {
  return mFile != nullptr && mFile->handle != platform::kInvalidHandle;
}

bool ChInputStream::good() const { return mFile != nullptr && mError == 0; }

void ChInputStream::openFork(const std::string& path, bool fork) {
  char nt[256];
  streams::PreparePath(path, mName, nt, "ChInputStream: path too long");
  // Let go first: the same file may be opened again.
  streams::Release(mFile);
  mFile = nullptr;
  auto* file = new ChInputFileState;
  streams::OpenInputFile(*file, nt, fork);
  mFile = file;
  mError = file->error;
}

void ChInputStream::open(const std::string& path) { openFork(path.c_str(), false); }

void ChInputStream::close() {
  streams::Release(mFile);
  mFile = nullptr;
}

std::int64_t ChInputStream::getpos() const {
  if (mFile == nullptr) return 0;
  return streams::PositionOf(mFile->handle, mFile->error);
}

void ChInputStream::seek(std::int64_t pos) {
  if (mFile == nullptr) return;
  if (streams::Usable(*mFile) && streams::SeekTo(mFile->handle, pos, mFile->error)) {
    mFile->eof = false;
  }
  mError = mFile->error;
}

std::uint32_t ChInputStream::read(void* buf, std::uint32_t n) {
  if (mFile == nullptr) return 0;
  ChInputFileState& file = *mFile;
  streams::RunCheck(file, mCheckFn, mCheckData, n);
  std::uint32_t got = 0;
  if (streams::Usable(file)) {
    if (!platform::Os().readFile(file.handle, buf, n, &got)) {
      file.error = streams::FailureCode();
    } else if (got < n) {
      file.eof = true;
    }
  }
  mError = file.error;
  return got;
}

void ChInputStream::skip(std::int64_t delta) {
  // Wraps rather than overflowing; a wrapped position is negative and fails.
  seek(static_cast<std::int64_t>(static_cast<std::uint64_t>(getpos()) +
                                 static_cast<std::uint64_t>(delta)));
}

std::int64_t ChInputStream::size() const { return mFile == nullptr ? 0 : mFile->size; }

bool ChInputStream::isbig() const { return mFile != nullptr && mFile->size > 0xFFFFFFFFLL; }

int ChInputStream::percent() const {
  if (mFile == nullptr) return 0;
  if (mFile->size == 0) return 100;
  const std::int64_t pos = streams::PositionOf(mFile->handle, mFile->error);
  const double value = static_cast<double>(pos) / static_cast<double>(mFile->size) * 100.0;
  // Far beyond the end the quotient leaves the int range, where converting
  // it would be undefined.
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}

bool ChInputStream::eof() const { return mFile == nullptr || mFile->eof; }

}  // namespace TalqOSUtils
