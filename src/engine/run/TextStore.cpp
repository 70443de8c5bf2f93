#include "engine/run/TextStore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/mman.h>

namespace tagsmith {
namespace {

constexpr std::size_t FirstBlock = std::size_t(64) << 10;
constexpr std::size_t HugePage = std::size_t(2) << 20;

} // namespace

TextStore::~TextStore()
{
    for (const Block &block : m_blocks)
        std::free(block.data);
}

QByteArrayView TextStore::keep(QByteArrayView text)
{
    const auto size = static_cast<std::size_t>(text.size());
    if (size == 0)
        return {};
    if (m_blocks.empty() || m_blocks.back().size - m_used < size) {
        // Each block twice the one before, up to a huge page, and a text that needs more gets as many
        // huge pages as it needs.
        std::size_t blockSize = m_blocks.empty() ? FirstBlock : std::min(m_blocks.back().size * 2, HugePage);
        if (blockSize < size)
            blockSize = (size + HugePage - 1) / HugePage * HugePage;
        const bool huge = blockSize >= HugePage;
        m_blocks.reserve(m_blocks.size() + 1); // so that the block, once taken, is never lost
        void *data = huge ? std::aligned_alloc(HugePage, blockSize) : std::malloc(blockSize);
        if (!data)
            throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        if (huge)
            ::madvise(data, blockSize, MADV_HUGEPAGE); // a hint: without it the block is as good
#endif
        m_blocks.push_back({static_cast<char *>(data), blockSize});
        m_used = 0;
    }
    char *at = m_blocks.back().data + m_used;
    std::memcpy(at, text.data(), size);
    m_used += size;
    return QByteArrayView(at, text.size());
}

KeptText::KeptText(QByteArray text)
{
    auto own = std::make_shared<const QByteArray>(std::move(text));
    m_data = own->constData();
    m_size = own->size();
    m_owner = std::move(own);
}

std::size_t TextStore::memoryUse() const
{
    std::size_t bytes = 0;
    for (const Block &block : m_blocks)
        bytes += block.size;
    return bytes;
}

} // namespace tagsmith
