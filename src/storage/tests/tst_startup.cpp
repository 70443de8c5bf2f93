#include "TestSupport.h"

#include "engine/fs/FileSystem.h"
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

// Whether the Settings table holds the default templates.
bool defaultSettings(const QString &path)
{
    QString error;
    const Templates t = defaultTemplates();
    return readSettingsRows(path, &error) == std::vector<QString>(t.begin(), t.end());
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    // The first start makes the database; each later one keeps the last as the backup and compacts it.
    void startsKeepBackupAndCompact()
    {
        QTemporaryDir dir;
        StartupResult result = prepareDatabase(dir.path());
        QVERIFY2(result.ok, qPrintable(result.cause));
        QCOMPARE(filesIn(dir.path()), QStringList{Mdb});
        QVERIFY(defaultSettings(dir.filePath(Mdb)));
        QVERIFY(words(dir.filePath(Mdb)).empty());
        fillAndEmptyWordTable(dir.filePath(Mdb));
        const QByteArray before = readFile(dir.filePath(Mdb));

        result = prepareDatabase(dir.path());
        QVERIFY2(result.ok, qPrintable(result.cause));
        QCOMPARE(filesIn(dir.path()), (QStringList{Bak, Mdb}));
        QCOMPARE(readFile(dir.filePath(Bak)), before);
        QVERIFY2(readFile(dir.filePath(Mdb)).size() < before.size() / 4, "the new database is compacted");
        QCOMPARE(words(dir.filePath(Mdb)), words(dir.filePath(Bak)));
        QVERIFY(defaultSettings(dir.filePath(Mdb)));

        const QByteArray second = readFile(dir.filePath(Mdb));
        QVERIFY(prepareDatabase(dir.path()).ok);
        QCOMPARE(readFile(dir.filePath(Bak)), second);
    }

    // A program folder whose name is not UTF-8: the database is made and compacted under its bytes.
    void folderNameNotUtf8()
    {
        QTemporaryDir dir;
        const std::string folder = fs::native(dir.path()) + "/d\xe9" "f";
        QCOMPARE(fs::makeFolder(folder, 0755), 0);
        for (int start = 0; start < 2; ++start) {
            const StartupResult result = prepareDatabase(fs::fromNative(folder));
            QVERIFY2(result.ok, qPrintable(result.cause));
        }
        for (const char *name : {"/Tagsmith.mdb", "/Tagsmith.bak"})
            QVERIFY2(fs::existsFollowingLinks(folder + name), name);
        for (const char *name : {"/Tagsmith.mdb", "/Tagsmith.bak", ""})
            QCOMPARE(fs::remove(folder + name), 0); // QTemporaryDir cannot spell the name
    }

    // What a start that crashed leaves: a half copy beside the database, or (stopped between its renames)
    // the database as "Tagsmith.bak" and perhaps its compacted copy. The next start goes on from there.
    void startAfterACrash_data()
    {
        QTest::addColumn<bool>("databaseAsBackup");
        QTest::newRow("stale copy") << false;
        QTest::newRow("stopped between the renames") << true;
    }

    void startAfterACrash()
    {
        QFETCH(bool, databaseAsBackup);
        QTemporaryDir dir;
        QVERIFY(prepareDatabase(dir.path()).ok);
        fillAndEmptyWordTable(dir.filePath(Mdb));
        if (databaseAsBackup)
            QVERIFY(QFile::rename(dir.filePath(Mdb), dir.filePath(Bak)));
        QVERIFY(writeFile(dir.filePath(Tmp), "half a copy"));
        const QByteArray database = readFile(dir.filePath(databaseAsBackup ? Bak : Mdb));

        const StartupResult result = prepareDatabase(dir.path());
        QVERIFY2(result.ok, qPrintable(result.cause));
        QCOMPARE(filesIn(dir.path()), (QStringList{Bak, Mdb}));
        QCOMPARE(readFile(dir.filePath(Bak)), database);
        QCOMPARE(words(dir.filePath(Mdb)), words(dir.filePath(Bak)));
        QVERIFY(defaultSettings(dir.filePath(Mdb)));
    }

    void failureChangesNoFile_data()
    {
        addTableRows(QFINDTESTDATA("data/startup-failures.txt"), {"database", "backup", "cause"});
    }

    void failureChangesNoFile()
    {
        QFETCH(QString, database);
        QFETCH(QString, backup);
        QFETCH(QString, cause);
        const QByteArray garbage(4096, 'x');

        QTemporaryDir dir;
        if (database == QLatin1String("<folder>"))
            QVERIFY(QDir(dir.path()).mkdir(Mdb));
        else if (database == QLatin1String("<unchecked>"))
            QVERIFY(prepareDatabase(dir.path()).ok &&
                    Database::open(dir.filePath(Mdb), Database::Mode::ReadWrite, nullptr)
                        ->exec(QStringLiteral("CREATE TABLE Unchecked (x TEXT); INSERT INTO Unchecked VALUES (NULL);"
                                              "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = "
                                              "'CREATE TABLE Unchecked (x TEXT NOT NULL)' WHERE name = 'Unchecked';"),
                               nullptr));
        else if (database == QLatin1String("<empty>"))
            QVERIFY(writeFile(dir.filePath(Mdb), QByteArray()));
        else if (!database.isEmpty())
            QVERIFY(writeFile(dir.filePath(Mdb), database == QLatin1String("<garbage>") ? garbage : database.toUtf8()));
        if (!backup.isEmpty())
            QVERIFY(writeFile(dir.filePath(Bak), backup == QLatin1String("<garbage>") ? garbage : backup.toUtf8()));
        const auto before = treeState(dir.path());

        const StartupResult result = prepareDatabase(dir.path());
        QVERIFY(!result.ok);
        QVERIFY2(result.cause.contains(cause), qPrintable(result.cause));
        QCOMPARE(treeState(dir.path()), before);
    }

    // A start whose file operations fail, through the file layer: it says why and, where it failed
    // before its renames, leaves every file as it was.
    void failedFileOperation_data()
    {
        addTableRows(QFINDTESTDATA("data/startup-faults.txt"), {"files", "call", "path", "cause"});
    }

    void failedFileOperation()
    {
        QFETCH(QString, files);
        QFETCH(QString, call);
        QFETCH(QString, path);
        QFETCH(QString, cause);

        QTemporaryDir dir;
        QVERIFY(prepareDatabase(dir.path()).ok);
        if (files.contains(Bak))
            QVERIFY(QFile::copy(dir.filePath(Mdb), dir.filePath(Bak)));
        if (files.contains(Tmp))
            QVERIFY(writeFile(dir.filePath(Tmp), "left over"));
        if (!files.contains(Mdb))
            QVERIFY(QFile::remove(dir.filePath(Mdb)));
        const auto before = treeState(dir.path());
        fs::FaultInjector faults;
        faults.fail(callNamed(call), call == QLatin1String("Sync") ? EIO : EACCES, path.toStdString(), 0);
        const StartupResult result = prepareDatabase(dir.path());
        QVERIFY(!result.ok);
        QVERIFY2(result.cause.contains(cause), qPrintable(result.cause));
        QCOMPARE(treeState(dir.path()), before);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
