// libFuzzer target for UnicodeString and its encodings.
//
// Input: one byte giving a signed array size, four bytes giving an Encoding
// value (-1..7 when the first of them is below 0x80, else any 32-bit
// value), then the text: read as
// bytes, and as 16-bit units two bytes each (little-endian). Checked (abort
// on failure), as the header documents them:
//   - constructors and assignments: the mark flag and content, from both
//     kinds of text;
//   - get into arrays, sizes from the input (zero and negative included),
//     exact and one short, with canary units on both sides of the array;
//   - every Encoding value both ways: 0..6 as documented, 1 and the rest
//     throwing their ChException with the content unchanged; setters append
//     (UTF-8 replaces), the map functions and the system encoding agree;
//   - round trips: UTF-16 -> UTF-8 -> UTF-16 (no leading mark), valid UTF-8
//     -> UTF-16 -> UTF-8, Mac OS Roman, Latin-1 and platform bytes -> UTF-16
//     -> bytes (NUL-free), and percent-decoding of percent-encoding; and
//     percent-decoding of arbitrary bytes against a decoder written here.

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "TalqOSUtils/Errors.h"
#include "TalqOSUtils/UnicodeString.h"

using namespace TalqOSUtils;

namespace {

constexpr std::size_t kGuard = 16;
constexpr UniChar kMark = 0xFEFF;
constexpr UniChar kSwappedMark = 0xFFFE;

bool IsMark(UniChar u) { return u == kMark || u == kSwappedMark; }

// The message of the ChException that fn throws, or "" when it throws none.
template <class Fn>
std::string Thrown(Fn fn) {
  try {
    fn();
  } catch (const ChException& e) {
    return e.what();
  }
  return std::string();
}

// What any operation taking e must throw: nothing for the supported values.
std::string ExpectedThrow(std::int32_t e) {
  if (e == kUnsupportedEncoding) return "Unsupported encoding";
  if (e < 0 || e > kPlatformEncoding) return "Unknown encoding";
  return std::string();
}

// Calls get(dst, size) on an array of `size` elements (at least one) with
// guard elements on both sides, and on an exact heap array; both must agree
// and leave the guards alone. Returns the array's elements.
template <class T, class Get>
std::basic_string<T> GetInto(int size, Get get) {
  const T canary = static_cast<T>(0xA5);
  const std::size_t n = size > 0 ? static_cast<std::size_t>(size) : 1;
  std::vector<T> guarded(kGuard + n + kGuard, canary);
  get(guarded.data() + kGuard, size);
  FUZZ_CHECK(
      std::all_of(guarded.begin(), guarded.begin() + kGuard, [&](T c) { return c == canary; }));
  FUZZ_CHECK(std::all_of(guarded.end() - kGuard, guarded.end(), [&](T c) { return c == canary; }));
  std::unique_ptr<T[]> exact(new T[n]);
  std::fill(exact.get(), exact.get() + n, canary);
  get(exact.get(), size);
  const std::basic_string<T> a(guarded.data() + kGuard, n);
  FUZZ_CHECK(a == std::basic_string<T>(exact.get(), n));
  return a;
}

// The documented array result: the first size-1 elements of full and a NUL,
// or all of full and a NUL; size <= 0 writes nothing.
template <class T>
void CheckArray(const std::basic_string<T>& got, int size, const std::basic_string<T>& full) {
  if (size <= 0) {
    FUZZ_CHECK(got == std::basic_string<T>(1, static_cast<T>(0xA5)));
    return;
  }
  const std::size_t keep = std::min(full.size(), static_cast<std::size_t>(size) - 1);
  FUZZ_CHECK(got.compare(0, keep, full, 0, keep) == 0);
  FUZZ_CHECK(got[keep] == 0);
}

void FuzzArrays(const UnicodeString& s, int inputSize) {
  std::string utf8;
  s.get(utf8);
  UniString units;
  s.get(units);
  FUZZ_CHECK(units == static_cast<const UniString&>(s));
  for (int size : {inputSize, static_cast<int>(utf8.size()) + 1, static_cast<int>(utf8.size()), 1,
                   0, -1, INT32_MIN}) {
    CheckArray(GetInto<char>(size, [&](char* d, int n) { s.get(d, n); }), size, utf8);
  }
  for (int size : {inputSize, static_cast<int>(s.size()) + 1, static_cast<int>(s.size()), 1, 0, -1,
                   INT32_MIN}) {
    const UniString got = GetInto<UniChar>(size, [&](UniChar* d, int n) { s.get(d, n); });
    CheckArray(got, size, units);
    FUZZ_CHECK(got == GetInto<UniChar>(size, [&](UniChar* d, int n) { s.getUni16Char(d, n); }));
  }
  s.get(static_cast<char*>(nullptr), 8);
  s.get(static_cast<UniChar*>(nullptr), 8);
}

// Percent-decoding as documented: %XX in either case, other bytes as they
// stand; false at a '%' without two hex digits; %00 ends the text.
bool PercentDecode(const std::string& text, std::string& out) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int hi = hex(text[i + 1]), lo = hex(text[i + 2]);
    if (hi < 0 || lo < 0) return false;
    if (hi == 0 && lo == 0) break;  // a decoded NUL ends the text
    out += static_cast<char>(hi << 4 | lo);
    i += 2;
  }
  return true;
}

// UTF-8 bytes as UTF-16, without any mark processing: a leading 'a' keeps
// UTF8ToUCS2 from taking a leading EF BB BF for a mark.
UniString DecodeUtf8(const UnicodeString& any, const std::string& bytes) {
  UniString out;
  any.UTF8ToUCS2('a' + bytes, out);
  FUZZ_CHECK(!out.empty() && out[0] == u'a');
  return out.substr(1);
}

void FuzzConstruction(const std::string& bytes, const UniString& units) {
  const UnicodeString fromBytes(bytes);
  FUZZ_CHECK(fromBytes.hasBOM() == UnicodeString::HasBOM(bytes));
  UniString decoded;
  fromBytes.UTF8ToUCS2(bytes, decoded);
  FUZZ_CHECK(static_cast<const UniString&>(fromBytes) == decoded);
  FUZZ_CHECK(UnicodeString::HasBOM(bytes) ==
             (bytes.size() > 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0));
  FUZZ_CHECK(UnicodeString::ProcessBOM(bytes) ==
             (UnicodeString::HasBOM(bytes) ? bytes.substr(3) : bytes));

  const UnicodeString fromUnits(units);
  const bool marked = !units.empty() && IsMark(units[0]);
  FUZZ_CHECK(fromUnits.hasBOM() == marked);
  FUZZ_CHECK(UnicodeString::HasBOM(units) == marked);
  const UniString processed = UnicodeString::ProcessBOM(units);
  FUZZ_CHECK(static_cast<const UniString&>(fromUnits) == (marked ? processed : units));
  const UniString reversed = UnicodeString::ReverseBytes(units);
  FUZZ_CHECK(reversed.size() == units.size());
  FUZZ_CHECK(UnicodeString::ReverseBytes(reversed) == units);
  if (!marked) FUZZ_CHECK(processed == units);
  if (!units.empty() && units[0] == kMark) FUZZ_CHECK(processed == units.substr(1));
  if (!units.empty() && units[0] == kSwappedMark) {
    FUZZ_CHECK(processed == UnicodeString::ReverseBytes(units.substr(1)));
  }

  // Copies keep content and flag; assignment from a marked source drops one
  // more leading mark.
  const UnicodeString copy(fromUnits);
  FUZZ_CHECK(copy == fromUnits && copy.hasBOM() == fromUnits.hasBOM());
  UnicodeString assigned;
  assigned = fromUnits;
  FUZZ_CHECK(assigned.hasBOM() == fromUnits.hasBOM());
  FUZZ_CHECK(static_cast<const UniString&>(assigned) ==
             (fromUnits.hasBOM() ? UnicodeString::ProcessBOM(fromUnits) : UniString(fromUnits)));
  UnicodeString fromPointer;
  fromPointer = bytes.c_str();
  FUZZ_CHECK(fromPointer == UnicodeString(std::string(bytes.c_str())));
  fromPointer = static_cast<const char*>(nullptr);
  FUZZ_CHECK(fromPointer.empty() && !fromPointer.hasBOM());
}

void FuzzRoundTrips(const std::string& bytes, const UniString& units) {
  const UnicodeString any;
  const std::string text = bytes.c_str();  // NUL ends a text
  const UniString wide = units.substr(0, units.find(UniChar(0)));

  // UTF-16 -> UTF-8 -> UTF-16; one leading mark (either order) and a second
  // one are dropped on the way out.
  std::string utf8;
  any.UCS2ToUTF8(wide, utf8);
  if (wide.empty() || !IsMark(wide[0])) {
    UniString back;
    any.UTF8ToUCS2(utf8, back);
    FUZZ_CHECK(back == wide);
    std::string marked;
    any.UCS2ToUTF8(UniString(1, kMark) + wide, marked);
    FUZZ_CHECK(marked == utf8);
    any.UCS2ToUTF8(UniString(1, kSwappedMark) + UnicodeString::ReverseBytes(wide), marked);
    FUZZ_CHECK(marked == utf8);
  }

  // Valid UTF-8 (nothing replaced, no mark) -> UTF-16 -> UTF-8.
  const UniString decoded = DecodeUtf8(any, text);
  if (decoded.find(UniChar(0xFFFD)) == UniString::npos &&
      (decoded.empty() || !IsMark(decoded[0]))) {
    std::string back;
    any.UCS2ToUTF8(decoded, back);
    FUZZ_CHECK(back == text);
  }

  // Single-byte encodings: every NUL-free byte string comes back.
  for (Encoding e : {kMacRomanEncoding, kISOLatin1Encoding, kPlatformEncoding, kDefaultEncoding}) {
    UnicodeString s;
    s.setStringWithEncoding(e, text);
    FUZZ_CHECK(s.size() == text.size());
    FUZZ_CHECK(s.getStringWithEncoding(e) == text);
    FUZZ_CHECK(UnicodeString::MapUTF8ToEncoding(e, UnicodeString::MapEncodingToUTF8(e, text)) ==
               text);
  }
  FUZZ_CHECK(UnicodeString::MapMacRomanToUTF8(text) ==
             UnicodeString::MapEncodingToUTF8(kMacRomanEncoding, text));
  {
    UnicodeString latin;
    latin.setISOLatin1Encoding(text);
    for (std::size_t i = 0; i < text.size(); ++i) {
      FUZZ_CHECK(latin[i] == static_cast<unsigned char>(text[i]));
    }
  }

  // Percent-encoding: only unreserved bytes and %XX, and back to the units.
  {
    const UnicodeString s(wide);
    std::string url;
    s.getURLEncoding(url);
    FUZZ_CHECK(url == s.getStringWithEncoding(kURLEncoding));
    for (std::size_t i = 0; i < url.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(url[i]);
      if (c == '%') {
        FUZZ_CHECK(i + 2 < url.size() && std::isxdigit(static_cast<unsigned char>(url[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(url[i + 2])));
        FUZZ_CHECK(!std::islower(static_cast<unsigned char>(url[i + 1])) &&
                   !std::islower(static_cast<unsigned char>(url[i + 2])));
        i += 2;
      } else {
        FUZZ_CHECK(std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~');
      }
    }
    UnicodeString back;
    back.setURLEncoding(url);
    FUZZ_CHECK(back == s);
  }

  // Percent-decoding of arbitrary bytes appends the decoded UTF-8, or
  // nothing at a bad escape.
  {
    UnicodeString s(UniString(u"pre"));
    s.setURLEncoding(text);
    std::string plain;
    if (!PercentDecode(text, plain)) {
      FUZZ_CHECK(s == UniString(u"pre"));
    } else {
      FUZZ_CHECK(s == UniString(u"pre") + DecodeUtf8(any, plain));
    }
  }
}

void FuzzEncodings(const std::string& bytes, const UniString& units, std::int32_t value) {
  const Encoding e = static_cast<Encoding>(value);
  const std::string expectedThrow = ExpectedThrow(value);
  const UnicodeString content(units);
  const std::string text = bytes.c_str();

  // Reading out.
  std::string out;
  FUZZ_CHECK(Thrown([&] { out = content.getStringWithEncoding(e); }) == expectedThrow);
  FUZZ_CHECK(Thrown([&] { UnicodeString::MapUTF8ToEncoding(e, text); }) == expectedThrow);
  FUZZ_CHECK(Thrown([&] { UnicodeString::MapEncodingToUTF8(e, text); }) == expectedThrow);
  const Encoding previous = UnicodeString::SetSystemEncoding(e);
  FUZZ_CHECK(UnicodeString::GetSystemEncoding() == e);
  FUZZ_CHECK(Thrown([&] { UnicodeString::MapSystemEncodingToUTF8(text); }) == expectedThrow);
  FUZZ_CHECK(Thrown([&] { UnicodeString::MapUTF8ToSystemEncoding(text); }) == expectedThrow);
  FUZZ_CHECK(UnicodeString::SetSystemEncoding(previous) == e);

  // Filling appends (UTF-8 replaces); a throw changes nothing.
  UnicodeString filled(content);
  const std::string thrown = Thrown([&] { filled.setStringWithEncoding(e, text); });
  FUZZ_CHECK(thrown == expectedThrow);
  FUZZ_CHECK(filled.hasBOM() == content.hasBOM());
  if (!thrown.empty()) {
    FUZZ_CHECK(filled == content);
    return;
  }
  UnicodeString fresh;
  fresh.setStringWithEncoding(e, text);
  if (e == kUTF8Encoding) {
    FUZZ_CHECK(filled == fresh);
  } else {
    FUZZ_CHECK(filled == static_cast<const UniString&>(content) + fresh);
  }
  std::string freshUtf8;
  fresh.get(freshUtf8);
  FUZZ_CHECK(UnicodeString::MapEncodingToUTF8(e, text) == freshUtf8);
  FUZZ_CHECK(UnicodeString::MapUTF8ToEncoding(e, text) ==
             UnicodeString(text).getStringWithEncoding(e));

  // Reading out by value agrees with the named getters.
  std::string named;
  switch (e) {
    case kDefaultEncoding:
    case kPlatformEncoding:
      content.getPlatformEncoding(named);
      break;
    case kISOLatin1Encoding:
      content.getISOLatin1Encoding(named);
      break;
    case kURLEncoding:
      content.getURLEncoding(named);
      break;
    case kUTF8Encoding:
      content.get(named);
      break;
    default:
      named = out;
      break;
  }
  FUZZ_CHECK(out == named);
  if (e == kDefaultEncoding) FUZZ_CHECK(out == content.getStringWithEncoding(kPlatformEncoding));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const int arraySize = static_cast<std::int8_t>(data[0]);
  std::int32_t encoding = 0;
  std::memcpy(&encoding, data + 1, sizeof encoding);
  const std::string bytes(reinterpret_cast<const char*>(data) + 5, size - 5);
  UniString units;
  for (std::size_t i = 5; i + 1 < size; i += 2) {
    units += static_cast<UniChar>(data[i] | data[i + 1] << 8);
  }

  FuzzConstruction(bytes, units);
  FuzzArrays(UnicodeString(units), arraySize);
  FuzzArrays(UnicodeString(bytes), arraySize);
  FuzzRoundTrips(bytes, units);
  // Mostly the values around the valid range, sometimes any 32-bit value.
  if ((data[1] & 0x80) == 0) encoding = data[1] % 9 - 1;
  FuzzEncodings(bytes, units, encoding);
  return 0;
}
