#include "storage/Startup.h"

#include "Version.h"
#include "engine/fs/FileError.h"
#include "engine/fs/FileSystem.h"
#include "storage/Database.h"
#include "storage/SettingsTable.h"
#include "text/StringTable.h"

#include <algorithm>
#include <system_error>

namespace tagsmith {
namespace {

// The program's own text for a file error (an errno), in English as every start is.
QString describe(int err)
{
    const int number = fileErrorFromErrno(err);
    if (const auto text = loadString(ids::FileErrorBase + EnglishOffset + number))
        return *text;
    return QString::fromStdString(std::generic_category().message(err));
}

StartupResult failure(const QString &cause)
{
    return StartupResult{false, cause};
}

StartupResult fileFailure(const QString &what, int err)
{
    return startupFileFailure(what, err);
}

// Whether a file exists; a folder that cannot be searched is an error, not a missing file.
bool exists(const QString &path, int *err)
{
    bool found = false;
    *err = fs::exists(fs::native(path), &found);
    return found;
}

// Puts a written file on the disk before the renames depend on it.
int syncFile(const QString &path)
{
    return fs::syncPath(fs::native(path), false);
}

// Removes a copy of our own making after a failed step; it holds nothing that is not elsewhere.
void discard(const QString &path)
{
    fs::remove(fs::native(path));
}

QString quoted(const QString &text)
{
    QString result = text;
    result.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + result + QLatin1Char('\'');
}

// The first of the program's tables that the database lacks, or nothing when it has them all.
QString missingTable(const QString &path)
{
    QString error;
    auto db = Database::open(path, Database::Mode::ReadOnly, &error);
    std::vector<QString> tables;
    if (!db || !db->queryColumn(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"), &tables, &error))
        return QStringLiteral("(unreadable: %1)").arg(error);
    for (const char *name : {"PageWords", "SiteWords", "Settings"}) {
        const QString wanted = QString::fromLatin1(name);
        if (std::find_if(tables.begin(), tables.end(),
                         [&](const QString &t) { return t.compare(wanted, Qt::CaseInsensitive) == 0; }) == tables.end())
            return wanted;
    }
    return QString();
}

// Writes a compacted copy of source to destination and checks that the copy is sound.
StartupResult compact(const QString &source, const QString &destination)
{
    const QString what = QStringLiteral("Cannot compact %1 into %2").arg(source, destination);
    QString error;
    {
        auto db = Database::open(source, Database::Mode::ReadOnly, &error);
        if (!db)
            return failure(QStringLiteral("%1: %2").arg(what, error));
        if (!db->exec(QStringLiteral("VACUUM INTO %1").arg(quoted(destination)), &error)) {
            discard(destination);
            return failure(QStringLiteral("%1: %2").arg(what, error));
        }
    }
    std::vector<QString> check;
    {
        auto copy = Database::open(destination, Database::Mode::ReadOnly, &error);
        if (!copy || !copy->queryColumn(QStringLiteral("PRAGMA quick_check"), &check, &error)) {
            discard(destination);
            return failure(QStringLiteral("%1: %2").arg(what, error));
        }
    }
    if (check.size() != 1 || check.front() != QLatin1String("ok")) {
        discard(destination);
        return failure(QStringLiteral("%1: the copy is damaged").arg(what));
    }
    // The screens read these tables as soon as they are created; a file without them is not ours.
    if (const QString missing = missingTable(destination); !missing.isEmpty()) {
        discard(destination);
        return failure(QStringLiteral("%1: the database has no table %2").arg(what, missing));
    }
    if (const int err = syncFile(destination); err != 0) {
        discard(destination);
        return fileFailure(what, err);
    }
    return StartupResult{true, {}};
}

StartupResult rename(const QString &from, const QString &to)
{
    if (const int err = fs::rename(fs::native(from), fs::native(to)); err != 0)
        return fileFailure(QStringLiteral("Cannot rename %1 to %2").arg(from, to), err);
    return StartupResult{true, {}};
}

// Makes the renames of the folder last. A folder that cannot be synced has still renamed, so a failure
// here is not worth stopping the start for.
void syncFolder(const QString &folder)
{
    fs::syncPath(fs::native(folder), true);
}

} // namespace

StartupResult startupFileFailure(const QString &what, int err)
{
    return failure(QStringLiteral("%1: %2").arg(what, describe(err)));
}

QString appDirFor(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
}

QString versionCaption()
{
    return QStringLiteral("%1 V%2.%3.%4")
        .arg(QString::fromUtf8(version::Title))
        .arg(version::Major)
        .arg(version::Minor)
        .arg(version::Revision);
}

DatabaseFiles DatabaseFiles::in(const QString &folder)
{
    const QString base = folder + appDirFor(folder);
    return DatabaseFiles{base + QStringLiteral("Tagsmith.mdb"), base + QStringLiteral("Tagsmith.tmp"),
                         base + QStringLiteral("Tagsmith.bak")};
}

StartupResult prepareDatabase(const QString &folder)
{
    const DatabaseFiles files = DatabaseFiles::in(folder);
    int ec = 0;

    // Every start writes in the folder; say so plainly when it cannot, before anything is touched.
    if (const int err = fs::mayWriteIn(fs::native(folder)); err != 0)
        return fileFailure(QStringLiteral("Cannot write in the folder %1").arg(folder), err);

    // A copy left by a start that crashed holds nothing that the database or its backup lacks.
    const bool staleCopy = exists(files.temporary, &ec);
    if (ec)
        return fileFailure(QStringLiteral("Cannot look for %1").arg(files.temporary), ec);
    if (staleCopy)
        ec = fs::remove(fs::native(files.temporary));
    if (ec)
        return fileFailure(QStringLiteral("Cannot delete %1").arg(files.temporary), ec);

    const bool haveDatabase = exists(files.database, &ec);
    if (ec)
        return fileFailure(QStringLiteral("Cannot look for %1").arg(files.database), ec);
    const bool haveBackup = exists(files.backup, &ec);
    if (ec)
        return fileFailure(QStringLiteral("Cannot look for %1").arg(files.backup), ec);

    if (!haveDatabase && !haveBackup) {
        // A fresh install. The new database is built under the temporary name, so a failure leaves no
        // half-made "Tagsmith.mdb" behind.
        QString error;
        if (!createDatabase(files.temporary, &error)) {
            discard(files.temporary);
            return failure(QStringLiteral("Cannot create the database %1: %2").arg(files.database, error));
        }
        if ((ec = syncFile(files.temporary)) != 0) {
            discard(files.temporary);
            return fileFailure(QStringLiteral("Cannot create the database %1").arg(files.database), ec);
        }
        StartupResult result = rename(files.temporary, files.database);
        syncFolder(folder);
        return result;
    }

    if (!haveDatabase) {
        // A start that stopped between its renames left the database as "Tagsmith.bak": start from it
        // and keep it as the backup.
        StartupResult result = compact(files.backup, files.temporary);
        if (!result.ok)
            return result;
        result = rename(files.temporary, files.database);
        syncFolder(folder);
        return result;
    }

    // The old backup goes only once the compacted copy is known to be sound.
    StartupResult result = compact(files.database, files.temporary);
    if (!result.ok)
        return result;
    if (haveBackup)
        ec = fs::remove(fs::native(files.backup));
    if (ec)
        return fileFailure(QStringLiteral("Cannot delete %1").arg(files.backup), ec);
    result = rename(files.database, files.backup);
    if (result.ok)
        result = rename(files.temporary, files.database);
    syncFolder(folder);
    return result;
}

} // namespace tagsmith
