#include "engine/page/MarkScanner.h"

#include <algorithm>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tagsmith {
namespace {

constexpr std::string_view MetaName = "METANAME";
constexpr std::string_view CloseHead = "/HEAD";

// Whether the tag whose "<" is at open may be META or /HEAD by the bytes after it in the block: most
// tags are none from their first byte on (blanks are left out, and a "<" starts afresh), most closing
// tags none from their second. A tag the block cuts off may be. With canonical links marked, "<L" may
// be one.
inline bool mayBeMarked(const char *open, const char *end, bool canonical)
{
    if (end - open < 2)
        return true;
    const char first = open[1];
    if (first != ' ' && first != '<' && first != '/' && first != 'm' && first != 'M' && !(canonical && first == 'L'))
        return false;
    if (first == '/' && end - open >= 3) {
        const char second = open[2];
        if (second != ' ' && second != '<' && second != 'h' && second != 'H')
            return false;
    }
    return true;
}

// The first "<" from p on that may start a marked tag, or end. The bytes a rejected tag was told by
// are no "<", so every "<" is looked at in turn, sixteen bytes at a time.
const char *nextMarkable(const char *p, const char *end, bool canonical)
{
#if defined(__SSE2__)
    const __m128i open = _mm_set1_epi8('<');
    for (; end - p >= 16; p += 16) {
        auto found = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), open)));
        for (; found != 0; found &= found - 1)
            if (const char *at = p + __builtin_ctz(found); mayBeMarked(at, end, canonical))
                return at;
    }
#endif
    for (; p != end; ++p)
        if (*p == '<' && mayBeMarked(p, end, canonical))
            return p;
    return end;
}

char asciiUpper(unsigned char c)
{
    return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
}

char asciiLower(char c)
{
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
}

bool isWhiteSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view lower)
{
    if (a.size() != lower.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != lower[i])
            return false;
    return true;
}

} // namespace

MetaNames::MetaNames()
{
    for (const std::string_view name : {"generator", "description", "keywords", "robots", "revisit-after"})
        add(name);
}

void MetaNames::add(std::string_view name)
{
    // An empty name would make every META NAME tag with an empty name a mark.
    if (name.empty() || contains(name))
        return;
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), asciiLower);
    m_names.push_back(std::move(lower));
    m_longest = std::max(m_longest, name.size());
}

bool MetaNames::contains(std::string_view name) const
{
    return std::any_of(m_names.begin(), m_names.end(),
                       [name](const std::string &known) { return equalsIgnoringAsciiCase(name, known); });
}

void MetaNames::addSharingNames()
{
    for (const std::string_view name :
         {"og:type", "og:title", "og:description", "og:url", "og:site_name", "og:locale", "og:image", "twitter:card"})
        add(name);
    m_canonicalLink = true;
}

void MetaNames::addNamesFrom(std::string_view bytes)
{
    MarkScanner scanner(*this);
    scanner.m_collected = std::vector<std::string>();
    scanner.feed(bytes);
    scanner.finish();
    for (const std::string &name : *scanner.m_collected)
        add(name);
}

MarkScanner::MarkScanner(const MetaNames &names) : m_names(names) {}

void MarkScanner::reset()
{
    m_marks = PageMarks();
    m_position = 0;
    m_openAt = -1;
    m_metaMatched = -1;
    m_headMatched = -1;
    m_linkMatched = -1;
    m_pending.clear();
    m_tagsSeen = 0;
}

void MarkScanner::feed(std::string_view bytes)
{
    const char *p = bytes.data();
    const char *end = p + bytes.size();
    const bool canonical = m_names.marksCanonicalLink();
    while (p != end) {
        if (m_pending.empty() && m_metaMatched < 0 && m_headMatched < 0 && m_linkMatched < 0) {
            // Nothing is going on until a tag starts that may be marked.
            const char *next = nextMarkable(p, end, canonical);
            m_position += next - p;
            p = next;
            if (p == end)
                break;
        }
        const auto c = static_cast<unsigned char>(*p++);
        if (!m_pending.empty()) {
            for (Candidate &candidate : m_pending)
                readName(candidate, c);
            settle();
        }
        recognise(c);
        ++m_position;
    }
}

void MarkScanner::recognise(unsigned char c)
{
    if (c == '<') {
        m_openAt = m_position;
        m_metaMatched = 0;
        m_headMatched = 0;
        m_linkMatched = m_names.marksCanonicalLink() ? 1 : -1;
        return;
    }
    if (m_linkMatched >= 0) {
        // Byte for byte, blanks and case included.
        if (c != static_cast<unsigned char>(BlockCanonicalLink[static_cast<std::size_t>(m_linkMatched)])) {
            m_linkMatched = -1;
        } else if (++m_linkMatched == static_cast<int>(BlockCanonicalLink.size())) {
            m_metaMatched = m_headMatched = m_linkMatched = -1;
            m_pending.push_back({m_openAt, Candidate::Phase::Accepted, 0, {}});
            settle();
            return;
        }
    }
    // Blanks are left out of the tag, so "< meta  name" counts as "<METANAME".
    if ((m_metaMatched < 0 && m_headMatched < 0) || c == ' ')
        return;
    const char upper = asciiUpper(c);
    if (m_metaMatched >= 0) {
        if (upper == MetaName[static_cast<std::size_t>(m_metaMatched)]) {
            if (++m_metaMatched == static_cast<int>(MetaName.size())) {
                m_metaMatched = m_headMatched = -1;
                ++m_tagsSeen;
                m_pending.push_back({m_openAt, Candidate::Phase::BeforeEquals, 0, {}});
                return;
            }
        } else {
            m_metaMatched = -1;
        }
    }
    if (m_headMatched >= 0) {
        if (upper == CloseHead[static_cast<std::size_t>(m_headMatched)]) {
            if (++m_headMatched == static_cast<int>(CloseHead.size())) {
                m_metaMatched = m_headMatched = -1;
                m_pending.push_back({m_openAt, Candidate::Phase::Head, 0, {}});
                settle();
            }
        } else {
            m_headMatched = -1;
        }
    }
}

void MarkScanner::readName(Candidate &candidate, unsigned char c)
{
    using Phase = Candidate::Phase;
    switch (candidate.phase) {
    case Phase::BeforeEquals:
        if (isWhiteSpace(c))
            return;
        candidate.phase = c == '=' ? Phase::BeforeValue : Phase::Rejected;
        return;
    case Phase::BeforeValue:
        if (isWhiteSpace(c))
            return;
        if (c == '"' || c == '\'') {
            candidate.phase = Phase::Quoted;
            candidate.quote = static_cast<char>(c);
            return;
        }
        candidate.phase = Phase::Unquoted;
        if (c == '>') {
            endName(candidate);
            return;
        }
        break;
    case Phase::Quoted:
        if (c == static_cast<unsigned char>(candidate.quote)) {
            endName(candidate);
            return;
        }
        break;
    case Phase::Unquoted:
        if (isWhiteSpace(c) || c == '>') {
            endName(candidate);
            return;
        }
        break;
    case Phase::Accepted:
    case Phase::Rejected:
    case Phase::Head:
        return;
    }
    // A name longer than every name of the block is none of them.
    if (!m_collected && candidate.name.size() >= m_names.longest()) {
        candidate.phase = Phase::Rejected;
        return;
    }
    candidate.name.push_back(static_cast<char>(c));
}

void MarkScanner::endName(Candidate &candidate)
{
    if (m_collected)
        m_collected->push_back(candidate.name);
    candidate.phase = m_names.contains(candidate.name) ? Candidate::Phase::Accepted : Candidate::Phase::Rejected;
    candidate.name.clear();
}

void MarkScanner::settle()
{
    using Phase = Candidate::Phase;
    std::size_t done = 0;
    for (; done < m_pending.size(); ++done) {
        const Candidate &candidate = m_pending[done];
        if (candidate.phase == Phase::Accepted) {
            if (m_marks.MarkCount < PageMarks::MaxMarks)
                m_marks.Marks[static_cast<std::size_t>(m_marks.MarkCount++)] = candidate.position;
        } else if (candidate.phase == Phase::Head) {
            // Only when no mark was made before it.
            if (m_marks.MarkCount == 0) {
                m_marks.Marks[0] = candidate.position;
                m_marks.MarkCount = 1;
                m_marks.headMark = true;
            }
        } else if (candidate.phase != Phase::Rejected) {
            break;
        }
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(done));
}

PageMarks MarkScanner::finish()
{
    // A value still open when the page ends ends there; a tag still waiting for its "=" or its value
    // has no name.
    for (Candidate &candidate : m_pending) {
        if (candidate.phase == Candidate::Phase::Quoted || candidate.phase == Candidate::Phase::Unquoted)
            endName(candidate);
        else if (candidate.phase == Candidate::Phase::BeforeEquals || candidate.phase == Candidate::Phase::BeforeValue)
            candidate.phase = Candidate::Phase::Rejected;
    }
    settle();
    m_marks.Marks[static_cast<std::size_t>(m_marks.MarkCount)] = m_position;
    return m_marks;
}

} // namespace tagsmith
