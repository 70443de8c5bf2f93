#pragma once

#include <array>
#include <cstdint>

namespace tagsmith {

// Where the page is cut for the META block. Positions are byte offsets from the start of the page:
// a mark is the offset of the "<" of a marked tag, so the bytes before it stay in front of the block.
struct PageMarks
{
    // At most this many marks are made; later META NAME tags stay in the page.
    static constexpr int MaxMarks = 19;

    // Marks made, the end mark not counted. 0 when the page has no mark.
    int MarkCount = 0;
    // Marks[0] to Marks[MarkCount - 1] in page order; Marks[MarkCount] is the end mark, the page's
    // length.
    std::array<std::int64_t, MaxMarks + 1> Marks{};
    // Marks[0] is the closing head tag, not a META NAME tag: the block goes before it and the page
    // goes on unchanged from there.
    bool headMark = false;
    // For a page read through a decoder, where a byte ">" need not be a ">": the offset after the
    // first ">" following each mark (beyond the page when there is none). Otherwise the marked tag
    // ends at the first byte ">" after its mark.
    bool tagEndsKnown = false;
    std::array<std::int64_t, MaxMarks + 1> tagEnds{};

    std::int64_t endMark() const { return Marks[static_cast<std::size_t>(MarkCount)]; }
};

} // namespace tagsmith
