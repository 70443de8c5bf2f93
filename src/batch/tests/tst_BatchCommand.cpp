#include "TestSupport.h"

#include "batch/BatchCommand.h"
#include "storage/Database.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tagsmith;
using namespace tagsmith::test;

namespace {

struct Output
{
    int status;
    QString out;
    QString err;
};

Output batch(const QStringList &arguments, const QString &defaultDatabase = QStringLiteral("/nonexistent/Tagsmith.mdb"))
{
    Output result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.status = runBatch(arguments, defaultDatabase, out, err);
    out.flush();
    err.flush();
    return result;
}

} // namespace

class TestBatchCommand : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void helpAndVersion();
    void wholeRun();
    void templatesFromTheDatabase();
};

void TestBatchCommand::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected"); // the options that matter as text, or "!" and the usage error
    for (const QStringList &row : readTable(QFINDTESTDATA("data/arguments.txt")))
        QTest::newRow(qPrintable(row[0])) << row.mid(2) << row[1];
}

void TestBatchCommand::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    if (expected.startsWith(QLatin1Char('!'))) {
        const Output result = batch(arguments);
        QCOMPARE(result.status, batchexit::BadUsage);
        QVERIFY2(result.err.contains(expected.mid(1)), qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
        return;
    }
    const BatchArguments parsed = parseBatchArguments(arguments);
    QCOMPARE(parsed.action, BatchArguments::Action::Run);
    const RunOptions &o = parsed.options;
    const QString actual =
        QStringLiteral(
            "%1|main=%2|desc=%3:%4|gen=%5 rob=%6 rev=%7:%8|min=%9:%10|case=%11,%12,%13|backup=%14|lang=%15|db=%16")
            .arg(o.folder, o.mainPage)
            .arg(int(o.description))
            .arg(o.siteDescription)
            .arg(int(o.generator))
            .arg(int(o.robots))
            .arg(int(o.revisit))
            .arg(o.revisitMonths)
            .arg(int(o.minLength))
            .arg(o.minLengthText)
            .arg(int(o.caseConversion))
            .arg(int(o.upperCase))
            .arg(int(o.lowerCase))
            .arg(int(o.backup))
            .arg(parsed.langOffset)
            .arg(parsed.database);
    QCOMPARE(actual, expected);
}

void TestBatchCommand::helpAndVersion()
{
    const Output help = batch({QStringLiteral("site"), QStringLiteral("--help")});
    QCOMPARE(help.status, batchexit::Completed);
    QVERIFY(help.out.startsWith(QStringLiteral("Usage: tagsmith-batch [OPTIONS] FOLDER")));
    const Output version = batch({QStringLiteral("--version")});
    QCOMPARE(version.status, batchexit::Completed);
    QCOMPARE(version.out, QStringLiteral("tagsmith-batch 1.0.0\ndatabase: /nonexistent/Tagsmith.mdb\n"));
    const Output chosen =
        batch({QStringLiteral("--database"), QStringLiteral("/x/my.mdb"), QStringLiteral("--version")});
    QCOMPARE(chosen.out, QStringLiteral("tagsmith-batch 1.0.0\ndatabase: /x/my.mdb\n"));
}

void TestBatchCommand::wholeRun()
{
    // In Dutch: the messages follow --language.
    const QString language = QStringLiteral("nl");
    const QString warning = QStringLiteral(
        "Tagsmith Foutmelding: Geen <Meta Name or </Head tag gevonden, plaatsing aan einde van bestand. ");
    QTemporaryDir dir;
    const QString site = dir.filePath(QStringLiteral("site"));
    QDir().mkdir(site);
    writeFile(site + QStringLiteral("/a.htm"),
              "<html><head><title>Rowing</title></head><body>Rowing boats</body></html>");
    writeFile(site + QStringLiteral("/b.html"), "<p>Canals</p>");
    writeFile(site + QStringLiteral("/index.htm"), "<head><meta name=keywords content=x></head><body>Welcome</body>");

    const Output result = batch({QStringLiteral("--language"), language, site, QStringLiteral("--main"),
                                 site + QStringLiteral("/index.htm"), QStringLiteral("--no-generator"),
                                 QStringLiteral("--no-revisit"), QStringLiteral("--no-robots"),
                                 QStringLiteral("--min-length"), QStringLiteral("5"), QStringLiteral("--no-undo")});
    QCOMPARE(result.status, batchexit::Completed);
    QCOMPARE(result.err.section(QLatin1Char('\n'), 0, 0), site + QStringLiteral("/b.html: ") + warning);
    QCOMPARE(readFile(site + QStringLiteral("/a.htm")),
             QByteArray("<html><head><title>Rowing</title><META NAME=\"keywords\" CONTENT=\"rowing, boats\">\r\n</head>"
                        "<body>Rowing boats</body></html>"));
    QVERIFY(readFile(site + QStringLiteral("/index.htm")).contains("CONTENT=\"rowing, boats, canals, welcome\""));

    // A folder that is not there: the run does not start.
    const Output missing = batch({QStringLiteral("--language"), language, dir.filePath(QStringLiteral("nothing"))});
    QCOMPARE(missing.status, batchexit::Failed);
    QVERIFY(missing.err.contains(QStringLiteral("De geselecteerde disk of map bestaat niet.")));
}

void TestBatchCommand::templatesFromTheDatabase()
{
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("Tagsmith.mdb"));
    QString error;
    QVERIFY2(createDatabase(database, &error), qPrintable(error));
    {
        auto db = Database::open(database, Database::Mode::ReadWrite, &error);
        QVERIFY(db);
        QVERIFY(db->exec(QStringLiteral("UPDATE Settings SET Value = '<meta name=\"robots\" content=\"noindex\">' "
                                        "WHERE rowid = 5"),
                         &error));
    }
    writeFile(dir.filePath(QStringLiteral("a.htm")), "<head></head>");
    // The database beside the program is found without --database.
    const Output result =
        batch({dir.path(), QStringLiteral("--no-generator"), QStringLiteral("--no-revisit")}, database);
    QCOMPARE(result.status, batchexit::Completed);
    QCOMPARE(
        readFile(dir.filePath(QStringLiteral("a.htm"))),
        QByteArray(
            "<head><META NAME=\"keywords\" CONTENT=\"\">\r\n<meta name=\"robots\" content=\"noindex\">\r\n</head>"));

    const Output broken = batch({dir.path(), QStringLiteral("--database"), dir.filePath(QStringLiteral("a.htm"))});
    QCOMPARE(broken.status, batchexit::Failed);
    QVERIFY(broken.err.contains(QStringLiteral("cannot read the template texts")));
}

QTEST_GUILESS_MAIN(TestBatchCommand)
#include "tst_BatchCommand.moc"
