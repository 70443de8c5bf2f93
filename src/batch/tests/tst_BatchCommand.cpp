// The batch command in this process: its command line, a run that does not start, the templates of its
// database, and the undo of a run.

#include "BatchUnderTest.h"
#include "storage/Database.h"
#include "storage/SettingsTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tagsmith;
using namespace tagsmith::test;

namespace {
const QByteArray Page = "<html><head><title>Harbour</title></head><body>Harbours and lighthouses</body></html>\n";
}

class TestBatchCommand : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected"); // the options that matter as text, or "!" and the usage error
        for (const QStringList &row : readTable(QFINDTESTDATA("data/arguments.txt")))
            QTest::newRow(qPrintable(row[0])) << row.mid(2) << row[1];
    }

    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        if (expected.startsWith(QLatin1Char('!'))) {
            const BatchOutput result = batchInProcess(arguments);
            QCOMPARE(result.status, batchexit::BadUsage);
            QVERIFY2(result.err.contains(expected.mid(1)), qPrintable(result.err));
            QVERIFY(result.out.isEmpty());
            return;
        }
        if (expected.startsWith(QLatin1Char('='))) {
            const BatchOutput result = batchInProcess(arguments);
            QCOMPARE(result.status, batchexit::Completed);
            const QString out = QString::fromUtf8(result.out);
            const bool holds = expected.startsWith(QLatin1String("=~"));
            QVERIFY2(holds ? out.contains(expected.mid(2)) : out.startsWith(expected.mid(1)), qPrintable(out));
            return;
        }
        const BatchArguments parsed = parseBatchArguments(arguments);
        QCOMPARE(parsed.action, BatchArguments::Action::Run);
        const RunOptions &o = parsed.options;
        const auto on = [](bool flag) { return QString::number(int(flag)); };
        const QString actual =
            QStringLiteral(
                "%1|main=%2|desc=%3:%4|gen=%5 rob=%6 rev=%7:%8|min=%9:%10|case=%11,%12,%13|backup=%14|lang=%15|db=%16")
                .arg(o.folder, o.mainPage, on(o.description), o.siteDescription, on(o.generator), on(o.robots),
                     on(o.revisit), o.revisitMonths, on(o.minLength), o.minLengthText, on(o.caseConversion),
                     on(o.upperCase), on(o.lowerCase), on(o.backup), QString::number(parsed.langOffset),
                     parsed.database);
        QCOMPARE(actual, expected);
    }

    // A folder that is not there: the run does not start, and says why in the language asked for.
    void notStarted()
    {
        const BatchOutput missing =
            batchInProcess({QStringLiteral("--language"), QStringLiteral("nl"), QStringLiteral("/nonexistent/site")});
        QCOMPARE(missing.status, batchexit::Failed);
        QVERIFY(missing.err.contains(QStringLiteral("De geselecteerde disk of map bestaat niet.")));
    }

    void refused_data() { addTableRows(QFINDTESTDATA("data/refused.txt"), {"arguments", "status", "message"}); }

    // Nothing is touched: not a page, not a time stamp.
    void refused()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, status);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString site = dir.filePath(QStringLiteral("site"));
        makeSite(site, Site{{QStringLiteral("a.htm"), Page}, {QStringLiteral("index.htm"), Page}});
        QVERIFY(QDir(site).mkdir(QStringLiteral("sub")));
        const auto before = treeState(dir.path(), true);
        const BatchOutput result =
            batchInProcess(arguments.replace(QStringLiteral("SITE"), site).split(QLatin1Char(' ')));
        QCOMPARE(result.status, status.toInt());
        QVERIFY2(result.err.contains(message.replace(QStringLiteral("SITE"), site)), qPrintable(result.err));
        QCOMPARE(treeState(dir.path(), true), before);
    }

    void templatesFromTheDatabase()
    {
        QTemporaryDir dir;
        const QString database = dir.filePath(QStringLiteral("Tagsmith.mdb"));
        QString error;
        QVERIFY2(createDatabase(database, &error), qPrintable(error));
        QVERIFY(Database::open(database, Database::Mode::ReadWrite, &error)
                    ->exec(QStringLiteral("UPDATE Settings SET Value = '<meta name=\"robots\" content=\"noindex\">' "
                                          "WHERE rowid = 5"),
                           &error));
        writeFile(dir.filePath(QStringLiteral("a.htm")), "<head></head>");
        // The database beside the program is found without --database.
        const BatchOutput result =
            batchInProcess({dir.path(), QStringLiteral("--no-generator"), QStringLiteral("--no-revisit")}, database);
        QCOMPARE(result.status, batchexit::Completed);
        QCOMPARE(
            readFile(dir.filePath(QStringLiteral("a.htm"))),
            QByteArray("<head><META NAME=\"keywords\" CONTENT=\"\">\r\n<meta name=\"robots\" content=\"noindex\">\r\n"
                       "</head>"));

        const BatchOutput broken =
            batchInProcess({dir.path(), QStringLiteral("--database"), dir.filePath(QStringLiteral("a.htm"))});
        QCOMPARE(broken.status, batchexit::Failed);
        QVERIFY(broken.err.contains(QStringLiteral("cannot read the template texts")));

        // A Settings table that lost rows is refused before the page is touched.
        QVERIFY(Database::open(database, Database::Mode::ReadWrite, &error)
                    ->exec(QStringLiteral("DELETE FROM Settings WHERE rowid > 3"), &error));
        const QByteArray page = readFile(dir.filePath(QStringLiteral("a.htm")));
        const BatchOutput shortTable = batchInProcess({dir.path(), QStringLiteral("--database"), database});
        QCOMPARE(shortTable.status, batchexit::Failed);
        QVERIFY2(shortTable.err.contains(QStringLiteral("holds 3 of its 8 rows")), qPrintable(shortTable.err));
        QCOMPARE(readFile(dir.filePath(QStringLiteral("a.htm"))), page);
    }

    void undoAndDryRun_data() { addTableRows(QFINDTESTDATA("data/undo.txt"), {"runOptions", "status", "dryRun"}); }

    void undoAndDryRun()
    {
        QFETCH(QString, runOptions);
        QFETCH(QString, status);
        QFETCH(QString, dryRun);
        QTemporaryDir dir;
        const QString site = dir.filePath(QStringLiteral("site"));
        const QString database = dir.filePath(QStringLiteral("Tagsmith.mdb"));
        QString error;
        QVERIFY2(createDatabase(database, &error), qPrintable(error));
        makePages(site, 2);
        const Site before = contents(site);
        runOptions.replace(QStringLiteral("SITE"), site);
        QCOMPARE(
            batchInProcess(QStringList{site} + runOptions.split(QLatin1Char(' '), Qt::SkipEmptyParts), database).status,
            batchexit::Completed);
        const Site written = contents(site);

        const BatchOutput dry = batchInProcess({QStringLiteral("--undo"), QStringLiteral("--dry-run"), site}, database);
        QCOMPARE(dry.status, status.toInt());
        QCOMPARE(QString::fromUtf8(dry.out), QString::fromUtf8(unescape(dryRun)).replace(QStringLiteral("SITE"), site));
        QCOMPARE(contents(site), written);

        QCOMPARE(batchInProcess({site, QStringLiteral("--undo")}, database).status, status.toInt());
        QCOMPARE(contents(site), status.toInt() == batchexit::Completed ? before : written);
        // Once undone, there is nothing left to undo.
        const BatchOutput again = batchInProcess(
            {QStringLiteral("--undo"), site, QStringLiteral("--language"), QStringLiteral("nl")}, database);
        QCOMPARE(again.status, batchexit::Failed);
        QVERIFY2(again.err.contains(QStringLiteral("Er zijn geen herstelgegevens")), qPrintable(again.err));
    }

    // The batch command alone keeps undo data, from a home without a data folder; a folder moved keeps
    // its undo data and finds it where it is now; --list shows it and --forget removes it, also of a
    // folder that is gone.
    void undoDataOfTheBatchCommand()
    {
        QTemporaryDir dir;
        const QString site = dir.filePath(QStringLiteral("site"));
        const QString moved = dir.filePath(QStringLiteral("moved"));
        const QString database = dir.filePath(QStringLiteral("home/.local/share/tagsmith/Tagsmith.mdb"));
        makePages(site, 3);
        const Site before = contents(site);
        const auto batch = [&](const QStringList &arguments) { return batchInProcess(arguments, database); };

        QCOMPARE(batch({site}).status, batchexit::Completed);
        const Site written = contents(site);
        QVERIFY(written != before);
        QVERIFY(QFile::rename(site, moved));
        // The folder is gone: said so, and its undo data stays.
        const BatchOutput gone = batch({QStringLiteral("--undo"), site});
        QCOMPARE(gone.status, batchexit::Failed);
        QVERIFY2(gone.err.contains(QStringLiteral("does not exist")), qPrintable(gone.err));
        const BatchOutput list = batch({QStringLiteral("--undo"), QStringLiteral("--list")});
        QCOMPARE(list.status, batchexit::Completed);
        QVERIFY2(QString::fromUtf8(list.out).startsWith(site + QStringLiteral(" (no longer exists)\n  ")),
                 list.out.constData());
        QVERIFY2(list.out.contains(" pages: 3 "), list.out.constData());
        // Found by what the run wrote in the pages.
        QCOMPARE(batch({QStringLiteral("--undo"), QStringLiteral("--dry-run"), moved}).status, batchexit::Completed);
        QCOMPARE(batch({QStringLiteral("--undo"), moved}).status, batchexit::Completed);
        QCOMPARE(contents(moved), before);

        QCOMPARE(batch({moved}).status, batchexit::Completed);
        QVERIFY(QDir(moved).removeRecursively());
        const BatchOutput forgot = batch({QStringLiteral("--forget"), moved});
        QCOMPARE(forgot.status, batchexit::Completed);
        QVERIFY2(forgot.err.contains(QStringLiteral("removed (runs: 1)")), qPrintable(forgot.err));
        QCOMPARE(QString::fromUtf8(batch({QStringLiteral("--undo"), QStringLiteral("--list")}).out),
                 QStringLiteral("No undo data is kept.\n"));
    }

    // Undo data that cannot be kept: the run does not start, unless asked to go without.
    void noRoomForUndoData()
    {
        QTemporaryDir dir;
        const QString site = dir.filePath(QStringLiteral("site"));
        makePages(site, 2);
        const Site before = contents(site);
        writeFile(dir.filePath(QStringLiteral("data")), "a file where the data folder would be");
        const QString database = dir.filePath(QStringLiteral("data/Tagsmith.mdb"));
        const BatchOutput refused = batchInProcess({site}, database);
        QCOMPARE(refused.status, batchexit::Failed);
        QVERIFY2(refused.err.contains(QStringLiteral("the run did not start")), qPrintable(refused.err));
        QCOMPARE(contents(site), before);
        const BatchOutput without = batchInProcess({site, QStringLiteral("--no-undo")}, database);
        QCOMPARE(without.status, batchexit::Completed);
        QVERIFY(contents(site) != before);
    }
};

QTEST_GUILESS_MAIN(TestBatchCommand)
#include "tst_BatchCommand.moc"
