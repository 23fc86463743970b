// UTF-8 <-> UTF-16 and percent-encoding: the entry points. Their blocks,
// scans and counts run in the kernel set chosen at load time (Kernels.h).
//
// Both directions measure the source first, then run a fast loop over blocks
// while both the source and the room left are comfortably larger than a
// block, and finish one character at a time with the room tested.
#include <climits>
#include <cstdint>
#include <cstring>

#include "Internal.h"
#include "Kernels.h"
#include "UtfCoder.h"
#include "Vandrel/Vandrel.h"
#include "VandrelRules/Url.h"

namespace Vandrel {
namespace {

using namespace detail;  // NOLINT(google-build-using-namespace): the coder's pieces

inline int HexValue(unsigned c) {
  if (c - '0' < 10) return static_cast<int>(c - '0');
  c |= 0x20;
  if (c - 'a' < 6) return static_cast<int>(c - 'a' + 10);
  return -1;
}

// Bytes of a percent-encoded text. Reading stops (yields 0) at the terminator,
// at a decoded %00, and at a '%' without two hex digits; the caller tells the
// last two apart with StoppedAtBadEscape().
struct PercentBytes {
  static constexpr bool kContiguous = false;
  const char* p;

  // Length in source characters of the token at s and its byte; 0 at the end
  // or at a malformed escape.
  static std::size_t Token(const char* s, unsigned& byte) {
    const unsigned c = static_cast<unsigned char>(s[0]);
    if (c != '%') {
      byte = c;
      return c != 0 ? 1 : 0;
    }
    const int hi = HexValue(static_cast<unsigned char>(s[1]));
    if (hi < 0) return 0;
    const int lo = HexValue(static_cast<unsigned char>(s[2]));
    if (lo < 0) return 0;
    byte = static_cast<unsigned>(hi * 16 + lo);
    return 3;
  }
  unsigned At(std::size_t k) const {
    const char* s = p;
    for (std::size_t i = 0;; ++i) {
      unsigned byte = 0;
      const std::size_t len = Token(s, byte);
      if (len == 0) return 0;
      if (i == k) return byte;
      s += len;
    }
  }
  void Skip(std::size_t k) {
    unsigned byte = 0;
    while (k-- > 0) p += Token(p, byte);
  }
  bool StoppedAtBadEscape() const {
    unsigned byte = 0;
    return *p == '%' && Token(p, byte) == 0;
  }
};

// Decodes from src into [q, qend) (qend leaves room for the NUL) until the
// source yields 0 or a character does not fit (full).
template <class Source>
Uni16* DecodeUtf8(Source& src, Uni16* q, Uni16* qend, bool& full) {
  if constexpr (Source::kContiguous) Kernels().decodeBlocks(src, q, qend);
  while (src.At(0) != 0) {
    if (!DecodeOne(src, q, qend)) {
      full = true;
      break;
    }
  }
  return q;
}

// Encodes s..send into [q, qend); `full` tells whether some did not fit.
char* EncodeUtf8(const Uni16* s, const Uni16* send, char* q, const char* qend, bool& full) {
  Kernels().encodeBlocks(s, send, q, qend);
  while (s < send) {
    const std::size_t taken = EncodeOne(s, send, q, qend);
    if (taken == 0) break;
    s += taken;
  }
  full = s < send;
  return q;
}

// The unreserved characters of RFC 3986, as a table.
struct UnreservedTable {
  bool keep[256] = {};
  constexpr UnreservedTable() {
    for (unsigned c = 0; c < 256; ++c) keep[c] = url::IsUnreserved(c);
  }
};
constexpr UnreservedTable kUnreserved;

}  // namespace

std::size_t Uni16CharGetLength(const Uni16* s) {
  if (s == nullptr) return 0;
  return Kernels().unitLength(s);
}

std::size_t Uni16CharUTF8Length(const Uni16* src, std::size_t n) {
  std::size_t units = 0;
  return Uni16CharUTF8LengthAndEnd(src, n, &units);
}

std::size_t Uni16CharUTF8LengthAndEnd(const Uni16* src, std::size_t n, std::size_t* units) {
  *units = 0;
  if (src == nullptr) return 0;
  return Kernels().utf8Length(src, n, units);
}

std::size_t UTF8Uni16CharLength(const char* src, std::size_t n) {
  bool nul = false;
  return UTF8Uni16CharLengthAndNul(src, n, &nul);
}

std::size_t UTF8Uni16CharLengthAndNul(const char* src, std::size_t n, bool* holdsNul) {
  *holdsNul = false;
  if (src == nullptr) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(src);
  return Kernels().uni16Units(bytes, n, holdsNul);
}

int UTF8ToUni16CharSized(const char* src, std::size_t n, Uni16* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  if (src == nullptr) return UTF8ToUni16Char(src, dst, capacity);
  CStringBytes in{reinterpret_cast<const unsigned char*>(src),
                  reinterpret_cast<const unsigned char*>(src) + n};
  bool full = false;
  Uni16* q = DecodeUtf8(in, dst, dst + (ClampCapacity(capacity) - 1), full);
  *q = 0;
  return full ? -1 : static_cast<int>(q - dst);
}

int Uni16CharToUTF8Sized(const Uni16* src, std::size_t n, char* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  if (src == nullptr) return Uni16CharToUTF8(src, dst, capacity);
  bool full = false;
  char* q = EncodeUtf8(src, src + n, dst, dst + (ClampCapacity(capacity) - 1), full);
  *q = 0;
  return full ? -1 : static_cast<int>(q - dst);
}

int UTF8ToUni16Char(const char* src, Uni16* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  capacity = ClampCapacity(capacity);
  if (src == nullptr) src = "";
  // The block loop finds the end (one pass with the conversion, or a scan
  // first).
  CStringBytes in{reinterpret_cast<const unsigned char*>(src), nullptr};
  Uni16* const qend = dst + (capacity - 1);
  bool full = false;
  Uni16* q = DecodeUtf8(in, dst, qend, full);
  *q = 0;
  return full ? -1 : static_cast<int>(q - dst);
}

int Uni16CharToUTF8(const Uni16* src, char* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  capacity = ClampCapacity(capacity);
  char* q = dst;
  char* const qend = dst + (capacity - 1);
  const Uni16* s = src;
  if (s != nullptr) {
    Kernels().encodeString(s, q, qend);
    // The rest up to the NUL; s[1] is there to look at while s[0] is not 0.
    while (*s != 0) {
      const std::size_t taken = EncodeOne(s, s + 2, q, qend);
      if (taken == 0) break;
      s += taken;
    }
  }
  *q = 0;
  return s != nullptr && *s != 0 ? -1 : static_cast<int>(q - dst);
}

int Uni16CharToURLEncoding(const Uni16* src, char* dst, std::size_t capacity) {
  static const char kHex[] = "0123456789ABCDEF";
  if (dst == nullptr || capacity == 0) return -1;
  capacity = ClampCapacity(capacity);
  const std::size_t n = Uni16CharGetLength(src);
  char* q = dst;
  char* const qend = dst + (capacity - 1);
  bool full = false;
  for (std::size_t i = 0; i < n;) {
    // One character at a time through the UTF-8 encoder, so that its escapes
    // are written whole or not at all.
    char utf8[4] = {};
    bool unused = false;
    const std::size_t units =
        (n - i >= 2 && (src[i] & 0xFC00) == 0xD800 && (src[i + 1] & 0xFC00) == 0xDC00) ? 2 : 1;
    const std::size_t len = static_cast<std::size_t>(
        EncodeUtf8(src + i, src + i + units, utf8, utf8 + 4, unused) - utf8);
    std::size_t need = 0;
    for (std::size_t k = 0; k < len; ++k)
      need += kUnreserved.keep[static_cast<unsigned char>(utf8[k])] ? 1 : 3;
    if (static_cast<std::size_t>(qend - q) < need) {
      full = true;
      break;
    }
    for (std::size_t k = 0; k < len; ++k) {
      const auto b = static_cast<unsigned char>(utf8[k]);
      if (kUnreserved.keep[b]) {
        *q++ = static_cast<char>(b);
      } else {
        q[0] = '%';
        q[1] = kHex[b >> 4];
        q[2] = kHex[b & 0xF];
        q += 3;
      }
    }
    i += units;
  }
  *q = 0;
  return full ? -1 : static_cast<int>(q - dst);
}

int URLEncodingToUni16Char(const char* src, Uni16* dst, std::size_t capacity) {
  if (dst == nullptr || capacity == 0) return -1;
  capacity = ClampCapacity(capacity);
  if (src == nullptr) src = "";
  PercentBytes in{src};
  Uni16* const qend = dst + (capacity - 1);
  bool full = false;
  Uni16* q = DecodeUtf8(in, dst, qend, full);
  *q = 0;
  if (full || in.StoppedAtBadEscape()) return -1;
  return static_cast<int>(q - dst);
}

}  // namespace Vandrel
