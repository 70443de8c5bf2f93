#pragma once

#include "engine/encoding/AsciiText.h"
#include "engine/words/WordTable.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <string_view>

namespace tagsmith {

// The minimum word length option: with it on, a word is stored only when its number of characters
// is at least the limit, the leading number of the option's text ("4.5" rejects four letters).
class MinimumWordLength
{
public:
    MinimumWordLength(bool on, std::string_view text) : m_on(on), m_least(leastCharacters(leadingNumber(text))) {}

    // ascii: the word is known to be ASCII, one character a byte.
    bool admits(std::string_view word, bool ascii = false) const
    {
        // A word has at most as many characters as bytes, so most short words need no count.
        return !m_on || (word.size() >= m_least && (ascii || ascii::characterCount(word) >= m_least));
    }

private:
    // The fewest characters a word may have: a count of characters is at least the limit when it is
    // at least the limit rounded up.
    static std::size_t leastCharacters(double limit)
    {
        if (limit <= 0)
            return 0;
        if (!(limit < 1e15)) // no word is this long
            return std::numeric_limits<std::size_t>::max();
        return static_cast<std::size_t>(std::ceil(limit));
    }

    bool m_on;
    std::size_t m_least;
};

} // namespace tagsmith
