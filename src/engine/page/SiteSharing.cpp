#include "engine/page/SiteSharing.h"

#include "engine/fs/FileSystem.h"

#include <QDir>
#include <QLocale>
#include <QUrl>

#include <unordered_map>

namespace tagsmith {
namespace {

bool isUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

std::string utf8(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool isHttpUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

} // namespace

SiteSharing::SiteSharing(const RunOptions &options)
{
    if (options.siteUrl.isEmpty() || !validSiteUrl(options.siteUrl))
        return;
    m_base = QUrl(options.siteUrl.trimmed(), QUrl::StrictMode).toEncoded().toStdString();
    if (m_base.back() != '/')
        m_base += '/';
    m_folder = options.folder;
    if (!m_folder.endsWith(QLatin1Char('/')))
        m_folder += QLatin1Char('/');
    if (const QString image = options.shareImage.trimmed(); !image.isEmpty()) {
        const QUrl url(image, QUrl::StrictMode);
        m_image = isHttpUrl(url) ? url.toEncoded().toStdString()
                                 : m_base + percentEncoded(fs::native(pictureInSite(options)));
    }
}

QString SiteSharing::pictureInSite(const RunOptions &options)
{
    QString path = options.shareImage.trimmed();
    if (path.isEmpty() || isHttpUrl(QUrl(path, QUrl::StrictMode)))
        return {};
    const QString folder =
        options.folder.endsWith(QLatin1Char('/')) ? options.folder : options.folder + QLatin1Char('/');
    if (path.startsWith(folder))
        path = path.mid(folder.size());
    while (path.startsWith(QLatin1Char('/')))
        path = path.mid(1);
    return QDir::cleanPath(path);
}

bool SiteSharing::validSiteUrl(const QString &text)
{
    const QString trimmed = text.trimmed();
    const QUrl url(trimmed, QUrl::StrictMode);
    return !trimmed.isEmpty() && isHttpUrl(url) && url.userInfo().isEmpty() && !url.hasQuery() && !url.hasFragment() &&
           !trimmed.contains(QLatin1Char(' '));
}

std::string SiteSharing::percentEncoded(std::string_view bytes)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (isUnreserved(byte) || c == '/') {
            result += c;
        } else {
            result += '%';
            result += Hex[byte >> 4];
            result += Hex[byte & 15];
        }
    }
    return result;
}

std::string SiteSharing::localeOf(std::string_view lang)
{
    if (lang.empty())
        return {};
    // A site has a few languages, and making a locale of one costs more than reading its page's head.
    thread_local std::unordered_map<std::string, std::string> known;
    const auto [at, added] = known.try_emplace(std::string(lang));
    if (!added)
        return at->second;
    const QLocale locale(QString::fromUtf8(lang.data(), static_cast<qsizetype>(lang.size())));
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return {};
    const QString name = locale.name();
    // A language with no territory of its own has no ll_CC form.
    if (name.contains(QLatin1Char('_')))
        at->second = utf8(name);
    return at->second;
}

std::string SiteSharing::relativePath(const QString &PagePath) const
{
    if (PagePath.startsWith(m_folder))
        return fs::native(PagePath.mid(m_folder.size()));
    const QString relative = fs::relativePath(m_folder, PagePath);
    return relative.startsWith(QLatin1String("..")) ? std::string() : fs::native(relative);
}

std::string SiteSharing::urlOf(std::string_view relativePath) const
{
    std::string_view path = relativePath;
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    // NOTE: an index page is its folder's address, as servers show it there.
    if (name == "index.html" || name == "index.htm")
        path.remove_suffix(name.size());
    return m_base + percentEncoded(path);
}

PageShare SiteSharing::forPage(const QString &PagePath, bool OnMainPage, const PageHead &head) const
{
    PageShare share;
    const std::string relative = relativePath(PagePath);
    share.url = relative.empty() ? m_base : urlOf(relative);
    share.canonical = !head.ownCanonical;
    share.website = OnMainPage;
    share.title = head.title;
    share.siteName = m_siteName;
    share.locale = localeOf(head.lang);
    share.ownProperties = head.ownProperties;
    share.noindex = head.noindex;
    if (!m_image.empty()) {
        share.image = m_image;
    } else if (!head.image.empty()) {
        const QUrl image = QUrl(QString::fromStdString(share.url)).resolved(QUrl(QString::fromStdString(head.image)));
        if (isHttpUrl(image))
            share.image = image.toEncoded().toStdString();
    }
    return share;
}

} // namespace tagsmith
