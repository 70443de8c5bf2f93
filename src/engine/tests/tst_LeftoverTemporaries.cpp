#include "TestSupport.h"

#include "engine/fs/FileError.h"
#include "engine/fs/FileSystem.h"
#include "engine/core/Run.h"
#include "engine/undo/Undo.h"
#include "text/StringTable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

using namespace tagsmith;
using namespace tagsmith::test;

namespace {

// The number of a process that has ended.
pid_t endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

} // namespace

class TestLeftoverTemporaries : public QObject
{
    Q_OBJECT

private slots:
    void onlyThoseOfEndedRunsGo_data()
    {
        addTableRows(QFINDTESTDATA("data/leftover-temporaries.txt"), {"name", "kind", "removed"});
    }

    void onlyThoseOfEndedRunsGo()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, removed);
        const bool gone = removed == QLatin1String("1");
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("index.htm")), "<head></head><body>Harbour</body>");
        writeFile(dir.filePath(QStringLiteral("notes.txt")), "notes");
        name.replace(QLatin1String("ENDED"), QString::number(endedProcess()));
        name.replace(QLatin1String("RUNNING"), QString::number(::getpid()));
        const QString path = dir.filePath(name);
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(path));
        else if (kind == QLatin1String("link"))
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("notes.txt")), path));
        else
            writeFile(path, "half a page");

        RecordingObserver observer;
        QCOMPARE(runMeta(siteOptions(dir.path()), observer), RunResult::Completed);

        QCOMPARE(QFileInfo::exists(path) || QFileInfo(path).isSymLink(), !gone);
        const QString message =
            QStringLiteral("%1/%2 %3").arg(ids::WarningTitle).arg(ids::TemporariesRemoved).arg(dir.path());
        QCOMPARE(observer.messageList(), gone ? QStringList{message} : QStringList());
        if (gone)
            QCOMPARE(observer.messages.front().count, 1);
        // The run leaves no temporary of its own.
        QCOMPARE(treeState(dir.path()).keys().filter(QStringLiteral(".tmp")),
                 gone ? QStringList()
                      : QStringList{name + (kind == QLatin1String("folder") ? QStringLiteral("/") : QString())});
    }

    // Undoing a run that was killed puts the folder back without the temporary it left, also when
    // the run was killed before it kept any undo data (writing its first page).
    void undoRemovesTheKilledRunsTemporary_data()
    {
        QTest::addColumn<bool>("undoDataKept");
        QTest::newRow("killed after its first page") << true;
        QTest::newRow("killed while writing its first page") << false;
    }
    void undoRemovesTheKilledRunsTemporary()
    {
        QFETCH(bool, undoDataKept);
        QTemporaryDir dir;
        QTemporaryDir data;
        const QString page = dir.filePath(QStringLiteral("index.htm"));
        writeFile(page, "<head></head><body>Harbour</body>");
        RunOptions options = siteOptions(dir.path());
        options.dataFolder = data.path();
        RecordingObserver observer;
        if (undoDataKept)
            QCOMPARE(runMeta(options, observer), RunResult::Completed);
        const QString killed = dir.filePath(QStringLiteral(".index.htm.%1-0badf00d.tmp").arg(endedProcess()));
        const QString running = dir.filePath(QStringLiteral(".index.htm.%1-0badf00d.tmp").arg(::getpid()));
        writeFile(killed, "half a page");
        writeFile(running, "half a page");

        RecordingObserver undoing;
        QCOMPARE(undoLastRun(data.path(), dir.path(), undoing, nullptr),
                 undoDataKept ? RunResult::Completed : RunResult::NotStarted);
        QVERIFY(!QFileInfo::exists(killed));
        QVERIFY(QFileInfo::exists(running));
        QStringList messages;
        if (!undoDataKept)
            messages << QStringLiteral("%1/%2 %3").arg(ids::ErrorTitle).arg(ids::NoUndoData).arg(dir.path());
        messages << QStringLiteral("%1/%2 %3").arg(ids::WarningTitle).arg(ids::TemporariesRemoved).arg(dir.path());
        QCOMPARE(undoing.messageList(), messages);
        QCOMPARE(readFile(page), QByteArray("<head></head><body>Harbour</body>"));
    }

    void pagesNotOnTheDiskFailTheRun()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("index.htm")), "<head></head><body>Harbour</body>");
        RecordingObserver observer;
        fs::FaultInjector faults;
        faults.fail(fs::Call::Sync, EIO);
        QCOMPARE(runMeta(siteOptions(dir.path()), observer), RunResult::Failed);
        QCOMPARE(observer.messageList(), QStringList{QStringLiteral("%1/%2 %3")
                                                         .arg(ids::ErrorTitle)
                                                         .arg(ids::FileErrorBase + fileerr::DeviceIO)
                                                         .arg(dir.path())});
    }
};

QTEST_GUILESS_MAIN(TestLeftoverTemporaries)
#include "tst_LeftoverTemporaries.moc"
