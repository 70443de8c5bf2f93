#include "TestSupport.h"

#include "batch/BatchCommand.h"
#include "storage/SettingsTable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace tagsmith;
using namespace tagsmith::test;

namespace {

struct Output
{
    int status = -1;
    QString out;
    QString err;
};

// A site and a program data folder with its database.
struct Fixture
{
    QTemporaryDir dir;
    QString site = dir.filePath(QStringLiteral("site"));
    QString database = dir.filePath(QStringLiteral("data/Tagsmith.mdb"));

    explicit Fixture(int pages, int size = 300)
    {
        QDir().mkpath(site);
        QDir().mkpath(dir.filePath(QStringLiteral("data")));
        QString error;
        QVERIFY2(createDatabase(database, &error), qPrintable(error));
        for (int i = 0; i < pages; ++i) {
            QByteArray bytes = "<html><head><title>Page " + QByteArray::number(i) +
                               "</title>\n<meta name=\"keywords\" content=\"old\">\n</head><body>\n";
            while (bytes.size() < size)
                bytes += "Harbour pilots number " + QByteArray::number(i) + " guide ships.\n";
            writeFile(site + QStringLiteral("/p%1.htm").arg(i, 5, 10, QLatin1Char('0')), bytes + "</body></html>\n");
        }
    }

    Output batch(const QStringList &arguments) const
    {
        Output result;
        QTextStream out(&result.out);
        QTextStream err(&result.err);
        result.status = runBatch(arguments, database, out, err);
        out.flush();
        err.flush();
        return result;
    }

    // The files of the site but the hidden ones (a run that is killed leaves its temporary file).
    QMap<QString, QByteArray> state() const
    {
        QMap<QString, QByteArray> map;
        for (const QString &name : filesIn(site))
            if (!name.startsWith(QLatin1Char('.')))
                map.insert(name, readFile(site + QLatin1Char('/') + name));
        return map;
    }
};

} // namespace

class TestBatchUndo : public QObject
{
    Q_OBJECT

private slots:
    void undoAndDryRun_data();
    void undoAndDryRun();
    void killedRunIsUndone();
};

void TestBatchUndo::undoAndDryRun_data()
{
    QTest::addColumn<QStringList>("runOptions");
    QTest::addColumn<int>("status");     // of the undo
    QTest::addColumn<QString>("dryRun"); // what --dry-run prints
    QTest::newRow("backup") << QStringList{QStringLiteral("--backup")} << batchexit::Completed
                            << QStringLiteral("restore\tp00000.htm\nrestore\tp00001.htm\n");
    QTest::newRow("main page made by the run")
        << QStringList{QStringLiteral("--main"), QStringLiteral("index.htm")} << batchexit::Completed
        << QStringLiteral("restore\tp00000.htm\nrestore\tp00001.htm\nremove\tindex.htm\n");
    QTest::newRow("without undo data") << QStringList{QStringLiteral("--no-undo")} << batchexit::Failed << QString();
}

void TestBatchUndo::undoAndDryRun()
{
    QFETCH(QStringList, runOptions);
    QFETCH(int, status);
    QFETCH(QString, dryRun);
    Fixture f(2);
    const auto before = f.state();
    QStringList run{f.site};
    for (const QString &option : runOptions)
        run << (option == QLatin1String("index.htm") ? f.site + QStringLiteral("/index.htm") : option);
    QCOMPARE(f.batch(run).status, batchexit::Completed);
    const auto written = f.state();

    const Output dry = f.batch({QStringLiteral("--undo"), QStringLiteral("--dry-run"), f.site});
    QCOMPARE(dry.status, status);
    QCOMPARE(dry.out, QString(dryRun).replace(QStringLiteral("\t"), QStringLiteral("\t") + f.site + QLatin1Char('/')));
    QCOMPARE(f.state(), written);

    const Output undo = f.batch({f.site, QStringLiteral("--undo")});
    QCOMPARE(undo.status, status);
    QCOMPARE(f.state(), status == batchexit::Completed ? before : written);
    // Once undone, there is nothing left to undo.
    const Output again =
        f.batch({QStringLiteral("--undo"), f.site, QStringLiteral("--language"), QStringLiteral("nl")});
    QCOMPARE(again.status, batchexit::Failed);
    QVERIFY2(again.err.contains(QStringLiteral("Er zijn geen herstelgegevens")), qPrintable(again.err));
}

void TestBatchUndo::killedRunIsUndone()
{
    // A run killed half-way leaves undo data for the pages it changed, whichever moment it dies.
    Fixture f(2000, 4000);
    const auto before = f.state();
    QProcess process;
    process.start(QStringLiteral(TAGSMITH_BATCH), {f.site, QStringLiteral("--database"), f.database,
                                                   QStringLiteral("--main"), f.site + QStringLiteral("/p00000.htm")});
    QVERIFY(process.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    const QString last = f.site + QStringLiteral("/p01000.htm");
    const QByteArray lastBefore = before.value(QStringLiteral("p01000.htm"));
    while (readFile(last) == lastBefore && process.state() == QProcess::Running && waited.elapsed() < 60000)
        QThread::msleep(2);
    process.kill();
    process.waitForFinished();
    if (process.exitStatus() == QProcess::NormalExit)
        QSKIP("the run ended before it could be killed");
    QVERIFY(f.state() != before);

    const Output undo = f.batch({f.site, QStringLiteral("--undo"), QStringLiteral("--database"), f.database});
    QCOMPARE(undo.status, batchexit::Completed);
    QCOMPARE(f.state(), before);
}

QTEST_GUILESS_MAIN(TestBatchUndo)
#include "tst_BatchUndo.moc"
