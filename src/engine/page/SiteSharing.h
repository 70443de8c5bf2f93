#pragma once

#include "engine/core/RunOptions.h"
#include "engine/page/PageHead.h"

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace tagsmith {

// What a page's block says about the page when it is shared: its address and the values of its
// Open Graph and Twitter card tags. All texts are UTF-8, ready for an attribute value.
struct PageShare
{
    std::string url;       // the page's address
    bool canonical = true; // the block writes the canonical link (the page has none of its own)
    bool website = false;  // og:type: the main page is the website, every other page an article
    std::string title;
    std::string siteName;
    std::string locale;                     // ll_CC, empty when the page names no language
    std::string image;                      // an absolute address, empty for none
    std::vector<std::string> ownProperties; // og: and twitter: properties the page has itself
    bool noindex = false;                   // its own robots META says noindex

    bool hasOwnProperty(std::string_view property) const
    {
        for (const std::string &own : ownProperties)
            if (own == property)
                return true;
        return false;
    }
};

// The site address and what follows from it for every page: off (and nothing changes) without one.
class SiteSharing
{
public:
    explicit SiteSharing(const RunOptions &options);

    // An absolute http or https address with a host, and neither query nor fragment.
    static bool validSiteUrl(const QString &url);
    // The bytes of a path with every byte but the unreserved ones and "/" percent-encoded.
    static std::string percentEncoded(std::string_view bytes);
    // The ll_CC form of a language tag ("en-gb" gives "en_GB", "nl" gives "nl_NL"); empty when the
    // tag names no known language.
    static std::string localeOf(std::string_view lang);

    // The path under the site's folder of a picture given as a file of the site (named under the folder,
    // or by its path there, with or without a leading "/"), its "." and ".." folded ("../x" lies above
    // the folder); empty when it is given by its address.
    static QString pictureInSite(const RunOptions &options);

    bool on() const { return !m_base.empty(); }
    // The site address, ending in "/".
    const std::string &base() const { return m_base; }
    // The address of a page named by its path (bytes) under the folder: an index page is its folder's.
    std::string urlOf(std::string_view relativePath) const;
    // The page's path under the folder, empty for a page outside it.
    std::string relativePath(const QString &PagePath) const;
    // The title of the main page, the site's name on every page.
    void setSiteName(std::string name) { m_siteName = std::move(name); }

    PageShare forPage(const QString &PagePath, bool OnMainPage, const PageHead &head) const;

private:
    std::string m_base;
    std::string m_image; // the site's picture, absolute
    QString m_folder;    // ending in "/"
    std::string m_siteName;
};

} // namespace tagsmith
