// The kernel sets of the UTF-8 coder and the scans: one table of functions
// per instruction set, and the one chosen when the library loads.
//
// The choice is the widest set the processor has and the operating system
// has enabled (XCR0 for the AVX registers). VANDREL_KERNELS=portable, sse41,
// avx2 or avx512 in the environment lowers it, never raises it, so that the
// tests can run every set on one machine.
#pragma once

#include <cstddef>

#include "UtfCoder.h"
#include "Vandrel/Export.h"

namespace Vandrel {
namespace detail {

struct KernelSet {
  const char* name;
  // Block loops (see UtfCoder.h): both run while the source and the room
  // left are well above a block, then leave the rest to the scalar coder.
  void (*decodeBlocks)(CStringBytes& src, Uni16*& q, Uni16* qend);
  void (*encodeBlocks)(const Uni16*& s, const Uni16* send, char*& q, const char* qend);
  // Scans: the offset of the first NUL.
  std::size_t (*byteLength)(const char* s);
  std::size_t (*unitLength)(const Uni16* s);
  // Counts: UTF-8 bytes of s[0, n) up to a NUL; UTF-16 units of s[0, n).
  std::size_t (*utf8Length)(const Uni16* s, std::size_t n);
  std::size_t (*uni16Units)(const unsigned char* s, std::size_t n);
};

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
