#include "TestSupport.h"

#include "engine/FileError.h"
#include "engine/FileSystem.h"
#include "engine/Run.h"
#include "text/StringTable.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

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
    void failedOperation_data();
    void failedOperation();
};

void TestFileFaults::failedOperation_data()
{
    QTest::addColumn<int>("call");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("backup");
    QTest::addColumn<bool>("copy"); // the backup is a copy: no link can be made
    QTest::addColumn<int>("fileError");
    QTest::addColumn<QString>("named"); // in the message, under the folder

    using fs::Call;
    const auto row = [](const char *name, Call call, int error, const char *path, bool backup, bool copy, int fileError,
                        const char *named) {
        QTest::newRow(name) << int(call) << error << QString::fromLatin1(path) << backup << copy << fileError
                            << QString::fromLatin1(named);
    };
    row("disk full on writing", Call::Write, ENOSPC, "b.htm", false, false, fileerr::DiskFull, "/b.htm");
    row("disk full on closing", Call::Close, ENOSPC, ".b.htm.", false, false, fileerr::DiskFull, "/b.htm");
    row("i/o error on reading", Call::Read, EIO, "b.htm", false, false, fileerr::DeviceIO, "/b.htm");
    row("page may not be written", Call::MayWrite, EACCES, "b.htm", false, false, fileerr::PermissionDenied, "/b.htm");
    row("temporary file refused", Call::CreateNew, EACCES, ".b.htm.", false, false, fileerr::PermissionDenied, "");
    row("rename refused", Call::Rename, EACCES, "b.htm", false, false, fileerr::PermissionDenied, "");
    row("rename refused, with backup", Call::Rename, EACCES, "b.htm", true, false, fileerr::PermissionDenied, "");
    row("backup link refused", Call::Link, EACCES, "b.bak", true, false, fileerr::PermissionDenied, "/b.bak");
    row("backup name unreadable", Call::LinkStatus, EACCES, "b.bak", true, false, fileerr::PermissionDenied, "/b.bak");
    row("backup copy: disk full", Call::Write, ENOSPC, "b.bak", true, true, fileerr::DiskFull, "/b.bak");
    row("backup copy: mode refused", Call::ChangeMode, EPERM, "b.bak", true, true, fileerr::PermissionDenied, "/b.bak");
    row("backup copy: i/o error on closing", Call::Close, EIO, "b.bak", true, true, fileerr::DeviceIO, "/b.bak");
}

void TestFileFaults::failedOperation()
{
    QFETCH(int, call);
    QFETCH(int, error);
    QFETCH(QString, path);
    QFETCH(bool, backup);
    QFETCH(bool, copy);
    QFETCH(int, fileError);
    QFETCH(QString, named);

    QTemporaryDir dir;
    const QString folder = dir.path();
    const QByteArray page = "<html><head>\n<meta name=\"keywords\" content=\"old\">\n</head><body>harbour lighthouse"
                            " </body></html>\n";
    for (const char *name : {"a.htm", "b.htm", "c.htm"})
        writeFile(folder + QLatin1Char('/') + QLatin1String(name), page);

    RunOptions options;
    options.folder = folder;
    options.templates = goldenTemplates();
    options.backup = backup;
    RecordingObserver observer;
    fs::FaultInjector faults;
    if (copy)
        faults.fail(fs::Call::Link, EXDEV, "bak", 0);
    faults.fail(static_cast<fs::Call>(call), error, path.toStdString(), 0);

    QCOMPARE(runMeta(options, observer), RunResult::Failed);
    QCOMPARE(observer.messageList().last(),
             QStringLiteral("%1/%2 %3%4").arg(ids::ErrorTitle).arg(ids::FileErrorBase + fileError).arg(folder, named));
    QVERIFY(readFile(folder + QStringLiteral("/a.htm")) != page);
    QCOMPARE(readFile(folder + QStringLiteral("/b.htm")), page);
    QCOMPARE(readFile(folder + QStringLiteral("/c.htm")), page);
    QStringList expected{QStringLiteral("a.htm"), QStringLiteral("b.htm"), QStringLiteral("c.htm")};
    if (backup)
        expected.prepend(QStringLiteral("a.bak"));
    QCOMPARE(filesIn(folder), expected);
}

QTEST_GUILESS_MAIN(TestFileFaults)
#include "tst_FileFaults.moc"
