#include "engine/undo/CopyPacker.h"

#include <lz4frame.h>

#include <algorithm>

namespace tagsmith {

struct CopyPacker::Context
{
    LZ4F_cctx *lz4 = nullptr;
    bool ok = false;
    LZ4F_preferences_t preferences{};
    // Where each step's output is made before it is appended: growing out by the room a step may
    // need would clear that room for every page.
    std::unique_ptr<char[]> scratch;
    std::size_t scratchSize = 0;

    Context()
    {
        ok = !LZ4F_isError(LZ4F_createCompressionContext(&lz4, LZ4F_VERSION));
        // Independent blocks, each written out at once: the context then needs no buffer of its own,
        // which it would clear for every page.
        preferences.frameInfo.blockMode = LZ4F_blockIndependent;
        preferences.frameInfo.contentChecksumFlag = LZ4F_contentChecksumEnabled;
        preferences.autoFlush = 1;
    }
    ~Context() { LZ4F_freeCompressionContext(lz4); }

    char *room(std::size_t size)
    {
        if (scratchSize < size) {
            scratch = std::make_unique_for_overwrite<char[]>(size);
            scratchSize = size;
        }
        return scratch.get();
    }

    // Appends the n bytes made in the scratch buffer to out, unless n is an error.
    bool take(std::size_t n, std::vector<char> &out) const
    {
        if (LZ4F_isError(n))
            return false;
        out.insert(out.end(), scratch.get(), scratch.get() + n);
        return true;
    }
};

CopyPacker::CopyPacker() : m_context(std::make_unique<Context>()) {}

CopyPacker::~CopyPacker() = default;

bool CopyPacker::begin(std::vector<char> &out)
{
    Context &c = *m_context;
    if (!c.ok)
        return false;
    return c.take(LZ4F_compressBegin(c.lz4, c.room(LZ4F_HEADER_SIZE_MAX), LZ4F_HEADER_SIZE_MAX, &c.preferences), out);
}

bool CopyPacker::add(std::string_view bytes, std::vector<char> &out)
{
    Context &c = *m_context;
    // In pieces of at most 1 MB, so the room asked for stays small for a page of any size.
    constexpr std::size_t Piece = std::size_t(1) << 20;
    for (std::size_t from = 0; from < bytes.size(); from += Piece) {
        const std::size_t length = std::min(Piece, bytes.size() - from);
        const std::size_t bound = LZ4F_compressBound(length, &c.preferences);
        if (!c.take(LZ4F_compressUpdate(c.lz4, c.room(bound), bound, bytes.data() + from, length, nullptr), out))
            return false;
    }
    return true;
}

bool CopyPacker::end(std::vector<char> &out)
{
    Context &c = *m_context;
    const std::size_t bound = LZ4F_compressBound(0, &c.preferences);
    return c.take(LZ4F_compressEnd(c.lz4, c.room(bound), bound, nullptr), out);
}

bool CopyPacker::pack(std::string_view bytes, std::vector<char> &out)
{
    const std::size_t start = out.size();
    if (begin(out) && add(bytes, out) && end(out))
        return true;
    out.resize(start);
    return false;
}

} // namespace tagsmith
