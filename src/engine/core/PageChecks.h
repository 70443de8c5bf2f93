#pragma once

#include <cstdint>

namespace tagsmith {

// Where the description a page got came from.
enum class DescriptionSource : std::uint8_t {
    None,    // no description line, or an empty text
    OwnTag,  // the page's own description tag
    Content, // a paragraph of the page's content
    Given,   // the text given for the site
};

// What a site check would find fault with in a page's title and description, as flags. Known only
// when the whole site is read before the first page is written (the most telling words).
namespace pagecheck {
enum : std::uint8_t {
    NoTitle = 1,              // no title element, or an empty one
    TitleElsewhere = 2,       // another page has the same title
    DescriptionElsewhere = 4, // another page has the same description
    DescriptionShort = 8,     // fewer than 50 characters
    DescriptionLong = 16,     // more than 160 characters
};
inline constexpr int Count = 5;
inline constexpr int ShortBelow = 50;
inline constexpr int LongAbove = 160;
} // namespace pagecheck

} // namespace tagsmith
