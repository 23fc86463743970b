#include <cstring>
#include <new>

#include "TalqOSUtils/Errors.h"

namespace TalqOSUtils {

namespace {
const char kNoMessage[] = "";
}  // namespace

ChException::ChException() : mDescription(nullptr), mOwnsDescription(false) {}

ChException::ChException(const char* text) : ChException() { SetDescription(text); }

ChException::ChException(const std::string& text) : ChException() { SetDescription(text.c_str()); }

ChException::ChException(const ChException& source) : ChException() {
  SetDescription(source.what());
}

ChException& ChException::operator=(const ChException& source) {
  if (&source != this) SetDescription(source.what());
  return *this;
}

ChException::~ChException() {
  if (mOwnsDescription) delete[] mDescription;
}

const char* ChException::what() const {
  if (!mOwnsDescription || mDescription == nullptr || mDescription[0] == '\0') return kNoMessage;
  return mDescription;
}

const char* ChException::SetDescription(const char* text) {
  // Copy before freeing: text may be our own current message.
  char* copy = nullptr;
  if (text != nullptr) {
    const std::size_t size = std::strlen(text) + 1;
    try {
      copy = new char[size];
    } catch (...) {
      // The old message is gone when allocation fails, as documented.
      if (mOwnsDescription) delete[] mDescription;
      mDescription = nullptr;
      mOwnsDescription = false;
      throw;
    }
    std::memcpy(copy, text, size);
  }
  if (mOwnsDescription) delete[] mDescription;
  mDescription = copy;
  mOwnsDescription = copy != nullptr;
  return mDescription;
}

ChFindFileException::ChFindFileException(const char* text) : ChException(text) {}
ChFindFileException::ChFindFileException(const ChFindFileException& source) = default;
ChFindFileException& ChFindFileException::operator=(const ChFindFileException& source) = default;
ChFindFileException::~ChFindFileException() = default;

}  // namespace TalqOSUtils
