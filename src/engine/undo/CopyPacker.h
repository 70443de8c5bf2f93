#pragma once

#include <memory>
#include <string_view>
#include <vector>

namespace tagsmith {

// Packs the copy of a page that an undo puts back as an LZ4 frame (independent blocks, with a
// checksum of the content): several times faster than zlib's fastest level. The frames of a run
// stand one after the other in one file. One packer serves page after page; each thread has its own.
class CopyPacker
{
public:
    CopyPacker();
    ~CopyPacker();
    CopyPacker(const CopyPacker &) = delete;
    CopyPacker &operator=(const CopyPacker &) = delete;

    // Appends a whole frame of the bytes to out; false when the frame could not be made.
    bool pack(std::string_view bytes, std::vector<char> &out);

    // The same piece by piece, for a page read in blocks: begin(), add() for each piece, end(), each
    // appending to out (which the caller may empty between the calls).
    bool begin(std::vector<char> &out);
    bool add(std::string_view bytes, std::vector<char> &out);
    bool end(std::vector<char> &out);

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

} // namespace tagsmith
