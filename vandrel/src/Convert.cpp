// Convert: any encoding to any other, by length, one block at a time. Each
// pair of encodings has its own loop (a template), which decodes one
// character, encodes it and moves on; ASCII runs go eight bytes at a time
// where both sides spell ASCII as itself. A loop stops at the first thing it
// cannot take; Convert applies the caller's policy there and goes on.
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "Cpu.h"
#include "Internal.h"
#include "Kernels.h"
#include "UtfCoder.h"
#include "Vandrel/Vandrel.h"
#include "VandrelRules/Url.h"

namespace Vandrel {

namespace {

constexpr char32_t kNoChar = 0xFFFFFFFF;

enum class Kind { kUtf8, kUtf16LE, kUtf16BE, kTable, kUrl };

// A single-byte code page: byte => character (kNoChar: undefined), and
// BMP character => byte (-1: none).
struct Table {
  char32_t decode[256];
  std::vector<std::int16_t> encode;
  bool asciiSame = true;
};

using ToUni16 = int (*)(const char*, Uni16*, std::size_t);

// Read out of the fixed converter one byte at a time, so that both agree
// byte for byte (the platform code page is the OS's on Windows).
void Fill(Table& table, ToUni16 toUni16) {
  table.encode.assign(0x10000, -1);
  table.decode[0] = 0;
  for (unsigned b = 1; b < 256; ++b) {
    const char src[2] = {static_cast<char>(b), 0};
    Uni16 units[4] = {};
    table.decode[b] = toUni16(src, units, 4) == 1 && units[0] != 0xFFFD ? units[0] : kNoChar;
  }
  for (unsigned b = 256; b-- > 0;) {  // the lowest byte wins a character
    if (table.decode[b] != kNoChar) table.encode[table.decode[b]] = static_cast<std::int16_t>(b);
  }
  for (unsigned b = 0; b < 128; ++b) {
    if (table.decode[b] != b) table.asciiSame = false;
  }
}

int MacRoman(const char* s, Uni16* d, std::size_t n) { return MacRomanStringToUni16Char(s, d, n); }

// The table of a single-byte encoding, made on first use; null for the
// platform code page when it is not single-byte.
const Table* TableOf(TextEncoding encoding) {
  static Table tables[3];
  static bool usable[3];
  static std::once_flag once[3];
  const int at = encoding == TextEncoding::kLatin1     ? 0
                 : encoding == TextEncoding::kMacRoman ? 1
                                                       : 2;
  std::call_once(once[at], [at] {
    const ToUni16 fns[] = {&ISOLatin1CStringToUni16Char, &MacRoman, &PlatformCStringToUni16Char};
    Fill(tables[at], fns[at]);
    usable[at] = at != 2 || detail::PlatformCodePageIsSingleByte();
  });
  return usable[at] ? &tables[at] : nullptr;
}

// ---------------------------------------------------------------------------
// Decoding one character: its length in bytes, or one of these.
constexpr int kNeedMore = 0;  // the source ends inside it
// -n: n bytes are not valid input (a maximal ill-formed subpart, as the
// Unicode Standard counts them, or a bad %XX escape).

struct PlainBytes {
  static int Next(const std::uint8_t* q, const std::uint8_t* end, unsigned& b) {
    if (q == end) return 0;
    b = *q;
    return 1;
  }
};

int HexValue(unsigned c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  return -1;
}

// A byte of percent-encoded text: 1, or 3 for %XX; 0 when the text ends
// first; -n for a bad escape ('%' and the hex digit after it, if any).
struct PercentBytes {
  static int Next(const std::uint8_t* q, const std::uint8_t* end, unsigned& b) {
    if (q == end) return 0;
    if (*q != '%') {
      b = *q;
      return 1;
    }
    if (end - q < 2) return 0;
    const int high = HexValue(q[1]);
    if (high < 0) return -1;
    if (end - q < 3) return 0;
    const int low = HexValue(q[2]);
    if (low < 0) return -2;
    b = static_cast<unsigned>(high * 16 + low);
    return 3;
  }
};

// UTF-8 by the Unicode Standard's table of well-formed sequences.
template <class Bytes>
int DecodeUtf8(const std::uint8_t* p, const std::uint8_t* end, char32_t& c) {
  unsigned b = 0;
  int n = Bytes::Next(p, end, b);
  if (n <= 0) return n;
  const std::uint8_t* q = p + n;
  if (b < 0x80) {
    c = b;
    return n;
  }
  int more = 0;
  unsigned low = detail::SecondByteLow(b), high = detail::SecondByteHigh(b);
  if (b < 0xC2) {
    return static_cast<int>(p - q);
  } else if (b < 0xE0) {
    more = 1;
    c = b & 0x1F;
  } else if (b < 0xF0) {
    more = 2;
    c = b & 0x0F;
  } else if (b < 0xF5) {
    more = 3;
    c = b & 0x07;
  } else {
    return static_cast<int>(p - q);
  }
  for (; more > 0; --more) {
    n = Bytes::Next(q, end, b);
    if (n == 0) return kNeedMore;
    if (n < 0 || b < low || b > high) return static_cast<int>(p - q);
    low = 0x80;
    high = 0xBF;
    c = (c << 6) | (b & 0x3F);
    q += n;
  }
  return static_cast<int>(q - p);
}

// UTF-16: a pair is one character; a lone surrogate (two bytes) is invalid.
template <bool Big>
int DecodeUtf16(const std::uint8_t* p, const std::uint8_t* end, char32_t& c) {
  const auto unit = [](const std::uint8_t* q) {
    return Big ? static_cast<unsigned>(q[0] << 8 | q[1]) : static_cast<unsigned>(q[1] << 8 | q[0]);
  };
  if (end - p < 2) return kNeedMore;
  const unsigned u = unit(p);
  if (u < 0xD800 || u > 0xDFFF) {
    c = u;
    return 2;
  }
  if (u >= 0xDC00) return -2;
  if (end - p < 4) return kNeedMore;
  const unsigned v = unit(p + 2);
  if (v < 0xDC00 || v > 0xDFFF) return -2;
  c = 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
  return 4;
}

template <Kind From>
int Decode(const char32_t* table, const std::uint8_t* p, const std::uint8_t* end, char32_t& c) {
  if constexpr (From == Kind::kUtf16LE || From == Kind::kUtf16BE) {
    return DecodeUtf16<From == Kind::kUtf16BE>(p, end, c);
  } else if constexpr (From == Kind::kUtf8) {
    return DecodeUtf8<PlainBytes>(p, end, c);
  } else if constexpr (From == Kind::kUrl) {
    return DecodeUtf8<PercentBytes>(p, end, c);
  } else {
    c = table[*p];
    return c == kNoChar ? -1 : 1;
  }
}

// ---------------------------------------------------------------------------
// Encoding one character: the end of its bytes, or nullptr when the target
// has none.

inline std::uint8_t* EncodeUtf8(char32_t c, std::uint8_t* o) {
  if (c < 0x80) {
    *o++ = static_cast<std::uint8_t>(c);
  } else if (c < 0x800) {
    *o++ = static_cast<std::uint8_t>(0xC0 | (c >> 6));
    *o++ = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *o++ = static_cast<std::uint8_t>(0xE0 | (c >> 12));
    *o++ = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
    *o++ = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
  } else {
    *o++ = static_cast<std::uint8_t>(0xF0 | (c >> 18));
    *o++ = static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F));
    *o++ = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
    *o++ = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
  }
  return o;
}

// RFC 3986: the unreserved characters stay, every other byte of the UTF-8
// form becomes %XX (upper-case hex), as Uni16CharToURLEncoding writes it.
std::uint8_t* EncodeUrl(char32_t c, std::uint8_t* o) {
  static const char kHex[] = "0123456789ABCDEF";
  std::uint8_t utf8[4];
  const std::uint8_t* const end = EncodeUtf8(c, utf8);
  for (const std::uint8_t* u = utf8; u != end; ++u) {
    const unsigned b = *u;
    if (url::IsUnreserved(b)) {
      *o++ = *u;
    } else {
      *o++ = '%';
      *o++ = static_cast<std::uint8_t>(kHex[b >> 4]);
      *o++ = static_cast<std::uint8_t>(kHex[b & 15]);
    }
  }
  return o;
}

template <bool Big>
std::uint8_t* EncodeUtf16(char32_t c, std::uint8_t* o) {
  const auto put = [&o](unsigned u) {
    *o++ = static_cast<std::uint8_t>(Big ? u >> 8 : u & 0xFF);
    *o++ = static_cast<std::uint8_t>(Big ? u & 0xFF : u >> 8);
  };
  if (c >= 0x10000) {
    put(0xD800 + ((c - 0x10000) >> 10));
    put(0xDC00 + (c & 0x3FF));
  } else {
    put(c);
  }
  return o;
}

template <Kind To>
std::uint8_t* Encode(const std::int16_t* table, char32_t c, std::uint8_t* o) {
  if constexpr (To == Kind::kUtf16LE || To == Kind::kUtf16BE) {
    return EncodeUtf16<To == Kind::kUtf16BE>(c, o);
  } else if constexpr (To == Kind::kUtf8) {
    return EncodeUtf8(c, o);
  } else if constexpr (To == Kind::kUrl) {
    return EncodeUrl(c, o);
  } else {
    if (c >= 0x10000 || table[c] < 0) return nullptr;
    *o++ = static_cast<std::uint8_t>(table[c]);
    return o;
  }
}

// The most bytes one character takes in To.
template <Kind To>
constexpr std::ptrdiff_t kMaxOut = To == Kind::kUrl     ? 12
                                   : To == Kind::kTable ? 1
                                                        : 4;

// The count of ASCII bytes that open the eight at p (8 when all are).
inline int AsciiPrefix(const std::uint8_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  const std::uint64_t high = w & 0x8080808080808080u;
  if (high == 0) return 8;
#if VANDREL_MSVC || (defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__)
  return static_cast<int>(detail::LowestBit(high) / 8);
#else
  int n = 0;
  while (p[n] < 0x80) ++n;
  return n;
#endif
}

// ---------------------------------------------------------------------------
// One pass: as far as the source, the room or the first problem allows.

struct Step {
  const std::uint8_t* in;
  std::uint8_t* out;
  Status status;
  int length = 0;
  char32_t c = 0;
};

// The tables as plain pointers, passed by value: the output's byte stores
// may alias anything in memory, so nothing the loop reads may live there.
struct Sides {
  const char32_t* decode;
  const std::int16_t* encode;
  bool asciiSame;
};

template <Kind From, Kind To>
Step Pass(Sides sides, const std::uint8_t* p, const std::uint8_t* end, std::uint8_t* o,
          std::uint8_t* oEnd) {
  while (p < end) {
    // Characters started before `stop` surely fit, with 8 bytes to spare for
    // the ASCII stores; near the end of the room, one at a time, set aside.
    const std::ptrdiff_t room = (oEnd - o - 8) / kMaxOut<To>;
    if (room <= 0) break;
    const std::uint8_t* const stop = end - p < room ? end : p + room;
    while (p < stop) {
      if (sides.asciiSame && end - p >= 8) {
        std::memcpy(o, p, 8);
        const int n = AsciiPrefix(p);
        p += n;
        o += n;
        if (n == 8) continue;
      }
      char32_t c = 0;
      const int n = Decode<From>(sides.decode, p, end, c);
      if (n == kNeedMore) return {p, o, Status::kIncomplete};
      if (n < 0) return {p, o, Status::kIllFormed, -n};
      std::uint8_t* const next = Encode<To>(sides.encode, c, o);
      if (next == nullptr) return {p, o, Status::kUnrepresentable, n, c};
      o = next;
      p += n;
    }
  }
  while (p < end) {
    char32_t c = 0;
    const int n = Decode<From>(sides.decode, p, end, c);
    if (n == kNeedMore) return {p, o, Status::kIncomplete};
    if (n < 0) return {p, o, Status::kIllFormed, -n};
    std::uint8_t aside[16];
    std::uint8_t* const next = Encode<To>(sides.encode, c, aside);
    if (next == nullptr) return {p, o, Status::kUnrepresentable, n, c};
    if (next - aside > oEnd - o) return {p, o, Status::kTargetFull};
    std::memcpy(o, aside, static_cast<std::size_t>(next - aside));
    o += next - aside;
    p += n;
  }
  return {p, o, Status::kDone};
}

using PassFn = Step (*)(Sides, const std::uint8_t*, const std::uint8_t*, std::uint8_t*,
                        std::uint8_t*);

template <Kind From>
PassFn PassTo(Kind to) {
  switch (to) {
    case Kind::kUtf8:
      return &Pass<From, Kind::kUtf8>;
    case Kind::kUtf16LE:
      return &Pass<From, Kind::kUtf16LE>;
    case Kind::kUtf16BE:
      return &Pass<From, Kind::kUtf16BE>;
    case Kind::kTable:
      return &Pass<From, Kind::kTable>;
    case Kind::kUrl:
      break;
  }
  return &Pass<From, Kind::kUrl>;
}

PassFn PassFor(Kind from, Kind to) {
  switch (from) {
    case Kind::kUtf8:
      return PassTo<Kind::kUtf8>(to);
    case Kind::kUtf16LE:
      return PassTo<Kind::kUtf16LE>(to);
    case Kind::kUtf16BE:
      return PassTo<Kind::kUtf16BE>(to);
    case Kind::kTable:
      return PassTo<Kind::kTable>(to);
    case Kind::kUrl:
      break;
  }
  return PassTo<Kind::kUrl>(to);
}

Kind KindOf(TextEncoding e) {
  switch (e) {
    case TextEncoding::kUtf8:
      return Kind::kUtf8;
    case TextEncoding::kUtf16LE:
      return Kind::kUtf16LE;
    case TextEncoding::kUtf16BE:
      return Kind::kUtf16BE;
    case TextEncoding::kUrl:
      return Kind::kUrl;
    default:
      return Kind::kTable;
  }
}

bool Known(TextEncoding e) {
  return static_cast<unsigned>(e) <= static_cast<unsigned>(TextEncoding::kUrl);
}

// ASCII is itself on the way in and out.
bool AsciiSelf(Kind kind, const Table* table) {
  return kind == Kind::kUtf8 || (kind == Kind::kTable && table->asciiSame);
}

// The replacement's bytes in the target, through the same encoders: U+FFFD
// for bad input, '?' for a character the target lacks or where it has no
// U+FFFD, as the fixed functions write them. out holds 16 bytes.
std::size_t Replacement(Kind to, const std::int16_t* encode, bool illFormed, std::uint8_t* out) {
  static const std::uint8_t kFffd[] = {0xEF, 0xBF, 0xBD};
  static const std::uint8_t kQuestion[] = {'?'};
  const PassFn pass = PassFor(Kind::kUtf8, to);
  const Sides sides{nullptr, encode, false};
  if (illFormed) {
    const Step step = pass(sides, kFffd, kFffd + 3, out, out + 16);
    if (step.status == Status::kDone) return static_cast<std::size_t>(step.out - out);
  }
  return static_cast<std::size_t>(pass(sides, kQuestion, kQuestion + 1, out, out + 16).out - out);
}

// UTF-16 in this machine's byte order, the form the kernel sets code.
#if VANDREL_MSVC || (defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__)
constexpr Kind kNativeUtf16 = Kind::kUtf16LE;
#else
constexpr Kind kNativeUtf16 = Kind::kUtf16BE;
#endif

// The kernel sets' strict block loops, for UTF-8 to and from native UTF-16
// where the units are aligned: they take what they can whole and stop before
// anything ill-formed, and the pass goes on from where they stopped.
void Blocks(Kind from, Kind to, const std::uint8_t*& p, const std::uint8_t* end, std::uint8_t*& o,
            std::uint8_t* oEnd) {
  if (from == Kind::kUtf8 && to == kNativeUtf16) {
    if (reinterpret_cast<std::uintptr_t>(o) % alignof(Uni16) != 0) return;
    detail::CStringBytes bytes{p, end};
    auto* q = reinterpret_cast<Uni16*>(o);
    detail::Kernels().decodeStrict(bytes, q, q + (oEnd - o) / 2);
    p = bytes.p;
    o = reinterpret_cast<std::uint8_t*>(q);
  } else if (from == kNativeUtf16 && to == Kind::kUtf8) {
    if (reinterpret_cast<std::uintptr_t>(p) % alignof(Uni16) != 0) return;
    const auto* s = reinterpret_cast<const Uni16*>(p);
    auto* q = reinterpret_cast<char*>(o);
    detail::Kernels().encodeStrict(s, s + (end - p) / 2, q, reinterpret_cast<char*>(oEnd));
    p = reinterpret_cast<const std::uint8_t*>(s);
    o = reinterpret_cast<std::uint8_t*>(q);
  }
}

}  // namespace

ConvertResult Convert(TextEncoding from, TextEncoding to, const void* src, std::size_t srcBytes,
                      void* dst, std::size_t dstBytes, Policy policy, bool last) {
  ConvertResult result;
  if (!Known(from) || !Known(to) || (src == nullptr && srcBytes != 0) ||
      (dst == nullptr && dstBytes != 0)) {
    result.status = Status::kUnsupported;
    return result;
  }
  const Kind fromKind = KindOf(from);
  const Kind toKind = KindOf(to);
  const Table* fromTable = fromKind == Kind::kTable ? TableOf(from) : nullptr;
  const Table* toTable = toKind == Kind::kTable ? TableOf(to) : nullptr;
  if ((fromKind == Kind::kTable && fromTable == nullptr) ||
      (toKind == Kind::kTable && toTable == nullptr)) {
    result.status = Status::kUnsupported;
    return result;
  }
  const Sides sides{fromTable != nullptr ? fromTable->decode : nullptr,
                    toTable != nullptr ? toTable->encode.data() : nullptr,
                    AsciiSelf(fromKind, fromTable) && AsciiSelf(toKind, toTable)};
  const PassFn pass = PassFor(fromKind, toKind);
  const auto* const begin = static_cast<const std::uint8_t*>(src);
  const std::uint8_t* const end = begin + srcBytes;
  auto* const out = static_cast<std::uint8_t*>(dst);
  std::uint8_t* const outEnd = out + dstBytes;
  const std::uint8_t* p = begin;
  std::uint8_t* o = out;
  const bool blocks = (fromKind == Kind::kUtf8 && toKind == kNativeUtf16) ||
                      (fromKind == kNativeUtf16 && toKind == Kind::kUtf8);
  for (;;) {
    if (blocks) Blocks(fromKind, toKind, p, end, o, outEnd);
    Step step = pass(sides, p, end, o, outEnd);
    p = step.in;
    o = step.out;
    if (step.status == Status::kIncomplete && last) {
      step.status = Status::kIllFormed;  // cut by the end of the text
      step.length = static_cast<int>(end - p);
    }
    const bool fault = step.status == Status::kIllFormed || step.status == Status::kUnrepresentable;
    if (!fault || policy == Policy::kStop) {
      result.status = step.status;
      result.length = fault ? static_cast<std::size_t>(step.length) : 0;
      result.character = step.status == Status::kUnrepresentable ? step.c : 0;
      break;
    }
    if (policy == Policy::kReplace) {
      std::uint8_t aside[16];
      const std::size_t n =
          Replacement(toKind, sides.encode, step.status == Status::kIllFormed, aside);
      if (n > static_cast<std::size_t>(outEnd - o)) {
        result.status = Status::kTargetFull;
        break;
      }
      std::memcpy(o, aside, n);
      o += n;
    }
    p += step.length;
  }
  result.read = static_cast<std::size_t>(p - begin);
  result.written = static_cast<std::size_t>(o - out);
  return result;
}

}  // namespace Vandrel
