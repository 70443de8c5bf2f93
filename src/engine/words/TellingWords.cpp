#include "engine/words/TellingWords.h"

#include "engine/encoding/Utf8.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tagsmith {

TellingWords::TellingWords(const StopWords &stopWords) : m_stopWords(stopWords) {}

namespace {

void appendNumber(std::string &to, std::uint32_t n)
{
    while (n >= 0x80) {
        to.push_back(static_cast<char>((n & 0x7F) | 0x80));
        n >>= 7;
    }
    to.push_back(static_cast<char>(n));
}

std::uint32_t nextNumber(const std::string &from, std::size_t *at)
{
    std::uint32_t n = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(from[(*at)++]);
        n |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
        if (byte < 0x80)
            return n;
    }
}

} // namespace

void TellingWords::addWord(std::string_view word)
{
    const std::uint32_t row = m_page.add(word);
    if (m_page.added())
        m_counts.push_back(1);
    else
        ++m_counts[row];
}

std::size_t TellingWords::addPage(const WordIndex &words, const std::vector<std::uint32_t> &counts)
{
    // The site's words are many: their look-ups overlap, each a few steps ahead of the next.
    constexpr std::uint32_t Ahead = 4;
    const auto n = static_cast<std::uint32_t>(words.size());
    for (std::uint32_t i = 0; i < n + 3 * Ahead; ++i) {
        for (int step = 0; step < 3; ++step) {
            const std::uint32_t lag = static_cast<std::uint32_t>(step) * Ahead;
            if (i >= lag && i - lag < n)
                m_site.prefetch(words.hash(i - lag), step);
        }
        if (i < 3 * Ahead)
            continue;
        const std::uint32_t row = i - 3 * Ahead;
        const std::string_view form = words.form(row);
        const std::uint32_t siteRow = m_site.add(form, words.key(row), words.hash(row));
        if (m_site.added()) {
            m_pagesWith.push_back(0);
            m_stop.push_back(m_stopWords.contains(form) || !isKeywordShaped(form));
        }
        if (m_stop[siteRow])
            continue;
        ++m_pagesWith[siteRow];
        appendNumber(m_words, siteRow);
        appendNumber(m_words, counts[row]);
    }
    m_pageStart.push_back(m_pageBegin);
    m_pageBegin = m_words.size();
    return m_pageStart.size() - 1;
}

std::size_t TellingWords::endPage()
{
    const std::size_t page = addPage(m_page, m_counts);
    m_page.clear();
    m_counts.clear();
    return page;
}

void TellingWords::dropPage()
{
    m_page.clear();
    m_counts.clear();
}

bool TellingWords::isKeywordShaped(std::string_view word)
{
    std::size_t characters = 0;
    std::size_t digits = 0;
    bool hex = true;
    for (std::size_t i = 0; i < word.size();) {
        const char32_t c = nextCharacter(word, &i);
        ++characters;
        digits += c >= '0' && c <= '9' ? 1 : 0;
        hex = hex && ((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'));
    }
    if (characters > 30 || 2 * digits > characters || (hex && digits > 0 && characters >= 8))
        return false;
    const std::size_t apostrophe = word.rfind('\'');
    if (apostrophe == std::string_view::npos)
        return true;
    std::string ending(word.substr(apostrophe + 1));
    for (char &c : ending)
        c = static_cast<char>(c | 0x20);
    return ending != "t" && ending != "re" && ending != "ve" && ending != "ll" && ending != "d" && ending != "m";
}

std::vector<std::string_view> TellingWords::pageWords(std::size_t page, std::size_t count, Choices *choices) const
{
    const std::size_t end = page + 1 < m_pageStart.size() ? m_pageStart[page + 1] : m_pageBegin;
    if (m_weights.size() != m_pagesWith.size() || m_weightedPages != m_pageStart.size()) {
        const auto pages = static_cast<double>(m_pageStart.size());
        m_weights.resize(m_pagesWith.size());
        for (std::size_t row = 0; row < m_pagesWith.size(); ++row)
            m_weights[row] = std::log(pages / m_pagesWith[row]);
        m_weightedPages = m_pageStart.size();
    }
    struct Ranked
    {
        double score;
        std::uint32_t row;
        std::size_t at;
    };
    std::vector<Ranked> ranked;
    for (std::size_t at = m_pageStart[page]; at < end;) {
        const std::uint32_t row = nextNumber(m_words, &at);
        const std::uint32_t times = nextNumber(m_words, &at);
        ranked.push_back({times * m_weights[row], row, ranked.size()});
    }
    const std::size_t n = std::min(count, ranked.size());
    std::partial_sort(
        ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(n), ranked.end(),
        [](const Ranked &a, const Ranked &b) { return a.score > b.score || (a.score == b.score && a.at < b.at); });
    std::vector<std::string_view> words;
    words.reserve(n);
    if (choices && choices->times.size() < m_site.size()) {
        choices->times.resize(m_site.size());
        choices->scores.resize(m_site.size());
    }
    for (std::size_t i = 0; i < n; ++i) {
        words.push_back(m_site.form(ranked[i].row));
        if (choices) {
            ++choices->times[ranked[i].row];
            choices->scores[ranked[i].row] += ranked[i].score;
        }
    }
    return words;
}

std::vector<std::string_view> TellingWords::siteWords(std::size_t count, const Choices &choices) const
{
    std::vector<std::uint32_t> rows;
    for (std::uint32_t row = 0; row < choices.times.size(); ++row)
        if (choices.times[row] > 0)
            rows.push_back(row);
    const std::size_t n = std::min(count, rows.size());
    std::partial_sort(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(n), rows.end(),
                      [&choices](std::uint32_t a, std::uint32_t b) {
                          if (choices.times[a] != choices.times[b])
                              return choices.times[a] > choices.times[b];
                          if (choices.scores[a] != choices.scores[b])
                              return choices.scores[a] > choices.scores[b];
                          return a < b;
                      });
    std::vector<std::string_view> words;
    words.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        words.push_back(m_site.form(rows[i]));
    return words;
}

} // namespace tagsmith
