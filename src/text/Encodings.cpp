// UnicodeString's narrow encodings: one table row per Encoding value (its
// decoder and read-out), buffer sizes, append semantics, and the process-wide
// system encoding.
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
#include "errors/Exceptions.h"
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

[[noreturn]] void ThrowUnsupported() { throw ChException(errors::kUnsupportedEncoding); }
[[noreturn]] void ThrowUnknown() { throw ChException(errors::kUnknownEncoding); }

// Each encoding's decoder (narrow text to UTF-16 units; -1 when Vandrel
// reports failure; never more units than bytes) and read-out (p[0, n), with
// p[n] NUL, appended to out; `writable` as for text::EncodeUTF8).
using DecodeFn = int (*)(const std::string& text, UniChar* units, std::size_t capacity);
using ReadOutFn = void (*)(const UniChar* p, std::size_t n, UniChar* writable, std::string& out);

int DecodeMacRoman(const std::string& t, UniChar* d, std::size_t c) {
  return Vandrel::MacRomanStringToUni16Char(t, d, c);
}
int DecodeLatin1(const std::string& t, UniChar* d, std::size_t c) {
  return Vandrel::ISOLatin1CStringToUni16Char(t.c_str(), d, c);
}
int DecodeURL(const std::string& t, UniChar* d, std::size_t c) {
  return Vandrel::URLEncodingToUni16Char(t.c_str(), d, c);
}
int DecodePlatform(const std::string& t, UniChar* d, std::size_t c) {
  return Vandrel::PlatformCStringToUni16Char(t.c_str(), d, c);
}
int DecodeUTF8(const std::string& t, UniChar* d, std::size_t c) {
  const bool marked = text::HasUTF8Mark(t.data(), t.size());
  // Never fails with room for every byte; a cut result is still taken.
  const int written =
      Vandrel::UTF8ToUni16Char(t.c_str() + (marked ? text::kUTF8MarkLength : 0), d, c);
  return static_cast<int>(text::ConvertedLength(d, c, written));
}

void ReadMacRoman(const UniChar* p, std::size_t n, UniChar*, std::string& out) {
  // A rejected character empties the answer rather than leave a prefix.
  ReadOut(Vandrel::Uni16CharToMacRomanCString, kMacRomanBytesPerUnit, p, n, true, out);
}
void ReadLatin1(const UniChar* p, std::size_t n, UniChar*, std::string& out) {
  ReadOut(Vandrel::Uni16CharToISOLatin1CString, kLatin1BytesPerUnit, p, n, false, out);
}
void ReadURL(const UniChar* p, std::size_t n, UniChar*, std::string& out) {
  text::ReadOut(Vandrel::Uni16CharToURLEncoding, kURLBytesPerUnit, text::URLLength, p, n, false,
                out);
}
void ReadPlatform(const UniChar* p, std::size_t n, UniChar*, std::string& out) {
  ReadOut(Vandrel::Uni16CharToPlatformCString, kPlatformBytesPerUnit, p, n, false, out);
}
void ReadUTF8(const UniChar* p, std::size_t n, UniChar* writable, std::string& out) {
  text::EncodeUTF8(p, n, out, writable);
}

// One row per Encoding value, in value order. A row without functions is an
// encoding that exists only to be refused. Setting text appends what the
// decoder gives, except for UTF-8, which replaces the content.
struct EncodingRow {
  Encoding encoding;
  DecodeFn decode;
  ReadOutFn readOut;
};

constexpr EncodingRow kEncodings[] = {
    {kDefaultEncoding, &DecodePlatform, &ReadPlatform},
    {kUnsupportedEncoding, nullptr, nullptr},
    {kMacRomanEncoding, &DecodeMacRoman, &ReadMacRoman},
    {kISOLatin1Encoding, &DecodeLatin1, &ReadLatin1},
    {kURLEncoding, &DecodeURL, &ReadURL},
    {kUTF8Encoding, &DecodeUTF8, &ReadUTF8},
    {kPlatformEncoding, &DecodePlatform, &ReadPlatform},
};
constexpr std::size_t kEncodingRows = sizeof kEncodings / sizeof kEncodings[0];

// Lists every Encoding value; the compiler rejects this switch (-Werror=switch)
// when a value is added without its row.
constexpr std::size_t RowIndex(Encoding e) {
  switch (e) {
    case kDefaultEncoding:
    case kUnsupportedEncoding:
    case kMacRomanEncoding:
    case kISOLatin1Encoding:
    case kURLEncoding:
    case kUTF8Encoding:
    case kPlatformEncoding:
      return static_cast<std::size_t>(e);
  }
  return kEncodingRows;
}

constexpr bool RowsFollowTheEnum() {
  for (std::size_t i = 0; i < kEncodingRows; ++i) {
    if (RowIndex(kEncodings[i].encoding) != i) return false;
  }
  return RowIndex(kPlatformEncoding) + 1 == kEncodingRows;
}
static_assert(RowsFollowTheEnum(), "kEncodings needs one row per Encoding value, in value order");

// e's row; throws for a value outside the enum and for the refused encoding.
const EncodingRow& Row(Encoding e) {
  const auto value = static_cast<std::uint32_t>(e);
  if (value >= kEncodingRows) ThrowUnknown();
  const EncodingRow& row = kEncodings[value];
  if (row.decode == nullptr) ThrowUnsupported();
  return row;
}

// text in e, decoded into units (NUL-terminated); the number of units, 0
// when decoding fails (an empty UnicodeString appends nothing then).
std::size_t DecodeToWork(const EncodingRow& row, const std::string& text, WorkUnits& units) {
  const int written = row.decode(text, units.data(), units.capacity());
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
  ReadPlatform(c_str(), size(), nullptr, out);
}

void UnicodeString::getISOLatin1Encoding(std::string& out) const {
  ReadLatin1(c_str(), size(), nullptr, out);
}

void UnicodeString::getURLEncoding(std::string& out) const {
  ReadURL(c_str(), size(), nullptr, out);
}

std::string UnicodeString::getStringWithEncoding(Encoding e) const {
  const EncodingRow& row = Row(e);
  std::string result;
  row.readOut(c_str(), size(), nullptr, result);
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
  fillFrom(&DecodePlatform, text);
}

void UnicodeString::setISOLatin1Encoding(const std::string& text) { fillFrom(&DecodeLatin1, text); }

void UnicodeString::setURLEncoding(const std::string& text) { fillFrom(&DecodeURL, text); }

void UnicodeString::setStringWithEncoding(Encoding e, const std::string& text) {
  const EncodingRow& row = Row(e);
  if (row.encoding == kUTF8Encoding) {
    UTF8ToUCS2(text, *this);  // the one encoding that replaces instead of appending
  } else {
    fillFrom(row.decode, text);
  }
}

// ---------------------------------------------------------------------------
// Map functions: UTF-16 in the middle, with the mark handling of the UTF-8
// conversions (as if a UnicodeString were built and read out).

std::string UnicodeString::MapEncodingToUTF8(Encoding e, const std::string& text) {
  const EncodingRow& row = Row(e);
  WorkUnits units(text::NeededCount(text.size(), 1));
  const std::size_t n = DecodeToWork(row, text, units);
  std::string result;
  text::EncodeUTF8(units.data(), n, result, units.data());
  return result;
}

std::string UnicodeString::MapUTF8ToEncoding(Encoding e, const std::string& text) {
  const EncodingRow& row = Row(e);
  WorkUnits units(text::NeededCount(text.size(), 1));
  const std::size_t n = DecodeToWork(kEncodings[kUTF8Encoding], text, units);
  std::string result;
  row.readOut(units.data(), n, units.data(), result);
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
