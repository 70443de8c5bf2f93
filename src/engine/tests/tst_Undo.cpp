#include "TestSupport.h"

#include "engine/core/Run.h"
#include "engine/fs/FileSystem.h"
#include "engine/page/PageHash.h"
#include "engine/run/RunReport.h"
#include "engine/undo/Undo.h"
#include "text/StringTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace tagsmith;
using namespace tagsmith::test;

namespace {

// Sites from lines of makeSite, where "1252", "utf8" and "plain" stand for a page in Windows-1252, one in
// UTF-8 and one without a head, each with words of its own, and "empty" for an empty file.
void makePages(const QString &root, QStringList lines)
{
    const QMap<QString, QString> pages{
        {QStringLiteral("1252"),
         QStringLiteral("raw <html><head><title>Zeilen</title>\\r\\n<meta name=\"keywords\" "
                        "content=\"oud\">\\r\\n</head><body>Caf\\xe9 aan de haven, zeilboten</body></html>")},
        {QStringLiteral("utf8"), QStringLiteral("raw <html><head><meta charset=\"utf-8\"><title>Λόγος</title></head>"
                                                "<body>Καλημέρα θάλασσα κύματα</body></html>\\n")},
        {QStringLiteral("plain"), QStringLiteral("raw <p>No head at all, lighthouse keepers</p>")},
        {QStringLiteral("empty"), QString()},
        // META tags further apart than the undo data keeps of what a run replaces.
        {QStringLiteral("spread"),
         QStringLiteral("raw <html><head><meta name=\"keywords\" content=\"a\"></head><body>") +
             QStringLiteral("lighthouse keepers ").repeated(4000) +
             QStringLiteral("<meta name=\"description\" content=\"b\"></body></html>")}};
    for (QString &line : lines)
        if (pages.contains(line.section(QLatin1Char(' '), 1)))
            line = line.section(QLatin1Char(' '), 0, 0) + QLatin1Char(' ') + pages[line.section(QLatin1Char(' '), 1)];
    makeSite(root, lines);
}

struct Fixture
{
    QTemporaryDir dir;
    QTemporaryDir dataDir; // the program's data folder, beside the tree under test
    QString root = dir.path();
    QString site = root + QStringLiteral("/site");
    QString data = dataDir.path();

    RunOptions options(const QString &mainPage = QString(), bool backup = false) const
    {
        RunOptions o = siteOptions(site);
        o.description = true;
        o.mainPage = mainPage.isEmpty() ? QString() : site + QLatin1Char('/') + mainPage;
        o.backup = backup;
        o.dataFolder = data;
        return o;
    }

    RunResult run(const RunOptions &o, const RunLimits &limits = RunLimits()) const
    {
        RecordingObserver observer;
        return runMeta(o, observer, limits);
    }

    RunResult undo(RecordingObserver *observer = nullptr) const
    {
        RecordingObserver own;
        return undoLastRun(data, site, observer ? *observer : own, nullptr);
    }
};

// Asks the run or the undo to stop once it has started on pages pages.
class StoppingObserver final : public RecordingObserver
{
public:
    explicit StoppingObserver(qsizetype pages) : m_pages(pages) {}
    bool stopRequested() const override { return started.size() >= m_pages; }

private:
    qsizetype m_pages;
};

} // namespace

class TestUndo : public QObject
{
    Q_OBJECT

private slots:
    void runThenUndo_data()
    {
        addTableRows(QFINDTESTDATA("data/undo-runs.txt"), {"site", "mainPage", "backup", "dataElsewhere"});
    }

    void runThenUndo()
    {
        QFETCH(QString, site);
        QFETCH(QString, mainPage);
        QFETCH(QString, backup);
        QFETCH(QString, dataElsewhere);

        Fixture f;
        std::unique_ptr<QTemporaryDir> elsewhere;
        if (dataElsewhere == QLatin1String("1")) {
            elsewhere = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/tst_undo-XXXXXX"));
            struct stat a, b;
            if (!elsewhere->isValid() || ::stat(QFile::encodeName(f.root).constData(), &a) != 0 ||
                ::stat(QFile::encodeName(elsewhere->path()).constData(), &b) != 0 || a.st_dev == b.st_dev)
                QSKIP("no second file system for the undo data");
            f.data = elsewhere->path();
        }
        makePages(f.root, site.split(QStringLiteral(" ; ")));
        const auto before = treeState(f.root);

        // Pages read whole, and pages read in blocks (their copies packed block by block).
        for (const bool inBlocks : {false, true}) {
            RunOptions options = f.options(QString(), backup == QLatin1String("1"));
            if (!mainPage.isEmpty())
                options.mainPage = f.root + QLatin1Char('/') + mainPage;
            QCOMPARE(f.run(options, runLimits(inBlocks)), RunResult::Completed);
            QVERIFY(treeState(f.root) != before);

            const UndoPlan plan = planUndo(f.data, f.site);
            QVERIFY(plan.ready());
            QCOMPARE(plan.count(UndoAction::ChangedSince) + plan.count(UndoAction::CopyLost), 0);
            QVERIFY(plan.space > 0);

            RecordingObserver observer;
            QCOMPARE(f.undo(&observer), RunResult::Completed);
            QCOMPARE(observer.messageList(), QStringList());
            QCOMPARE(treeState(f.root), before);
            // The undo data is used up, copies included.
            QCOMPARE(planUndo(f.data, f.site).status, UndoStore::Status::Missing);
            QCOMPARE(QDir(f.data + QStringLiteral("/Tagsmith.undo")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                     QStringList());
        }
    }

    void stoppedBetweenPages_data()
    {
        QTest::addColumn<int>("pages"); // where the run stops
        QTest::addColumn<QString>("mainPage");
        QTest::addColumn<bool>("topKeywords");
        QTest::newRow("after the first page") << 1 << "" << false;
        QTest::newRow("before the main page") << 4 << "index.htm" << false;
        QTest::newRow("most telling words, main page among the pages") << 2 << "site/b.htm" << true;
    }

    // Every page whole, old or new; the report says how far the run came; the stopped run and a stopped
    // undo are undone as any other.
    void stoppedBetweenPages()
    {
        QFETCH(int, pages);
        QFETCH(QString, mainPage);
        QFETCH(bool, topKeywords);
        Fixture f;
        makePages(f.root, {QStringLiteral("site/a.htm 1252"), QStringLiteral("site/b.htm utf8"),
                           QStringLiteral("site/c.htm plain"), QStringLiteral("site/d.htm 1252")});
        const auto before = treeState(f.root);
        RunOptions options = f.options();
        if (!mainPage.isEmpty())
            options.mainPage = f.root + QLatin1Char('/') + mainPage;
        options.topKeywords = topKeywords;
        StoppingObserver stopping(pages);
        const RunReport report = runMetaWithReport(options, stopping);
        QCOMPARE(report.result, RunResult::Cancelled);
        QCOMPARE(report.pagesReached(), pages);
        QCOMPARE(stopping.started.size(), qsizetype(pages));
        const qsizetype total = 4 + (mainPage.isEmpty() ? 0 : 1) - (topKeywords ? 1 : 0);
        QCOMPARE(qsizetype(report.pages.size()), total);
        const auto after = treeState(f.root);
        for (const PageReport &page : report.pages) {
            const QString name = QDir(f.root).relativeFilePath(page.PagePath);
            QVERIFY2(page.written() == (after.value(name) != before.value(name)), qPrintable(name));
        }

        StoppingObserver undoStopping(1);
        QCOMPARE(undoLastRun(f.data, f.site, undoStopping), pages > 1 ? RunResult::Cancelled : RunResult::Completed);
        if (pages > 1)
            QCOMPARE(f.undo(), RunResult::Completed);
        QCOMPARE(treeState(f.root), before);
    }

    void folderNamedFromTheCurrentFolder()
    {
        // The folder named from the current folder, the main page inside it by its full path: the main
        // page's two writes are one page to the undo, which starts from another folder and finds the
        // backups too.
        for (const bool backup : {false, true}) {
            Fixture f;
            makePages(f.root, {QStringLiteral("site/a.htm 1252"), QStringLiteral("site/index.htm 1252")});
            const auto before = treeState(f.root);
            const QString current = QDir::currentPath();
            QVERIFY(QDir::setCurrent(f.root));
            RunOptions options = f.options(QStringLiteral("index.htm"), backup);
            options.folder = QStringLiteral("site");
            const RunResult result = f.run(options);
            QVERIFY(QDir::setCurrent(current));
            QCOMPARE(result, RunResult::Completed);
            QCOMPARE(f.undo(), RunResult::Completed);
            QCOMPARE(treeState(f.root), before);
        }
    }

    void journalOfAnEarlierVersion()
    {
        // Earlier versions kept SHA-256 hashes of what the run wrote: their undo data still serves.
        Fixture f;
        makePages(f.root, {QStringLiteral("site/a.htm 1252"), QStringLiteral("site/b.html utf8"),
                           QStringLiteral("site/c.htm spread")});
        const auto before = treeState(f.root);
        QCOMPARE(f.run(f.options()), RunResult::Completed);

        // Each page's hash in its record, as those versions wrote it (a record frame is its length,
        // its CRC-32 and its bytes).
        QHash<QByteArray, QByteArray> earlier;
        for (const QString &name : QDir(f.site).entryList(QDir::Files)) {
            const QByteArray page = test::readFile(f.site + QLatin1Char('/') + name);
            const std::string_view bytes(page.constData(), static_cast<std::size_t>(page.size()));
            PageHash sha(PageHash::Kind::Sha256);
            sha.add(bytes);
            earlier.insert(QByteArray::fromHex("00000010") + PageHash::of(bytes, {}),
                           QByteArray::fromHex("00000020") + sha.result());
        }
        // They kept one run per folder: its journal beside the folder of its copies, its header without
        // the run's place among the folder's runs.
        const UndoStore store(f.data);
        const std::vector<KeptRun> runs = store.runs(f.site);
        QCOMPARE(runs.size(), std::size_t(1));
        const QByteArray journal = test::readFile(fs::fromNative(runs.front().journal));
        QVERIFY(QFile::remove(fs::fromNative(runs.front().journal)));
        const QString journalPath = fs::fromNative(store.storeFolder() + '/' + store.key(f.site) + ".journal");
        QByteArray rewritten = journal.left(8);
        int replaced = 0;
        for (qsizetype at = 8; at + 8 <= journal.size();) {
            const auto length = qFromLittleEndian<quint32>(journal.constData() + at);
            QByteArray payload = journal.mid(at + 8, length);
            if (at == 8)
                payload.chop(8);
            for (auto hash = earlier.cbegin(); hash != earlier.cend(); ++hash)
                if (payload.contains(hash.key())) {
                    payload.replace(hash.key(), hash.value());
                    ++replaced;
                }
            QByteArray frame(8, Qt::Uninitialized);
            qToLittleEndian<quint32>(quint32(payload.size()), frame.data());
            qToLittleEndian<quint32>(
                quint32(crc32(0, reinterpret_cast<const Bytef *>(payload.constData()), uInt(payload.size()))),
                frame.data() + 4);
            rewritten += frame + payload;
            at += 8 + length;
        }
        QCOMPARE(replaced, 3);
        QVERIFY(test::writeFile(journalPath, rewritten));

        const UndoPlan plan = planUndo(f.data, f.site);
        QVERIFY(plan.ready());
        QCOMPARE(plan.count(UndoAction::Restore), 3);
        QCOMPARE(f.undo(), RunResult::Completed);
        QCOMPARE(treeState(f.root), before);
    }

    void pageChangedSince_data() { addTableRows(QFINDTESTDATA("data/undo-changes.txt"), {"backup", "change"}); }

    void pageChangedSince()
    {
        QFETCH(QString, backup);
        QFETCH(QString, change);
        Fixture f;
        makePages(f.root, {QStringLiteral("site/a.htm 1252"), QStringLiteral("site/b.htm utf8")});
        const auto before = treeState(f.root);
        QCOMPARE(f.run(f.options(QString(), backup == QLatin1String("1"))), RunResult::Completed);

        const QString b = f.site + QStringLiteral("/b.htm");
        if (change == QLatin1String("edit"))
            writeFile(b, "<p>written by hand after the run</p>");
        else
            QFile::remove(b);
        const auto changed = treeState(f.root).value(QStringLiteral("site/b.htm"));

        const UndoPlan plan = planUndo(f.data, f.site);
        QCOMPARE(plan.count(UndoAction::Restore), 1);
        QCOMPARE(plan.count(UndoAction::ChangedSince), 1);

        RecordingObserver observer;
        QCOMPARE(f.undo(&observer), RunResult::Completed);
        QCOMPARE(observer.messageList(),
                 QStringList{QStringLiteral("%1/%2 %3").arg(ids::WarningTitle).arg(ids::ChangedSinceRun).arg(b)});
        auto after = treeState(f.root);
        QCOMPARE(after.value(QStringLiteral("site/b.htm")), changed);
        QCOMPARE(after.value(QStringLiteral("site/a.htm")), before.value(QStringLiteral("site/a.htm")));
        // The backup of the page left alone stays: it may be all that is left of the page as it was.
        QCOMPARE(after.contains(QStringLiteral("site/b.bak")), backup == QLatin1String("1"));
        QVERIFY(!after.contains(QStringLiteral("site/a.bak")));
    }

    void interruptedUndo()
    {
        for (const bool backup : {false, true}) {
            Fixture f;
            QStringList lines;
            for (int i = 0; i < 6; ++i)
                lines << QStringLiteral("site/p%1.htm %2").arg(i).arg(QLatin1String(i % 2 ? "utf8" : "1252"));
            makePages(f.root, lines);
            const auto before = treeState(f.root);
            QCOMPARE(f.run(f.options(QStringLiteral("p0.htm"), backup)), RunResult::Completed);
            const auto written = treeState(f.root);

            // The third page that goes back fails to take its name.
            RecordingObserver observer;
            {
                fs::FaultInjector faults;
                faults.fail(fs::Call::Rename, EIO, {}, 3);
                QCOMPARE(f.undo(&observer), RunResult::Failed);
            }
            QCOMPARE(observer.messages.size(), std::size_t(1));
            QCOMPARE(observer.messages.front().textId, ids::FileErrorBase + 57);
            // Every page is whole: as before the run or as the run wrote it, some of each.
            const auto interrupted = treeState(f.root);
            int restored = 0;
            for (int i = 0; i < 6; ++i) {
                const QString name = QStringLiteral("site/p%1.htm").arg(i);
                QVERIFY2(interrupted[name] == before[name] || interrupted[name] == written[name], qPrintable(name));
                restored += interrupted[name] == before[name];
            }
            QVERIFY(restored > 0 && restored < 6);

            QCOMPARE(f.undo(), RunResult::Completed);
            QCOMPARE(treeState(f.root), before);
        }
    }

    // Each undo steps back one run, the pages' times included; the oldest runs go past the last ten or
    // the budget, and the run says so.
    void severalRunsDeep()
    {
        Fixture f;
        makePages(f.root, {QStringLiteral("site/a.htm 1252"), QStringLiteral("site/b.htm utf8"),
                           QStringLiteral("site/c.htm spread"), QStringLiteral("site/d.htm plain")});
        const auto mtimes = [&] {
            QStringList stamps;
            for (const QString &name : QDir(f.site).entryList(QDir::Files)) {
                struct stat st;
                ::stat(QFile::encodeName(f.site + QLatin1Char('/') + name).constData(), &st);
                stamps << name + QString::number(st.st_mtim.tv_sec) + QLatin1Char('.') +
                              QString::number(st.st_mtim.tv_nsec);
            }
            return stamps;
        };
        std::vector<QMap<QString, QString>> states{treeState(f.root)};
        std::vector<QStringList> times{mtimes()};
        // Without and with backups, pages read whole and in blocks: deltas, links, packed copies.
        for (int run = 0; run < 4; ++run) {
            RunOptions options = f.options(QStringLiteral("a.htm"), run == 2);
            options.siteDescription = QStringLiteral("Run %1").arg(run);
            QCOMPARE(f.run(options, runLimits(run == 3)), RunResult::Completed);
            states.push_back(treeState(f.root));
            times.push_back(mtimes());
        }
        QCOMPARE(UndoStore(f.data).runs(f.site).size(), std::size_t(4));
        for (int run = 3; run >= 0; --run) {
            QCOMPARE(planUndo(f.data, f.site).runs.size(), std::size_t(run + 1));
            QCOMPARE(f.undo(), RunResult::Completed);
            QCOMPARE(treeState(f.root), states[std::size_t(run)]);
            QCOMPARE(mtimes(), times[std::size_t(run)]);
        }
        QCOMPARE(planUndo(f.data, f.site).status, UndoStore::Status::Missing);

        // Past the last ten, and past a budget of one byte: only the newest run stays.
        for (int run = 0; run < int(UndoStore::MostRuns) + 1; ++run) {
            RunOptions options = f.options();
            options.siteDescription = QStringLiteral("Again %1").arg(run);
            QCOMPARE(f.run(options), RunResult::Completed);
        }
        QCOMPARE(UndoStore(f.data).runs(f.site).size(), UndoStore::MostRuns);
        RunOptions tight = f.options();
        tight.undoBudget = 1;
        RecordingObserver observer;
        QCOMPARE(runMeta(tight, observer), RunResult::Completed);
        QCOMPARE(std::count_if(observer.messages.begin(), observer.messages.end(),
                               [](const Message &m) { return m.textId == ids::UndoRunDropped; }),
                 std::ptrdiff_t(UndoStore::MostRuns));
        QCOMPARE(UndoStore(f.data).runs(f.site).size(), std::size_t(1));
    }

    void noUndoData_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("textId");
        QTest::newRow("no run yet") << "never" << ids::NoUndoData;
        QTest::newRow("last run without undo data") << "off" << ids::NoUndoData;
        QTest::newRow("damaged journal") << "damaged" << ids::UndoDamaged;
        QTest::newRow("journal not ours") << "emptied" << ids::UndoDamaged;
        QTest::newRow("a folder that is not there") << "gone" << ids::NoUndoData;
    }

    void noUndoData()
    {
        QFETCH(QString, how);
        QFETCH(int, textId);
        Fixture f;
        makePages(f.root, {QStringLiteral("site/a.htm 1252"), QStringLiteral("site/b.htm utf8")});
        if (how == QLatin1String("gone"))
            QVERIFY(QDir(f.site).removeRecursively());
        else if (how != QLatin1String("never"))
            QCOMPARE(f.run(f.options()), RunResult::Completed);
        if (how == QLatin1String("off")) {
            RunOptions off = f.options();
            off.keepUndo = false;
            off.siteDescription = QStringLiteral("again");
            QCOMPARE(f.run(off), RunResult::Completed);
            // The copies went with the journal, by the time the run returned.
            QCOMPARE(QDir(f.data + QStringLiteral("/Tagsmith.undo")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                     QStringList());
        }
        const std::vector<KeptRun> runs = UndoStore(f.data).runs(f.site);
        const QString journal = runs.empty() ? QString() : fs::fromNative(runs.back().journal);
        if (how == QLatin1String("damaged")) {
            QByteArray bytes = readFile(journal);
            bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x20);
            writeFile(journal, bytes);
        } else if (how == QLatin1String("emptied")) {
            writeFile(journal, "<html>not undo data</html>");
        }
        const auto before = treeState(f.root);

        QVERIFY(!planUndo(f.data, f.site).ready());
        RecordingObserver observer;
        QCOMPARE(f.undo(&observer), RunResult::NotStarted);
        QCOMPARE(observer.messages.size(), std::size_t(1));
        QCOMPARE(observer.messages.front().textId, textId);
        QCOMPARE(treeState(f.root), before);
    }
};

QTEST_GUILESS_MAIN(TestUndo)
#include "tst_Undo.moc"
