#pragma once

#include <cstddef>
#include <cstdint>

namespace tagsmith::fuzz {

// One input the whole way a page goes in a run: the encoding sniffed (or, by the first byte, any
// encoding a page may have, every legacy charset among them), the page decoded whole and in blocks
// and its text written back, its words and marks, the reading of what it says, its META block in
// its encoding, the rewrite, the preview's difference and the undo data's delta. Aborts when any
// rule that must hold for every page is broken.
void pageRoad(const std::uint8_t *data, std::size_t size);

} // namespace tagsmith::fuzz
