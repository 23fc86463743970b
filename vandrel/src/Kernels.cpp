// The choice of kernel set, made once when the library loads.
#include "Kernels.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if VANDREL_X86
#include <cpuid.h>
#endif

namespace Vandrel {
namespace detail {

// Constant-initialized, so that a call before the choice below still works.
const KernelSet* gKernels = &kPortableKernels;

namespace {

#if VANDREL_X86

// CPUID bits (leaf 1: ECX; leaf 7: EBX, ECX) and XCR0 state components.
constexpr unsigned kSse41Bit = 1u << 19, kPopcntBit = 1u << 23, kOsxsaveBit = 1u << 27,
                   kAvxBit = 1u << 28;
constexpr unsigned kBmi1Bit = 1u << 3, kAvx2Bit = 1u << 5, kBmi2Bit = 1u << 8,
                   kAvx512FBit = 1u << 16, kAvx512BwBit = 1u << 30, kAvx512VlBit = 1u << 31;
constexpr unsigned kVbmiBit = 1u << 1, kVbmi2Bit = 1u << 6;
constexpr std::uint64_t kYmmState = 0x6;   // SSE and AVX
constexpr std::uint64_t kZmmState = 0xE6;  // and the opmask, ZMM0-15 high halves, ZMM16-31

std::uint64_t Xcr0() {
  std::uint32_t eax = 0, edx = 0;
  __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
  return (static_cast<std::uint64_t>(edx) << 32) | eax;
}

const KernelSet* Widest() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & kSse41Bit)) return &kPortableKernels;
  if (!(c & kPopcntBit) || !(c & kOsxsaveBit) || !(c & kAvxBit)) return &kSse41Kernels;
  const std::uint64_t xcr0 = Xcr0();
  if ((xcr0 & kYmmState) != kYmmState || __get_cpuid_max(0, nullptr) < 7) return &kSse41Kernels;
  __cpuid_count(7, 0, a, b, c, d);
  if (!(b & kAvx2Bit) || !(b & kBmi1Bit) || !(b & kBmi2Bit)) return &kSse41Kernels;
  const unsigned avx512b = kAvx512FBit | kAvx512BwBit | kAvx512VlBit;
  const unsigned avx512c = kVbmiBit | kVbmi2Bit;
  if ((b & avx512b) == avx512b && (c & avx512c) == avx512c && (xcr0 & kZmmState) == kZmmState) {
    return &kAvx512Kernels;
  }
  return &kAvx2Kernels;
}

const KernelSet* const kByWidth[] = {&kPortableKernels, &kSse41Kernels, &kAvx2Kernels,
                                     &kAvx512Kernels};

#else

const KernelSet* Widest() { return &kPortableKernels; }
const KernelSet* const kByWidth[] = {&kPortableKernels};

#endif

// The widest set, or a narrower one VANDREL_KERNELS names; an unknown name,
// or one the processor cannot run, is ignored.
const KernelSet* Choose() {
  const KernelSet* widest = Widest();
  const char* wanted = std::getenv("VANDREL_KERNELS");
  if (wanted == nullptr) return widest;
  for (const KernelSet* set : kByWidth) {
    if (std::strcmp(set->name, wanted) == 0) return set;
    if (set == widest) break;
  }
  return widest;
}

[[maybe_unused]] const bool kChosen = (gKernels = Choose(), true);

}  // namespace

const char* KernelSetName() { return gKernels->name; }

}  // namespace detail
}  // namespace Vandrel
