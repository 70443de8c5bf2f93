#include "FuzzPageRoad.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    tagsmith::fuzz::pageRoad(data, size);
    return 0;
}
