// talq iconv: text from one encoding to another, streamed block by block, with
// GNU iconv's policy: input that is not valid in its encoding, or a character
// the target cannot represent, stops the conversion with its byte offset (the
// output converted before it is written); with -c such characters are dropped.
// NUL bytes pass through. The single-byte tables are the library's own (read
// out of Vandrel once per run), so talq agrees with it byte for byte; the
// per-block loops are talq's, because the library converts NUL-terminated
// text and replaces what it cannot convert.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Talq.h"
#include "TalqOSUtils/TalqOSUtils.h"
#include "Vandrel/Vandrel.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace talq {

namespace {

constexpr std::size_t kInBlock = std::size_t{1} << 16;   // bytes read at a time
constexpr std::size_t kOutBlock = std::size_t{1} << 17;  // bytes written at a time
// An unfinished character at the end of a block is carried into the next:
// at most 11 bytes ("%F0%9F%98%8" of the url encoding).
constexpr std::size_t kCarry = 16;
constexpr char32_t kNoChar = 0xFFFFFFFF;

enum class Kind { kUtf8, kTable, kUrl, kUtf16LE, kUtf16BE };

struct Codec {
  Kind kind = Kind::kUtf8;
  std::string display;               // in messages: "ISO-8859-1"
  std::vector<char32_t> decode;      // kTable: byte => character, kNoChar when undefined
  std::vector<std::int16_t> encode;  // kTable: BMP character => byte, -1 when none
  bool asciiSame = true;             // 00-7F are ASCII both ways
  // "UTF-16": read in the order its byte-order mark says (little-endian
  // without one), written little-endian after the mark FF FE, as GNU iconv
  // has it on this processor order.
  bool withMark = false;
};

using ToUni16 = int (*)(const char*, Vandrel::Uni16*, std::size_t);

Codec TableCodec(ToUni16 toUni16, std::string display) {
  Codec codec;
  codec.kind = Kind::kTable;
  codec.display = std::move(display);
  codec.decode.assign(256, kNoChar);
  codec.encode.assign(0x10000, -1);
  codec.decode[0] = 0;
  for (unsigned b = 1; b < 256; ++b) {
    const char src[2] = {static_cast<char>(b), 0};
    Vandrel::Uni16 units[4] = {};
    // One unit is the byte's character; U+FFFD (or nothing) means the code
    // page leaves the byte undefined.
    if (toUni16(src, units, 4) == 1 && units[0] != 0xFFFD) codec.decode[b] = units[0];
  }
  for (unsigned b = 256; b-- > 0;) {  // the lowest byte wins a character
    if (codec.decode[b] != kNoChar) codec.encode[codec.decode[b]] = static_cast<std::int16_t>(b);
  }
  for (unsigned b = 0; b < 128; ++b) {
    if (codec.decode[b] != b) codec.asciiSame = false;
  }
  return codec;
}

// ---------------------------------------------------------------------------
// The names. The platform code page is the library's kPlatformEncoding: the
// process's ANSI code page on Windows, Windows-1252 elsewhere; "cpN" and
// "windows-N" name it when it is the single-byte code page N.

enum class Id { kUtf8, kLatin1, kMacRoman, kUrl, kPlatform, kUtf16, kUtf16LE, kUtf16BE };

struct Named {
  Id id;
  std::vector<std::string> names;  // canonical first; lower case
};

#if defined(_WIN32)
unsigned PlatformCodePage() { return ::GetACP(); }
bool PlatformIsSingleByte() {
  CPINFO info;
  return ::GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
}
#else
unsigned PlatformCodePage() { return 1252; }
bool PlatformIsSingleByte() { return true; }
#endif

const std::vector<Named>& Names() {
  static const std::vector<Named> names = [] {
    std::vector<Named> list = {
        {Id::kUtf8, {"utf-8", "utf8"}},
        {Id::kLatin1, {"iso-8859-1", "iso_8859-1", "iso8859-1", "latin1", "l1"}},
        {Id::kMacRoman, {"macintosh", "macroman", "mac"}},
        {Id::kUrl, {"url"}},
        {Id::kUtf16, {"utf-16", "utf16"}},
        {Id::kUtf16LE, {"utf-16le", "utf16le"}},
        {Id::kUtf16BE, {"utf-16be", "utf16be"}},
        {Id::kPlatform, {"platform"}},
    };
    const unsigned page = PlatformCodePage();
    if (PlatformIsSingleByte()) {
      list.back().names.push_back("cp" + std::to_string(page));
      list.back().names.push_back("windows-" + std::to_string(page));
    }
    return list;
  }();
  return names;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

Id IdNamed(const std::string& name) {
  const std::string lower = Lower(name);
  std::string known;
  for (const Named& n : Names()) {
    for (const std::string& alias : n.names) {
      if (alias == lower) return n.id;
    }
    known += (known.empty() ? "" : ", ") + n.names[0];
  }
  throw UsageError{"unknown encoding '" + name + "' (known: " + known +
                   "; talq iconv -l lists their aliases)"};
}

Codec CodecFor(Id id) {
  switch (id) {
    case Id::kUtf8:
      return Codec{Kind::kUtf8, "UTF-8", {}, {}, true};
    case Id::kUrl:
      return Codec{Kind::kUrl, "the url encoding", {}, {}, false};
    case Id::kLatin1:
      return TableCodec(&Vandrel::ISOLatin1CStringToUni16Char, "ISO-8859-1");
    case Id::kMacRoman:
      return TableCodec([](const char* s, Vandrel::Uni16* d,
                           std::size_t n) { return Vandrel::MacRomanStringToUni16Char(s, d, n); },
                        "Mac OS Roman");
    case Id::kUtf16:
      return Codec{Kind::kUtf16LE, "UTF-16", {}, {}, false, true};
    case Id::kUtf16LE:
      return Codec{Kind::kUtf16LE, "UTF-16LE", {}, {}, false};
    case Id::kUtf16BE:
      return Codec{Kind::kUtf16BE, "UTF-16BE", {}, {}, false};
    case Id::kPlatform:
      break;
  }
  const std::string page = std::to_string(PlatformCodePage());
  if (PlatformCodePage() == 65001) return Codec{Kind::kUtf8, "UTF-8", {}, {}, true};
  if (!PlatformIsSingleByte()) {
    throw Failure{"the platform code page (" + page +
                  ") is a multi-byte code page, which talq iconv does not convert"};
  }
  return TableCodec(&Vandrel::PlatformCStringToUni16Char, "the platform code page (" + page + ")");
}

// ---------------------------------------------------------------------------
// Decoding one character. The result is its length in bytes, or one of:
constexpr int kNeedMore = 0;       // the block ends inside it
constexpr int kTruncated = -1000;  // the input ends inside it
// or -n: n bytes are not valid input (a maximal ill-formed subpart, as the
// Unicode Standard counts them, or a bad %XX escape).

// The byte at q of plain text: 1, or 0 at the end.
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

// The byte at q of percent-encoded text: 1, or 3 for %XX; 0 when the text
// ends first; -n for a bad escape ('%' and the hex digit after it, if any).
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

// UTF-8 by the Unicode Standard's table of well-formed sequences (so no
// surrogates, nothing above U+10FFFF, no overlong forms), over the bytes that
// Bytes reads.
template <class Bytes>
int DecodeUtf8(const std::uint8_t* p, const std::uint8_t* end, bool last, char32_t& c) {
  unsigned b = 0;
  int n = Bytes::Next(p, end, b);
  if (n < 0) return n;
  if (n == 0) return last ? kTruncated : kNeedMore;
  const std::uint8_t* q = p + n;
  if (b < 0x80) {
    c = b;
    return n;
  }
  int more = 0;
  unsigned low = 0x80, high = 0xBF;
  if (b < 0xC2) {
    return static_cast<int>(p - q);
  } else if (b < 0xE0) {
    more = 1;
    c = b & 0x1F;
  } else if (b < 0xF0) {
    more = 2;
    c = b & 0x0F;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b < 0xF5) {
    more = 3;
    c = b & 0x07;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return static_cast<int>(p - q);
  }
  for (; more > 0; --more) {
    n = Bytes::Next(q, end, b);
    if (n == 0) return last ? kTruncated : kNeedMore;
    if (n < 0 || b < low || b > high) return static_cast<int>(p - q);
    low = 0x80;
    high = 0xBF;
    c = (c << 6) | (b & 0x3F);
    q += n;
  }
  return static_cast<int>(q - p);
}

// UTF-16 in either byte order: a pair is one character, a lone surrogate
// (two bytes) is not valid input.
template <bool Big>
int DecodeUtf16(const std::uint8_t* p, const std::uint8_t* end, bool last, char32_t& c) {
  const auto unit = [](const std::uint8_t* q) {
    return Big ? static_cast<unsigned>(q[0] << 8 | q[1]) : static_cast<unsigned>(q[1] << 8 | q[0]);
  };
  if (end - p < 2) return last ? kTruncated : kNeedMore;
  const unsigned u = unit(p);
  if (u < 0xD800 || u > 0xDFFF) {
    c = u;
    return 2;
  }
  if (u >= 0xDC00) return -2;
  if (end - p < 4) return last ? kTruncated : kNeedMore;
  const unsigned v = unit(p + 2);
  if (v < 0xDC00 || v > 0xDFFF) return -2;
  c = 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
  return 4;
}

template <Kind From>
int Decode(const char32_t* table, const std::uint8_t* p, const std::uint8_t* end, bool last,
           char32_t& c) {
  if constexpr (From == Kind::kUtf16LE || From == Kind::kUtf16BE) {
    return DecodeUtf16<From == Kind::kUtf16BE>(p, end, last, c);
  } else if constexpr (From == Kind::kUtf8) {
    return DecodeUtf8<PlainBytes>(p, end, last, c);
  } else if constexpr (From == Kind::kUrl) {
    return DecodeUtf8<PercentBytes>(p, end, last, c);
  } else {
    c = table[*p];
    return c == kNoChar ? -1 : 1;
  }
}

// ---------------------------------------------------------------------------
// Encoding one character: the end of its bytes, or nullptr when the target
// has none.

inline char* EncodeUtf8(char32_t c, char* o) {
  if (c < 0x80) {
    *o++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *o++ = static_cast<char>(0xC0 | (c >> 6));
    *o++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *o++ = static_cast<char>(0xE0 | (c >> 12));
    *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *o++ = static_cast<char>(0xF0 | (c >> 18));
    *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return o;
}

// RFC 3986: the unreserved characters stay, every other byte of the UTF-8
// form becomes %XX (upper-case hex), as the library's url encoding.
char* EncodeUrl(char32_t c, char* o) {
  static const char kHex[] = "0123456789ABCDEF";
  char utf8[4];
  const char* const end = EncodeUtf8(c, utf8);
  for (const char* u = utf8; u != end; ++u) {
    const unsigned b = static_cast<unsigned char>(*u);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
        b == '.' || b == '_' || b == '~') {
      *o++ = *u;
    } else {
      *o++ = '%';
      *o++ = kHex[b >> 4];
      *o++ = kHex[b & 15];
    }
  }
  return o;
}

template <bool Big>
char* EncodeUtf16(char32_t c, char* o) {
  const auto put = [&o](unsigned u) {
    *o++ = static_cast<char>(Big ? u >> 8 : u & 0xFF);
    *o++ = static_cast<char>(Big ? u & 0xFF : u >> 8);
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
char* Encode(const std::int16_t* table, char32_t c, char* o) {
  if constexpr (To == Kind::kUtf16LE || To == Kind::kUtf16BE) {
    return EncodeUtf16<To == Kind::kUtf16BE>(c, o);
  } else if constexpr (To == Kind::kUtf8) {
    return EncodeUtf8(c, o);
  } else if constexpr (To == Kind::kUrl) {
    return EncodeUrl(c, o);
  } else {
    if (c >= 0x10000 || table[c] < 0) return nullptr;
    *o++ = static_cast<char>(table[c]);
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
#if (defined(__GNUC__) || defined(__clang__)) && defined(__BYTE_ORDER__) && \
    __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  return __builtin_ctzll(high) / 8;
#else
  int n = 0;
  while (p[n] < 0x80) ++n;
  return n;
#endif
}

// ---------------------------------------------------------------------------
// One pass over a block.

enum class Stop { kDone, kOutFull, kInvalid, kIncomplete, kUnrepresentable };

struct Step {
  const std::uint8_t* in;  // where the pass stopped
  char* out;               // the end of its output
  Stop stop;
  int length = 0;  // kInvalid, kUnrepresentable: the bytes to skip
  char32_t c = 0;  // kUnrepresentable: the character
};

template <Kind From, Kind To>
Step ConvertBlock(const Codec& from, const Codec& to, const std::uint8_t* p,
                  const std::uint8_t* end, bool last, char* o, char* oEnd) {
  // Locals, since the output's char stores may alias anything behind a codec.
  const char32_t* const decodeTable = from.decode.data();
  const std::int16_t* const encodeTable = to.encode.data();
  // ASCII runs, the bulk of most text, go eight bytes at a time: a word is
  // stored whole and the output moves on by its ASCII bytes only.
  const bool copyAscii = From != Kind::kUrl && To != Kind::kUrl && from.asciiSame && to.asciiSame;
  while (p < end) {
    // Characters started before `stop` fit the output, 8 bytes spare.
    const std::ptrdiff_t room = (oEnd - o - 8) / kMaxOut<To>;
    if (room <= 0) return {p, o, Stop::kOutFull};
    const std::uint8_t* const stop = end - p < room ? end : p + room;
    while (p < stop) {
      if (copyAscii) {
        if (end - p >= 8) {
          std::memcpy(o, p, 8);
          const int n = AsciiPrefix(p);
          p += n;
          o += n;
          if (n == 8) continue;
        } else if (*p < 0x80) {
          *o++ = static_cast<char>(*p++);
          continue;
        }
      }
      char32_t c = 0;
      const int n = Decode<From>(decodeTable, p, end, last, c);
      if (n == kNeedMore) return {p, o, Stop::kDone};
      if (n == kTruncated) return {p, o, Stop::kIncomplete};
      if (n < 0) return {p, o, Stop::kInvalid, -n};
      char* const next = Encode<To>(encodeTable, c, o);
      if (next == nullptr) return {p, o, Stop::kUnrepresentable, n, c};
      o = next;
      p += n;
    }
  }
  return {p, o, Stop::kDone};
}

using BlockConverter = Step (*)(const Codec&, const Codec&, const std::uint8_t*,
                                const std::uint8_t*, bool, char*, char*);

template <Kind From>
BlockConverter ConverterTo(Kind to) {
  switch (to) {
    case Kind::kUtf8:
      return &ConvertBlock<From, Kind::kUtf8>;
    case Kind::kTable:
      return &ConvertBlock<From, Kind::kTable>;
    case Kind::kUtf16LE:
      return &ConvertBlock<From, Kind::kUtf16LE>;
    case Kind::kUtf16BE:
      return &ConvertBlock<From, Kind::kUtf16BE>;
    case Kind::kUrl:
      break;
  }
  return &ConvertBlock<From, Kind::kUrl>;
}

BlockConverter ConverterFor(Kind from, Kind to) {
  switch (from) {
    case Kind::kUtf8:
      return ConverterTo<Kind::kUtf8>(to);
    case Kind::kTable:
      return ConverterTo<Kind::kTable>(to);
    case Kind::kUtf16LE:
      return ConverterTo<Kind::kUtf16LE>(to);
    case Kind::kUtf16BE:
      return ConverterTo<Kind::kUtf16BE>(to);
    case Kind::kUrl:
      break;
  }
  return ConverterTo<Kind::kUrl>(to);
}

// ---------------------------------------------------------------------------
// The stream: inputs one after the other, each converted on its own (a
// character cut by the end of one input is incomplete, as GNU iconv has it).

struct Input {
  std::string label;                 // in messages: "" for a single input, else " of 'FILE'"
  TalqOSUtils::ChInputStream* file;  // nullptr: standard input
  std::string name;
};

class Conversion {
 public:
  Conversion(Id from, Id to, bool omitInvalid)
      : from_(CodecFor(from)),
        to_(CodecFor(to)),
        toKind_(to_.withMark ? Kind::kUtf16LE : to_.kind),
        convert_(ConverterFor(from_.kind, toKind_)),
        omitInvalid_(omitInvalid),
        in_(new std::uint8_t[kCarry + kInBlock]),
        out_(new char[kOutBlock]) {}

  // Throws Failure at the first character that cannot be converted (unless
  // omitted), after writing the output before it.
  void Run(const Input& input) {
    std::uint64_t base = 0;  // offset in the input of in_[0]
    std::size_t held = 0;    // bytes in in_: a carried character, then a block
    bool first = true;
    if (to_.withMark) {  // each input's text opens with its own mark, as GNU iconv writes it
      Flush();
      marked_ = false;
    }
    for (;;) {
      const std::size_t n = Read(input, in_.get() + held);
      held += n;
      const bool last = n == 0;
      const std::uint8_t* p = in_.get();
      const std::uint8_t* const end = p + held;
      if (from_.withMark && first && (held >= 2 || last)) {
        // Each input's own mark says its order, and is no character.
        first = false;
        Kind order = Kind::kUtf16LE;
        if (held >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
          order = p[0] == 0xFF ? Kind::kUtf16LE : Kind::kUtf16BE;
          p += 2;
        }
        convert_ = ConverterFor(order, toKind_);
      }
      for (;;) {
        const Step step =
            convert_(from_, to_, p, end, last, out_.get() + used_, out_.get() + kOutBlock);
        used_ = static_cast<std::size_t>(step.out - out_.get());
        p = step.in;
        const std::uint64_t at = base + static_cast<std::uint64_t>(p - in_.get());
        if (step.stop == Stop::kDone) break;
        if (step.stop == Stop::kOutFull) {
          Flush();
        } else if (step.stop == Stop::kIncomplete) {
          Fail("incomplete character at the end of the input, byte " + std::to_string(at), input);
        } else if (!omitInvalid_) {
          Fail(step.stop == Stop::kInvalid
                   ? "illegal input sequence at byte " + std::to_string(at)
                   : "character " + CodePoint(step.c) + " at byte " + std::to_string(at) +
                         ", which " + to_.display + " cannot represent",
               input);
        } else {
          p += step.length;
        }
      }
      const std::size_t consumed = static_cast<std::size_t>(p - in_.get());
      held -= consumed;
      base += consumed;
      std::memmove(in_.get(), p, held);
      if (last) return;
    }
  }

  void Flush() {
    if (used_ == 0) return;
    if (to_.withMark && !marked_) {  // the mark opens an output that has any text
      WriteOut("\xFF\xFE", 2);
      marked_ = true;
    }
    WriteOut(out_.get(), used_);
    used_ = 0;
  }

 private:
  std::size_t Read(const Input& input, std::uint8_t* buf) {
    if (input.file == nullptr) {
      const std::size_t n = std::fread(buf, 1, kInBlock, stdin);
      if (n == 0 && std::ferror(stdin)) {
        Flush();
        throw Failure{"cannot read standard input"};
      }
      return n;
    }
    const std::uint32_t n = input.file->read(buf, static_cast<std::uint32_t>(kInBlock));
    if (!input.file->good()) {
      Flush();
      throw Failure{"cannot read '" + input.name + "': " + DescribeOsError(input.file->error())};
    }
    return n;
  }

  static std::string CodePoint(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
  }

  [[noreturn]] void Fail(const std::string& what, const Input& input) {
    Flush();
    throw Failure{"cannot convert: " + what + input.label};
  }

  const Codec from_;
  const Codec to_;
  const Kind toKind_;
  BlockConverter convert_;
  bool marked_ = false;  // this input's mark is written
  const bool omitInvalid_;
  std::unique_ptr<std::uint8_t[]> in_;
  std::unique_ptr<char[]> out_;
  std::size_t used_ = 0;  // bytes in out_
};

int ListEncodings() {
  for (const Named& n : Names()) {
    std::string line;
    for (const std::string& alias : n.names) line += (line.empty() ? "" : " ") + alias;
    WriteOut(line + "\n");
  }
  return kOk;
}

}  // namespace

namespace {

// The value of an option given as "-f ENC", "-fENC", "--from-code=ENC" or
// "--from-code ENC" before any "--" (removed), or "" when absent.
std::string TakeCode(Args& args, const std::string& shortName, const std::string& longName) {
  std::string value = TakeOption(args, shortName);
  if (value.empty()) value = TakeOption(args, longName);
  for (auto at = args.begin(); value.empty() && at != args.end() && *at != "--"; ++at) {
    const std::string& a = *at;
    if (a.compare(0, longName.size() + 1, longName + "=") == 0) {
      value = a.substr(longName.size() + 1);
    } else if (a.size() > shortName.size() && a.compare(0, shortName.size(), shortName) == 0 &&
               a[1] != '-') {
      value = a.substr(shortName.size());
    } else {
      continue;
    }
    if (value.empty()) throw UsageError{a + " needs a value"};
    args.erase(at);
    break;
  }
  return value;
}

#if defined(_WIN32)
constexpr Id kPlatformText = Id::kPlatform;  // the ANSI code page
#else
constexpr Id kPlatformText = Id::kUtf8;
#endif

}  // namespace

int IconvCommand(Args args) {
  if (TakeFlag(args, "-l") || TakeFlag(args, "--list")) {
    ExpectCount(args, 0, 0);
    return ListEncodings();
  }
  const bool omitInvalid = TakeFlag(args, "-c");
  const std::string fromName = TakeCode(args, "-f", "--from-code");
  const std::string toName = TakeCode(args, "-t", "--to-code");
  const std::string output = TakeCode(args, "-o", "--output");
  // As GNU iconv: a missing side is the locale's, here the platform's text.
  const Id from = fromName.empty() ? kPlatformText : IdNamed(fromName);
  const Id to = toName.empty() ? kPlatformText : IdNamed(toName);
  ExpectCount(args, 0, static_cast<std::size_t>(-1));
  if (!output.empty()) OutputTo(ToGeneric(output), output);
  if (args.empty()) args.push_back("-");

  Conversion conversion(from, to, omitInvalid);
  int status = kOk;
  for (const std::string& name : args) {
    const std::string label = args.size() > 1 ? " of '" + name + "'" : "";
    if (name == "-") {
      conversion.Run(Input{label, nullptr, name});
      continue;
    }
    TalqOSUtils::ChInputStream file;
    file.open(ToGeneric(name));
    if (!file.isopen()) {
      // As GNU iconv: say so, go on with the next input, fail at the end.
      conversion.Flush();
      std::fprintf(stderr, "talq iconv: cannot open '%s': %s\n", name.c_str(),
                   DescribeOsError(file.error()).c_str());
      status = kFailed;
      continue;
    }
    conversion.Run(Input{label, &file, name});
  }
  conversion.Flush();
  return status;
}

}  // namespace talq
