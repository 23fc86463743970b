// The portable path of the UTF-8 coder: block loops and counts in plain
// C++, for processors without the x86 kernels of UtfSse41.cpp (and for the
// VANDREL_PORTABLE build, which tests them on x86 too). The blocks move ASCII
// eight units at a time through 64-bit words; anything else goes one
// character at a time through UtfCoder.h.
#include <cstdint>
#include <cstring>

#include "CodePages.h"
#include "Kernels.h"
#include "UtfCoder.h"

namespace Vandrel {
namespace detail {

template <class Step>
void DecodeBlocksPortable(CStringBytes& src, Uni16*& q, Uni16* qend) {
  while (src.end - src.p >= 16 && qend - q >= 16) {
    std::uint64_t w;
    std::memcpy(&w, src.p, 8);
    if (w & 0x8080808080808080ull) {
      const unsigned char* const stop = src.p + 8;
      while (src.p < stop) {
        if (!Step::Decode(src, q, qend) && Step::kStops) return;  // at most 13 units
      }
      continue;
    }
    for (int k = 0; k < 8; ++k) q[k] = Unit(src.p[k]);
    q += 8;
    src.p += 8;
  }
}

template <class Step>
void EncodeBlocksPortable(const Uni16*& s, const Uni16* send, char*& q, const char* qend) {
  while (send - s >= 9 && qend - q >= 32) {
    std::uint64_t w[2];
    std::memcpy(w, s, 16);
    if ((w[0] | w[1]) & 0xFF80FF80FF80FF80ull) {
      const Uni16* const stop = s + 8;
      while (s < stop) {
        const std::size_t taken = Step::Encode(s, send, q, qend);  // at most 28 bytes
        if (Step::kStops && taken == 0) return;
        s += taken;
      }
      continue;
    }
    for (int k = 0; k < 8; ++k) q[k] = static_cast<char>(s[k]);
    q += 8;
    s += 8;
  }
}

template void DecodeBlocksPortable<Lenient>(CStringBytes&, Uni16*&, Uni16*);
template void DecodeBlocksPortable<Strict>(CStringBytes&, Uni16*&, Uni16*);
template void EncodeBlocksPortable<Lenient>(const Uni16*&, const Uni16*, char*&, const char*);
template void EncodeBlocksPortable<Strict>(const Uni16*&, const Uni16*, char*&, const char*);

std::size_t ByteLengthPortable(const char* s) { return std::strlen(s); }

namespace {

std::size_t Uni16LengthPortable(const Uni16* s) {
  const Uni16* p = s;
  while (*p != 0) ++p;
  return static_cast<std::size_t>(p - s);
}

}  // namespace

std::size_t UTF8LengthPortable(const Uni16* s, std::size_t n, std::size_t* units) {
  std::size_t bytes = 0;
  std::size_t i = 0;
  for (; i < n; ++i) {
    const unsigned u = s[i];
    if (u == 0) break;
    if (IsHighSurrogate(u) && i + 1 < n && IsLowSurrogate(s[i + 1])) {
      bytes += 4;
      ++i;
    } else {
      bytes += 1 + static_cast<std::size_t>(u >= 0x80) + static_cast<std::size_t>(u >= 0x800);
    }
  }
  *units = i;
  return bytes;
}

std::size_t Uni16UnitsPortable(const unsigned char* s, std::size_t n, bool* nul) {
  // One unit per byte that is not a continuation, two for a four-byte lead.
  std::size_t units = 0;
  bool zero = false;
  for (std::size_t i = 0; i < n; ++i) {
    units +=
        static_cast<std::size_t>(!IsContinuation(s[i])) + static_cast<std::size_t>(s[i] >= 0xF0);
    zero |= s[i] == 0;
  }
  *nul = zero;
  return units;
}

constexpr KernelSet kPortableKernels = [] {
  KernelSet k{};
  k.name = "portable";
  k.needs = 0;
  k.decodeBlocks = DecodeMeasured<DecodeBlocksPortable<Lenient>, ByteLengthPortable>;
  k.encodeBlocks = EncodeBlocksPortable<Lenient>;
  k.encodeString = EncodeMeasured<EncodeBlocksPortable<Lenient>, Uni16LengthPortable>;
  k.decodeStrict = DecodeBlocksPortable<Strict>;
  k.encodeStrict = EncodeBlocksPortable<Strict>;
  k.byteLength = ByteLengthPortable;
  k.unitLength = Uni16LengthPortable;
  k.utf8Length = UTF8LengthPortable;
  k.uni16Units = Uni16UnitsPortable;
  k.decodeBytes = DecodeBytes16;
  return k;
}();

}  // namespace detail
}  // namespace Vandrel
