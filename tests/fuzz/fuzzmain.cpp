// One libFuzzer executable: FUZZ_TARGET names the entry point it drives.
#include "fuzztargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return Fuzz::FUZZ_TARGET(data, size);
}
