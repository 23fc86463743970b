// ChOutputStream: writes straight from the caller's buffer to the OS.
#include <cstdarg>
#include <cstdio>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/Streams.h"
#include "errors/Exceptions.h"
#include "streams/FileState.h"

namespace TalqOSUtils {

ChOutputStream::ChOutputStream(int /*unused*/) : mFile(nullptr) {
  setcheckfn(streams::gOutputCheckFn, streams::gOutputCheckData);
}

ChOutputStream::ChOutputStream(const ChOutputStream& other)
    : ChIOStream(other), mFile(shared::Share(other.mFile)) {}

ChOutputStream& ChOutputStream::operator=(const ChOutputStream& other) {
  if (this == &other) return *this;
  shared::Assign(mFile, other.mFile);
  ChIOStream::operator=(other);
  return *this;
}

ChOutputStream::~ChOutputStream() { shared::Release(mFile); }

bool ChOutputStream::isopen() const { return streams::IsOpen(mFile); }

bool ChOutputStream::good() const { return mFile != nullptr && mError == 0; }

void ChOutputStream::openFork(const std::string& path, bool fork) {
  mError = streams::Reopen(mFile, path, fork, mName, errors::kOutputPathTooLong,
                           &streams::OpenOutputFile);
}

void ChOutputStream::open(const std::string& path) { openFork(path.c_str(), false); }

void ChOutputStream::close() { shared::Release(mFile); }

std::int64_t ChOutputStream::getpos() const { return streams::Position(mFile); }

void ChOutputStream::seek(std::int64_t pos) {
  if (mFile != nullptr) streams::Seek(*mFile, pos, mError);
}

void ChOutputStream::write(const void* buf, std::uint32_t n) {
  if (mFile == nullptr) return;
  const shared::Hold<ChOutputFileState> held(mFile);
  ChOutputFileState& file = *held;
  streams::RunCheck(file, mCheckFn, mCheckData, n);
  // Closed or reopened by the check function: nothing more to write here.
  if (mFile != held.get()) {
    streams::Abandoned(mFile, file, mError);
    return;
  }
  if (streams::Usable(file)) {
    std::uint32_t written = 0;
    if (!platform::Os().writeFile(file.handle, buf, n, &written) || written < n) {
      file.error = streams::FailureCode();
    }
  }
  mError = file.error;
}

void ChOutputStream::write(const std::string& s) {
  // Only a string beyond the 32-bit count goes in pieces (each a write the
  // check function counts) rather than losing its tail.
  constexpr std::size_t kPiece = 0xFFFFFFFFu;
  std::size_t done = 0;
  while (s.size() - done > kPiece) {
    write(s.data() + done, static_cast<std::uint32_t>(kPiece));
    done += kPiece;
  }
  write(s.data() + done, static_cast<std::uint32_t>(s.size() - done));
}

void ChOutputStream::printf(const char* format, ...) {
  if (format == nullptr) throw ChException(errors::kPrintfOverflow);
  char text[1024];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (length < 0 || length >= static_cast<int>(sizeof text)) {
    throw ChException(errors::kPrintfOverflow);
  }
  write(text, static_cast<std::uint32_t>(length));
}

}  // namespace TalqOSUtils
