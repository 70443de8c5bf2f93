#include "storage/ChoicesTable.h"

#include "storage/Database.h"

#include <sqlite3.h>

#include <memory>
#include <vector>

namespace tagsmith {
namespace {

const QString MakeTable = QStringLiteral("CREATE TABLE IF NOT EXISTS Choices (Name TEXT PRIMARY KEY, Value)");

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

Statement prepare(Database &db, const char *sql, QString *error)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &stmt, nullptr) != SQLITE_OK && error)
        *error = QString::fromUtf8(sqlite3_errmsg(db.handle()));
    return Statement(stmt, sqlite3_finalize);
}

bool hasTable(Database &db, QString *error, bool *found)
{
    std::vector<QString> rows;
    if (!db.queryColumn(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'Choices'"),
                        &rows, error))
        return false;
    *found = !rows.empty();
    return true;
}

QByteArray column(sqlite3_stmt *stmt, int index)
{
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(stmt, index));
    return bytes ? QByteArray(bytes, sqlite3_column_bytes(stmt, index)) : QByteArray();
}

} // namespace

std::optional<Choices> readChoices(const QString &databasePath, QString *error)
{
    auto db = Database::open(databasePath, Database::Mode::ReadOnly, error);
    bool found = false;
    if (!db || !hasTable(*db, error, &found))
        return std::nullopt;
    Choices choices;
    if (!found)
        return choices;
    const Statement rows = prepare(*db, "SELECT Name, Value FROM Choices", error);
    if (!rows)
        return std::nullopt;
    int rc;
    while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW)
        choices[QString::fromUtf8(column(rows.get(), 0))] = column(rows.get(), 1);
    if (rc != SQLITE_DONE) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(db->handle()));
        return std::nullopt;
    }
    return choices;
}

bool writeChoices(const QString &databasePath, const Choices &choices, QString *error)
{
    auto db = Database::open(databasePath, Database::Mode::ReadWrite, error);
    if (!db || !db->exec(QStringLiteral("BEGIN; %1; DELETE FROM Choices;").arg(MakeTable), error))
        return false;
    // Whatever fails below leaves the choices stored before: the transaction ends with the connection.
    const Statement insert = prepare(*db, "INSERT INTO Choices (Name, Value) VALUES (?, ?)", error);
    if (!insert)
        return false;
    for (const auto &[name, value] : choices) {
        const QByteArray key = name.toUtf8();
        sqlite3_reset(insert.get());
        sqlite3_bind_text(insert.get(), 1, key.constData(), int(key.size()), SQLITE_TRANSIENT);
        sqlite3_bind_blob(insert.get(), 2, value.constData(), int(value.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(insert.get()) != SQLITE_DONE) {
            if (error)
                *error = QString::fromUtf8(sqlite3_errmsg(db->handle()));
            return false;
        }
    }
    return db->exec(QStringLiteral("COMMIT"), error);
}

bool forgetChoices(const QString &databasePath, QString *error)
{
    auto db = Database::open(databasePath, Database::Mode::ReadWrite, error);
    bool found = false;
    if (!db || !hasTable(*db, error, &found))
        return false;
    return !found || db->exec(QStringLiteral("DELETE FROM Choices"), error);
}

} // namespace tagsmith
