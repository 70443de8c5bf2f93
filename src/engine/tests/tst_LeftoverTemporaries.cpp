#include "TestSupport.h"

#include "engine/FileError.h"
#include "engine/FileSystem.h"
#include "engine/Run.h"
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
    void onlyThoseOfEndedRunsGo_data();
    void onlyThoseOfEndedRunsGo();
    void pagesNotOnTheDiskFailTheRun();
};

void TestLeftoverTemporaries::onlyThoseOfEndedRunsGo_data()
{
    // "ENDED" stands for an ended process, "RUNNING" for a running one.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // file, folder or link
    QTest::addColumn<bool>("removed");
    const QString file = QStringLiteral("file");
    QTest::newRow("ended run, its page") << QStringLiteral(".index.htm.ENDED-0badf00d.tmp") << file << true;
    QTest::newRow("ended run, an html page") << QStringLiteral(".About-Us.HTML.ENDED-12ab34cd.tmp") << file << true;
    QTest::newRow("ended run, a file a link pointed to")
        << QStringLiteral(".notes.txt.ENDED-00000000.tmp") << file << true;
    QTest::newRow("running process") << QStringLiteral(".index.htm.RUNNING-0badf00d.tmp") << file << false;
    QTest::newRow("no such page or file") << QStringLiteral(".draft.txt.ENDED-0badf00d.tmp") << file << false;
    QTest::newRow("no number after the process") << QStringLiteral(".index.htm.ENDED.tmp") << file << false;
    QTest::newRow("capital hex digits") << QStringLiteral(".index.htm.ENDED-0BADF00D.tmp") << file << false;
    QTest::newRow("seven digits") << QStringLiteral(".index.htm.ENDED-0badf00.tmp") << file << false;
    QTest::newRow("not hidden") << QStringLiteral("index.htm.ENDED-0badf00d.tmp") << file << false;
    QTest::newRow("more after .tmp") << QStringLiteral(".index.htm.ENDED-0badf00d.tmp.bak") << file << false;
    QTest::newRow("process number 0") << QStringLiteral(".index.htm.0-0badf00d.tmp") << file << false;
    QTest::newRow("no page name") << QStringLiteral("..ENDED-0badf00d.tmp") << file << false;
    QTest::newRow("a folder") << QStringLiteral(".index.htm.ENDED-0badf00d.tmp") << QStringLiteral("folder") << false;
    QTest::newRow("a link") << QStringLiteral(".index.htm.ENDED-0badf00d.tmp") << QStringLiteral("link") << false;
}

void TestLeftoverTemporaries::onlyThoseOfEndedRunsGo()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(bool, removed);
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

    RunOptions options;
    options.folder = dir.path();
    options.templates = goldenTemplates();
    RecordingObserver observer;
    QCOMPARE(runMeta(options, observer), RunResult::Completed);

    QCOMPARE(QFileInfo::exists(path) || QFileInfo(path).isSymLink(), !removed);
    QStringList expected;
    if (removed)
        expected << QStringLiteral("%1/%2 %3").arg(ids::WarningTitle).arg(ids::TemporariesRemoved).arg(dir.path());
    QCOMPARE(observer.messageList(), expected);
    if (removed)
        QCOMPARE(observer.messages.front().count, 1);
    // The run leaves no temporary of its own.
    const QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QCOMPARE(left.filter(QStringLiteral(".tmp")), removed ? QStringList() : QStringList{name});
}

void TestLeftoverTemporaries::pagesNotOnTheDiskFailTheRun()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("index.htm")), "<head></head><body>Harbour</body>");
    RunOptions options;
    options.folder = dir.path();
    options.templates = goldenTemplates();
    RecordingObserver observer;
    fs::FaultInjector faults;
    faults.fail(fs::Call::Sync, EIO);
    QCOMPARE(runMeta(options, observer), RunResult::Failed);
    QCOMPARE(observer.messageList(), QStringList{QStringLiteral("%1/%2 %3")
                                                     .arg(ids::ErrorTitle)
                                                     .arg(ids::FileErrorBase + fileerr::DeviceIO)
                                                     .arg(dir.path())});
}

QTEST_GUILESS_MAIN(TestLeftoverTemporaries)
#include "tst_LeftoverTemporaries.moc"
