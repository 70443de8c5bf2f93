#include "storage/Database.h"

#include "engine/fs/FileSystem.h"

#include <sqlite3.h>

namespace tagsmith {
namespace {

QString lastError(sqlite3 *db)
{
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
}

} // namespace

std::unique_ptr<Database> Database::open(const QString &path, Mode mode, QString *error)
{
    int flags = SQLITE_OPEN_NOMUTEX;
    switch (mode) {
    case Mode::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case Mode::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case Mode::Create:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    }
    sqlite3 *db = nullptr;
    // The file's name as the disk has it, also where it is not UTF-8.
    const std::string name = fs::native(path);
    if (sqlite3_open_v2(name.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        if (error)
            *error = lastError(db);
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<Database> result(new Database(db));
    // SQLite reads the header lazily; ask for the schema now so a file that is no database fails here.
    std::vector<QString> ignored;
    if (!result->queryColumn(QStringLiteral("SELECT count(*) FROM sqlite_master"), &ignored, error))
        return nullptr;
    return result;
}

Database::~Database()
{
    sqlite3_close(m_db);
}

bool Database::exec(const QString &sql, QString *error)
{
    char *message = nullptr;
    const std::string text = fs::native(sql); // a file named in it (VACUUM INTO) keeps its bytes
    if (sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(message ? message : "unknown error");
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool Database::queryColumn(const QString &sql, std::vector<QString> *rows, QString *error)
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, text.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        if (error)
            *error = lastError(m_db);
        return false;
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(stmt, sqlite3_finalize);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto *value = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        const int size = sqlite3_column_bytes(stmt, 0);
        rows->push_back(value ? QString::fromUtf8(value, size) : QString());
    }
    if (rc != SQLITE_DONE) {
        if (error)
            *error = lastError(m_db);
        return false;
    }
    return true;
}

} // namespace tagsmith
