#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tagsmith::sitemap {

// What the sitemaps protocol allows in one file.
inline constexpr std::size_t MaxUrls = 50000;
inline constexpr std::string_view FileName = "sitemap.xml";
inline constexpr std::string_view RobotsName = "robots.txt";

struct Entry
{
    std::string loc;     // an absolute address, percent-encoded
    std::string lastmod; // YYYY-MM-DD
};

// The lastmod of every loc in a sitemap; for a sitemap index, the locs of its sitemaps go to sitemaps.
void readDates(std::string_view xml, std::map<std::string, std::string> &dates, std::vector<std::string> *sitemaps);

// The files that list the entries, by name: sitemap.xml alone up to MaxUrls entries; beyond, sitemap.xml
// is an index of sitemap-1.xml, sitemap-2.xml ... under base (the site address, ending in "/").
std::vector<std::pair<std::string, std::string>> files(const std::vector<Entry> &entries, const std::string &base);
// Whether a file of the site's folder is one a run with a site address writes: one of files(), or
// robots.txt.
bool isSiteFileName(std::string_view name);

// robots.txt with a Sitemap line for the address: the file's bytes with the line added at its end, in
// the file's own line ends; nothing when the file has that line already.
std::optional<std::string> robotsWithSitemap(std::string_view robots, std::string_view sitemapUrl);

} // namespace tagsmith::sitemap
