#include "FuzzScanRewrite.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    tagsmith::fuzz::scanAndRewrite(data, size);
    return 0;
}
