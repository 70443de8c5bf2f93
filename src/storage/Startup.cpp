#include "storage/Startup.h"

#include "storage/Database.h"
#include "engine/FileError.h"
#include "Version.h"
#include "storage/SettingsTable.h"
#include "text/StringTable.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace tagsmith {
namespace {

namespace fs = std::filesystem;

fs::path toPath(const QString &path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

// The program's own text for a file error, in English as every start is.
QString describe(const std::error_code &ec)
{
    const int number = fileErrorFromErrno(ec.value());
    if (const auto text = loadString(ids::FileErrorBase + EnglishOffset + number))
        return *text;
    return QString::fromStdString(ec.message());
}

StartupResult failure(const QString &cause)
{
    return StartupResult{false, cause};
}

StartupResult fileFailure(const QString &what, const std::error_code &ec)
{
    return startupFileFailure(what, ec);
}

// Whether a file exists; a folder that cannot be searched is an error, not a missing file.
bool exists(const QString &path, std::error_code *ec)
{
    const fs::file_status status = fs::symlink_status(toPath(path), *ec);
    if (*ec == std::errc::no_such_file_or_directory) {
        ec->clear();
        return false;
    }
    return !*ec && fs::exists(status);
}

// Puts a written file on the disk before the renames depend on it.
bool syncPath(const QString &path, int flags, std::error_code *ec)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), flags | O_CLOEXEC);
    if (fd < 0) {
        *ec = std::error_code(errno, std::generic_category());
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    if (!ok)
        *ec = std::error_code(errno, std::generic_category());
    ::close(fd);
    return ok;
}

// Removes a copy of our own making after a failed step; it holds nothing that is not elsewhere.
void discard(const QString &path)
{
    std::error_code ignored;
    fs::remove(toPath(path), ignored);
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
    std::error_code ec;
    if (!syncPath(destination, O_RDONLY, &ec)) {
        discard(destination);
        return fileFailure(what, ec);
    }
    return StartupResult{true, {}};
}

StartupResult rename(const QString &from, const QString &to)
{
    std::error_code ec;
    fs::rename(toPath(from), toPath(to), ec);
    if (ec)
        return fileFailure(QStringLiteral("Cannot rename %1 to %2").arg(from, to), ec);
    return StartupResult{true, {}};
}

// Makes the renames of the folder last. A folder that cannot be synced has still renamed, so a failure
// here is not worth stopping the start for.
void syncFolder(const QString &folder)
{
    std::error_code ignored;
    syncPath(folder, O_RDONLY | O_DIRECTORY, &ignored);
}

} // namespace

StartupResult startupFileFailure(const QString &what, const std::error_code &ec)
{
    return failure(QStringLiteral("%1: %2").arg(what, describe(ec)));
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
    std::error_code ec;

    // Every start writes in the folder; say so plainly when it cannot, before anything is touched.
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return fileFailure(QStringLiteral("Cannot write in the folder %1").arg(folder),
                           std::error_code(errno, std::generic_category()));

    // A copy left by a start that crashed holds nothing that the database or its backup lacks.
    const bool staleCopy = exists(files.temporary, &ec);
    if (ec)
        return fileFailure(QStringLiteral("Cannot look for %1").arg(files.temporary), ec);
    if (staleCopy)
        fs::remove(toPath(files.temporary), ec);
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
        if (!syncPath(files.temporary, O_RDONLY, &ec)) {
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
        fs::remove(toPath(files.backup), ec);
    if (ec)
        return fileFailure(QStringLiteral("Cannot delete %1").arg(files.backup), ec);
    result = rename(files.database, files.backup);
    if (result.ok)
        result = rename(files.temporary, files.database);
    syncFolder(folder);
    return result;
}

} // namespace tagsmith
