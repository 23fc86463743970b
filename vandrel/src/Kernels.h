// The kernel sets of the UTF-8 coder and the scans: one table of functions
// per instruction set, and the one chosen when the library loads.
//
// Each set names the processor features it needs (Cpu.h); the choice is the
// widest set whose needs this processor and operating system meet.
// VANDREL_KERNELS=portable, sse41, avx2 or avx512 in the environment lowers
// it, never raises it, so that the tests can run every set on one machine.
#pragma once

#include <cstddef>
#include <cstdint>

#include "UtfCoder.h"
#include "Vandrel/Export.h"

namespace Vandrel {
namespace detail {

struct DecodeTable;

struct KernelSet {
  const char* name;
  std::uint32_t needs;  // CpuFeature bits
  // Block loops (see UtfCoder.h): each runs while the source and the room
  // left are well above a block, then leaves the rest to the scalar coder.
  // decodeBlocks measures the text when src.end is null, and sets it;
  // encodeString takes the units up to their NUL.
  void (*decodeBlocks)(CStringBytes& src, Uni16*& q, Uni16* qend);
  void (*encodeBlocks)(const Uni16*& s, const Uni16* send, char*& q, const char* qend);
  void (*encodeString)(const Uni16*& s, char*& q, const char* qend);
  // The same loops, strict (UtfCoder.h): they stop before anything that is
  // not well-formed, for the conversion by length.
  void (*decodeStrict)(CStringBytes& src, Uni16*& q, Uni16* qend);
  void (*encodeStrict)(const Uni16*& s, const Uni16* send, char*& q, const char* qend);
  // Scans: the offset of the first NUL.
  std::size_t (*byteLength)(const char* s);
  std::size_t (*unitLength)(const Uni16* s);
  // Counts: UTF-8 bytes of s[0, n) up to a NUL, *units those counted (the
  // NUL's offset, or n); UTF-16 units of s[0, n), *nul whether one is a NUL.
  std::size_t (*utf8Length)(const Uni16* s, std::size_t n, std::size_t* units);
  std::size_t (*uni16Units)(const unsigned char* s, std::size_t n, bool* nul);
  // A single-byte code page's bytes to units (CodePages.h).
  int (*decodeBytes)(const unsigned char* s, std::size_t n, const DecodeTable* table, Uni16* dst,
                     std::size_t capacity);
};

// Block loops that need the end first, for the sets whose loops do not find it.
template <void (*Blocks)(CStringBytes&, Uni16*&, Uni16*), std::size_t (*Length)(const char*)>
void DecodeMeasured(CStringBytes& src, Uni16*& q, Uni16* qend) {
  if (src.end == nullptr) src.end = src.p + Length(reinterpret_cast<const char*>(src.p));
  Blocks(src, q, qend);
}
template <void (*Blocks)(const Uni16*&, const Uni16*, char*&, const char*),
          std::size_t (*Length)(const Uni16*)>
void EncodeMeasured(const Uni16*& s, char*& q, const char* qend) {
  Blocks(s, s + Length(s), q, qend);
}

extern const KernelSet kPortableKernels;
#if VANDREL_X86
extern const KernelSet kSse41Kernels;
extern const KernelSet kAvx2Kernels;
extern const KernelSet kAvx512Kernels;
#endif

/// The set chosen at load time.
extern const KernelSet* gKernels;
inline const KernelSet& Kernels() { return *gKernels; }

/// Its name ("portable", "sse41", "avx2", "avx512"), for tests and benchmarks.
VANDREL_API const char* KernelSetName();

}  // namespace detail
}  // namespace Vandrel
