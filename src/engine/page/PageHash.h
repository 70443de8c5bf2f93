#pragma once

#include "engine/page/PageSplicer.h"
#include "engine/page/Sha256.h"

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace tagsmith {

// The hash an undo record keeps of the bytes a run wrote to a page, by which the undo tells whether
// the page still holds them. XXH3's 128 bits: a run hashes every byte it writes, and SHA-256 (which
// journals of earlier versions hold) cost a tenth of a run's processor time. Nobody forges a page
// to pass for another here, so a hash made to find accidental change is enough.
class PageHash
{
public:
    enum class Kind { Xxh3, Sha256 };

    explicit PageHash(Kind kind = Kind::Xxh3);
    ~PageHash();
    PageHash(const PageHash &) = delete;
    PageHash &operator=(const PageHash &) = delete;

    // The kind of a hash a record holds, by its length; nullopt for neither.
    static std::optional<Kind> kindOf(const QByteArray &hash);
    // The hash of the bytes, of the same kind as other.
    static QByteArray of(std::string_view bytes, const QByteArray &other);

    void add(std::string_view bytes);
    // The hash (16 bytes, or 32 for SHA-256); the hash starts afresh after it.
    QByteArray result();

private:
    struct State;
    std::unique_ptr<State> m_state;
    std::unique_ptr<Sha256> m_sha256;
};

// Passes the bytes on to another sink and hashes them on the way.
class HashingSink : public ByteSink
{
public:
    explicit HashingSink(ByteSink &next) : m_next(next) {}

    void write(std::string_view bytes) override
    {
        m_hash.add(bytes);
        m_size += static_cast<std::int64_t>(bytes.size());
        m_next.write(bytes);
    }
    void writePieces(std::span<const std::string_view> pieces) override
    {
        for (const std::string_view piece : pieces) {
            m_hash.add(piece);
            m_size += static_cast<std::int64_t>(piece.size());
        }
        m_next.writePieces(pieces);
    }

    QByteArray result() { return m_hash.result(); }
    std::int64_t size() const { return m_size; }

private:
    ByteSink &m_next;
    PageHash m_hash;
    std::int64_t m_size = 0;
};

} // namespace tagsmith
