#include "engine/words/StopWords.h"

namespace tagsmith {

namespace stopwordlists {
extern const char English[];
extern const char Dutch[];
} // namespace stopwordlists

StopWords::StopWords(std::initializer_list<std::string_view> lists)
{
    for (std::string_view list : lists) {
        while (!list.empty()) {
            const std::size_t end = std::min(list.find('\n'), list.size());
            std::string_view word = list.substr(0, end);
            while (!word.empty() && (word.back() == '\r' || word.back() == ' '))
                word.remove_suffix(1);
            if (!word.empty())
                m_words.add(word);
            list.remove_prefix(std::min(end + 1, list.size()));
        }
    }
}

const StopWords &StopWords::dutchAndEnglish()
{
    static const StopWords words{stopwordlists::English, stopwordlists::Dutch};
    return words;
}

} // namespace tagsmith
