// UnicodeString: storage, mark handling on the way in, UTF-8 <=> UTF-16.
//
// The conversions themselves are in text/Convert.cpp. Sources that are
// already NUL-terminated (std::string::c_str, the content's own c_str) are
// handed to Vandrel directly: it reads up to the first NUL either way.

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "TalqOSUtils/UnicodeString.h"
#include "Vandrel/Vandrel.h"
#include "text/Convert.h"
#include "text/TextInternal.h"

namespace TalqOSUtils {

// Text crosses into Vandrel without conversion.
static_assert(std::is_same<UniChar, Vandrel::Uni16>::value,
              "UnicodeString and Vandrel must share one 16-bit unit type");

namespace text {

std::size_t TerminatedLength(const UniChar* p, std::size_t capacity) {
  std::size_t i = 0;
  while (i < capacity && p[i] != UniChar()) ++i;
  return i;
}

}  // namespace text

namespace {

// Copies count units (NUL excluded) to dst, cut to size - 1, and terminates.
void CopyTerminated(const UniChar* src, std::size_t count, UniChar* dst, int size) {
  if (dst == nullptr || size <= 0) return;
  const std::size_t n = std::min(count, static_cast<std::size_t>(size) - 1);
  std::memcpy(dst, src, n * sizeof(UniChar));
  dst[n] = UniChar();
}

// dst = ProcessBOM(src) without the intermediate string. When src is dst the
// in-place edit would read what it already overwrote, so that case copies.
void AssignWithoutMark(UniString& dst, const UniString& src) {
  if (src.empty() || !text::IsMarkUnit(src[0])) {
    if (&dst != &src) dst = src;
  } else if (&dst == &src) {
    dst = UnicodeString::ProcessBOM(src);
  } else if (src[0] == text::kMark) {
    dst.assign(src, 1, UniString::npos);
  } else {
    dst.resize(src.size() - 1);
    text::SwapUnits(src.data() + 1, src.size() - 1, &dst[0]);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and assignment

UnicodeString::UnicodeString() : mHasBOM(false) {}

UnicodeString::UnicodeString(const UnicodeString& other)
    : UniString(other), mHasBOM(other.mHasBOM) {}

UnicodeString::UnicodeString(UnicodeString&& other) noexcept
    : UniString(std::move(static_cast<UniString&>(other))), mHasBOM(other.mHasBOM) {}

UnicodeString::UnicodeString(const std::string& utf8) : mHasBOM(HasBOM(utf8)) {
  text::DecodeUTF8(utf8.c_str(), utf8.size(), *this);
}

UnicodeString::UnicodeString(const UniString& text) : mHasBOM(HasBOM(text)) {
  AssignWithoutMark(*this, text);
}

UnicodeString::~UnicodeString() = default;

UnicodeString& UnicodeString::operator=(const UnicodeString& other) {
  if (other.mHasBOM) {
    AssignWithoutMark(*this, other);
    mHasBOM = true;
  } else {
    if (&other != this) UniString::operator=(other);
    mHasBOM = false;
  }
  return *this;
}

// NOLINTNEXTLINE(performance-noexcept-move-constructor): a marked source is copied
UnicodeString& UnicodeString::operator=(UnicodeString&& other) {
  if (other.mHasBOM || &other == this) return *this = static_cast<const UnicodeString&>(other);
  UniString::operator=(std::move(static_cast<UniString&>(other)));
  mHasBOM = false;
  return *this;
}

UnicodeString& UnicodeString::operator=(const std::string& utf8) {
  const bool marked = HasBOM(utf8);
  text::DecodeUTF8(utf8.c_str(), utf8.size(), *this);
  mHasBOM = marked;
  return *this;
}

UnicodeString& UnicodeString::operator=(const UniString& text) {
  const bool marked = HasBOM(text);
  AssignWithoutMark(*this, text);
  mHasBOM = marked;
  return *this;
}

UnicodeString& UnicodeString::operator=(const char* utf8) {
  if (utf8 == nullptr) utf8 = "";
  const std::size_t n = std::strlen(utf8);
  const bool marked = text::HasUTF8Mark(utf8, n);
  text::DecodeUTF8(utf8, n, *this);
  mHasBOM = marked;
  return *this;
}

// ---------------------------------------------------------------------------
// Reading out

void UnicodeString::get(std::string& out) const { UCS2ToUTF8(*this, out); }

void UnicodeString::get(UniString& out) const { out = *this; }

void UnicodeString::get(char* dst, int size) const {
  if (dst == nullptr || size <= 0) return;
  text::EncodeUTF8(c_str(), length(), dst, size);
}

void UnicodeString::get(UniChar* dst, int size) const {
  CopyTerminated(data(), length(), dst, size);
}

void UnicodeString::getUni16Char(UniChar* dst, int size) const { get(dst, size); }

void UnicodeString::appendUni16Char(const UniChar* units) {
  if (units != nullptr) append(units);
}

// ---------------------------------------------------------------------------
// UTF-8 <=> UTF-16

void UnicodeString::UCS2ToUTF8(const UniString& src, std::string& out) const {
  text::EncodeUTF8(src.c_str(), src.size(), out);
}

void UnicodeString::UTF8ToUCS2(const std::string& src, UniString& out) const {
  text::DecodeUTF8(src.c_str(), src.size(), out);
}

}  // namespace TalqOSUtils
