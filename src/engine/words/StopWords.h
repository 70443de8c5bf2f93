#pragma once

#include "engine/words/WordIndex.h"

#include <string_view>

namespace tagsmith {

// Words too common to tell anything about a page: the Dutch and English stop-word lists built into
// the program (data/english.stop, data/dutch.stop). Matched ignoring case.
class StopWords
{
public:
    // The words of lists of one word a line (blank lines skipped).
    explicit StopWords(std::initializer_list<std::string_view> lists);

    // Dutch and English.
    static const StopWords &dutchAndEnglish();

    bool contains(std::string_view word) const { return m_words.find(word) != WordIndex::None; }

private:
    WordIndex m_words;
};

} // namespace tagsmith
