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
    void badUsage_data();
    void badUsage();
    void helpAndVersion();
    void wholeRun();
    void templatesFromTheDatabase();
};

void TestBatchCommand::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected"); // the options that matter, as text

    QTest::newRow("defaults") << QStringList{QStringLiteral("site")}
                              << QStringLiteral(
                                     "site|main=|desc=0:|gen=1 rob=1 rev=1:3|min=1:6|case=1,0,1|backup=0|lang=100|db=");
    QTest::newRow("everything after the folder")
        << QStringList{QStringLiteral("site"),
                       QStringLiteral("--main"),
                       QStringLiteral("site/index.htm"),
                       QStringLiteral("--description"),
                       QStringLiteral("My \"site\""),
                       QStringLiteral("--no-generator"),
                       QStringLiteral("--no-robots"),
                       QStringLiteral("--no-revisit"),
                       QStringLiteral("--revisit-months"),
                       QStringLiteral(" 7"),
                       QStringLiteral("--min-length"),
                       QStringLiteral("4.5"),
                       QStringLiteral("--case"),
                       QStringLiteral("upper"),
                       QStringLiteral("--backup"),
                       QStringLiteral("--language"),
                       QStringLiteral("nl"),
                       QStringLiteral("--database"),
                       QStringLiteral("x.mdb")}
        << QStringLiteral("site|main=site/index.htm|desc=1:My \"site\"|gen=0 rob=0 rev=0: "
                          "7|min=1:4.5|case=1,1,0|backup=1|lang=0|db=x.mdb");
    QTest::newRow("options before the folder, with =")
        << QStringList{QStringLiteral("--case=keep"), QStringLiteral("--no-min-length"), QStringLiteral("--main=i.htm"),
                       QStringLiteral("site")}
        << QStringLiteral("site|main=i.htm|desc=0:|gen=1 rob=1 rev=1:3|min=0:6|case=0,0,1|backup=0|lang=100|db=");
    QTest::newRow("folder after --")
        << QStringList{QStringLiteral("--"), QStringLiteral("--odd-name")}
        << QStringLiteral("--odd-name|main=|desc=0:|gen=1 rob=1 rev=1:3|min=1:6|case=1,0,1|backup=0|lang=100|db=");
    QTest::newRow("empty description")
        << QStringList{QStringLiteral("--description"), QString(), QStringLiteral("s")}
        << QStringLiteral("s|main=|desc=1:|gen=1 rob=1 rev=1:3|min=1:6|case=1,0,1|backup=0|lang=100|db=");
}

void TestBatchCommand::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
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

void TestBatchCommand::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::newRow("no folder") << QStringList{QStringLiteral("--backup")} << QStringLiteral("no FOLDER given");
    QTest::newRow("two folders") << QStringList{QStringLiteral("a"), QStringLiteral("b")}
                                 << QStringLiteral("only one FOLDER");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--fast"), QStringLiteral("site")}
                                    << QStringLiteral("unknown option --fast");
    QTest::newRow("missing value") << QStringList{QStringLiteral("site"), QStringLiteral("--main")}
                                   << QStringLiteral("--main needs a value");
    QTest::newRow("bad case") << QStringList{QStringLiteral("site"), QStringLiteral("--case"), QStringLiteral("title")}
                              << QStringLiteral("--case takes lower, upper or keep");
    QTest::newRow("bad language") << QStringList{QStringLiteral("--language=fr"), QStringLiteral("site")}
                                  << QStringLiteral("--language takes en or nl");
}

void TestBatchCommand::badUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const Output result = batch(arguments);
    QCOMPARE(result.status, batchexit::BadUsage);
    QVERIFY2(result.err.contains(error), qPrintable(result.err));
    QVERIFY(result.out.isEmpty());
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

    const Output result =
        batch({QStringLiteral("--language"), language, site, QStringLiteral("--main"),
               site + QStringLiteral("/index.htm"), QStringLiteral("--no-generator"), QStringLiteral("--no-revisit"),
               QStringLiteral("--no-robots"), QStringLiteral("--min-length"), QStringLiteral("5")});
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
