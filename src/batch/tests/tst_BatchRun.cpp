// The real tagsmith-batch: the options of its report (--dry-run, --diff, --report, --quiet and the line
// of totals), and the conditions a run must survive: a full disk (a file-size limit) and being killed
// half-way, and the undo after that.

#include "BatchUnderTest.h"
#include "storage/SettingsTable.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

using namespace tagsmith;
using namespace tagsmith::test;

namespace {

Site goldenSite(const QString &name)
{
    return contents(QStringLiteral(TAGSMITH_TEST_DATA "/sites/") + name + QStringLiteral("/src"));
}

const QByteArray Harbour = "<html><head><title>Harbour</title>\r\n<meta name=\"keywords\" content=\"old\">\r\n"
                           "</head><body>Harbours and lighthouses</body></html>\r\n";

// The name as printf's %b reads it back: octal escapes for every byte but the plain ones.
QString shellEscaped(const QByteArray &name)
{
    QString escaped;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > ' ' && byte < 127 && byte != '\\')
            escaped += QLatin1Char(c);
        else
            escaped += QStringLiteral("\\0%1").arg(byte, 3, 8, QLatin1Char('0'));
    }
    return escaped;
}

// The bytes of a file named by its native path.
int readNative(const std::string &path, std::string *bytes)
{
    fs::File file;
    if (const int err = fs::openForReading(path, fs::Links::Follow, &file); err != 0)
        return err;
    bytes->resize(1 << 16);
    std::size_t got = 0;
    const int err = fs::readAt(file.fd(), bytes->data(), 0, bytes->size(), &got);
    bytes->resize(got);
    return err;
}

} // namespace

class TestBatchRun : public QObject
{
    Q_OBJECT

private slots:
    void diffAppliesWithPatch_data()
    {
        QTest::addColumn<Site>("site");
        QTest::addColumn<QStringList>("options");
        const QStringList index{QStringLiteral("--main"), QStringLiteral("index.htm")};
        QTest::newRow("UTF-8 site, main page among its pages")
            << goldenSite(QStringLiteral("main-page-utf-8")) << index;
        QTest::newRow("Windows-1252 site") << goldenSite(QStringLiteral("main-page-windows-1252")) << index;
        // (A name with a blank is left out: patch reads a diff's file name up to the first blank.)
        Site sharing = goldenSite(QStringLiteral("sharing"));
        sharing.insert(QStringLiteral("own-tags.htm"), sharing.take(QStringLiteral("own tags.htm")));
        QTest::newRow("site address: sitemap.xml made, robots.txt changed")
            << sharing
            << index + QStringList{QStringLiteral("--site-url"), QStringLiteral("https://example.org/harbour/")};
        QTest::newRow("pages without a last line end, without a mark, empty; main page made")
            << Site{{QStringLiteral("a.htm"), "<html><head></head><body>Anchors aweigh</body></html>"},
                    {QStringLiteral("b.htm"), "<p>Boats ashore\r\non the beach</p>\r\n"},
                    {QStringLiteral("c.htm"), ""},
                    {QStringLiteral("d.htm"), Harbour}}
            << QStringList{QStringLiteral("--main"), QStringLiteral("home.htm"), QStringLiteral("--description"),
                           QStringLiteral("Our \"club\", since 1920")};
    }

    // What the dry run's diff says, applied by patch to a copy of the site, gives what the run writes.
    void diffAppliesWithPatch()
    {
        QFETCH(Site, site);
        QFETCH(QStringList, options);
        QTemporaryDir dir;
        const QString patched = dir.filePath(QStringLiteral("patched"));
        const QString done = dir.filePath(QStringLiteral("done"));
        makeSite(patched, site);
        makeSite(done, site);

        // The main page is named relative to where the command runs: run both from inside the copy.
        const BatchOutput diff = batchProgram(
            QStringList{QStringLiteral("."), QStringLiteral("--dry-run"), QStringLiteral("--diff")} + options, patched);
        QCOMPARE(diff.status, 0);
        QCOMPARE(contents(patched), site);
        // Every hunk where it says, without fuzz.
        const BatchOutput patch =
            runProgram(QStringLiteral("patch"), {QStringLiteral("-p1"), QStringLiteral("--fuzz=0")}, patched, diff.out);
        QVERIFY2(patch.status == 0 && !patch.out.contains("offset"),
                 qPrintable(QString::fromUtf8(patch.out) + patch.err));

        QCOMPARE(batchProgram(QStringList{QStringLiteral(".")} + options, done).status, 0);
        QCOMPARE(contents(patched), contents(done));
    }

    // The report as CSV reads back with Python's csv module, names with commas, quotes and accents
    // included, from a file and from standard output.
    void diffNamesApplyWithPatch_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("blank") << QByteArray("with space.html");
        QTest::newRow("tab") << QByteArray("tab\there.html");
        QTest::newRow("line end") << QByteArray("new\nline.html");
        QTest::newRow("leading dash") << QByteArray("-dash.html");
        QTest::newRow("quote and backslash") << QByteArray("quo\"te\\.html");
        QTest::newRow("DEL and a plain name") << QByteArray("del\x7f.html");
        QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9.html");
    }

    // The headers are GNU diff's own (the page's time stamp included), so patch finds every page.
    void diffNamesApplyWithPatch()
    {
        QFETCH(QByteArray, name);
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a"));
        QVERIFY(QDir().mkdir(a));
        QCOMPARE(fs::replaceWholeFile(fs::native(a) + '/' + name.toStdString(), Harbour.toStdString()), 0);
        writeFile(a + QStringLiteral("/index.htm"), "<p>Home</p>\n");
        QCOMPARE(runProgram(QStringLiteral("cp"), {QStringLiteral("-a"), a, dir.filePath(QStringLiteral("b"))}).status,
                 0);
        const QStringList main{QStringLiteral("--main"), QStringLiteral("index.htm")};

        const BatchOutput diff = batchProgram(
            QStringList{QStringLiteral("."), QStringLiteral("--dry-run"), QStringLiteral("--diff")} + main, a);
        QCOMPARE(diff.status, 0);
        QCOMPARE(batchProgram(QStringList{QStringLiteral(".")} + main, dir.filePath(QStringLiteral("b"))).status, 0);
        const BatchOutput gnu = runProgram(
            QStringLiteral("diff"), {QStringLiteral("-ru"), QStringLiteral("a"), QStringLiteral("b")}, dir.path());
        QCOMPARE(gnu.status, 1);
        for (const QByteArray &line : gnu.out.split('\n')) {
            if (line.startsWith("--- "))
                QVERIFY2(diff.out.contains(line + '\n'), line.constData());
            else if (line.startsWith("+++ "))
                QVERIFY2(diff.out.contains(line.left(line.lastIndexOf('\t') + 1)), line.constData());
        }
        const BatchOutput patch =
            runProgram(QStringLiteral("patch"), {QStringLiteral("-p1"), QStringLiteral("--fuzz=0")}, a, diff.out);
        QVERIFY2(patch.status == 0, qPrintable(QString::fromUtf8(patch.out) + patch.err));
        QCOMPARE(runProgram(QStringLiteral("diff"), {QStringLiteral("-r"), QStringLiteral("a"), QStringLiteral("b")},
                            dir.path())
                     .status,
                 0);
    }

    void byteNamesRunAndUndo_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9.html");
        QTest::newRow("blank") << QByteArray("with space.html");
        QTest::newRow("line end") << QByteArray("new\nline.html");
        QTest::newRow("leading dash") << QByteArray("-dash.html");
    }

    // A page of any name, in a folder whose name is not UTF-8, and as the main page: written, reported
    // by its bytes, undone.
    void byteNamesRunAndUndo()
    {
        QFETCH(QByteArray, name);
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + "/d\xe9"
                                                                  "f";
        QCOMPARE(fs::makeFolder(folder.toStdString(), 0755), 0);
        QCOMPARE(fs::replaceWholeFile((folder + '/' + name).toStdString(), Harbour.toStdString()), 0);
        QCOMPARE(fs::replaceWholeFile(folder.toStdString() + "/plain.htm", "<head></head><p>Plain sailing</p>\n"), 0);
        // The names reach the command as bytes through the shell (QProcess would make them text).
        const auto inFolder = [&](const QString &script) {
            return runProgram(QStringLiteral("sh"),
                              {QStringLiteral("-c"),
                               QStringLiteral("site=$(printf '%b' \"$1\"); page=$(printf '%b' \"$2\"); ") + script,
                               QStringLiteral(TAGSMITH_BATCH), QStringLiteral("d\\0351f"), shellEscaped(name)},
                              dir.path());
        };
        QCOMPARE(inFolder(QStringLiteral("cp -a \"$site\" before")).status, 0);
        const BatchOutput run =
            inFolder(QStringLiteral("cd \"$site\" && \"$0\" . --main \"$page\" --report ../report.csv"));
        QVERIFY2(run.status == 0 && !run.err.contains(QStringLiteral("Error")), qPrintable(run.err));
        std::string page;
        QCOMPARE(readNative((folder + '/' + name).toStdString(), &page), 0);
        // The main page's keywords are the site's: plain.htm's too.
        QVERIFY2(page.find("lighthouses") != std::string::npos && page.find("sailing") != std::string::npos,
                 page.c_str());
        QVERIFY(readFile(dir.filePath(QStringLiteral("report.csv"))).contains(name));

        QCOMPARE(inFolder(QStringLiteral("\"$0\" --undo \"$site\"")).status, 0);
        QCOMPARE(inFolder(QStringLiteral("diff -r before \"$site\"")).status, 0);
    }

    void csvParsesWithPython()
    {
        QTemporaryDir dir;
        const QString site = dir.filePath(QStringLiteral("site"));
        const QStringList names{QStringLiteral("a, b.htm"), QStringLiteral("caf\u00e9 \"best\".htm"),
                                QStringLiteral("plain.htm")};
        makeSite(site, {{names[0], Harbour}, {names[1], "<p>no head at all</p>"}, {names[2], Harbour}});
        // The report through a link (as /dev/stdout is one): the link stays, what it names gets the CSV.
        const QString csv = dir.filePath(QStringLiteral("report.csv"));
        QVERIFY(QFile::link(QStringLiteral("kept.csv"), dir.filePath(QStringLiteral("report-link.csv"))));
        const BatchOutput toOut = batchProgram({site, QStringLiteral("--dry-run"), QStringLiteral("--quiet"),
                                                QStringLiteral("--report"), QStringLiteral("-")});
        QCOMPARE(batchProgram({site, QStringLiteral("--backup"), QStringLiteral("--report"),
                               dir.filePath(QStringLiteral("report-link.csv"))})
                     .status,
                 0);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("report-link.csv"))).isSymLink());
        QVERIFY(QFile::rename(dir.filePath(QStringLiteral("kept.csv")), csv));
        QVERIFY(toOut.status == 0 && writeFile(dir.filePath(QStringLiteral("dry.csv")), toOut.out));

        const QString parse = QStringLiteral("import csv, json, sys\n"
                                             "print(json.dumps(list(csv.reader(open(sys.argv[1], newline='', "
                                             "encoding='utf-8', errors='strict')))))\n");
        for (const QString &file : {csv, dir.filePath(QStringLiteral("dry.csv"))}) {
            const BatchOutput parsed = runProgram(QStringLiteral("python3"), {QStringLiteral("-c"), parse, file});
            const QJsonArray rows = QJsonDocument::fromJson(parsed.out).array();
            QCOMPARE(rows.size(), 4);
            QCOMPARE(rows.at(0).toArray().at(0).toString(), QStringLiteral("page"));
            for (int i = 0; i < 3; ++i) {
                const QJsonArray row = rows.at(i + 1).toArray();
                QCOMPARE(row.size(), rows.at(0).toArray().size());
                QCOMPARE(row.at(0).toString(), names[i]);
                QCOMPARE(row.at(3).toString(), i == 1 ? QStringLiteral("appended") : QStringLiteral("replaced"));
            }
        }
    }

    void summary_data() { addTableRows(QFINDTESTDATA("data/summaries.txt"), {"options", "status", "lines"}); }

    void summary()
    {
        QFETCH(QString, options);
        QFETCH(QString, status);
        QFETCH(QString, lines);
        QTemporaryDir dir;
        const QString site = dir.filePath(QStringLiteral("site"));
        makeSite(site, {{QStringLiteral("a.htm"), Harbour},
                        {QStringLiteral("b.htm"), "<p>x</p>"},
                        {QStringLiteral("c.htm"), Harbour}});
        const BatchOutput result =
            batchProgram(QStringList{site} +
                         options.replace(QStringLiteral("SITE"), site).split(QLatin1Char(' '), Qt::SkipEmptyParts));
        QCOMPARE(result.status, status.toInt());
        const QString err = QString(result.err).replace(site, QStringLiteral("SITE"));
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(QString::fromUtf8(unescape(lines))));
        QVERIFY2(pattern.match(err).hasMatch(), qPrintable(err));
    }

    // A main page in a folder the user may not write to: refused before the first page.
    void mainPageFolderNotWritable()
    {
        if (::geteuid() != 0)
            QSKIP("only root can become a user without privileges");
        QTemporaryDir dir;
        const QString site = dir.filePath(QStringLiteral("site"));
        const QString closed = dir.filePath(QStringLiteral("closed"));
        makeSite(site, Site{{QStringLiteral("a.htm"), Harbour}});
        QVERIFY(QDir().mkdir(closed));
        for (const auto &[path, mode] :
             {std::pair{dir.path(), 0755}, {site, 0777}, {site + QStringLiteral("/a.htm"), 0666}})
            QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
        const auto before = treeState(dir.path(), true);
        const BatchOutput result =
            runProgram(QStringLiteral("setpriv"),
                       {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                        QStringLiteral("--clear-groups"), QStringLiteral(TAGSMITH_BATCH), site,
                        QStringLiteral("--no-undo"), QStringLiteral("--main"), closed + QStringLiteral("/index.htm")});
        QCOMPARE(result.status, batchexit::Failed);
        QVERIFY2(result.err.contains(closed + QStringLiteral(": Permission denied.")), qPrintable(result.err));
        QCOMPARE(treeState(dir.path(), true), before);
    }

    void diskFull()
    {
        QTemporaryDir dir;
        const QString site = dir.filePath(QStringLiteral("site"));
        makePages(site, 5);
        // The third page is larger than the file-size limit of the run.
        writeFile(site + QStringLiteral("/p0002.htm"), numberedPage(2, 100000));
        const Site before = contents(site);
        const BatchOutput result = batchProgram({site, QStringLiteral("--quiet")}, {}, 64 * 1024);
        QCOMPARE(result.status, 1);
        QCOMPARE(result.err.count(QLatin1Char('\n')), 2); // the message and the totals
        QCOMPARE(result.err.section(QLatin1Char('\n'), 0, 0),
                 site + QStringLiteral("/p0002.htm: Tagsmith Error: Not enough space on disk or disk full."));
        const Site after = contents(site);
        QCOMPARE(after.keys(), before.keys());
        for (int i = 0; i < 5; ++i) {
            const QString name = QStringLiteral("p000%1.htm").arg(i);
            QCOMPARE(after[name] == before[name], i >= 2);
        }
    }

    // Killed at a random moment, a run leaves every page whole, as it was or as the run writes it, and
    // undo data for the pages it changed: the undo gives the site back.
    void killedHalfWay()
    {
        QTemporaryDir dir;
        const QString pristine = dir.filePath(QStringLiteral("pristine"));
        const QString done = dir.filePath(QStringLiteral("done"));
        const QString database = dir.filePath(QStringLiteral("Tagsmith.mdb"));
        QString error;
        QVERIFY2(createDatabase(database, &error), qPrintable(error));
        makePages(pristine, 600, 6000);
        makePages(done, 600, 6000);
        const auto runOn = [&](const QString &site) {
            return QStringList{site, QStringLiteral("--main"), site + QStringLiteral("/p0000.htm"),
                               QStringLiteral("--database"), database};
        };
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(batchProgram(runOn(done)).status, 0);
        const qint64 fullRun = std::max<qint64>(timer.elapsed(), 20);
        const Site oldPages = contents(pristine);
        const Site newPages = contents(done);

        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u, a whole run takes %lld ms", seed, fullRun);
        QRandomGenerator random(seed);
        for (int round = 0; round < 6; ++round) {
            const QString site = dir.filePath(QStringLiteral("round%1").arg(round));
            makePages(site, 600, 6000);
            std::unique_ptr<QProcess> process(startProcess(QStringLiteral(TAGSMITH_BATCH), runOn(site)));
            QVERIFY(process->waitForStarted());
            // The first round dies once a page is written, the others at any moment.
            const QString first = site + QStringLiteral("/p0001.htm");
            while (round == 0 && readFile(first) == oldPages.value(QStringLiteral("p0001.htm")) &&
                   process->state() == QProcess::Running)
                QThread::msleep(1);
            if (round > 0)
                QThread::usleep(random.bounded(static_cast<quint32>(fullRun * 1000)));
            ::kill(static_cast<pid_t>(process->processId()), SIGKILL);
            process->waitForFinished();
            const QString where = QStringLiteral("seed %1 round %2: ").arg(seed).arg(round);
            for (auto it = oldPages.cbegin(); it != oldPages.cend(); ++it) {
                const QByteArray now = readFile(site + QLatin1Char('/') + it.key());
                // The main page may also stand as it was after its first rewrite.
                const bool whole = now == it.value() || now == newPages[it.key()] ||
                                   (it.key() == QLatin1String("p0000.htm") &&
                                    now.startsWith("<html><head><title>Page 0</title>\n<META"));
                QVERIFY2(whole, qPrintable(where + it.key() + QStringLiteral(" is broken")));
            }
            batchProgram({site, QStringLiteral("--undo"), QStringLiteral("--database"), database});
            QVERIFY2(contents(site, false) == oldPages, qPrintable(where + QStringLiteral("not undone")));
        }
    }

    // One run or undo of a folder at a time: a second one, while a run stands still half-way, is
    // refused at once and names the first; the kernel lets go of the folder when the first is killed.
    // The killed run is a step of its own: after a rerun, three undos give the site from before.
    void killedRunHoldsTheFolderAndStaysAStep()
    {
        QTemporaryDir dir;
        const QString site = dir.filePath(QStringLiteral("site"));
        const QString database = dir.filePath(QStringLiteral("Tagsmith.mdb"));
        QString error;
        QVERIFY2(createDatabase(database, &error), qPrintable(error));
        makePages(site, 1500, 2000);
        const auto mtimes = [&] {
            QMap<QString, qint64> stamps;
            for (const QString &name : filesIn(site)) {
                struct stat st;
                ::stat(QFile::encodeName(site + QLatin1Char('/') + name).constData(), &st);
                stamps[name] = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
            }
            return stamps;
        };
        const Site original = contents(site);
        const auto originalTimes = mtimes();
        const auto run = [&](const QString &description) {
            return QStringList{site, QStringLiteral("--description"), description, QStringLiteral("--database"),
                               database};
        };
        QCOMPARE(batchProgram(run(QStringLiteral("First"))).status, 0);
        const Site first = contents(site);

        std::unique_ptr<QProcess> second(startProcess(QStringLiteral(TAGSMITH_BATCH), run(QStringLiteral("Second"))));
        QVERIFY(second->waitForStarted());
        const pid_t pid = static_cast<pid_t>(second->processId());
        const QString watched = site + QStringLiteral("/p0010.htm");
        while (readFile(watched) == first.value(QStringLiteral("p0010.htm")) && second->state() == QProcess::Running)
            QThread::usleep(200);
        ::kill(pid, SIGSTOP);
        QVERIFY2(second->state() == QProcess::Running, "the run ended before it could be stopped half-way");
        const Site halfWay = contents(site);
        for (const QStringList &arguments :
             {run(QStringLiteral("Third")),
              QStringList{QStringLiteral("--undo"), site, QStringLiteral("--database"), database}}) {
            const BatchOutput refused = batchProgram(arguments);
            QCOMPARE(refused.status, 1);
            QVERIFY2(refused.err.contains(QStringLiteral("(process %1 tagsmith-batch, ").arg(pid)),
                     qPrintable(refused.err));
            QCOMPARE(contents(site), halfWay);
        }
        ::kill(pid, SIGKILL);
        second->waitForFinished();

        QCOMPARE(batchProgram(run(QStringLiteral("Third"))).status, 0);
        for (int undo = 0; undo < 3; ++undo)
            QCOMPARE(batchProgram({QStringLiteral("--undo"), site, QStringLiteral("--database"), database}).status, 0);
        QVERIFY(contents(site, false) == original);
        QVERIFY(mtimes() == originalTimes);
    }
};

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_BatchRun.moc"
