// The Avx2 kernels of the UTF-8 coder.
#include "Kernels.h"
#include "UtfCoder.h"

#if VANDREL_X86

namespace Vandrel {
namespace detail {

const KernelSet kAvx2Kernels = {"avx2",
                                DecodeMeasured<DecodeBlocksSse41, ByteLengthPortable>,
                                EncodeBlocksSse41,
                                EncodeMeasured<EncodeBlocksSse41, Uni16LengthSse2>,
                                ByteLengthPortable,
                                Uni16LengthSse2,
                                UTF8LengthSse2,
                                Uni16UnitsSse2,
                                DecodeBytes16};

}  // namespace detail
}  // namespace Vandrel

#endif  // VANDREL_X86
