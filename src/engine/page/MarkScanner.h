#pragma once

#include "engine/core/PageMarks.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tagsmith {

// NOTE: the block writes its canonical link in exactly this spelling, and with a site address only
// this spelling is a mark: a canonical link spelt in any other way is the page's own and stays.
inline constexpr std::string_view BlockCanonicalLink = "<LINK REL=\"canonical\" HREF=\"";

// The names of the META NAME tags that the META block writes. Only a tag with one of these names
// is a mark; the page's other META NAME tags (viewport, author, site verification ...) stay.
class MetaNames
{
public:
    // generator, description, keywords, robots and revisit-after.
    MetaNames();

    // Adds the name of every META NAME tag in the text (a template text as written into a page).
    void addNamesFrom(std::string_view bytes);
    // With a site address: the Open Graph and Twitter card names the block writes, and its canonical
    // link.
    void addSharingNames();
    bool marksCanonicalLink() const { return m_canonicalLink; }

    // Names compare ignoring ASCII case.
    bool contains(std::string_view name) const;
    std::size_t longest() const { return m_longest; }
    const std::vector<std::string> &names() const { return m_names; }

private:
    void add(std::string_view name);

    std::vector<std::string> m_names; // in ASCII lower case
    std::size_t m_longest = 0;
    bool m_canonicalLink = false;
};

// The mark scan of one page, fed the page's bytes in blocks of any size, in order.
//
// A tag is recognised from its "<" on, with blanks (and only blanks) left out: "<" followed by
// META NAME in any case, with any number of blanks between the words, or "</HEAD". After META NAME
// the tag's name is read: white space, "=", white space, then a value in double or single quotes
// (to the end of the page when the quote never closes) or up to white space or ">". The tag is a
// mark when that name is one of the block's names. With a site address the block's canonical link,
// spelt exactly as BlockCanonicalLink, is a mark as well. The first closing head tag before which no
// mark was made becomes the head mark.
class MarkScanner
{
public:
    explicit MarkScanner(const MetaNames &names);

    void reset();
    void feed(std::string_view bytes);
    // The marks of the page, after its last byte.
    PageMarks finish();

    // Every META NAME tag recognised, marked or not (for tests).
    std::int64_t tagsSeen() const { return m_tagsSeen; }

private:
    // A recognised tag whose fate is not decided yet, in page order.
    struct Candidate
    {
        enum class Phase : std::uint8_t {
            BeforeEquals, // white space before "="
            BeforeValue,  // white space after "="
            Quoted,
            Unquoted,
            Accepted,
            Rejected,
            Head,
        };
        std::int64_t position;
        Phase phase;
        char quote;
        std::string name;
    };

    void readName(Candidate &candidate, unsigned char c);
    void endName(Candidate &candidate);
    void settle();
    void recognise(unsigned char c);

    friend class MetaNames;

    const MetaNames &m_names;
    // When set, every name read is kept here and no name is too long (reading a template's names).
    std::optional<std::vector<std::string>> m_collected;
    PageMarks m_marks;
    std::int64_t m_position = 0; // offset of the next byte
    std::int64_t m_openAt = -1;  // offset of the last "<"
    int m_metaMatched = -1;      // characters of "METANAME" matched after the "<", -1 when not on
    int m_headMatched = -1;      // characters of "/HEAD" matched after the "<", -1 when not on
    int m_linkMatched = -1;      // bytes of BlockCanonicalLink matched, "<" included, -1 when not on
    std::vector<Candidate> m_pending;
    std::int64_t m_tagsSeen = 0;
};

} // namespace tagsmith
