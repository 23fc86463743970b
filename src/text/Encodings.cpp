// UnicodeString's narrow encodings: dispatch, buffer sizes, append semantics,
// and the process-wide system encoding.
//
// Read-out buffers are sized per UTF-16 unit of content: Latin-1 and Mac OS
// Roman write at most one byte per unit (two are reserved), the ANSI code
// page up to three (a Windows process whose ANSI code page is UTF-8), and URL
// encoding up to nine (three UTF-8 bytes, each written as %XX). Vandrel never
// writes past the capacity, so a smaller buffer would only cut text silently.

#include <cstdint>
#include <string>

#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/UnicodeString.h"
#include "Vandrel/Vandrel.h"
#include "text/ScratchBuffer.h"
#include "text/TextInternal.h"

namespace TalqOSUtils {

Encoding UnicodeString::smSystemEncoding = kDefaultEncoding;

namespace {

using text::ScratchBuffer;

using ReadOutFn = int (*)(const Vandrel::Uni16*, char*, std::size_t);

constexpr std::uint32_t kLatin1BytesPerUnit = 2;
constexpr std::uint32_t kMacRomanBytesPerUnit = 2;
constexpr std::uint32_t kPlatformBytesPerUnit = 3;
constexpr std::uint32_t kURLBytesPerUnit = 9;

// The content's own c_str is the NUL-terminated source Vandrel reads; no mark
// is looked at, so a leading U+FEFF is converted like any other unit.
// Returns false (out untouched) when Vandrel reports failure and that counts.
bool ReadOut(ReadOutFn convert, std::uint32_t bytesPerUnit, const UniString& content,
             bool failureCounts, std::string& out) {
  ScratchBuffer<char> bytes(content.size(), bytesPerUnit);
  const int result = convert(content.c_str(), bytes.data(), bytes.capacity());
  if (failureCounts && result == -1) return false;
  out.assign(bytes.data(), text::TerminatedLength(bytes.data(), bytes.capacity()));
  return true;
}

[[noreturn]] void ThrowUnsupported() { throw ChException("Unsupported encoding"); }
[[noreturn]] void ThrowUnknown() { throw ChException("Unknown encoding"); }

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
  ReadOut(Vandrel::Uni16CharToPlatformCString, kPlatformBytesPerUnit, *this, false, out);
}

void UnicodeString::getISOLatin1Encoding(std::string& out) const {
  ReadOut(Vandrel::Uni16CharToISOLatin1CString, kLatin1BytesPerUnit, *this, false, out);
}

void UnicodeString::getURLEncoding(std::string& out) const {
  ReadOut(Vandrel::Uni16CharToURLEncoding, kURLBytesPerUnit, *this, false, out);
}

std::string UnicodeString::getStringWithEncoding(Encoding e) const {
  std::string result;
  switch (static_cast<std::uint32_t>(e)) {
    case kDefaultEncoding:
    case kPlatformEncoding:
      getPlatformEncoding(result);
      break;
    case kUnsupportedEncoding:
      ThrowUnsupported();
    case kMacRomanEncoding:
      // A rejected character empties the answer rather than leave a prefix.
      ReadOut(Vandrel::Uni16CharToMacRomanCString, kMacRomanBytesPerUnit, *this, true, result);
      break;
    case kISOLatin1Encoding:
      getISOLatin1Encoding(result);
      break;
    case kURLEncoding:
      getURLEncoding(result);
      break;
    case kUTF8Encoding:
      UCS2ToUTF8(*this, result);
      break;
    default:
      ThrowUnknown();
  }
  return result;
}

// ---------------------------------------------------------------------------
// Filling: decode into a buffer of one unit per byte (no encoding here gives
// more units than bytes), then append unless Vandrel reports failure.

void UnicodeString::fillFrom(FillFn decode, const std::string& text) {
  ScratchBuffer<UniChar> units(text.size(), 1);
  if (decode(text, units.data(), units.capacity()) != -1) appendUni16Char(units.data());
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
// Map functions: a UnicodeString in the middle, so both directions share the
// mark handling of the UTF-8 conversions.

std::string UnicodeString::MapEncodingToUTF8(Encoding e, const std::string& text) {
  UnicodeString unicode;
  unicode.setStringWithEncoding(e, text);
  std::string result;
  unicode.UCS2ToUTF8(unicode, result);
  return result;
}

std::string UnicodeString::MapUTF8ToEncoding(Encoding e, const std::string& text) {
  return UnicodeString(text).getStringWithEncoding(e);
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
