#include "engine/TellingWords.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tagsmith {

TellingWords::TellingWords(const StopWords &stopWords) : m_stopWords(stopWords) {}

void TellingWords::addWord(std::string_view word)
{
    const std::uint32_t row = m_page.add(word);
    if (m_page.added())
        m_counts.push_back(1);
    else
        ++m_counts[row];
}

std::size_t TellingWords::endPage()
{
    const std::size_t page = m_pageStart.size();
    m_pageStart.push_back(m_words.size());
    for (std::uint32_t row = 0; row < m_page.size(); ++row) {
        const std::string_view form = m_page.form(row);
        const std::uint32_t siteRow = m_site.add(form);
        if (m_site.added()) {
            m_pagesWith.push_back(0);
            m_stop.push_back(m_stopWords.contains(form));
        }
        if (m_stop[siteRow])
            continue;
        ++m_pagesWith[siteRow];
        m_words.push_back(siteRow);
        m_wordCounts.push_back(m_counts[row]);
    }
    m_page.clear();
    m_counts.clear();
    return page;
}

std::vector<std::string_view> TellingWords::pageWords(std::size_t page, std::size_t count) const
{
    const std::size_t begin = m_pageStart[page];
    const std::size_t end = page + 1 < m_pageStart.size() ? m_pageStart[page + 1] : m_words.size();
    const auto pages = static_cast<double>(m_pageStart.size());
    struct Ranked
    {
        double score;
        std::size_t at;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i)
        ranked.push_back({m_wordCounts[i] * std::log(pages / m_pagesWith[m_words[i]]), i});
    const std::size_t n = std::min(count, ranked.size());
    std::partial_sort(
        ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(n), ranked.end(),
        [](const Ranked &a, const Ranked &b) { return a.score > b.score || (a.score == b.score && a.at < b.at); });
    std::vector<std::string_view> words;
    words.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        words.push_back(m_site.form(m_words[ranked[i].at]));
    return words;
}

std::vector<std::string_view> TellingWords::siteWords(std::size_t count) const
{
    std::vector<std::uint32_t> rows;
    for (std::uint32_t row = 0; row < m_site.size(); ++row)
        if (!m_stop[row])
            rows.push_back(row);
    const std::size_t n = std::min(count, rows.size());
    std::partial_sort(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(n), rows.end(),
                      [this](std::uint32_t a, std::uint32_t b) {
                          return m_pagesWith[a] > m_pagesWith[b] || (m_pagesWith[a] == m_pagesWith[b] && a < b);
                      });
    std::vector<std::string_view> words;
    words.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        words.push_back(m_site.form(rows[i]));
    return words;
}

} // namespace tagsmith
