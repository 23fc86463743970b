// UnicodeString's narrow encodings: dispatch, buffer sizes, append semantics,
// and the process-wide system encoding.
//
// Read-outs are sized per UTF-16 unit of content: Latin-1 and Mac OS Roman
// write at most one byte per unit (two are reserved), the ANSI code page up to three (a Windows
// process whose ANSI code page is UTF-8), and URL encoding up to nine (three
// UTF-8 bytes, each written as %XX). A large read-out is first tried at the
// length it most likely has (one byte a unit; for URL encoding, its exact
// length), the bound only when that was too short. Vandrel never writes past
// the capacity, so a smaller buffer would only cut text silently.
//
// The map functions convert through UTF-16 in WorkUnits (inline, or the
// thread's warm area), so that only their result is new memory.

#include <cstdint>
#include <cstring>
#include <string>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/UnicodeString.h"
#include "Vandrel/Vandrel.h"
#include "text/Convert.h"
#include "text/ScratchBuffer.h"
#include "text/TextInternal.h"

namespace TalqOSUtils {

Encoding UnicodeString::smSystemEncoding = kDefaultEncoding;

namespace {

using text::ScratchBuffer;
using text::WorkUnits;

constexpr std::uint32_t kLatin1BytesPerUnit = 2;
constexpr std::uint32_t kMacRomanBytesPerUnit = 2;
constexpr std::uint32_t kPlatformBytesPerUnit = 3;
constexpr std::uint32_t kURLBytesPerUnit = 9;

std::size_t OneBytePerUnit(const UniChar*, std::size_t n) { return n; }

// The content's own c_str is the NUL-terminated source Vandrel reads; no mark
// is looked at, so a leading U+FEFF is converted like any other unit.
bool ReadOut(text::ReadOutFn convert, std::uint32_t bytesPerUnit, const UniChar* p, std::size_t n,
             bool failureCounts, std::string& out) {
  return text::ReadOut(convert, bytesPerUnit, OneBytePerUnit, p, n, failureCounts, out);
}

[[noreturn]] void ThrowUnsupported() { throw ChException("Unsupported encoding"); }
[[noreturn]] void ThrowUnknown() { throw ChException("Unknown encoding"); }

void CheckEncoding(Encoding e) {
  const auto value = static_cast<std::uint32_t>(e);
  if (value == kUnsupportedEncoding) ThrowUnsupported();
  if (value > kPlatformEncoding) ThrowUnknown();
}

// p[0, n) (p[n] is NUL) in e, which CheckEncoding accepted. `writable` as
// for text::EncodeUTF8.
void ReadOutAs(Encoding e, const UniChar* p, std::size_t n, UniChar* writable, std::string& out) {
  switch (e) {
    case kMacRomanEncoding:
      // A rejected character empties the answer rather than leave a prefix.
      ReadOut(Vandrel::Uni16CharToMacRomanCString, kMacRomanBytesPerUnit, p, n, true, out);
      break;
    case kISOLatin1Encoding:
      ReadOut(Vandrel::Uni16CharToISOLatin1CString, kLatin1BytesPerUnit, p, n, false, out);
      break;
    case kURLEncoding:
      text::ReadOut(Vandrel::Uni16CharToURLEncoding, kURLBytesPerUnit, text::URLLength, p, n, false,
                    out);
      break;
    case kUTF8Encoding:
      text::EncodeUTF8(p, n, out, writable);
      break;
    default:
      ReadOut(Vandrel::Uni16CharToPlatformCString, kPlatformBytesPerUnit, p, n, false, out);
      break;
  }
}

// The text of a narrow encoding decoded into units; no encoding here gives
// more units than bytes. -1 when Vandrel reports failure.
int Decode(Encoding e, const std::string& text, UniChar* units, std::size_t capacity) {
  switch (e) {
    case kMacRomanEncoding:
      return Vandrel::MacRomanStringToUni16Char(text, units, capacity);
    case kISOLatin1Encoding:
      return Vandrel::ISOLatin1CStringToUni16Char(text.c_str(), units, capacity);
    case kURLEncoding:
      return Vandrel::URLEncodingToUni16Char(text.c_str(), units, capacity);
    case kUTF8Encoding: {
      const bool marked = text::HasUTF8Mark(text.data(), text.size());
      // Never fails with room for every byte; a cut result is still taken.
      const int written = Vandrel::UTF8ToUni16Char(
          text.c_str() + (marked ? text::kUTF8MarkLength : 0), units, capacity);
      return static_cast<int>(text::ConvertedLength(units, capacity, written));
    }
    default:
      return Vandrel::PlatformCStringToUni16Char(text.c_str(), units, capacity);
  }
}

// text in e, decoded into units (NUL-terminated); the number of units, 0
// when decoding fails (an empty UnicodeString appends nothing then).
std::size_t DecodeToWork(Encoding e, const std::string& text, WorkUnits& units) {
  const int written = Decode(e, text, units.data(), units.capacity());
  if (written == -1) {
    units.data()[0] = UniChar();
    return 0;
  }
  return text::ConvertedLength(units.data(), units.capacity(), written);
}

}  // namespace

Encoding UnicodeString::GetSystemEncoding() { return smSystemEncoding; }

Encoding UnicodeString::SetSystemEncoding(Encoding e) {
  const Encoding previous = smSystemEncoding;
  smSystemEncoding = e;
  return previous;
}

// ---------------------------------------------------------------------------
// Reading out

void UnicodeString::getPlatformEncoding(std::string& out) const {
  ReadOutAs(kPlatformEncoding, c_str(), size(), nullptr, out);
}

void UnicodeString::getISOLatin1Encoding(std::string& out) const {
  ReadOutAs(kISOLatin1Encoding, c_str(), size(), nullptr, out);
}

void UnicodeString::getURLEncoding(std::string& out) const {
  ReadOutAs(kURLEncoding, c_str(), size(), nullptr, out);
}

std::string UnicodeString::getStringWithEncoding(Encoding e) const {
  CheckEncoding(e);
  std::string result;
  ReadOutAs(e, c_str(), size(), nullptr, result);
  return result;
}

// ---------------------------------------------------------------------------
// Filling: decode with room for one unit per byte (no encoding here gives
// more units than bytes), then append unless Vandrel reports failure. A large
// text is decoded straight behind the content.

void UnicodeString::fillFrom(FillFn decode, const std::string& text) {
  const std::uint32_t needed = text::NeededCount(text.size(), 1);
  if (needed <= text::kInlineCount) {
    ScratchBuffer<UniChar> units(needed);
    if (decode(text, units.data(), units.capacity()) != -1) appendUni16Char(units.data());
    return;
  }
  // Every decoder reads up to the text's first NUL.
  const std::size_t m = text::TerminatedLength(text.data(), text.size());
  const std::size_t old = size();
  resize(old + m);
  UniChar* const tail = &(*this)[old];
  const int written = decode(text, tail, m + 1);
  resize(written == -1 ? old : old + text::ConvertedLength(tail, m + 1, written));
}

void UnicodeString::setPlatformEncoding(const std::string& text) {
  fillFrom([](const std::string& t, UniChar* d,
              std::size_t c) { return Vandrel::PlatformCStringToUni16Char(t.c_str(), d, c); },
           text);
}

void UnicodeString::setISOLatin1Encoding(const std::string& text) {
  fillFrom([](const std::string& t, UniChar* d,
              std::size_t c) { return Vandrel::ISOLatin1CStringToUni16Char(t.c_str(), d, c); },
           text);
}

void UnicodeString::setURLEncoding(const std::string& text) {
  fillFrom([](const std::string& t, UniChar* d,
              std::size_t c) { return Vandrel::URLEncodingToUni16Char(t.c_str(), d, c); },
           text);
}

void UnicodeString::setStringWithEncoding(Encoding e, const std::string& text) {
  switch (static_cast<std::uint32_t>(e)) {
    case kDefaultEncoding:
    case kPlatformEncoding:
      setPlatformEncoding(text);
      break;
    case kUnsupportedEncoding:
      ThrowUnsupported();
    case kMacRomanEncoding:
      fillFrom(Vandrel::MacRomanStringToUni16Char, text);
      break;
    case kISOLatin1Encoding:
      setISOLatin1Encoding(text);
      break;
    case kURLEncoding:
      setURLEncoding(text);
      break;
    case kUTF8Encoding:
      // The one encoding that replaces instead of appending.
      UTF8ToUCS2(text, *this);
      break;
    default:
      ThrowUnknown();
  }
}

// ---------------------------------------------------------------------------
// Map functions: UTF-16 in the middle, with the mark handling of the UTF-8
// conversions (as if a UnicodeString were built and read out).

std::string UnicodeString::MapEncodingToUTF8(Encoding e, const std::string& text) {
  CheckEncoding(e);
  WorkUnits units(text::NeededCount(text.size(), 1));
  const std::size_t n = DecodeToWork(e, text, units);
  std::string result;
  text::EncodeUTF8(units.data(), n, result, units.data());
  return result;
}

std::string UnicodeString::MapUTF8ToEncoding(Encoding e, const std::string& text) {
  CheckEncoding(e);
  WorkUnits units(text::NeededCount(text.size(), 1));
  const std::size_t n = DecodeToWork(kUTF8Encoding, text, units);
  std::string result;
  ReadOutAs(e, units.data(), n, units.data(), result);
  return result;
}

std::string UnicodeString::MapMacRomanToUTF8(const std::string& text) {
  return MapEncodingToUTF8(kMacRomanEncoding, text);
}

std::string UnicodeString::MapUTF8ToMacRoman(const std::string& text) {
  return MapUTF8ToEncoding(kMacRomanEncoding, text);
}

std::string UnicodeString::MapSystemEncodingToUTF8(const std::string& text) {
  return MapEncodingToUTF8(smSystemEncoding, text);
}

std::string UnicodeString::MapUTF8ToSystemEncoding(const std::string& text) {
  return MapUTF8ToEncoding(smSystemEncoding, text);
}

}  // namespace TalqOSUtils
