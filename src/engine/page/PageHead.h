#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tagsmith {

class MetaNames;

// What a shared page's preview is made from, found by a quick look at the page's tags (not a parse):
// its title, its language, the canonical link and Open Graph properties it has of its own, whether
// its robots META says noindex, and its first picture whose size is given and large.
struct PageHead
{
    std::string title; // UTF-8, as written (references kept), white space collapsed
    std::string lang;  // of its html tag
    bool ownCanonical = false;
    std::vector<std::string> ownProperties; // "og:title" ..., in lower case
    bool noindex = false;                   // a robots META of its own that the block does not replace says noindex
    std::string image;                      // UTF-8, the src of the first img of at least LargeImage × LargeImage

    static constexpr int LargeImage = 200;

    bool hasOwnProperty(std::string_view property) const;
};

// Reads the head of a page from its bytes (those of a page too large to read whole: its start), in
// UTF-8 or, with windows1252, in Windows-1252. Tags with a name the block writes are the block's, and
// so is a canonical link spelt as the block spells it: neither counts as the page's own.
PageHead readPageHead(std::string_view bytes, bool windows1252, const MetaNames &blockNames);

} // namespace tagsmith
