#pragma once

#include <QString>

#include <memory>
#include <vector>

struct sqlite3;

namespace tagsmith {

// The program's database file: a thin owner of one SQLite connection. Errors come back as text for
// the start-up report; nothing here throws.
class Database
{
public:
    enum class Mode { ReadOnly, ReadWrite, Create };

    // Opens the file. Create makes a missing file; the other modes fail on one. A file that is not a
    // database fails here too (the header is checked at open).
    static std::unique_ptr<Database> open(const QString &path, Mode mode, QString *error);
    ~Database();

    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Runs one or more statements that return no rows.
    bool exec(const QString &sql, QString *error);
    // The first column of every row of a query, in the order the query gives.
    bool queryColumn(const QString &sql, std::vector<QString> *rows, QString *error);

    sqlite3 *handle() const { return m_db; }

private:
    explicit Database(sqlite3 *db) : m_db(db) {}
    sqlite3 *m_db;
};

} // namespace tagsmith
