#include "TestSupport.h"

#include "engine/Run.h"
#include "text/StringTable.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace tagsmith;
using namespace tagsmith::test;

using FileMap = QMap<QString, QByteArray>;
Q_DECLARE_METATYPE(FileMap)

namespace {

const QByteArray OldPage = "<html><head><title>Sailing boats</title>\r\n<meta name=\"keywords\" content=\"x\">\r\n"
                           "</head><body>Harbour</body></html>";

// A site from lines "name text" (a page with that text), "name raw bytes" (a file of those bytes),
// "name" (an empty file), "name -> target" (a symbolic link), "name = other" (a hard link to another
// file of the site).
void makeSite(const QString &folder, const QStringList &lines)
{
    QDir().mkpath(folder);
    for (const QString &line : lines) {
        const QString name = line.section(QLatin1Char(' '), 0, 0);
        const QString rest = line.section(QLatin1Char(' '), 1);
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
        if (rest.startsWith(QLatin1String("-> ")))
            QVERIFY(::symlink(rest.mid(3).toUtf8().constData(), path.constData()) == 0);
        else if (rest.startsWith(QLatin1String("= ")))
            QVERIFY(::link(QFile::encodeName(folder + QLatin1Char('/') + rest.mid(2)).constData(), path.constData()) ==
                    0);
        else if (rest.startsWith(QLatin1String("raw ")))
            writeFile(folder + QLatin1Char('/') + name, rest.mid(4).toUtf8());
        else if (rest.isEmpty())
            writeFile(folder + QLatin1Char('/') + name, QByteArray());
        else
            writeFile(folder + QLatin1Char('/') + name,
                      "<html><head>\n<meta name=\"keywords\" content=\"old\">\n</head><body>" + rest.toUtf8() +
                          " </body></html>\n");
    }
}

// Every file of the folder: its content, or where it links to.
FileMap siteState(const QString &folder)
{
    FileMap state;
    for (const QString &name : filesIn(folder)) {
        const QFileInfo info(folder + QLatin1Char('/') + name);
        state[name] = info.isSymLink() ? "-> " + QDir(folder).relativeFilePath(info.symLinkTarget()).toUtf8()
                                       : readFile(info.filePath());
    }
    return state;
}

RunOptions plainOptions(const QString &folder)
{
    RunOptions options;
    options.folder = folder;
    options.templates = goldenTemplates();
    options.description = false;
    return options;
}

// With inBlocks every page is read in blocks of three bytes, twice: the same bytes must come out.
RunLimits goldenLimits(bool inBlocks)
{
    RunLimits limits;
    if (inBlocks) {
        limits.wholePageLimit = 0;
        limits.blockSize = 3;
    }
    return limits;
}

} // namespace

class TestMetaRun : public QObject
{
    Q_OBJECT

private slots:
    void golden_data();
    void golden();
    void goldenSites_data();
    void goldenSites();
    void backups_data();
    void backups();
    void backupsAccumulate();
    void notStarted_data();
    void notStarted();
    void everyPageWithoutMarkIsReported();
    void mainPageAfterTheFolderAndTwice();
    void mainPageThatDoesNotExist();
    void permissionBitsStay_data();
    void permissionBitsStay();
    void linkedPageIsRewrittenWhereItPoints();
    void readAheadSameAsPageByPage_data();
    void readAheadSameAsPageByPage();

private:
    QString goldenDir() const { return QStringLiteral(TAGSMITH_TEST_DATA "/golden"); }
    QString sitesDir() const { return QStringLiteral(TAGSMITH_TEST_DATA "/sites"); }
};

void TestMetaRun::golden_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("inBlocks");
    const QStringList sources = QDir(goldenDir()).entryList({QStringLiteral("*.src.htm")}, QDir::Files, QDir::Name);
    QVERIFY(sources.size() >= 10);
    for (const QString &source : sources) {
        const QString name = source.chopped(8);
        QTest::newRow(qPrintable(name)) << name << false;
        QTest::newRow(qPrintable(name + QStringLiteral(" in blocks"))) << name << true;
    }
}

void TestMetaRun::golden()
{
    QFETCH(QString, name);
    QFETCH(bool, inBlocks);
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("page.htm"));
    const QByteArray source = readFile(goldenDir() + QLatin1Char('/') + name + QStringLiteral(".src.htm"));
    writeFile(page, source);
    RunOptions options = optionsFromJson(
        QJsonDocument::fromJson(readFile(goldenDir() + QLatin1Char('/') + name + QStringLiteral(".json"))).object());
    options.folder = dir.path();

    RecordingObserver observer;
    QCOMPARE(runMeta(options, observer, goldenLimits(inBlocks)), RunResult::Completed);
    QCOMPARE(readFile(page), readFile(goldenDir() + QLatin1Char('/') + name + QStringLiteral(".expected.htm")));
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("page.htm")});
    const bool warned = !observer.messages.empty();
    QCOMPARE(warned, !source.contains("<META") && !source.contains("<meta") && !source.toLower().contains("</head"));
}

void TestMetaRun::goldenSites_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("inBlocks");
    const QStringList sites = QDir(sitesDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QVERIFY(!sites.isEmpty());
    for (const QString &site : sites) {
        QTest::newRow(qPrintable(site)) << site << false;
        QTest::newRow(qPrintable(site + QStringLiteral(" in blocks"))) << site << true;
    }
}

// A whole site: the pages of src/ become those of expected/, the main page named by "main" in
// site.json last with the words of every page.
void TestMetaRun::goldenSites()
{
    QFETCH(QString, name);
    QFETCH(bool, inBlocks);
    const QDir site(sitesDir() + QLatin1Char('/') + name);
    QTemporaryDir dir;
    QStringList pages;
    RunOptions options = goldenSiteIn(site.path(), dir.path(), &pages);

    RecordingObserver observer;
    QCOMPARE(runMeta(options, observer, goldenLimits(inBlocks)), RunResult::Completed);
    QCOMPARE(filesIn(dir.path()), pages);
    for (const QString &page : pages)
        QCOMPARE(readFile(dir.filePath(page)), readFile(site.filePath(QStringLiteral("expected/") + page)));
}

static FileMap fileMap(const QString &field)
{
    FileMap map;
    for (const QString &file : field.split(QStringLiteral(" ; "), Qt::SkipEmptyParts))
        map.insert(file.section(QLatin1Char('='), 0, 0), file.section(QLatin1Char('='), 1).toUtf8());
    return map;
}

void TestMetaRun::backups_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<FileMap>("before");
    QTest::addColumn<bool>("backup");
    QTest::addColumn<FileMap>("after"); // besides the page; "OLD" stands for the page as it was
    for (const QStringList &row : readTable(QFINDTESTDATA("data/backups.txt")))
        QTest::newRow(qPrintable(row[0]))
            << row[1] << fileMap(row[3]) << (row[2] == QLatin1String("1")) << fileMap(row.value(4));
}

void TestMetaRun::backups()
{
    QFETCH(QString, page);
    QFETCH(FileMap, before);
    QFETCH(bool, backup);
    QFETCH(FileMap, after);
    QTemporaryDir dir;
    writeFile(dir.filePath(page), OldPage);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        writeFile(dir.filePath(it.key()), it.value());

    RunOptions options = plainOptions(dir.path());
    options.backup = backup;
    RecordingObserver observer;
    QCOMPARE(runMeta(options, observer), RunResult::Completed);

    QStringList expectedNames = after.keys();
    expectedNames << page;
    expectedNames.sort();
    QCOMPARE(filesIn(dir.path()), expectedNames);
    const QByteArray rewritten = readFile(dir.filePath(page));
    QVERIFY(rewritten.contains("CONTENT=\"sailing, harbour\""));
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        QCOMPARE(readFile(dir.filePath(it.key())), it.value() == "OLD" ? OldPage : it.value());
    if (backup) {
        const QString chosen = [&] {
            for (auto it = after.cbegin(); it != after.cend(); ++it)
                if (it.value() == "OLD")
                    return dir.filePath(it.key());
            return QString();
        }();
        QCOMPARE(observer.backups, QStringList{chosen});
    } else {
        QVERIFY(observer.backups.isEmpty());
    }
}

void TestMetaRun::backupsAccumulate()
{
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("index.htm"));
    writeFile(page, OldPage);
    RunOptions options = plainOptions(dir.path());
    options.backup = true;
    QList<QByteArray> versions{OldPage};
    for (int run = 0; run < 3; ++run) {
        RecordingObserver observer;
        QCOMPARE(runMeta(options, observer), RunResult::Completed);
        versions << readFile(page);
    }
    // A rerun finds the block's own lines again: still one keywords line.
    QCOMPARE(versions.last().count("NAME=\"keywords\""), 1);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("index.bak"))), versions[0]);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("index.bak1"))), versions[1]);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("index.bak2"))), versions[2]);
}

void TestMetaRun::notStarted_data()
{
    QTest::addColumn<QString>("folder"); // "@" stands for the temporary folder
    QTest::addColumn<QString>("message");
    QTest::newRow("no folder") << QString() << QStringLiteral("1030/1032");
    QTest::newRow("folder does not exist") << QStringLiteral("@/missing") << QStringLiteral("1030/2076 @/missing");
    QTest::newRow("a file, not a folder") << QStringLiteral("@/notes.txt") << QStringLiteral("1030/2076 @/notes.txt");
    QTest::newRow("no pages") << QStringLiteral("@") << QStringLiteral("1030/1050");
}

void TestMetaRun::notStarted()
{
    QFETCH(QString, folder);
    QFETCH(QString, message);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("notes.txt")), "x");
    QDir(dir.path()).mkdir(QStringLiteral("sub.htm"));
    folder.replace(QLatin1Char('@'), dir.path());
    message.replace(QLatin1Char('@'), dir.path());
    RunOptions options = plainOptions(folder);
    options.mainPage = dir.filePath(QStringLiteral("index.htm"));
    RecordingObserver observer;
    QCOMPARE(runMeta(options, observer), RunResult::NotStarted);
    QCOMPARE(observer.messageList(), QStringList{message});
    QVERIFY(observer.started.isEmpty());
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("notes.txt")});
}

void TestMetaRun::everyPageWithoutMarkIsReported()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("a.htm")), "<p>first</p>");
    writeFile(dir.filePath(QStringLiteral("B.htm")), "<head></head>");
    writeFile(dir.filePath(QStringLiteral("c.HTML")), "<p>third</p>");
    RunOptions options = plainOptions(dir.path());
    RecordingObserver observer;
    QCOMPARE(runMeta(options, observer), RunResult::Completed);
    const QString folder = dir.path() + QLatin1Char('/');
    QCOMPARE(observer.messageList(), (QStringList{QStringLiteral("1030/1048 ") + folder + QStringLiteral("a.htm"),
                                                  QStringLiteral("1030/1048 ") + folder + QStringLiteral("c.HTML")}));
    QCOMPARE(observer.started, (QStringList{folder + QStringLiteral("a.htm 0/3"), folder + QStringLiteral("B.htm 1/3"),
                                            folder + QStringLiteral("c.HTML 2/3")}));
}

void TestMetaRun::mainPageAfterTheFolderAndTwice()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("a.htm")), "<head><meta name=keywords></head><body>Anchors</body>");
    writeFile(dir.filePath(QStringLiteral("index.htm")), OldPage);
    writeFile(dir.filePath(QStringLiteral("z.htm")), "<head></head><body>Zeppelin anchors</body>");
    RunOptions options = plainOptions(dir.path());
    options.mainPage = dir.filePath(QStringLiteral("index.htm"));
    options.backup = true;
    options.generator = options.robots = options.revisit = false;
    RecordingObserver observer;
    QCOMPARE(runMeta(options, observer), RunResult::Completed);
    QVERIFY(observer.messages.empty());
    QCOMPARE(observer.started.size(), 4);
    QCOMPARE(observer.started.last(), options.mainPage + QStringLiteral(" 3/4"));

    // First as a page of the folder with its own words, then as the main page with all words.
    const QByteArray once = readFile(dir.filePath(QStringLiteral("index.bak1")));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("index.bak"))), OldPage);
    QVERIFY(once.contains("CONTENT=\"sailing, harbour\""));
    const QByteArray twice = readFile(options.mainPage);
    QVERIFY(twice.contains("<html><head><title>Sailing boats</title>\r\n<META NAME=\"keywords\" "
                           "CONTENT=\"anchors, sailing, harbour, zeppelin\">\r\n\r\n\r\n</head>"));
    QCOMPARE(twice.count("<META"), 1);
}

void TestMetaRun::mainPageThatDoesNotExist()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("site"));
    const QString folder = dir.filePath(QStringLiteral("site"));
    writeFile(folder + QStringLiteral("/a.htm"), "<head></head><body>Lanterns</body>");
    RunOptions options = plainOptions(folder);
    options.generator = options.robots = options.revisit = false;
    options.mainPage = dir.filePath(QStringLiteral("home.htm"));
    options.backup = true;
    RecordingObserver observer;
    QCOMPARE(runMeta(options, observer), RunResult::Completed);
    QCOMPARE(observer.messageList(), QStringList{QStringLiteral("1030/1048 ") + options.mainPage});
    QCOMPARE(readFile(options.mainPage), QByteArray("<META NAME=\"keywords\" CONTENT=\"lanterns\">\r\n"));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("home.bak"))), QByteArray());
    QCOMPARE(filesIn(dir.path()), (QStringList{QStringLiteral("home.bak"), QStringLiteral("home.htm")}));
}

void TestMetaRun::permissionBitsStay_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("0640") << 0640;
    QTest::newRow("0775") << 0775;
}

void TestMetaRun::permissionBitsStay()
{
    QFETCH(int, mode);
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("index.htm"));
    writeFile(page, OldPage);
    QVERIFY(::chmod(QFile::encodeName(page).constData(), static_cast<mode_t>(mode)) == 0);
    RecordingObserver observer;
    QCOMPARE(runMeta(plainOptions(dir.path()), observer), RunResult::Completed);
    struct stat st;
    QVERIFY(::stat(QFile::encodeName(page).constData(), &st) == 0);
    QCOMPARE(int(st.st_mode & 07777), mode);
    QVERIFY(readFile(page) != OldPage);
}

void TestMetaRun::linkedPageIsRewrittenWhereItPoints()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("site"));
    QDir(dir.path()).mkdir(QStringLiteral("shared"));
    const QString target = dir.filePath(QStringLiteral("shared/real.htm"));
    const QString link = dir.filePath(QStringLiteral("site/index.htm"));
    writeFile(target, OldPage);
    QVERIFY(QFile::link(QStringLiteral("../shared/real.htm"), link));
    RunOptions options = plainOptions(dir.filePath(QStringLiteral("site")));
    options.backup = true;
    RecordingObserver observer;
    QCOMPARE(runMeta(options, observer), RunResult::Completed);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), QFileInfo(target).absoluteFilePath());
    QVERIFY(readFile(target).contains("CONTENT=\"sailing, harbour\""));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("site/index.bak"))), OldPage);
    QCOMPARE(filesIn(dir.filePath(QStringLiteral("shared"))), QStringList{QStringLiteral("real.htm")});
}

void TestMetaRun::readAheadSameAsPageByPage_data()
{
    QTest::addColumn<QStringList>("site");
    QTest::addColumn<bool>("backup");
    QTest::addColumn<QString>("mainPage");
    for (const QStringList &row : readTable(QFINDTESTDATA("data/read-ahead.txt")))
        QTest::newRow(qPrintable(row[0]))
            << row[3].split(QStringLiteral(" ; ")) << (row[1] == QLatin1String("1")) << row[2];
}

void TestMetaRun::readAheadSameAsPageByPage()
{
    QFETCH(QStringList, site);
    QFETCH(bool, backup);
    QFETCH(QString, mainPage);
    QTemporaryDir dir;
    std::vector<std::pair<RunResult, QStringList>> outcomes;
    std::vector<FileMap> states;
    // Page by page, reading far ahead, and one page ahead at a time.
    for (const std::size_t budget : {std::size_t(0), std::size_t(8) << 20, std::size_t(1)}) {
        const QString folder = dir.filePath(QStringLiteral("site%1").arg(budget));
        makeSite(folder, site);
        RunOptions options = plainOptions(folder);
        options.backup = backup;
        if (!mainPage.isEmpty())
            options.mainPage = folder + QLatin1Char('/') + mainPage;
        RunLimits limits;
        limits.readAheadBudget = budget;
        RecordingObserver observer;
        const RunResult result = runMeta(options, observer, limits);
        outcomes.push_back({result, observer.messageList().replaceInStrings(folder, QStringLiteral("SITE"))});
        states.push_back(siteState(folder));
    }
    for (std::size_t i = 1; i < outcomes.size(); ++i) {
        QCOMPARE(outcomes[i].first, outcomes[0].first);
        QCOMPARE(outcomes[i].second, outcomes[0].second);
        QCOMPARE(states[i], states[0]);
    }
}

QTEST_GUILESS_MAIN(TestMetaRun)
#include "tst_MetaRun.moc"
