#include "engine/page/PageHash.h"

#include <xxhash.h>
// On x86-64 the library picks the widest vectors the processor has (AVX2, AVX-512) at run time for
// hashing a page; the plain functions use SSE2 only. Both give the same hash.
#if defined(__x86_64__) && __has_include(<xxh_x86dispatch.h>)
#include <xxh_x86dispatch.h>
#endif

#include <new>

namespace tagsmith {

struct PageHash::State
{
    XXH3_state_t *state = XXH3_createState();
    ~State() { XXH3_freeState(state); }
};

PageHash::PageHash(Kind kind)
{
    if (kind == Kind::Sha256) {
        m_sha256 = std::make_unique<Sha256>();
        return;
    }
    m_state = std::make_unique<State>();
    if (!m_state->state || XXH3_128bits_reset(m_state->state) != XXH_OK)
        throw std::bad_alloc();
}

PageHash::~PageHash() = default;

std::optional<PageHash::Kind> PageHash::kindOf(const QByteArray &hash)
{
    if (hash.size() == sizeof(XXH128_canonical_t))
        return Kind::Xxh3;
    if (hash.size() == 32)
        return Kind::Sha256;
    return std::nullopt;
}

QByteArray PageHash::of(std::string_view bytes, const QByteArray &other)
{
    PageHash hash(kindOf(other).value_or(Kind::Xxh3));
    hash.add(bytes);
    return hash.result();
}

void PageHash::add(std::string_view bytes)
{
    if (m_sha256)
        m_sha256->add(bytes);
    else
        XXH3_128bits_update(m_state->state, bytes.data(), bytes.size());
}

QByteArray PageHash::result()
{
    if (m_sha256)
        return m_sha256->result();
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(m_state->state));
    XXH3_128bits_reset(m_state->state);
    return QByteArray(reinterpret_cast<const char *>(canonical.digest), sizeof canonical.digest);
}

} // namespace tagsmith
