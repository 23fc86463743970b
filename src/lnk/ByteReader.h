// The .lnk reader's byte reader: little-endian integers and strings read from
// a window on bytes in memory, every offset and size checked against the
// window, so that no read of a crafted file leaves the bytes it was given.
// Offsets are relative to the window's start, as the format's offsets are to
// their structure.
//
// ANSI strings: the code page of the machine that wrote a shortcut is not in
// the file. Bytes that are well-formed UTF-8 (ASCII among them) are read as
// UTF-8, as some tools write them; any other bytes as Windows-1252
// (VandrelRules/Windows1252.h), whatever the code page of the machine
// reading them.
//   bytes C3 B6 => U+00F6 (UTF-8)   bytes F6 80 => U+00F6 U+20AC (Windows-1252)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Vandrel/Vandrel.h"

namespace TalqOSUtils {
namespace lnk {

/// A UTF-16 unit, as Vandrel's text has it (wchar_t on Windows, char16_t
/// elsewhere).
using Unit = Vandrel::Uni16;
/// UTF-16 text without a NUL.
using Text = std::basic_string<Unit>;

/// ANSI bytes[0..n) as text (see the top of this file).
Text DecodeAnsi(const char* bytes, std::size_t n);

class ByteReader {
 public:
  ByteReader() = default;
  ByteReader(const std::uint8_t* data, std::size_t size) : mData(data), mSize(size) {}

  std::size_t Size() const { return mSize; }
  /// True when [offset, offset + count) lies inside the window.
  bool Has(std::size_t offset, std::size_t count) const {
    return offset <= mSize && count <= mSize - offset;
  }
  /// Each read is false, leaving `value` alone, when it does not fit.
  bool U8(std::size_t offset, std::uint32_t& value) const;
  bool U16(std::size_t offset, std::uint32_t& value) const;
  bool U32(std::size_t offset, std::uint32_t& value) const;
  /// The window [offset, offset + count) of this one.
  bool Sub(std::size_t offset, std::size_t count, ByteReader& out) const;
  /// True when the n bytes at offset fit and equal `bytes`.
  bool Equals(std::size_t offset, const std::uint8_t* bytes, std::size_t n) const;

  /// A NUL-terminated ANSI or UTF-16LE string at offset that ends inside
  /// the window; `next` (when given) gets the offset just past its NUL.
  bool AnsiZ(std::size_t offset, Text& out, std::size_t* next = nullptr) const;
  bool UnicodeZ(std::size_t offset, Text& out, std::size_t* next = nullptr) const;
  /// `count` ANSI bytes or UTF-16LE units at offset, cut at a NUL among them.
  bool Ansi(std::size_t offset, std::size_t count, Text& out) const;
  bool Unicode(std::size_t offset, std::size_t count, Text& out) const;

 private:
  const std::uint8_t* mData = nullptr;
  std::size_t mSize = 0;
};

}  // namespace lnk
}  // namespace TalqOSUtils
