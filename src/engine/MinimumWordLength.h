#pragma once

#include "engine/AsciiText.h"
#include "engine/WordTable.h"

#include <string_view>

namespace tagsmith {

// The minimum word length option: with it on, a word is stored only when its number of characters
// is at least the limit, the leading number of the option's text ("4.5" rejects four letters).
class MinimumWordLength
{
public:
    MinimumWordLength(bool on, std::string_view text) : m_on(on), m_limit(leadingNumber(text)) {}

    bool admits(std::string_view word) const
    {
        // A word has at most as many characters as bytes, so most short words need no count.
        return !m_on || (m_limit <= static_cast<double>(word.size()) &&
                         m_limit <= static_cast<double>(ascii::characterCount(word)));
    }

private:
    bool m_on;
    double m_limit;
};

} // namespace tagsmith
