#include "TestSupport.h"

#include "engine/fs/FileError.h"
#include "engine/fs/FileSystem.h"
#include "engine/core/Run.h"
#include "text/StringTable.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace tagsmith;
using namespace tagsmith::test;

// A run whose file operations fail one at a time, through the file layer: the run stops at the page
// whose operation failed with that failure's message, naming what failed (the page, the folder it is
// exchanged in, or its backup), the pages before it are done, that page and
// the ones after it are as they were, and nothing of ours is left beside them.

class TestFileFaults : public QObject
{
    Q_OBJECT

private slots:
    void failedOperation_data()
    {
        addTableRows(QFINDTESTDATA("data/file-faults.txt"),
                     {"call", "error", "path", "backup", "copy", "fileError", "named"});
    }

    void failedOperation()
    {
        QFETCH(QString, call);
        QFETCH(QString, error);
        QFETCH(QString, path);
        QFETCH(QString, backup);
        QFETCH(QString, copy);
        QFETCH(QString, fileError);
        QFETCH(QString, named);

        QTemporaryDir dir;
        const QString folder = dir.path();
        makeSite(folder,
                 {QStringLiteral("a.htm harbour"), QStringLiteral("b.htm harbour"), QStringLiteral("c.htm harbour")});
        const QByteArray page = readFile(folder + QStringLiteral("/c.htm"));
        RunOptions options = siteOptions(folder);
        options.backup = backup == QLatin1String("1");
        RecordingObserver observer;
        fs::FaultInjector faults;
        if (copy == QLatin1String("1"))
            faults.fail(fs::Call::Link, EXDEV, "bak", 0);
        faults.fail(callNamed(call), errorNamed(error), path.toStdString(), 0);

        QCOMPARE(runMeta(options, observer), RunResult::Failed);
        QCOMPARE(observer.messageList().last(), QStringLiteral("%1/%2 %3%4")
                                                    .arg(ids::ErrorTitle)
                                                    .arg(ids::FileErrorBase + fileError.toInt())
                                                    .arg(folder, named));
        QVERIFY(readFile(folder + QStringLiteral("/a.htm")) != page);
        QCOMPARE(readFile(folder + QStringLiteral("/b.htm")), page);
        QCOMPARE(readFile(folder + QStringLiteral("/c.htm")), page);
        QStringList expected{QStringLiteral("a.htm"), QStringLiteral("b.htm"), QStringLiteral("c.htm")};
        if (options.backup)
            expected.prepend(QStringLiteral("a.bak"));
        QCOMPARE(filesIn(folder), expected);
    }

    void failureMidRun_data()
    {
        QTest::addColumn<bool>("readAhead");
        QTest::addColumn<bool>("dryRun");
        QTest::addColumn<QString>("rows");
        const char *failed = "a.htm replaced,b.htm failed 61,c.htm not-reached,index.htm not-reached main";
        QTest::newRow("read ahead") << true << false << failed;
        QTest::newRow("page by page") << false << false << failed;
        // Nothing is written, so the full disk is not met.
        QTest::newRow("dry run") << true << true
                                 << "a.htm replaced,b.htm replaced,c.htm replaced,index.htm created main";
    }

    // A page that cannot be written stops the run: the report names its file error, and the pages after
    // it, the main page included, as not reached.
    void failureMidRun()
    {
        QFETCH(bool, readAhead);
        QFETCH(bool, dryRun);
        QFETCH(QString, rows);
        QTemporaryDir dir;
        makeSite(dir.path(),
                 {QStringLiteral("a.htm anchors"), QStringLiteral("b.htm boats"), QStringLiteral("c.htm charts")});
        RunOptions options = siteOptions(dir.path());
        options.mainPage = dir.filePath(QStringLiteral("index.htm"));
        options.dryRun = dryRun;
        RecordingObserver observer;
        RunReport report;
        {
            fs::FaultInjector faults;
            faults.fail(fs::Call::Rename, ENOSPC, "/b.htm");
            report = runMetaWithReport(options, observer, runLimits(false, readAhead));
        }
        QCOMPARE(reportRows(report).join(QLatin1Char(',')), rows);
        QCOMPARE(report.result, dryRun ? RunResult::Completed : RunResult::Failed);
        QCOMPARE(report.errors(), dryRun ? 0 : 1);
        QCOMPARE(report.pagesWritten(), dryRun ? 4 : 1);
        if (!dryRun) {
            QCOMPARE(report.pages[1].bytesBefore, QFileInfo(dir.filePath(QStringLiteral("b.htm"))).size());
            QVERIFY(!QFileInfo::exists(options.mainPage));
        }
    }

    void refusedToAnUnprivilegedUser_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("pageMode");
        QTest::addColumn<QString>("named"); // in the message, under the folder
        QTest::newRow("page not writable") << 0777 << 0644 << QStringLiteral("/a.htm");
        QTest::newRow("folder not writable") << 0755 << 0666 << QString();
    }

    // Root may write anything, so the permission checks themselves are tried by a user without privileges:
    // this test program again, as that user, for the one row.
    void refusedToAnUnprivilegedUser()
    {
        QFETCH(int, folderMode);
        QFETCH(int, pageMode);
        QFETCH(QString, named);
        const QString site = qEnvironmentVariable("TAGSMITH_UNPRIVILEGED_SITE");
        if (!site.isEmpty()) {
            RecordingObserver observer;
            QCOMPARE(runMeta(siteOptions(site), observer), RunResult::Failed);
            QCOMPARE(observer.messageList(), QStringList{QStringLiteral("%1/%2 %3%4")
                                                             .arg(ids::ErrorTitle)
                                                             .arg(ids::FileErrorBase + fileerr::PermissionDenied)
                                                             .arg(site, named)});
            return;
        }
        if (::geteuid() != 0)
            QSKIP("only root can become a user without privileges");
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("site"));
        makeSite(dir.path(),
                 {QStringLiteral("site/a.htm harbour"), QStringLiteral("site/a.htm mode %1").arg(pageMode, 0, 8),
                  QStringLiteral("site mode %1").arg(folderMode, 0, 8)});
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        const auto before = treeState(folder);
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TAGSMITH_UNPRIVILEGED_SITE"), folder);
        child.setProcessEnvironment(env);
        child.start(QStringLiteral("setpriv"),
                    {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                     QCoreApplication::applicationFilePath(),
                     QStringLiteral("refusedToAnUnprivilegedUser:") + QString::fromUtf8(QTest::currentDataTag())});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, child.readAll().constData());
        QCOMPARE(treeState(folder), before);
    }

    void namesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ASCII") << QByteArray("index.htm") << QStringLiteral("index.htm");
        QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9 \xf0\x9f\x8c\x8a.htm") << QStringLiteral("café 🌊.htm");
        QTest::newRow("Latin-1") << QByteArray("caf\xe9.html") << QStringLiteral("caf\\351.html");
        QTest::newRow("a continuation byte alone") << QByteArray("\x80"
                                                                 "a")
                                                   << QStringLiteral("\\200a");
        QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf") << QStringLiteral("a\\300\\257");
        QTest::newRow("a surrogate in UTF-8") << QByteArray("\xed\xa0\x80") << QStringLiteral("\\355\\240\\200");
        QTest::newRow("cut short at the end") << QByteArray("euro\xe2\x82") << QStringLiteral("euro\\342\\202");
        QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << QStringLiteral("\\364\\220\\200\\200");
    }

    // Every name the disk can hold comes back byte for byte; messages show the bytes that are not UTF-8.
    void namesKeepTheirBytes()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        const QString text = fs::fromNative(name.toStdString());
        QCOMPARE(QByteArray::fromStdString(fs::native(text)), name);
        QCOMPARE(fs::shown(text), shown);
        QCOMPARE(fs::native(QStringLiteral("/site/") + text + QStringLiteral("/x")),
                 "/site/" + name.toStdString() + "/x");
    }

    // A sync the system itself refuses (a device has none) is reported like an injected one.
    void refusedSyncIsReported() { QCOMPARE(fs::syncPath("/dev/null", false), EINVAL); }

    void piecesWrittenInOrder_data()
    {
        QTest::addColumn<int>("count");
        for (const int count : {0, 1, 64, 65, 200})
            QTest::addRow("%d pieces", count) << count;
    }

    // Pieces go to the file in order, more of them than one call takes, empty ones among them.
    void piecesWrittenInOrder()
    {
        QFETCH(int, count);
        std::vector<std::string> texts;
        QByteArray expected;
        for (int i = 0; i < count; ++i) {
            texts.push_back(i % 3 == 1 ? std::string() : std::to_string(i) + ',');
            expected += QByteArray::fromStdString(texts.back());
        }
        const std::vector<std::string_view> pieces(texts.begin(), texts.end());
        QTemporaryDir dir;
        const std::string path = fs::native(dir.filePath(QStringLiteral("pieces")));
        fs::File file;
        QCOMPARE(fs::createNew(path, 0644, &file), 0);
        QCOMPARE(fs::writeAll(file.fd(), pieces), 0);
        QCOMPARE(file.close(), 0);
        QCOMPARE(readFile(fs::fromNative(path)), expected);
    }
};

QTEST_GUILESS_MAIN(TestFileFaults)
#include "tst_FileFaults.moc"
