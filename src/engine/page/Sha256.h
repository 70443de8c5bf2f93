#pragma once

#include <QByteArray>

#include <memory>
#include <string_view>

namespace tagsmith {

// SHA-256 of bytes given in blocks, through the system's crypto library: the undo data's name for a
// folder, and the page hashes of journals written by earlier versions.
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

} // namespace tagsmith
