#pragma once

#include "engine/PageSplicer.h"

#include <QByteArray>

#include <memory>
#include <string_view>

namespace tagsmith {

// SHA-256 of bytes given in blocks. Through the system's crypto library, which uses the processor's
// SHA instructions where it has them: a run hashes every byte it writes.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void add(std::string_view bytes);
    // The 32 bytes of the hash; the hash starts afresh after it.
    QByteArray result();

private:
    struct Context;
    std::unique_ptr<Context> m_context;
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

    QByteArray result() { return m_hash.result(); }
    std::int64_t size() const { return m_size; }

private:
    ByteSink &m_next;
    Sha256 m_hash;
    std::int64_t m_size = 0;
};

} // namespace tagsmith
