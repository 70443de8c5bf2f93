#include "storage/Database.h"
#include "storage/Startup.h"
#include "storage/SettingsTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <cstdio>

using namespace tagsmith;

namespace {

// Set in the environment of a child that runs the start-up on the folder it names, so that it can be
// started as an unprivileged user.
constexpr char ChildFolder[] = "TAGSMITH_STARTUP_FOLDER";

const QString Mdb = QStringLiteral("Tagsmith.mdb");
const QString Tmp = QStringLiteral("Tagsmith.tmp");
const QString Bak = QStringLiteral("Tagsmith.bak");

using Snapshot = QMap<QString, QByteArray>;

// Every file of the folder with its bytes.
Snapshot snapshot(const QString &folder)
{
    Snapshot files;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &name : names) {
        QFile f(folder + QLatin1Char('/') + name);
        files.insert(name, f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<folder>"));
    }
    return files;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

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

// A folder whose files can be read but not changed, and a start-up run against it.
struct ReadOnlyRun
{
    bool ok = false;
    QString cause;
};

ReadOnlyRun runWithoutWriteAccess(const QString &folder)
{
    ReadOnlyRun run;
    if (::geteuid() != 0) {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const StartupResult result = prepareDatabase(folder);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return ReadOnlyRun{result.ok, result.cause};
    }
    // Root writes everywhere: run the start-up as the unprivileged user "nobody" from a copy of this
    // program that it can reach.
    static QTemporaryDir programDir;
    const QString program = programDir.filePath(QStringLiteral("tst_startup"));
    if (!QFile::exists(program))
        QFile::copy(QCoreApplication::applicationFilePath(), program);
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                      QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QFile::setPermissions(programDir.path(), open);
    QFile::setPermissions(program, open);
    QFile::setPermissions(folder, open);
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        QFile::setPermissions(folder + QLatin1Char('/') + name, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                    QFileDevice::ReadGroup | QFileDevice::ReadOther);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(ChildFolder), folder);
    child.setProcessEnvironment(env);
    child.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                            QStringLiteral("--clear-groups"), program});
    if (!child.waitForFinished(60000))
        return run;
    run.ok = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    run.cause = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    if (child.exitCode() > 1)
        run.cause = QStringLiteral("child did not run: ") + QString::fromUtf8(child.readAllStandardError());
    return run;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void appDir_data();
    void appDir();
    void firstStartCreatesDatabase();
    void secondStartKeepsBackupAndCompacts();
    void staleTemporaryIsRemoved();
    void missingDatabaseStartsFromBackup();
    void failureChangesNoFile_data();
    void failureChangesNoFile();
    void folderWithoutWriteAccess_data();
    void folderWithoutWriteAccess();
};

// clang-format off
void TestStartup::appDir_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("appDir");
    QTest::addColumn<QString>("database");

    QTest::newRow("root") << "/" << "" << "/Tagsmith.mdb";
    QTest::newRow("folder") << "/opt/tagsmith" << "/" << "/opt/tagsmith/Tagsmith.mdb";
    QTest::newRow("folder with separator") << "/opt/tagsmith/" << "" << "/opt/tagsmith/Tagsmith.mdb";
}
// clang-format on

void TestStartup::appDir()
{
    QFETCH(QString, folder);
    QFETCH(QString, appDir);
    QFETCH(QString, database);
    QCOMPARE(appDirFor(folder), appDir);
    const DatabaseFiles files = DatabaseFiles::in(folder);
    QCOMPARE(files.database, database);
    QCOMPARE(files.temporary, database.chopped(3) + QStringLiteral("tmp"));
    QCOMPARE(files.backup, database.chopped(3) + QStringLiteral("bak"));
}

void TestStartup::firstStartCreatesDatabase()
{
    QTemporaryDir dir;
    const StartupResult result = prepareDatabase(dir.path());
    QVERIFY2(result.ok, qPrintable(result.cause));
    QCOMPARE(snapshot(dir.path()).keys(), QStringList{Mdb});
    QCOMPARE(settings(at(dir, Mdb)), defaultRows());
    QVERIFY(words(at(dir, Mdb)).empty());
}

void TestStartup::secondStartKeepsBackupAndCompacts()
{
    QTemporaryDir dir;
    QVERIFY(prepareDatabase(dir.path()).ok);
    fillAndEmptyWordTable(at(dir, Mdb));
    const QByteArray before = snapshot(dir.path()).value(Mdb);

    const StartupResult result = prepareDatabase(dir.path());
    QVERIFY2(result.ok, qPrintable(result.cause));
    const Snapshot after = snapshot(dir.path());
    QCOMPARE(after.keys(), (QStringList{Bak, Mdb}));
    QCOMPARE(after.value(Bak), before);
    QVERIFY2(after.value(Mdb).size() < before.size() / 4, "the new database is compacted");
    QCOMPARE(words(at(dir, Mdb)), words(at(dir, Bak)));
    QCOMPARE(settings(at(dir, Mdb)), defaultRows());

    // A third start replaces the backup with what the second one left.
    const QByteArray second = after.value(Mdb);
    QVERIFY(prepareDatabase(dir.path()).ok);
    QCOMPARE(snapshot(dir.path()).value(Bak), second);
}

void TestStartup::staleTemporaryIsRemoved()
{
    QTemporaryDir dir;
    QVERIFY(prepareDatabase(dir.path()).ok);
    const QByteArray database = snapshot(dir.path()).value(Mdb);
    QVERIFY(writeFile(at(dir, Tmp), "half a copy from a start that crashed"));

    const StartupResult result = prepareDatabase(dir.path());
    QVERIFY2(result.ok, qPrintable(result.cause));
    const Snapshot after = snapshot(dir.path());
    QCOMPARE(after.keys(), (QStringList{Bak, Mdb}));
    QCOMPARE(after.value(Bak), database);
    QCOMPARE(settings(at(dir, Mdb)), defaultRows());
}

void TestStartup::missingDatabaseStartsFromBackup()
{
    // What a start that stopped between its renames leaves: the database as "Tagsmith.bak" and
    // perhaps its compacted copy.
    QTemporaryDir dir;
    QVERIFY(prepareDatabase(dir.path()).ok);
    fillAndEmptyWordTable(at(dir, Mdb));
    QVERIFY(QFile::rename(at(dir, Mdb), at(dir, Bak)));
    QVERIFY(writeFile(at(dir, Tmp), "left over"));
    const QByteArray backup = snapshot(dir.path()).value(Bak);

    const StartupResult result = prepareDatabase(dir.path());
    QVERIFY2(result.ok, qPrintable(result.cause));
    const Snapshot after = snapshot(dir.path());
    QCOMPARE(after.keys(), (QStringList{Bak, Mdb}));
    QCOMPARE(after.value(Bak), backup);
    QCOMPARE(words(at(dir, Mdb)), words(at(dir, Bak)));
    QCOMPARE(settings(at(dir, Mdb)), defaultRows());
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
    else if (database == "<empty>")
        QVERIFY(writeFile(at(dir, Mdb), QByteArray()));
    else if (!database.isEmpty())
        QVERIFY(writeFile(at(dir, Mdb), database));
    if (!backup.isEmpty())
        QVERIFY(writeFile(at(dir, Bak), backup));
    const Snapshot before = snapshot(dir.path());

    const StartupResult result = prepareDatabase(dir.path());
    QVERIFY(!result.ok);
    QVERIFY2(result.cause.contains(cause), qPrintable(result.cause));
    QCOMPARE(snapshot(dir.path()), before);
}

// clang-format off
void TestStartup::folderWithoutWriteAccess_data()
{
    QTest::addColumn<bool>("database");
    QTest::addColumn<bool>("backup");
    QTest::addColumn<bool>("temporary");

    QTest::newRow("fresh install") << false << false << false;
    QTest::newRow("database") << true << false << false;
    QTest::newRow("database and backup") << true << true << false;
    QTest::newRow("backup only") << false << true << false;
    QTest::newRow("stale copy") << true << true << true;
}
// clang-format on

void TestStartup::folderWithoutWriteAccess()
{
    QFETCH(bool, database);
    QFETCH(bool, backup);
    QFETCH(bool, temporary);
    if (::geteuid() == 0 && QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("running as root without setpriv to drop the rights");

    QTemporaryDir dir;
    QVERIFY(prepareDatabase(dir.path()).ok);
    if (backup)
        QVERIFY(QFile::copy(at(dir, Mdb), at(dir, Bak)));
    if (temporary)
        QVERIFY(writeFile(at(dir, Tmp), "left over"));
    if (!database)
        QVERIFY(QFile::remove(at(dir, Mdb)));
    const Snapshot before = snapshot(dir.path());

    const ReadOnlyRun run = runWithoutWriteAccess(dir.path());
    QVERIFY(!run.ok);
    QVERIFY2(run.cause.contains(QStringLiteral("Permission denied.")), qPrintable(run.cause));
    QCOMPARE(snapshot(dir.path()), before);
}

int main(int argc, char *argv[])
{
    // The unprivileged child: one start-up, its cause on standard output, 0 when it worked.
    if (qEnvironmentVariableIsSet(ChildFolder)) {
        const StartupResult result = prepareDatabase(qEnvironmentVariable(ChildFolder));
        std::printf("%s\n", qPrintable(result.cause));
        return result.ok ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
