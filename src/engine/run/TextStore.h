#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <memory>
#include <vector>

namespace tagsmith {

// Texts kept for as long as a run report lives (every page's keywords line), copied one after the
// other into large blocks. On a large site the lines take tens of megabytes; a block of its own for
// each line, taken from fresh memory 4 KB at a time, cost more than making the lines. Blocks of 2 MB
// and more are offered to the kernel for huge pages.
class TextStore
{
public:
    TextStore() = default;
    ~TextStore();
    TextStore(const TextStore &) = delete;
    TextStore &operator=(const TextStore &) = delete;

    // A copy of text that stays where it is until the store goes.
    QByteArrayView keep(QByteArrayView text);

    // The bytes of the blocks taken.
    std::size_t memoryUse() const;

private:
    struct Block
    {
        char *data;
        std::size_t size;
    };
    std::vector<Block> m_blocks;
    std::size_t m_used = 0; // of the last block
};

// A text a run report keeps: in a TextStore, which every copy shares, or in a QByteArray of its own.
class KeptText
{
public:
    KeptText() = default;
    KeptText(QByteArray text); // NOLINT: a text of its own, as a QByteArray is one
    KeptText(std::shared_ptr<const TextStore> store, QByteArrayView text)
        : m_owner(std::move(store)), m_data(text.data()), m_size(text.size())
    {
    }

    QByteArrayView view() const { return QByteArrayView(m_data, m_size); }
    QByteArray toByteArray() const { return view().toByteArray(); }

private:
    std::shared_ptr<const void> m_owner; // what holds the bytes
    const char *m_data = nullptr;
    qsizetype m_size = 0;
};

} // namespace tagsmith
