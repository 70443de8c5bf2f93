#pragma once

#include <cstddef>
#include <cstdint>

namespace tagsmith::fuzz {

// One input through the word scan, the mark scan and the rewrite, whole and in blocks of varying
// size (the first byte picks the page kind and the block sizes; the rest is the page). Aborts when
// any rule that must hold for every page is broken.
void scanAndRewrite(const std::uint8_t *data, std::size_t size);

} // namespace tagsmith::fuzz
