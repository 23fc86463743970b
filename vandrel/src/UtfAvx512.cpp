// The Avx512 kernels of the UTF-8 coder.
#include "Kernels.h"
#include "UtfCoder.h"

#if VANDREL_X86

namespace Vandrel {
namespace detail {

const KernelSet kAvx512Kernels = {"avx512",           DecodeBlocksSse41, EncodeBlocksSse41,
                                 ByteLengthPortable, Uni16LengthSse2,   UTF8LengthSse2,
                                 Uni16UnitsSse2};

}  // namespace detail
}  // namespace Vandrel

#endif  // VANDREL_X86
