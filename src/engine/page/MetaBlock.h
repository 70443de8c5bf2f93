#pragma once

#include "engine/core/RunOptions.h"
#include "engine/encoding/PageText.h"
#include "engine/page/MarkScanner.h"
#include "engine/page/SiteSharing.h"

#include <array>
#include <string>

namespace tagsmith {

class WordTable;

// The META block written into every page: the generator, description, keywords, robots and revisit
// lines, each when its option is on (the keywords line always), from the eight template texts, the
// site description, the revisit months and the words of a word table. Built from the options once
// when the run starts.
class MetaBlock
{
public:
    explicit MetaBlock(const RunOptions &options);

    // Where a block holds its keywords: size bytes from at; asUtf8 when they are also the keywords'
    // UTF-8 (the block is in UTF-8, or every keyword is ASCII).
    struct KeywordsPlace
    {
        std::size_t at = 0;
        std::size_t size = 0;
        bool asUtf8 = false;
    };

    // The block for a page in the given encoding, with the words in table order joined by ", ".
    // Safe to call from several threads at once.
    KeywordsPlace build(const WordTable &words, PageEncoding encoding, std::string &out) const;
    // The same with a description of the page's own (UTF-8, escaped for the attribute) in place of
    // the site description, and with a site address the page's canonical link and sharing tags.
    KeywordsPlace build(const WordTable &words, PageEncoding encoding, std::string &out, std::string_view description,
                        const PageShare *share = nullptr) const;
    KeywordsPlace build(const WordTable &words, PageEncoding encoding, std::string &out, const PageShare *share) const;
    std::string build(const WordTable &words, PageEncoding encoding) const;
    // The same for a page of any encoding: in UTF-16 or another charset (named as the page declares
    // it) the block is made as UTF-8 and then written in the page's encoding.
    void build(const WordTable &words, PageEncoding encoding, std::string_view charset, std::string &out) const;

    // The words as the keywords line writes them, separated by ", ", in the case chosen and the
    // encoding given (UTF-8 for a page that is not in Windows-1252).
    // True when every keyword is ASCII.
    bool appendKeywords(const WordTable &words, PageEncoding encoding, std::string &out) const;

    // The names of the META NAME tags this block writes: the usual five and those of the template
    // texts, as either encoding writes them. Only tags with these names are replaced in a page.
    MetaNames metaNames() const;

    // The canonical link, Open Graph and Twitter card lines of a page (UTF-8), each ending in a line
    // break; description is the one the block writes (none when the description line is off).
    void appendSharing(const PageShare &share, std::string_view description, std::string &out) const;

private:
    std::array<std::string, TemplateCount> m_templates; // UTF-8
    std::string m_description;                          // UTF-8, quotes escaped
    std::string m_revisitMonths;                        // UTF-8
    bool m_descriptionLine;
    bool m_generatorLine;
    bool m_robotsLine;
    bool m_revisitLine;
    bool m_sharing; // a site address is given
    // Every line ends in a line break, the revisit line too: a block that a rerun replaces together
    // with the line breaks after its tags then comes back byte for byte.
    bool m_closedLines;
    CaseConversion m_case;
};

} // namespace tagsmith
