// libFuzzer target for every Vandrel conversion.
//
// The input's first byte picks a destination capacity, the rest is the text
// (bytes, or units two bytes each). Every conversion runs once into an exact
// heap buffer of that capacity, so that the sanitizer sees any write past it,
// and once into a roomy one. Checked (abort on failure):
//   - the result is -1 or the length of a NUL-terminated text within the
//     capacity; a capacity of 0 writes nothing;
//   - a short destination holds the longest whole-character prefix of the
//     full result;
//   - UTF-8 decoding and encoding agree with the plain reference coders
//     below, which follow the same rules one byte at a time;
//   - the length functions agree with what the conversions write;
//   - round trips: UTF-16 -> UTF-8 -> UTF-16, UTF-16 -> URL -> UTF-16, and
//     every single-byte code page's bytes -> UTF-16 -> bytes;
//   - Convert by length: pieces with a small destination join to the whole.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Vandrel/FileSpec.h"
#include "Vandrel/Vandrel.h"

namespace {

using Vandrel::Uni16;
using U16 = std::basic_string<Uni16>;

#define CHECK(c) \
  if (!(c)) std::abort()

bool Cont(unsigned char b) { return (b & 0xC0) == 0x80; }

// Reference UTF-8 decoder: maximal subparts become U+FFFD; a complete encoded
// surrogate gives the surrogate unless it is a high one directly followed by
// a complete encoded low one (then both are ill-formed, ED allowing only
// 80..9F).
U16 RefDecode(const std::string& s) {
  U16 out;
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto at = [&](std::size_t k) -> unsigned {
    return k < n ? static_cast<unsigned char>(s[k]) : 0u;
  };
  auto surrogateAt = [&](std::size_t k, unsigned lo, unsigned hi) {
    return at(k) == 0xED && at(k + 1) >= lo && at(k + 1) <= hi &&
           Cont(static_cast<unsigned char>(at(k + 2)));
  };
  while (i < n) {
    const unsigned b = at(i);
    int need = 0;
    unsigned lo = 0x80, hi = 0xBF, cp = 0;
    if (b < 0x80) {
      out += static_cast<Uni16>(b);
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      need = 1, cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2, cp = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) {
        if (surrogateAt(i, 0xA0, 0xBF)) {
          if (at(i + 1) <= 0xAF && surrogateAt(i + 3, 0xB0, 0xBF)) {
            out.append(6, static_cast<Uni16>(0xFFFD));  // ED, A0.., 80.., ED, B0.., 80..
            i += 6;
            continue;
          }
          out += static_cast<Uni16>(0xD000 | (at(i + 1) & 0x3F) << 6 | (at(i + 2) & 0x3F));
          i += 3;
          continue;
        }
        hi = 0x9F;
      }
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3, cp = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      out += static_cast<Uni16>(0xFFFD);
      ++i;
      continue;
    }
    std::size_t k = 1;
    for (; k <= static_cast<std::size_t>(need); ++k) {
      const unsigned c = at(i + k);
      const unsigned low = k == 1 ? lo : 0x80, high = k == 1 ? hi : 0xBF;
      if (c < low || c > high) break;
      cp = cp << 6 | (c & 0x3F);
    }
    if (k <= static_cast<std::size_t>(need)) {
      out += static_cast<Uni16>(0xFFFD);
      i += k;
      continue;
    }
    if (cp >= 0x10000) {
      out += static_cast<Uni16>(0xD7C0 + (cp >> 10));
      out += static_cast<Uni16>(0xDC00 | (cp & 0x3FF));
    } else {
      out += static_cast<Uni16>(cp);
    }
    i += k;
  }
  return out;
}

std::string RefEncode(const U16& u) {
  std::string out;
  for (std::size_t i = 0; i < u.size(); ++i) {
    unsigned c = u[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < u.size() && (u[i + 1] & 0xFC00) == 0xDC00) {
      c = 0x10000 + ((c - 0xD800) << 10) + (u[++i] - 0xDC00u);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Runs fn(dst, capacity) with an exact heap buffer; returns the result and
// the text written, after checking termination.
template <class T, class Fn>
int Run(Fn fn, std::size_t capacity, std::basic_string<T>& text) {
  if (capacity == 0) {
    T guard[1] = {static_cast<T>(0x5A)};
    const int r = fn(guard, 0);
    CHECK(r == -1 && guard[0] == static_cast<T>(0x5A));
    text.clear();
    return r;
  }
  std::vector<T> buf(capacity, static_cast<T>(0x5A));
  T* dst = new T[capacity];
  std::memcpy(dst, buf.data(), capacity * sizeof(T));
  const int r = fn(dst, capacity);
  std::size_t len = 0;
  while (len < capacity && dst[len] != 0) ++len;
  CHECK(len < capacity);  // NUL within the capacity
  CHECK(r == -1 || static_cast<std::size_t>(r) == len);
  text.assign(dst, len);
  delete[] dst;
  return r;
}

// For a short destination: the result is a prefix of `full` that does not
// end inside one of its characters (`boundary(k)`: a character starts at k).
template <class T, class Boundary>
void CheckCut(int r, const std::basic_string<T>& got, const std::basic_string<T>& full,
              std::size_t capacity, Boundary boundary) {
  if (full.size() < capacity) {
    CHECK(r == static_cast<int>(full.size()) && got == full);
    return;
  }
  CHECK(r == -1);
  CHECK(full.compare(0, got.size(), got) == 0);
  std::size_t expect = capacity == 0 ? 0 : capacity - 1;
  while (expect > 0 && !boundary(expect)) --expect;
  CHECK(got.size() == expect);
}

bool IsPairAt(const U16& u, std::size_t k) {
  return k + 1 < u.size() && (u[k] & 0xFC00) == 0xD800 && (u[k + 1] & 0xFC00) == 0xDC00;
}

}  // namespace

// Convert by length, between two encodings the first byte picks, by the
// policy it picks: the whole text at once, and again in pieces cut where the
// first byte says with a small destination, carrying what a piece leaves;
// the pieces must join to the whole, every call must make progress or stop.
void CheckConvertInPieces(unsigned pick, const std::uint8_t* text, std::size_t n) {
  using E = Vandrel::TextEncoding;
  const E kinds[] = {E::kUtf8,     E::kUtf16LE,  E::kUtf16BE, E::kLatin1,
                     E::kMacRoman, E::kPlatform, E::kUrl};
  const E from = kinds[pick % 7], to = kinds[(pick / 7) % 7];
  const Vandrel::Policy policy = pick & 0x80 ? Vandrel::Policy::kSkip : Vandrel::Policy::kReplace;
  std::vector<char> whole(12 * n + 16);
  const Vandrel::ConvertResult all =
      Vandrel::Convert(from, to, text, n, whole.data(), whole.size(), policy, true);
  CHECK(all.status == Vandrel::Status::kDone && all.read == n && all.written <= whole.size());
  const std::size_t cut = n == 0 ? 0 : pick % (n + 1);
  std::string joined, carry;
  char room[13];  // any one character's form, and one byte more
  for (const bool last : {false, true}) {
    std::string block = carry + std::string(reinterpret_cast<const char*>(text) + (last ? cut : 0),
                                            last ? n - cut : cut);
    for (;;) {
      const Vandrel::ConvertResult r =
          Vandrel::Convert(from, to, block.data(), block.size(), room, sizeof room, policy, last);
      CHECK(r.read <= block.size() && r.written <= sizeof room);
      joined.append(room, r.written);
      block.erase(0, r.read);
      if (r.status != Vandrel::Status::kTargetFull) {
        CHECK(r.status == Vandrel::Status::kDone ||
              (!last && r.status == Vandrel::Status::kIncomplete));
        break;
      }
      CHECK(r.read + r.written > 0);
    }
    carry = block;
  }
  CHECK(joined == std::string(whole.data(), all.written));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  CheckConvertInPieces(data[0], data + 1, size - 1);
  const unsigned pick = data[0];
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  bytes = bytes.c_str();  // the C-string forms end at the first NUL
  U16 units;
  for (std::size_t i = 1; i + 1 < size; i += 2) {
    const Uni16 u = static_cast<Uni16>(data[i] | data[i + 1] << 8);
    if (u == 0) break;
    units += u;
  }
  auto capacityFor = [&](std::size_t full) { return pick % (full + 3); };

  // UTF-8 -> UTF-16 against the reference, whole and cut.
  const U16 decoded = RefDecode(bytes);
  {
    U16 got;
    const std::size_t cap = capacityFor(decoded.size());
    const int r = Run<Uni16>(
        [&](Uni16* d, std::size_t c) { return Vandrel::UTF8ToUni16Char(bytes.c_str(), d, c); }, cap,
        got);
    CheckCut(r, got, decoded, cap,
             [&](std::size_t k) { return !(k > 0 && IsPairAt(decoded, k - 1)); });
    U16 sized;  // the form that is told the length answers alike
    CHECK(Run<Uni16>(
              [&](Uni16* d, std::size_t c) {
                return Vandrel::UTF8ToUni16CharSized(bytes.c_str(), bytes.size(), d, c);
              },
              cap, sized) == r &&
          sized == got);
    Run<Uni16>(
        [&](Uni16* d, std::size_t c) { return Vandrel::UTF8ToUni16Char(bytes.c_str(), d, c); },
        decoded.size() + 1, got);
    CHECK(got == decoded);
  }

  // UTF-16 -> UTF-8 against the reference, whole and cut; then back.
  const std::string encoded = RefEncode(units);
  CHECK(Vandrel::Uni16CharUTF8Length(units.c_str(), units.size()) == encoded.size());
  // The unit count is exact for text that is the encoder's own output.
  if (RefEncode(decoded) == bytes) {
    CHECK(Vandrel::UTF8Uni16CharLength(bytes.c_str(), bytes.size()) == decoded.size());
  }
  {
    std::string got;
    const std::size_t cap = capacityFor(encoded.size());
    const int r = Run<char>(
        [&](char* d, std::size_t c) { return Vandrel::Uni16CharToUTF8(units.c_str(), d, c); }, cap,
        got);
    CheckCut(r, got, encoded, cap, [&](std::size_t k) {
      return k >= encoded.size() || !Cont(static_cast<unsigned char>(encoded[k]));
    });
    std::string sized;
    CHECK(Run<char>(
              [&](char* d, std::size_t c) {
                return Vandrel::Uni16CharToUTF8Sized(units.c_str(), units.size(), d, c);
              },
              cap, sized) == r &&
          sized == got);
    Run<char>([&](char* d, std::size_t c) { return Vandrel::Uni16CharToUTF8(units.c_str(), d, c); },
              encoded.size() + 1, got);
    CHECK(got == encoded);
    U16 back;
    Run<Uni16>([&](Uni16* d, std::size_t c) { return Vandrel::UTF8ToUni16Char(got.c_str(), d, c); },
               units.size() + 1, back);
    CHECK(back == units);
  }

  // Percent-encoding: a round trip, and decoding of arbitrary bytes.
  {
    std::string url;
    const int r = Run<char>(
        [&](char* d, std::size_t c) {
          return Vandrel::Uni16CharToURLEncoding(units.c_str(), d, c);
        },
        9 * units.size() + 1, url);
    CHECK(r >= 0);
    U16 back;
    Run<Uni16>(
        [&](Uni16* d, std::size_t c) { return Vandrel::URLEncodingToUni16Char(url.c_str(), d, c); },
        url.size() + 1, back);
    CHECK(back == units);
    // Cut: whole characters only, each one's escapes together.
    std::vector<std::size_t> ends{0};
    for (std::size_t i = 0; i < units.size(); i += IsPairAt(units, i) ? 2 : 1) {
      const std::string utf8 = RefEncode(units.substr(i, IsPairAt(units, i) ? 2 : 1));
      std::size_t len = 0;
      for (unsigned char b : utf8) {
        len += (b < 0x80 && (std::isalnum(b) || std::strchr("-._~", b))) ? 1 : 3;
      }
      ends.push_back(ends.back() + len);
    }
    CHECK(ends.back() == url.size());
    std::string cut;
    const std::size_t cap = capacityFor(url.size());
    const int cutResult = Run<char>(
        [&](char* d, std::size_t c) {
          return Vandrel::Uni16CharToURLEncoding(units.c_str(), d, c);
        },
        cap, cut);
    CheckCut(cutResult, cut, url, cap, [&](std::size_t k) {
      for (std::size_t e : ends) {
        if (e == k) return true;
      }
      return false;
    });
    U16 any;
    Run<Uni16>([&](Uni16* d,
                   std::size_t c) { return Vandrel::URLEncodingToUni16Char(bytes.c_str(), d, c); },
               capacityFor(bytes.size()), any);
  }

  // Single-byte code pages: every byte has a character, and back.
  using Decoder = int (*)(const char*, Uni16*, std::size_t);
  using Encoder = int (*)(const Uni16*, char*, std::size_t);
  const Decoder decoders[] = {Vandrel::ISOLatin1CStringToUni16Char,
                              Vandrel::PlatformCStringToUni16Char,
                              [](const char* s, Uni16* d, std::size_t c) {
                                return Vandrel::MacRomanStringToUni16Char(s, d, c);
                              }};
  const Encoder encoders[] = {Vandrel::Uni16CharToISOLatin1CString,
                              Vandrel::Uni16CharToPlatformCString,
                              Vandrel::Uni16CharToMacRomanCString};
  for (int k = 0; k < 3; ++k) {
    U16 wide;
    const std::size_t cap = capacityFor(bytes.size());
    const int r = Run<Uni16>(
        [&](Uni16* d, std::size_t c) { return decoders[k](bytes.c_str(), d, c); }, cap, wide);
    CHECK(r == -1 ? wide.size() + 1 == cap || cap == 0 : wide.size() == bytes.size());
    Run<Uni16>([&](Uni16* d, std::size_t c) { return decoders[k](bytes.c_str(), d, c); },
               bytes.size() + 1, wide);
    CHECK(wide.size() == bytes.size());
    std::string back;
    CHECK(Run<char>([&](char* d, std::size_t c) { return encoders[k](wide.c_str(), d, c); },
                    bytes.size() + 1, back) == static_cast<int>(bytes.size()));
    CHECK(back == bytes);
    // Arbitrary units against the byte each one decodes from ('?' or, for
    // Mac OS Roman, a stop where there is none; a pair is one character).
    static std::map<unsigned, char> reverse[3];
    if (reverse[k].empty()) {
      for (unsigned b = 1; b < 256; ++b) {
        const char one[2] = {static_cast<char>(b), 0};
        Uni16 u[2];
        CHECK(decoders[k](one, u, 2) == 1);
        reverse[k][u[0]] = static_cast<char>(b);
      }
    }
    std::string expected;
    bool stopped = false;
    for (std::size_t i = 0; i < units.size() && !stopped; ++i) {
      const auto hit = reverse[k].find(units[i]);
      if (hit != reverse[k].end()) {
        expected += hit->second;
      } else if (k == 2) {
        stopped = true;
      } else {
        expected += '?';
        if (IsPairAt(units, i)) ++i;
      }
    }
    std::string got;
    const std::size_t encodeCap = capacityFor(expected.size());
    const int encoded1 = Run<char>(
        [&](char* d, std::size_t c) { return encoders[k](units.c_str(), d, c); }, encodeCap, got);
    if (!stopped) {
      CheckCut(encoded1, got, expected, encodeCap, [](std::size_t) { return true; });
    } else {
      CHECK(encoded1 == -1 && expected.compare(0, got.size(), got) == 0);
    }
  }

  // FileSpec: any text is a path of some shape.
  Vandrel::FileSpec spec(units.c_str());
  const Vandrel::FileSpec parent = spec.Parent();
  CHECK(parent.Length() <= spec.Length());
  CHECK(spec.Name().size() <= spec.Length());
  spec.SetExtension(units.c_str());
  spec.Append(units.c_str());
  return 0;
}
