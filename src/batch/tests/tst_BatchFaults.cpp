#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

using namespace tagsmith::test;

// The real tagsmith-batch under conditions a run must survive: a full disk (a file-size limit) and
// being killed half-way. (Pages and folders it may not write: tst_FileFaults, through the file layer.)
namespace {

struct Result
{
    int status = -1;
    QString err;
};

QByteArray page(int i, int size = 200)
{
    QByteArray bytes = "<html><head><title>Page " + QByteArray::number(i) +
                       "</title>\n<meta name=\"keywords\" content=\"old\">\n</head><body>\n";
    while (bytes.size() < size)
        bytes += "Lighthouse keepers number " + QByteArray::number(i) + " watching harbours.\n";
    return bytes + "</body></html>\n";
}

// Pages a.htm, b.htm ... in the folder.
void makeSite(const QString &folder, int pages, int size = 200)
{
    QDir().mkpath(folder);
    for (int i = 0; i < pages; ++i)
        writeFile(folder + QStringLiteral("/p%1.htm").arg(i, 4, 10, QLatin1Char('0')), page(i, size));
}

QMap<QString, QByteArray> contents(const QString &folder)
{
    QMap<QString, QByteArray> map;
    for (const QString &name : filesIn(folder))
        map.insert(name, readFile(folder + QLatin1Char('/') + name));
    return map;
}

QProcess *startBatch(const QStringList &arguments, rlim_t fileSizeLimit = RLIM_INFINITY)
{
    auto *process = new QProcess;
    if (fileSizeLimit != RLIM_INFINITY) {
        process->setChildProcessModifier([fileSizeLimit] {
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    process->start(QStringLiteral(TAGSMITH_BATCH), arguments);
    return process;
}

Result runBatch(const QStringList &arguments, rlim_t fileSizeLimit = RLIM_INFINITY)
{
    std::unique_ptr<QProcess> process(startBatch(arguments, fileSizeLimit));
    Result result;
    if (!process->waitForFinished(60000))
        return result;
    result.status = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    // Without the line of totals at the end.
    result.err = QString::fromUtf8(process->readAllStandardError())
                     .remove(QRegularExpression(QStringLiteral("[^\n]* errors? in [0-9.]+ s\n$")));
    return result;
}

} // namespace

class TestBatchFaults : public QObject
{
    Q_OBJECT

private slots:
    void smokeRun();
    void diskFull();
    void killedHalfWay();
};

void TestBatchFaults::smokeRun()
{
    QTemporaryDir dir;
    const QString site = dir.filePath(QStringLiteral("site"));
    makeSite(site, 3);
    const Result result =
        runBatch({site, QStringLiteral("--main"), site + QStringLiteral("/p0000.htm"), QStringLiteral("--backup"),
                  QStringLiteral("--description"), QStringLiteral("Keepers")});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.err, QString());
    QCOMPARE(filesIn(site),
             (QStringList{QStringLiteral("p0000.bak"), QStringLiteral("p0000.bak1"), QStringLiteral("p0000.htm"),
                          QStringLiteral("p0001.bak"), QStringLiteral("p0001.htm"), QStringLiteral("p0002.bak"),
                          QStringLiteral("p0002.htm")}));
    QVERIFY(readFile(site + QStringLiteral("/p0000.htm")).contains("<META NAME=\"description\" CONTENT=\"Keepers\">"));
}

void TestBatchFaults::diskFull()
{
    QTemporaryDir dir;
    const QString site = dir.filePath(QStringLiteral("site"));
    makeSite(site, 5);
    // The third page is larger than the file-size limit of the run.
    writeFile(site + QStringLiteral("/p0002.htm"), page(2, 100000));
    const auto before = contents(site);
    const Result result = runBatch({site}, 64 * 1024);
    QCOMPARE(result.status, 1);
    QCOMPARE(result.err, site + QStringLiteral("/p0002.htm: Tagsmith Error: Not enough space on disk or disk full.\n"));
    const auto after = contents(site);
    QCOMPARE(after.keys(), before.keys());
    QVERIFY(after[QStringLiteral("p0000.htm")] != before[QStringLiteral("p0000.htm")]);
    QVERIFY(after[QStringLiteral("p0001.htm")] != before[QStringLiteral("p0001.htm")]);
    for (const char *name : {"p0002.htm", "p0003.htm", "p0004.htm"})
        QCOMPARE(after[QString::fromUtf8(name)], before[QString::fromUtf8(name)]);
}

void TestBatchFaults::killedHalfWay()
{
    QTemporaryDir dir;
    const QString pristine = dir.filePath(QStringLiteral("pristine"));
    const QString done = dir.filePath(QStringLiteral("done"));
    makeSite(pristine, 600, 6000);
    makeSite(done, 600, 6000);
    const QStringList mainPage = {QStringLiteral("--main"), QStringLiteral("p0000.htm")};
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(
        runBatch(QStringList{done} + QStringList{QStringLiteral("--main"), done + QStringLiteral("/p0000.htm")}).status,
        0);
    const qint64 fullRun = std::max<qint64>(timer.elapsed(), 20);
    const auto oldPages = contents(pristine);
    const auto newPages = contents(done);

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("seed %u, a whole run takes %lld ms", seed, fullRun);
    QRandomGenerator random(seed);
    for (int round = 0; round < 6; ++round) {
        const QString site = dir.filePath(QStringLiteral("round%1").arg(round));
        makeSite(site, 600, 6000);
        std::unique_ptr<QProcess> process(
            startBatch({site, QStringLiteral("--main"), site + QStringLiteral("/p0000.htm")}));
        QVERIFY(process->waitForStarted());
        QThread::usleep(random.bounded(static_cast<quint32>(fullRun * 1000)));
        ::kill(static_cast<pid_t>(process->processId()), SIGKILL);
        process->waitForFinished();
        int rewritten = 0;
        for (auto it = oldPages.cbegin(); it != oldPages.cend(); ++it) {
            const QByteArray now = readFile(site + QLatin1Char('/') + it.key());
            // The main page may also stand as it was after its first rewrite.
            const bool whole =
                now == it.value() || now == newPages[it.key()] ||
                (it.key() == QLatin1String("p0000.htm") && now.startsWith("<html><head><title>Page 0</title>\n<META"));
            QVERIFY2(whole,
                     qPrintable(QStringLiteral("seed %1 round %2: %3 is broken").arg(seed).arg(round).arg(it.key())));
            rewritten += now != it.value();
        }
        qInfo("round %d: %d pages rewritten when killed", round, rewritten);
    }
}

QTEST_GUILESS_MAIN(TestBatchFaults)
#include "tst_BatchFaults.moc"
