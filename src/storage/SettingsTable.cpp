#include "storage/SettingsTable.h"

#include "Version.h"
#include "engine/fs/FileSystem.h"
#include "storage/Database.h"

namespace tagsmith {

Templates defaultTemplates()
{
    const QString generator = QStringLiteral("<META NAME=\"generator\" CONTENT=\"%1 V%2.%3.%4\">")
                                  .arg(QString::fromUtf8(version::Title))
                                  .arg(version::Major)
                                  .arg(version::Minor)
                                  .arg(version::Revision);
    return {
        QStringLiteral("<META NAME=\"description\" CONTENT=\""),
        QStringLiteral("\">"),
        QStringLiteral("<META NAME=\"keywords\" CONTENT=\""),
        QStringLiteral("\">"),
        QStringLiteral("<META NAME=\"robots\" CONTENT=\"index, follow\">"),
        QStringLiteral("<META NAME=\"revisit-after\" CONTENT=\""),
        QStringLiteral(" months\">"),
        generator,
    };
}

std::optional<std::vector<QString>> readSettingsRows(const QString &databasePath, QString *error)
{
    auto db = Database::open(databasePath, Database::Mode::ReadOnly, error);
    if (!db)
        return std::nullopt;
    std::vector<QString> rows;
    if (!db->queryColumn(QStringLiteral("SELECT Value FROM Settings ORDER BY rowid"), &rows, error))
        return std::nullopt;
    return rows;
}

Templates templatesFromRows(const std::vector<QString> &rows)
{
    Templates result;
    for (std::size_t i = 0; i < result.size() && i < rows.size(); ++i)
        result[i] = rows[i];
    return result;
}

bool createDatabase(const QString &databasePath, QString *error)
{
    if (fs::existsFollowingLinks(fs::native(databasePath))) {
        if (error)
            *error = QStringLiteral("%1 exists already").arg(databasePath);
        return false;
    }
    auto db = Database::open(databasePath, Database::Mode::Create, error);
    if (!db)
        return false;
    QString sql = QStringLiteral("BEGIN;"
                                 "CREATE TABLE PageWords (Words TEXT);"
                                 "CREATE TABLE SiteWords (Words TEXT);"
                                 "CREATE TABLE Settings (Value TEXT);");
    for (const QString &text : defaultTemplates()) {
        QString quoted = text;
        quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
        sql += QStringLiteral("INSERT INTO Settings (Value) VALUES ('%1');").arg(quoted);
    }
    sql += QStringLiteral("COMMIT;");
    return db->exec(sql, error);
}

} // namespace tagsmith
