#include "engine/run/Sitemap.h"

#include "engine/page/PageContent.h"

#include <QXmlStreamReader>

namespace tagsmith::sitemap {
namespace {

constexpr std::string_view Namespace = "http://www.sitemaps.org/schemas/sitemap/0.9";
// Beyond MaxUrls the entries go to sitemap-1.xml, sitemap-2.xml ...
constexpr std::string_view PartPrefix = "sitemap-";
constexpr std::string_view PartSuffix = ".xml";

std::string text(QStringView view)
{
    const QByteArray bytes = view.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string document(std::string_view root, std::string_view body)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<";
    xml += root;
    xml += " xmlns=\"";
    xml += Namespace;
    xml += "\">\n";
    xml += body;
    xml += "</";
    xml += root;
    xml += ">\n";
    return xml;
}

} // namespace

void readDates(std::string_view xml, std::map<std::string, std::string> &dates, std::vector<std::string> *sitemaps)
{
    QXmlStreamReader reader(QByteArray(xml.data(), static_cast<qsizetype>(xml.size())));
    std::string loc;
    std::string lastmod;
    bool index = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = reader.name();
            if (name == QLatin1String("sitemapindex"))
                index = true;
            else if (name == QLatin1String("loc"))
                loc = text(reader.readElementText().trimmed());
            else if (name == QLatin1String("lastmod"))
                lastmod = text(reader.readElementText().trimmed());
        } else if (token == QXmlStreamReader::EndElement) {
            const QStringView name = reader.name();
            if (name == QLatin1String("url") && !loc.empty() && !lastmod.empty())
                dates[loc] = lastmod;
            else if (name == QLatin1String("sitemap") && index && sitemaps && !loc.empty())
                sitemaps->push_back(loc);
            if (name == QLatin1String("url") || name == QLatin1String("sitemap")) {
                loc.clear();
                lastmod.clear();
            }
        }
    }
    // A damaged sitemap gives the dates read up to the damage: the others are as if new.
}

bool isSiteFileName(std::string_view name)
{
    if (name == FileName || name == RobotsName)
        return true;
    if (!name.starts_with(PartPrefix) || !name.ends_with(PartSuffix))
        return false;
    const std::string_view number = name.substr(PartPrefix.size(), name.size() - PartPrefix.size() - PartSuffix.size());
    return !number.empty() && number.find_first_not_of("0123456789") == std::string_view::npos;
}

std::vector<std::pair<std::string, std::string>> files(const std::vector<Entry> &entries, const std::string &base)
{
    std::vector<std::pair<std::string, std::string>> result;
    const auto urlSet = [&entries](std::size_t from, std::size_t to) {
        std::string body;
        for (std::size_t i = from; i < to; ++i) {
            body += "  <url>\n    <loc>";
            body += escapeAttribute(entries[i].loc);
            body += "</loc>\n    <lastmod>";
            body += entries[i].lastmod;
            body += "</lastmod>\n  </url>\n";
        }
        return document("urlset", body);
    };
    if (entries.size() <= MaxUrls) {
        result.emplace_back(FileName, urlSet(0, entries.size()));
        return result;
    }
    std::string index;
    for (std::size_t from = 0, n = 1; from < entries.size(); from += MaxUrls, ++n) {
        const std::size_t to = std::min(entries.size(), from + MaxUrls);
        std::string name = std::string(PartPrefix) + std::to_string(n) + std::string(PartSuffix);
        std::string newest;
        for (std::size_t i = from; i < to; ++i)
            newest = std::max(newest, entries[i].lastmod);
        index += "  <sitemap>\n    <loc>" + escapeAttribute(base + name) + "</loc>\n    <lastmod>" + newest +
                 "</lastmod>\n  </sitemap>\n";
        result.emplace_back(std::move(name), urlSet(from, to));
    }
    result.emplace_back(FileName, document("sitemapindex", index));
    return result;
}

std::optional<std::string> robotsWithSitemap(std::string_view robots, std::string_view sitemapUrl)
{
    // The line is looked for as a reader of the file finds it: "Sitemap:" in any case, blanks around the
    // address.
    for (std::size_t start = 0; start < robots.size();) {
        std::size_t end = robots.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = robots.size();
        std::string_view line = robots.substr(start, end - start);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        constexpr std::string_view Field = "sitemap:";
        if (line.size() >= Field.size()) {
            bool field = true;
            for (std::size_t i = 0; i < Field.size(); ++i)
                field = field && (line[i] | 0x20) == Field[i];
            if (field) {
                std::string_view value = line.substr(Field.size());
                while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                    value.remove_prefix(1);
                while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
                    value.remove_suffix(1);
                if (value == sitemapUrl)
                    return std::nullopt;
            }
        }
        start = end + 1;
    }
    const std::string_view lineEnd = robots.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    std::string result(robots);
    if (!result.empty() && result.back() != '\n' && result.back() != '\r')
        result += lineEnd;
    result += "Sitemap: ";
    result += sitemapUrl;
    result += lineEnd;
    return result;
}

} // namespace tagsmith::sitemap
