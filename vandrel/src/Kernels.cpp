// The choice of kernel set, made once when the library loads.
#include "Kernels.h"

#include <cstdlib>
#include <cstring>

#include "Cpu.h"

#if VANDREL_X86 && !VANDREL_MSVC
#include <cpuid.h>
#endif

namespace Vandrel {
namespace detail {

// Constant-initialized, so that a call before the choice below still works.
const KernelSet* gKernels = &kPortableKernels;

namespace {

#if VANDREL_X86

struct CpuIdRegisters {
  std::uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

CpuIdRegisters CpuId(unsigned leaf, unsigned subleaf) {
  CpuIdRegisters r;
#if VANDREL_MSVC
  int v[4] = {};
  __cpuidex(v, static_cast<int>(leaf), static_cast<int>(subleaf));
  r = {static_cast<std::uint32_t>(v[0]), static_cast<std::uint32_t>(v[1]),
       static_cast<std::uint32_t>(v[2]), static_cast<std::uint32_t>(v[3])};
#else
  __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
#endif
  return r;
}

// Only valid when CPUID says the OS has enabled XSAVE (OSXSAVE).
std::uint64_t Xcr0() {
#if VANDREL_MSVC
  return _xgetbv(0);
#else
  std::uint32_t eax = 0, edx = 0;
  __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
  return (static_cast<std::uint64_t>(edx) << 32) | eax;
#endif
}

// One feature: where CPUID reports it (leaf, register, bit).
struct FeatureBit {
  std::uint32_t feature;
  unsigned leaf;
  std::uint32_t CpuIdRegisters::*reg;
  unsigned bit;
};
constexpr FeatureBit kFeatureBits[] = {
    {kCpuSse41, 1, &CpuIdRegisters::ecx, 19},     {kCpuPopcnt, 1, &CpuIdRegisters::ecx, 23},
    {kCpuBmi1, 7, &CpuIdRegisters::ebx, 3},       {kCpuAvx2, 7, &CpuIdRegisters::ebx, 5},
    {kCpuBmi2, 7, &CpuIdRegisters::ebx, 8},       {kCpuAvx512F, 7, &CpuIdRegisters::ebx, 16},
    {kCpuAvx512Bw, 7, &CpuIdRegisters::ebx, 30},  {kCpuAvx512Vl, 7, &CpuIdRegisters::ebx, 31},
    {kCpuAvx512Vbmi, 7, &CpuIdRegisters::ecx, 1}, {kCpuAvx512Vbmi2, 7, &CpuIdRegisters::ecx, 6},
};
constexpr unsigned kOsxsaveBit = 27, kAvxBit = 28;  // leaf 1, ECX
constexpr std::uint64_t kYmmState = 0x6;            // XCR0: SSE and AVX
constexpr std::uint64_t kZmmState = 0xE6;           // and the opmask, ZMM0-15 high halves, ZMM16-31

#endif

}  // namespace

std::uint32_t CpuFeatures() {
#if VANDREL_X86
  const unsigned maxLeaf = CpuId(0, 0).eax;
  const CpuIdRegisters leaf1 = maxLeaf >= 1 ? CpuId(1, 0) : CpuIdRegisters{};
  const CpuIdRegisters leaf7 = maxLeaf >= 7 ? CpuId(7, 0) : CpuIdRegisters{};
  std::uint32_t features = 0;
  for (const FeatureBit& f : kFeatureBits) {
    const CpuIdRegisters& r = f.leaf == 1 ? leaf1 : leaf7;
    if ((r.*f.reg >> f.bit) & 1u) features |= f.feature;
  }
  if ((leaf1.ecx >> kOsxsaveBit & 1u) && (leaf1.ecx >> kAvxBit & 1u)) {
    const std::uint64_t xcr0 = Xcr0();
    if ((xcr0 & kYmmState) == kYmmState) features |= kCpuYmmSaved;
    if ((xcr0 & kZmmState) == kZmmState) features |= kCpuZmmSaved;
  }
  return features;
#else
  return 0;
#endif
}

namespace {

// Widest first; the portable set needs nothing, so the choice always ends.
#if VANDREL_X86
const KernelSet* const kByWidth[] = {&kAvx512Kernels, &kAvx2Kernels, &kSse41Kernels,
                                     &kPortableKernels};
#else
const KernelSet* const kByWidth[] = {&kPortableKernels};
#endif

// The widest set this processor runs, or a narrower one VANDREL_KERNELS
// names; an unknown name, or one the processor cannot run, is ignored.
const KernelSet* Choose() {
  const std::uint32_t features = CpuFeatures();
  const char* wanted = std::getenv("VANDREL_KERNELS");
  const KernelSet* widest = nullptr;
  for (const KernelSet* set : kByWidth) {
    if ((set->needs & features) != set->needs) continue;
    if (widest == nullptr) widest = set;
    if (wanted == nullptr || std::strcmp(set->name, wanted) == 0) return set;
  }
  return widest;
}

[[maybe_unused]] const bool kChosen = (gKernels = Choose(), true);

}  // namespace

const char* KernelSetName() { return gKernels->name; }

}  // namespace detail
}  // namespace Vandrel
