// The .lnk reader's byte reader (see ByteReader.h).
#include "lnk/ByteReader.h"

#include <cstring>

#include "VandrelRules/NameBytes.h"
#include "VandrelRules/Windows1252.h"

namespace TalqOSUtils {
namespace lnk {

namespace {

bool IsUtf8(const char* bytes, std::size_t n) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0, length = 0; i < n; i += length) {
    length = Vandrel::names::Utf8CharLength(s + i, n - i);
    if (length == 0) return false;
  }
  return true;
}

}  // namespace

Text DecodeAnsi(const char* bytes, std::size_t n) {
  Text text;
  if (IsUtf8(bytes, n)) {
    Vandrel::names::AppendNameUnits(bytes, n, text);  // well-formed: no byte is escaped
    return text;
  }
  for (std::size_t i = 0; i < n; ++i) {
    text += static_cast<Unit>(Vandrel::cp1252::UnitOf(static_cast<unsigned char>(bytes[i])));
  }
  return text;
}

bool ByteReader::U8(std::size_t offset, std::uint32_t& value) const {
  if (!Has(offset, 1)) return false;
  value = mData[offset];
  return true;
}

bool ByteReader::U16(std::size_t offset, std::uint32_t& value) const {
  if (!Has(offset, 2)) return false;
  value = static_cast<std::uint32_t>(mData[offset] | mData[offset + 1] << 8);
  return true;
}

bool ByteReader::U32(std::size_t offset, std::uint32_t& value) const {
  if (!Has(offset, 4)) return false;
  value = static_cast<std::uint32_t>(mData[offset]) |
          static_cast<std::uint32_t>(mData[offset + 1]) << 8 |
          static_cast<std::uint32_t>(mData[offset + 2]) << 16 |
          static_cast<std::uint32_t>(mData[offset + 3]) << 24;
  return true;
}

bool ByteReader::Sub(std::size_t offset, std::size_t count, ByteReader& out) const {
  if (!Has(offset, count)) return false;
  out = ByteReader(mData + offset, count);
  return true;
}

bool ByteReader::Equals(std::size_t offset, const std::uint8_t* bytes, std::size_t n) const {
  return Has(offset, n) && std::memcmp(mData + offset, bytes, n) == 0;
}

bool ByteReader::AnsiZ(std::size_t offset, Text& out, std::size_t* next) const {
  if (!Has(offset, 1)) return false;
  const void* nul = std::memchr(mData + offset, 0, mSize - offset);
  if (nul == nullptr) return false;
  const std::size_t length =
      static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - (mData + offset));
  out = DecodeAnsi(reinterpret_cast<const char*>(mData + offset), length);
  if (next != nullptr) *next = offset + length + 1;
  return true;
}

bool ByteReader::UnicodeZ(std::size_t offset, Text& out, std::size_t* next) const {
  Text text;
  std::size_t at = offset;
  for (std::uint32_t unit = 0;; at += 2) {
    if (!U16(at, unit)) return false;
    if (unit == 0) break;
    text += static_cast<Unit>(unit);
  }
  out = text;
  if (next != nullptr) *next = at + 2;
  return true;
}

bool ByteReader::Ansi(std::size_t offset, std::size_t count, Text& out) const {
  if (!Has(offset, count)) return false;
  const auto* start = reinterpret_cast<const char*>(mData + offset);
  const void* nul = std::memchr(start, 0, count);
  out = DecodeAnsi(start, nul == nullptr
                              ? count
                              : static_cast<std::size_t>(static_cast<const char*>(nul) - start));
  return true;
}

bool ByteReader::Unicode(std::size_t offset, std::size_t count, Text& out) const {
  if (count > mSize / 2 || !Has(offset, count * 2)) return false;
  Text text;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* unit = mData + offset + 2 * i;
    if (unit[0] == 0 && unit[1] == 0) break;  // a stored NUL ends the text, as on Windows
    text += static_cast<Unit>(unit[0] | unit[1] << 8);
  }
  out = text;
  return true;
}

}  // namespace lnk
}  // namespace TalqOSUtils
