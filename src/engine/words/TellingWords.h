#pragma once

#include "engine/words/StopWords.h"
#include "engine/words/WordIndex.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tagsmith {

// The most telling words of every page of a site and of the site as a whole. The pages' words come
// in page by page; once every page is in, a page's words are ranked by how often they stand on the
// page against on how many pages of the site they stand (term frequency times the logarithm of the
// number of pages over the pages holding the word), so a word on every page ranks below any word
// that only some pages hold. Equal scores keep the order in which the page first met the words.
// Stop words never count, nor words that are no keywords by their shape (see isKeywordShaped). A word
// is given in the form in which the site first met it.
class TellingWords
{
public:
    // How often words were among the pages' chosen words, and their scores there added up, by word.
    struct Choices
    {
        std::vector<std::uint32_t> times;
        std::vector<double> scores;
    };

    explicit TellingWords(const StopWords &stopWords = StopWords::dutchAndEnglish());

    // A word of the page under way, each time it stands on the page.
    void addWord(std::string_view word);
    // The page under way is complete; returns its number (from 0, in the order the pages came).
    std::size_t endPage();
    // Or a whole page whose words are counted already: its distinct words in the page's order, and
    // the times each stands on the page. Returns its number.
    std::size_t addPage(const WordIndex &words, const std::vector<std::uint32_t> &counts);
    // The page under way could not be read to its end: its words count for no page.
    void dropPage();

    std::size_t pageCount() const { return m_pageStart.size(); }
    // The count most telling words of the page, best first (fewer when the page has fewer); each goes
    // into choices when it is given.
    std::vector<std::string_view> pageWords(std::size_t page, std::size_t count, Choices *choices = nullptr) const;
    // The count words most often among the pages' chosen words, ties by their added scores, then in the
    // order the site first met them: what the pages are about, not the words on every page.
    std::vector<std::string_view> siteWords(std::size_t count, const Choices &choices) const;

    // Whether a word may be a keyword at all: not when more than half of it is digits ("2024",
    // "x86"), when it is a hexadecimal number of eight or more characters with a digit in it (a hash),
    // when it is longer than 30 characters, or when it is an English contraction ("don't", "we're").
    static bool isKeywordShaped(std::string_view word);

private:
    const StopWords &m_stopWords;
    WordIndex m_page;                    // the page under way
    std::vector<std::uint32_t> m_counts; // how often each word of m_page stands on it
    WordIndex m_site;
    std::vector<std::uint32_t> m_pagesWith; // the number of pages holding each word of m_site
    std::vector<bool> m_stop;               // each word of m_site is a stop word
    // Every page's words, page after page: the word of m_site and how often it stands on the page, each
    // as a number of seven bits a byte (most words are early words of the site and stand once or
    // twice on a page, so most take two to four bytes instead of eight).
    std::string m_words;
    std::size_t m_pageBegin = 0;          // in m_words, of the page under way
    std::vector<std::size_t> m_pageStart; // where each page's words start
    // The logarithm of the number of pages over the pages holding each word of m_site, worked out
    // once for all pages' rankings (for the pages and words there were then).
    mutable std::vector<double> m_weights;
    mutable std::size_t m_weightedPages = 0;
};

} // namespace tagsmith
