#include "TestSupport.h"

#include "engine/core/Run.h"
#include "engine/page/MarkScanner.h"
#include "engine/page/PageHead.h"
#include "engine/page/SiteSharing.h"
#include "engine/run/RunReport.h"
#include "engine/run/Sitemap.h"
#include "engine/undo/Undo.h"

#include <QDate>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <libxml/HTMLparser.h>

using namespace tagsmith;
using namespace tagsmith::test;

namespace {

const QString Site = QStringLiteral("https://example.org/site/");

// The tags of a page's head as libxml2's HTML parser finds them: "canonical URL" for each canonical link,
// "og:x VALUE" for each Open Graph property and "twitter:card VALUE", in page order.
QStringList headTags(const QByteArray &page)
{
    QStringList tags;
    htmlDocPtr doc = htmlReadMemory(page.constData(), int(page.size()), "page.htm", nullptr,
                                    HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
    if (!doc)
        return tags;
    const auto attribute = [](xmlNodePtr node, const char *name) {
        xmlChar *value = xmlGetProp(node, reinterpret_cast<const xmlChar *>(name));
        const QString text = value ? QString::fromUtf8(reinterpret_cast<const char *>(value)) : QString();
        xmlFree(value);
        return text;
    };
    xmlNodePtr html = xmlDocGetRootElement(doc);
    for (xmlNodePtr head = html ? html->children : nullptr; head; head = head->next) {
        if (head->type != XML_ELEMENT_NODE || xmlStrcasecmp(head->name, BAD_CAST "head") != 0)
            continue;
        for (xmlNodePtr node = head->children; node; node = node->next) {
            if (node->type != XML_ELEMENT_NODE)
                continue;
            if (!xmlStrcasecmp(node->name, BAD_CAST "link") && attribute(node, "rel") == QLatin1String("canonical"))
                tags << QStringLiteral("canonical ") + attribute(node, "href");
            else if (!xmlStrcasecmp(node->name, BAD_CAST "meta") &&
                     attribute(node, "property").startsWith(QLatin1String("og:")))
                tags << attribute(node, "property") + QLatin1Char(' ') + attribute(node, "content");
            else if (!xmlStrcasecmp(node->name, BAD_CAST "meta") &&
                     attribute(node, "name") == QLatin1String("twitter:card"))
                tags << QStringLiteral("twitter:card ") + attribute(node, "content");
        }
    }
    xmlFreeDoc(doc);
    return tags;
}

struct SharedSite
{
    QTemporaryDir dir;
    QTemporaryDir dataDir;
    QString site = dir.path();

    RunOptions options() const
    {
        RunOptions o = siteOptions(site);
        o.description = true;
        o.siteDescription = QStringLiteral("Boats \"and\" harbours");
        o.mainPage = site + QStringLiteral("/index.html");
        o.siteUrl = Site;
        o.dataFolder = dataDir.path();
        return o;
    }
    RunResult run(const RunOptions &o) const
    {
        RecordingObserver observer;
        return runMeta(o, observer);
    }
    QByteArray page(const QString &name) const { return readFile(site + QLatin1Char('/') + name); }
    // "loc lastmod" for each entry of the sitemap.
    QStringList sitemap() const
    {
        std::map<std::string, std::string> dates;
        sitemap::readDates(page(QStringLiteral("sitemap.xml")).toStdString(), dates, nullptr);
        QStringList entries;
        for (const auto &[loc, lastmod] : dates)
            entries << QString::fromStdString(loc + ' ' + lastmod);
        return entries;
    }
};

const QStringList Pages = {
    QStringLiteral("index.html raw <html lang=\"en-GB\"><head><title>Harbour  &amp; boats</title>\\r\\n</head>"
                   "<body>Welcome sailors <img src=\"pics/big boat.jpg\" width=\"800\" height=\"600\"></body></html>"),
    QStringLiteral("own.htm raw <html><head><title>Own</title>\\r\\n<link rel=\"canonical\" "
                   "href=\"https://elsewhere.example/own\">\\r\\n<meta property=\"og:title\" content=\"Mine\">\\r\\n"
                   "</head><body>Lighthouse keepers</body></html>"),
    QStringLiteral("hidden.htm raw <html><head><meta content=\"noindex\" name=\"robots\"><title>Hidden</title></head>"
                   "<body>Nobody here</body></html>"),
    QStringLiteral("robots.txt raw User-agent: *\\r\\nDisallow: /private"),
};

// A Latin-1 page whose name has a blank (in UTF-8, as the file system shows it).
const QString Menu = QStringLiteral("café menu.htm");

void makeSharedSite(const QString &site)
{
    makeSite(site, Pages);
    writeFile(site + QLatin1Char('/') + Menu, "<html lang=\"nl\"><head><meta charset=\"iso-8859-1\"><title>Caf\xe9"
                                              "</title></head><body>Koffie en gebak</body></html>");
}

} // namespace

class TestSharing : public QObject
{
    Q_OBJECT

private slots:
    // A page's address: its path under the folder, byte by byte percent-encoded, an index page as its
    // folder's.
    void addresses_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("url");
        QTest::newRow("plain") << QByteArray("a.htm") << Site + QStringLiteral("a.htm");
        QTest::newRow("blank") << QByteArray("a b.htm") << Site + QStringLiteral("a%20b.htm");
        QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9.htm") << Site + QStringLiteral("caf%E9.htm");
        QTest::newRow("UTF-8 bytes") << QByteArray("caf\xc3\xa9.htm") << Site + QStringLiteral("caf%C3%A9.htm");
        QTest::newRow("reserved") << QByteArray("a&b#c?d%.htm") << Site + QStringLiteral("a%26b%23c%3Fd%25.htm");
        QTest::newRow("index page") << QByteArray("index.html") << Site;
        QTest::newRow("index page in a folder")
            << QByteArray("sub dir/index.htm") << Site + QStringLiteral("sub%20dir/");
        QTest::newRow("index in another case") << QByteArray("Index.html") << Site + QStringLiteral("Index.html");
    }

    void addresses()
    {
        QFETCH(QByteArray, path);
        QFETCH(QString, url);
        RunOptions options;
        options.siteUrl = QStringLiteral("https://example.org/site");
        QCOMPARE(QString::fromStdString(SiteSharing(options).urlOf(path.toStdString())), url);
    }

    void siteAddresses_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("valid");
        QTest::newRow("https") << QStringLiteral("https://example.org/") << true;
        QTest::newRow("http with a path") << QStringLiteral("http://example.org/a/b") << true;
        QTest::newRow("no scheme") << QStringLiteral("example.org") << false;
        QTest::newRow("ftp") << QStringLiteral("ftp://example.org/") << false;
        QTest::newRow("no host") << QStringLiteral("https:///a") << false;
        QTest::newRow("fragment") << QStringLiteral("https://example.org/#a") << false;
        QTest::newRow("blank inside") << QStringLiteral("https://example.org/a b") << false;
        QTest::newRow("quote") << QStringLiteral("https://example.org/\"a") << false;
    }

    void siteAddresses()
    {
        QFETCH(QString, url);
        QFETCH(bool, valid);
        QCOMPARE(SiteSharing::validSiteUrl(url), valid);
    }

    void locales_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("locale");
        QTest::newRow("language and region") << QStringLiteral("en-gb") << QStringLiteral("en_GB");
        QTest::newRow("language alone") << QStringLiteral("nl") << QStringLiteral("nl_NL");
        QTest::newRow("script too") << QStringLiteral("zh-Hant-TW") << QStringLiteral("zh_TW");
        QTest::newRow("unknown") << QStringLiteral("xx-klingon") << QString();
        QTest::newRow("none") << QString() << QString();
    }

    void locales()
    {
        QFETCH(QString, lang);
        QFETCH(QString, locale);
        QCOMPARE(QString::fromStdString(SiteSharing::localeOf(lang.toStdString())), locale);
    }

    // What the quick look at a page's tags finds: title|lang|own canonical|own properties|noindex|image.
    void heads_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<bool>("windows1252");
        QTest::addColumn<QString>("found");
        QTest::newRow("title and language") << QByteArray("<HTML LANG=nl><head><TITLE>\r\n A &amp;  b </title></head>")
                                            << false << QStringLiteral("A &amp; b|nl|0||0|");
        QTest::newRow("Windows-1252 title")
            << QByteArray("<title>Caf\xe9</title>") << true << QStringLiteral("Café||0||0|");
        QTest::newRow("own tags") << QByteArray("<link href=x rel=\"Canonical\"><meta property=\"og:title\" "
                                                "content=a><meta property=og:image content=b>")
                                  << false << QStringLiteral("||1|og:title og:image|0|");
        QTest::newRow("the block's own tags")
            << QByteArray("<LINK REL=\"canonical\" HREF=\"https://x/\"><META NAME=\"og:title\" PROPERTY=\"og:title\" "
                          "CONTENT=\"t\">")
            << false << QStringLiteral("||0||0|");
        QTest::newRow("other spelling of the canonical link")
            << QByteArray("<link rel=\"canonical\" HREF=\"https://x/\">") << false << QStringLiteral("||1||0|");
        QTest::newRow("a robots tag the block replaces")
            << QByteArray("<meta name=\"robots\" content=\"noindex\">") << false << QStringLiteral("||0||0|");
        QTest::newRow("a robots tag that stays")
            << QByteArray("<meta content=\"NOINDEX, follow\" name=\"robots\">") << false << QStringLiteral("||0||1|");
        QTest::newRow("first large picture")
            << QByteArray("<head></head><body><img src=a.png width=100 height=900><img src=\"b c.png?x&amp;y\" "
                          "width=\"200\" height=\"300px\"><img src=d.png width=900 height=900>")
            << false << QStringLiteral("||0||0|b c.png?x&y");
        QTest::newRow("sizes in percent")
            << QByteArray("<img src=a.png width=100% height=900>") << false << QStringLiteral("||0||0|");
        QTest::newRow("tags in comments and scripts")
            << QByteArray("<!-- <title>no</title> --><script>'<title>no</title>'</script><title>yes</title>") << false
            << QStringLiteral("yes||0||0|");
    }

    void heads()
    {
        QFETCH(QByteArray, page);
        QFETCH(bool, windows1252);
        QFETCH(QString, found);
        MetaNames names;
        names.addSharingNames();
        const PageHead head = readPageHead(page.toStdString(), windows1252, names);
        QStringList properties;
        for (const std::string &property : head.ownProperties)
            properties << QString::fromStdString(property);
        QCOMPARE(QStringList({QString::fromStdString(head.title), QString::fromStdString(head.lang),
                              QString::number(head.ownCanonical), properties.join(QLatin1Char(' ')),
                              QString::number(head.noindex), QString::fromStdString(head.image)})
                     .join(QLatin1Char('|')),
                 found);
    }

    void robots_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after"); // "=" when unchanged
        const QByteArray line = "Sitemap: https://x/sitemap.xml";
        QTest::newRow("empty") << QByteArray() << line + '\n';
        QTest::newRow("no line end at its end") << QByteArray("User-agent: *") << "User-agent: *\n" + line + '\n';
        QTest::newRow("CR LF kept") << QByteArray("User-agent: *\r\n") << "User-agent: *\r\n" + line + "\r\n";
        QTest::newRow("the line there") << "a\n" + line + '\n' << QByteArray("=");
        QTest::newRow("in another case and blanks")
            << QByteArray(" sitemap:  https://x/sitemap.xml \n") << QByteArray("=");
        QTest::newRow("another sitemap") << QByteArray("Sitemap: https://y/s.xml\n")
                                         << "Sitemap: https://y/s.xml\n" + line + '\n';
    }

    void robots()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const auto result = sitemap::robotsWithSitemap(before.toStdString(), "https://x/sitemap.xml");
        QCOMPARE(result ? QByteArray::fromStdString(*result) : QByteArray("="), after);
    }

    // Beyond 50,000 addresses sitemap.xml is an index of sitemaps of at most 50,000 each.
    void sitemapIndex()
    {
        std::vector<sitemap::Entry> entries;
        for (std::size_t i = 0; i <= sitemap::MaxUrls; ++i)
            entries.push_back({"https://x/p" + std::to_string(i) + "&.htm", i == 7 ? "2024-05-01" : "2020-01-01"});
        const auto files = sitemap::files(entries, "https://x/");
        QCOMPARE(files.size(), std::size_t(3));
        QCOMPARE(files[2].first, std::string("sitemap.xml"));
        std::map<std::string, std::string> dates;
        std::vector<std::string> sitemaps;
        sitemap::readDates(files[2].second, dates, &sitemaps);
        QCOMPARE(sitemaps, (std::vector<std::string>{"https://x/sitemap-1.xml", "https://x/sitemap-2.xml"}));
        for (std::size_t i = 0; i < 2; ++i)
            sitemap::readDates(files[i].second, dates, nullptr);
        QCOMPARE(dates.size(), entries.size());
        QCOMPARE(dates["https://x/p7&.htm"], std::string("2024-05-01"));
        QVERIFY(files[0].second.find("p7&amp;.htm") != std::string::npos);
    }

    // A run with a site address, read back by libxml2's HTML parser as a consumer of the page reads it,
    // then run again: the block's tags are replaced, the page's own kept, none doubled.
    void pagesAndRerun()
    {
        SharedSite s;
        makeSharedSite(s.site);
        QCOMPARE(s.run(s.options()), RunResult::Completed);
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        const QMap<QString, QStringList> expected = {
            {QStringLiteral("index.html"),
             {QStringLiteral("canonical ") + Site, QStringLiteral("og:type website"),
              QStringLiteral("og:title Harbour & boats"), QStringLiteral("og:description Boats \"and\" harbours"),
              QStringLiteral("og:url ") + Site, QStringLiteral("og:site_name Harbour & boats"),
              QStringLiteral("og:locale en_GB"),
              QStringLiteral("og:image ") + Site + QStringLiteral("pics/big%20boat.jpg"),
              QStringLiteral("twitter:card summary_large_image")}},
            {QStringLiteral("own.htm"),
             {QStringLiteral("canonical https://elsewhere.example/own"), QStringLiteral("og:title Mine"),
              QStringLiteral("og:type article"), QStringLiteral("og:description Boats \"and\" harbours"),
              QStringLiteral("og:url ") + Site + QStringLiteral("own.htm"),
              QStringLiteral("og:site_name Harbour & boats"), QStringLiteral("twitter:card summary")}},
            {Menu,
             {QStringLiteral("canonical ") + Site + QStringLiteral("caf%C3%A9%20menu.htm"),
              QStringLiteral("og:type article"), QStringLiteral("og:title Café"),
              QStringLiteral("og:description Boats \"and\" harbours"),
              QStringLiteral("og:url ") + Site + QStringLiteral("caf%C3%A9%20menu.htm"),
              QStringLiteral("og:site_name Harbour & boats"), QStringLiteral("og:locale nl_NL"),
              QStringLiteral("twitter:card summary")}},
        };
        QMap<QString, QByteArray> first;
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            first[it.key()] = s.page(it.key());
            QCOMPARE(headTags(first[it.key()]), it.value());
        }
        QCOMPARE(s.sitemap(),
                 QStringList({Site + QLatin1Char(' ') + today, Site + QStringLiteral("caf%C3%A9%20menu.htm ") + today,
                              Site + QStringLiteral("own.htm ") + today}));
        const QByteArray robots =
            "User-agent: *\r\nDisallow: /private\r\nSitemap: " + Site.toUtf8() + "sitemap.xml\r\n";
        QCOMPARE(s.page(QStringLiteral("robots.txt")), robots);

        // A rerun gives every page, the sitemap and robots.txt their bytes again.
        const QByteArray sitemapBytes = s.page(QStringLiteral("sitemap.xml"));
        QCOMPARE(s.run(s.options()), RunResult::Completed);
        for (auto it = first.begin(); it != first.end(); ++it)
            QCOMPARE(s.page(it.key()), it.value());
        QCOMPARE(s.page(QStringLiteral("sitemap.xml")), sitemapBytes);
        QCOMPARE(s.page(QStringLiteral("robots.txt")), robots);
    }

    // Only the page whose content changed since the last run gets a new lastmod; the others keep the
    // sitemap's, the main page too (rewritten with the same bytes).
    void lastmodMovesWithContent()
    {
        SharedSite s;
        makeSharedSite(s.site);
        RunOptions o = s.options();
        o.keepUndo = false;
        QCOMPARE(s.run(o), RunResult::Completed);
        QByteArray old = s.page(QStringLiteral("sitemap.xml"));
        old.replace(QDate::currentDate().toString(Qt::ISODate).toUtf8(), "2001-02-03");
        writeFile(s.site + QStringLiteral("/sitemap.xml"), old);
        // Words too short to be keywords: the main page's keywords stay as they are.
        QByteArray own = s.page(QStringLiteral("own.htm"));
        own.replace("Lighthouse", "A cat, a dog. Lighthouse");
        writeFile(s.site + QStringLiteral("/own.htm"), own);
        QCOMPARE(s.run(o), RunResult::Completed);
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(s.sitemap(), QStringList({Site + QStringLiteral(" 2001-02-03"),
                                           Site + QStringLiteral("caf%C3%A9%20menu.htm 2001-02-03"),
                                           Site + QStringLiteral("own.htm ") + today}));
    }

    // Undo takes back the sitemap the run made and the line it added to robots.txt, with the pages.
    void undoTakesBackSiteFiles()
    {
        SharedSite s;
        makeSharedSite(s.site);
        const auto before = treeState(s.site);
        QCOMPARE(s.run(s.options()), RunResult::Completed);
        QVERIFY(QFile::exists(s.site + QStringLiteral("/sitemap.xml")));
        RecordingObserver observer;
        QCOMPARE(undoLastRun(s.dataDir.path(), s.site, observer, nullptr), RunResult::Completed);
        QCOMPARE(treeState(s.site), before);
    }

    // The preview shows the two files as they would become, and writes nothing.
    void dryRunShowsSiteFiles()
    {
        SharedSite s;
        makeSharedSite(s.site);
        const auto before = treeState(s.site, true);
        RunOptions o = s.options();
        o.dryRun = true;
        RecordingObserver observer(true);
        QCOMPARE(runMeta(o, observer), RunResult::Completed);
        QCOMPARE(treeState(s.site, true), before);
        QCOMPARE(observer.names.mid(observer.names.size() - 2),
                 QStringList({QStringLiteral("sitemap.xml"), QStringLiteral("robots.txt")}));
        QVERIFY(observer.afters.last().endsWith("Sitemap: " + Site.toUtf8() + "sitemap.xml\r\n"));
    }

    // The two files stand in the report after the pages, but the counts of pages leave them out.
    void siteFilesAreNoPages_data()
    {
        QTest::addColumn<bool>("dryRun");
        QTest::newRow("run") << false;
        QTest::newRow("preview") << true;
    }

    void siteFilesAreNoPages()
    {
        QFETCH(bool, dryRun);
        SharedSite s;
        makeSharedSite(s.site);
        RunOptions o = s.options();
        o.dryRun = dryRun;
        RecordingObserver observer;
        const RunReport report = runMetaWithReport(o, observer);
        QCOMPARE(report.result, RunResult::Completed);
        const auto pages = std::int64_t(report.pages.size()) - 2;
        QVERIFY(report.pages[std::size_t(pages)].siteFile && report.pages[std::size_t(pages) + 1].siteFile);
        QCOMPARE(report.pageCount(), pages);
        QCOMPARE(report.pagesReached(), pages);
        QCOMPARE(report.pagesWritten(), pages);
    }

    // A site address the run cannot use changes nothing.
    void badSiteAddress()
    {
        SharedSite s;
        makeSharedSite(s.site);
        const auto before = treeState(s.site, true);
        RunOptions o = s.options();
        o.siteUrl = QStringLiteral("example.org");
        RecordingObserver observer;
        QCOMPARE(runMeta(o, observer), RunResult::NotStarted);
        QCOMPARE(treeState(s.site, true), before);
    }
};

QTEST_GUILESS_MAIN(TestSharing)
#include "tst_Sharing.moc"
