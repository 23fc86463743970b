// UnicodeString: storage, mark handling on the way in, UTF-8 <=> UTF-16.
//
// Every conversion goes through Vandrel into a ScratchBuffer and is then
// assigned once to its result. Sources that are already NUL-terminated
// (std::string::c_str, the content's own c_str) are handed over directly
// instead of being copied into a buffer first: Vandrel reads up to the first
// NUL either way.

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "TalqOSUtils/UnicodeString.h"
#include "Vandrel/Vandrel.h"
#include "text/ScratchBuffer.h"
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

using text::ScratchBuffer;

// out = UTF-16 form of bytes[0, n) (bytes[n] is NUL), a leading UTF-8 mark
// dropped. The buffer is sized from n counted with the mark.
void DecodeUTF8(const char* bytes, std::size_t n, UniString& out) {
  ScratchBuffer<UniChar> units(n, 1);
  const char* src = text::HasUTF8Mark(bytes, n) ? bytes + text::kUTF8MarkLength : bytes;
  const int written = Vandrel::UTF8ToUni16Char(src, units.data(), units.capacity());
  out.assign(units.data(), text::ConvertedLength(units.data(), units.capacity(), written));
}

// Runs the UTF-16 => UTF-8 conversion of src and hands the bytes (not
// NUL-terminated in the count) to sink.
//
// Marks: one is removed as ProcessBOM does, then one more from what is left,
// as a wide-string UnicodeString built from that would. Both removals reduce
// to "skip one or two units, byte-swap the rest or not", so no intermediate
// string is built; a swap needs a copy, anything else reads src in place.
template <typename Sink>
void EncodeUTF8(const UniString& src, Sink&& sink) {
  const std::size_t n = src.size();
  ScratchBuffer<char> bytes(n, 3);
  const UniChar* p = src.c_str();
  std::size_t skip = 0;
  bool swap = false;
  if (n > 0 && text::IsMarkUnit(p[0])) {
    skip = 1;
    swap = p[0] == text::kSwappedMark;
    if (n > 1) {
      const UniChar second = swap ? text::SwapUnit(p[1]) : p[1];
      if (text::IsMarkUnit(second)) {
        skip = 2;
        if (second == text::kSwappedMark) swap = !swap;
      }
    }
  }
  int written;
  if (swap) {
    ScratchBuffer<UniChar> units(n, 1);
    text::SwapUnits(p + skip, n - skip, units.data());
    units.data()[n - skip] = UniChar();
    written = Vandrel::Uni16CharToUTF8(units.data(), bytes.data(), bytes.capacity());
  } else {
    written = Vandrel::Uni16CharToUTF8(p + skip, bytes.data(), bytes.capacity());
  }
  sink(bytes.data(), text::ConvertedLength(bytes.data(), bytes.capacity(), written));
}

// Copies count units (NUL excluded) to dst, cut to size - 1, and terminates.
template <typename T>
void CopyTerminated(const T* src, std::size_t count, T* dst, int size) {
  if (dst == nullptr || size <= 0) return;
  const std::size_t n = std::min(count, static_cast<std::size_t>(size) - 1);
  std::memcpy(dst, src, n * sizeof(T));
  dst[n] = T();
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
  DecodeUTF8(utf8.c_str(), utf8.size(), *this);
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
  DecodeUTF8(utf8.c_str(), utf8.size(), *this);
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
  DecodeUTF8(utf8, n, *this);
  mHasBOM = marked;
  return *this;
}

// ---------------------------------------------------------------------------
// Reading out

void UnicodeString::get(std::string& out) const { UCS2ToUTF8(*this, out); }

void UnicodeString::get(UniString& out) const { out = *this; }

void UnicodeString::get(char* dst, int size) const {
  if (dst == nullptr || size <= 0) return;
  EncodeUTF8(*this, [&](const char* bytes, std::size_t count) {
    CopyTerminated(bytes, count, dst, size);
  });
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
  EncodeUTF8(src, [&](const char* bytes, std::size_t count) { out.assign(bytes, count); });
}

void UnicodeString::UTF8ToUCS2(const std::string& src, UniString& out) const {
  DecodeUTF8(src.c_str(), src.size(), out);
}

}  // namespace TalqOSUtils
