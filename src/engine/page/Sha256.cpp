#include "engine/page/Sha256.h"

#include <openssl/evp.h>

#include <new>

namespace tagsmith {

struct Sha256::Context
{
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(ctx); }
};

Sha256::Sha256() : m_context(std::make_unique<Context>())
{
    if (!m_context->ctx || EVP_DigestInit_ex(m_context->ctx, EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc();
}

Sha256::~Sha256() = default;

void Sha256::add(std::string_view bytes)
{
    EVP_DigestUpdate(m_context->ctx, bytes.data(), bytes.size());
}

QByteArray Sha256::result()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context->ctx, digest, &length);
    EVP_DigestInit_ex(m_context->ctx, EVP_sha256(), nullptr);
    return QByteArray(reinterpret_cast<const char *>(digest), static_cast<qsizetype>(length));
}

} // namespace tagsmith
