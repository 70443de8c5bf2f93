#include "TestSupport.h"

#include "engine/FileSystem.h"
#include "storage/Database.h"
#include "storage/SettingsTable.h"
#include "storage/Startup.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace tagsmith;
using namespace tagsmith::test;

namespace {

const QString Mdb = QStringLiteral("Tagsmith.mdb");
const QString Tmp = QStringLiteral("Tagsmith.tmp");
const QString Bak = QStringLiteral("Tagsmith.bak");

QString at(const QTemporaryDir &dir, const QString &name)
{
    return dir.filePath(name);
}

// A database grown and shrunk again, so that compaction has something to give back.
void fillAndEmptyWordTable(const QString &path)
{
    QString error;
    auto db = Database::open(path, Database::Mode::ReadWrite, &error);
    QVERIFY2(db, qPrintable(error));
    QString sql = QStringLiteral("BEGIN;");
    for (int i = 0; i < 2000; ++i)
        sql += QStringLiteral("INSERT INTO PageWords (Words) VALUES ('word%1 with some padding to take room');").arg(i);
    sql += QStringLiteral("COMMIT; DELETE FROM PageWords WHERE rowid > 1;");
    QVERIFY2(db->exec(sql, &error), qPrintable(error));
}

std::vector<QString> words(const QString &path)
{
    QString error;
    auto db = Database::open(path, Database::Mode::ReadOnly, &error);
    std::vector<QString> rows;
    if (db)
        db->queryColumn(QStringLiteral("SELECT Words FROM PageWords ORDER BY rowid"), &rows, &error);
    return rows;
}

std::vector<QString> settings(const QString &path)
{
    QString error;
    return readSettingsRows(path, &error).value_or(std::vector<QString>{});
}

std::vector<QString> defaultRows()
{
    const Templates t = defaultTemplates();
    return std::vector<QString>(t.begin(), t.end());
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void startsKeepBackupAndCompact();
    void startAfterACrash_data();
    void startAfterACrash();
    void failureChangesNoFile_data();
    void failureChangesNoFile();
    void failedFileOperation_data();
    void failedFileOperation();
};

// The first start makes the database; each later one keeps the last as the backup and compacts it.
void TestStartup::startsKeepBackupAndCompact()
{
    QTemporaryDir dir;
    StartupResult result = prepareDatabase(dir.path());
    QVERIFY2(result.ok, qPrintable(result.cause));
    QCOMPARE(filesIn(dir.path()), QStringList{Mdb});
    QCOMPARE(settings(at(dir, Mdb)), defaultRows());
    QVERIFY(words(at(dir, Mdb)).empty());
    fillAndEmptyWordTable(at(dir, Mdb));
    const QByteArray before = readFile(at(dir, Mdb));

    result = prepareDatabase(dir.path());
    QVERIFY2(result.ok, qPrintable(result.cause));
    QCOMPARE(filesIn(dir.path()), (QStringList{Bak, Mdb}));
    QCOMPARE(readFile(at(dir, Bak)), before);
    QVERIFY2(readFile(at(dir, Mdb)).size() < before.size() / 4, "the new database is compacted");
    QCOMPARE(words(at(dir, Mdb)), words(at(dir, Bak)));
    QCOMPARE(settings(at(dir, Mdb)), defaultRows());

    const QByteArray second = readFile(at(dir, Mdb));
    QVERIFY(prepareDatabase(dir.path()).ok);
    QCOMPARE(readFile(at(dir, Bak)), second);
}

// clang-format off
void TestStartup::failureChangesNoFile_data()
{
    QTest::addColumn<QByteArray>("database");
    QTest::addColumn<QByteArray>("backup");
    QTest::addColumn<QString>("cause");

    const QByteArray garbage(4096, 'x');
    QTest::newRow("not a database") << garbage << QByteArray() << "file is not a database";
    QTest::newRow("not a database, with backup") << garbage << QByteArray("old backup") << "file is not a database";
    QTest::newRow("backup not a database") << QByteArray() << garbage << "file is not a database";
    QTest::newRow("empty file") << QByteArray("<empty>") << QByteArray() << "has no table PageWords";
    QTest::newRow("database is a folder") << QByteArray("<folder>") << QByteArray() << "Cannot compact";
    QTest::newRow("compacted copy fails its check") << QByteArray("<unchecked>") << QByteArray() << "the copy is damaged";
}
// clang-format on

void TestStartup::failureChangesNoFile()
{
    QFETCH(QByteArray, database);
    QFETCH(QByteArray, backup);
    QFETCH(QString, cause);

    QTemporaryDir dir;
    if (database == "<folder>")
        QVERIFY(QDir(dir.path()).mkdir(Mdb));
    else if (database == "<unchecked>")
        QVERIFY(prepareDatabase(dir.path()).ok &&
                Database::open(at(dir, Mdb), Database::Mode::ReadWrite, nullptr)
                    ->exec(QStringLiteral("CREATE TABLE Unchecked (x TEXT); INSERT INTO Unchecked VALUES (NULL);"
                                          "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = "
                                          "'CREATE TABLE Unchecked (x TEXT NOT NULL)' WHERE name = 'Unchecked';"),
                           nullptr));
    else if (database == "<empty>")
        QVERIFY(writeFile(at(dir, Mdb), QByteArray()));
    else if (!database.isEmpty())
        QVERIFY(writeFile(at(dir, Mdb), database));
    if (!backup.isEmpty())
        QVERIFY(writeFile(at(dir, Bak), backup));
    const auto before = treeState(dir.path());

    const StartupResult result = prepareDatabase(dir.path());
    QVERIFY(!result.ok);
    QVERIFY2(result.cause.contains(cause), qPrintable(result.cause));
    QCOMPARE(treeState(dir.path()), before);
}

// What a start that crashed leaves: a half copy beside the database, or (stopped between its renames)
// the database as "Tagsmith.bak" and perhaps its compacted copy. The next start goes on from there.
void TestStartup::startAfterACrash_data()
{
    QTest::addColumn<bool>("databaseAsBackup");
    QTest::newRow("stale copy") << false;
    QTest::newRow("stopped between the renames") << true;
}

void TestStartup::startAfterACrash()
{
    QFETCH(bool, databaseAsBackup);
    QTemporaryDir dir;
    QVERIFY(prepareDatabase(dir.path()).ok);
    fillAndEmptyWordTable(at(dir, Mdb));
    if (databaseAsBackup)
        QVERIFY(QFile::rename(at(dir, Mdb), at(dir, Bak)));
    QVERIFY(writeFile(at(dir, Tmp), "half a copy"));
    const QByteArray database = readFile(at(dir, databaseAsBackup ? Bak : Mdb));

    const StartupResult result = prepareDatabase(dir.path());
    QVERIFY2(result.ok, qPrintable(result.cause));
    QCOMPARE(filesIn(dir.path()), (QStringList{Bak, Mdb}));
    QCOMPARE(readFile(at(dir, Bak)), database);
    QCOMPARE(words(at(dir, Mdb)), words(at(dir, Bak)));
    QCOMPARE(settings(at(dir, Mdb)), defaultRows());
}

// A start whose file operations fail, through the file layer: it says why and, where it failed
// before its renames, leaves every file as it was.
void TestStartup::failedFileOperation_data()
{
    QTest::addColumn<bool>("database");
    QTest::addColumn<bool>("backup");
    QTest::addColumn<bool>("temporary");
    QTest::addColumn<int>("call");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("cause");

    const int mayWrite = int(fs::Call::MayWrite);
    const QString denied = QStringLiteral("Permission denied.");
    QTest::newRow("no write access, fresh install") << false << false << false << mayWrite << QString() << denied;
    QTest::newRow("no write access, database") << true << false << false << mayWrite << QString() << denied;
    QTest::newRow("no write access, database and backup") << true << true << false << mayWrite << QString() << denied;
    QTest::newRow("no write access, backup only") << false << true << false << mayWrite << QString() << denied;
    QTest::newRow("no write access, stale copy") << true << true << true << mayWrite << QString() << denied;
    QTest::newRow("compacted copy not synced")
        << true << true << false << int(fs::Call::Sync) << Tmp << QStringLiteral("Drive I/O error.");
    QTest::newRow("new database not synced")
        << false << false << false << int(fs::Call::Sync) << Tmp << QStringLiteral("Drive I/O error.");
    QTest::newRow("database cannot be looked for")
        << true << false << false << int(fs::Call::LinkStatus) << Mdb << QStringLiteral("Cannot look for");
}

void TestStartup::failedFileOperation()
{
    QFETCH(bool, database);
    QFETCH(bool, backup);
    QFETCH(bool, temporary);
    QFETCH(int, call);
    QFETCH(QString, path);
    QFETCH(QString, cause);

    QTemporaryDir dir;
    QVERIFY(prepareDatabase(dir.path()).ok);
    if (backup)
        QVERIFY(QFile::copy(at(dir, Mdb), at(dir, Bak)));
    if (temporary)
        QVERIFY(writeFile(at(dir, Tmp), "left over"));
    if (!database)
        QVERIFY(QFile::remove(at(dir, Mdb)));
    const auto before = treeState(dir.path());
    fs::FaultInjector faults;
    faults.fail(static_cast<fs::Call>(call), call == int(fs::Call::Sync) ? EIO : EACCES, path.toStdString(), 0);
    const StartupResult result = prepareDatabase(dir.path());
    QVERIFY(!result.ok);
    QVERIFY2(result.cause.contains(cause), qPrintable(result.cause));
    QCOMPARE(treeState(dir.path()), before);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
