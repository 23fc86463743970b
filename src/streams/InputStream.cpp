// ChInputStream: reads straight from the OS into the caller's buffer.
#include <climits>
#include <cmath>

#include "TalqOSUtils/Streams.h"
#include "errors/Exceptions.h"
#include "streams/FileState.h"

namespace TalqOSUtils {

ChInputStream::ChInputStream(int /*unused*/) : mFile(nullptr) {
  setcheckfn(streams::gInputCheckFn, streams::gInputCheckData);
}

ChInputStream::ChInputStream(const ChInputStream& other)
    : ChIOStream(other), mFile(shared::Share(other.mFile)) {}

ChInputStream& ChInputStream::operator=(const ChInputStream& other) {
  if (this == &other) return *this;
  shared::Assign(mFile, other.mFile);
  ChIOStream::operator=(other);
  return *this;
}

ChInputStream::~ChInputStream() { shared::Release(mFile); }

bool ChInputStream::isopen() const { return streams::IsOpen(mFile); }

bool ChInputStream::good() const { return mFile != nullptr && mError == 0; }

void ChInputStream::openFork(const std::string& path, bool fork) {
  mError =
      streams::Reopen(mFile, path, fork, mName, errors::kInputPathTooLong, &streams::OpenInputFile);
}

void ChInputStream::open(const std::string& path) { openFork(path.c_str(), false); }

void ChInputStream::close() { shared::Release(mFile); }

std::int64_t ChInputStream::getpos() const { return streams::Position(mFile); }

void ChInputStream::seek(std::int64_t pos) {
  if (mFile != nullptr && streams::Seek(*mFile, pos, mError)) mFile->eof = false;
}

std::uint32_t ChInputStream::read(void* buf, std::uint32_t n) {
  if (mFile == nullptr) return 0;
  const shared::Hold<ChInputFileState> held(mFile);
  ChInputFileState& file = *held;
  streams::RunCheck(file, mCheckFn, mCheckData, n);
  // Closed or reopened by the check function: nothing more to read here.
  if (mFile != held.get()) return streams::Abandoned(mFile, file, mError);
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
