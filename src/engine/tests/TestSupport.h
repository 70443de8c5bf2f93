#pragma once

#include "engine/RunObserver.h"
#include "engine/RunOptions.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <vector>

namespace tagsmith::test {

// Everything a run told the outside world.
class RecordingObserver : public RunObserver
{
public:
    void message(const Message &msg) override { messages.push_back(msg); }
    void pageStarted(const QString &pagePath, std::int64_t index, std::int64_t count) override
    {
        started << QStringLiteral("%1 %2/%3").arg(pagePath).arg(index).arg(count);
    }
    void backupChosen(const QString &backupPath) override { backups << backupPath; }

    // "title/text page" for each message.
    QStringList messageList() const;

    std::vector<Message> messages;
    QStringList started;
    QStringList backups;
};

// The template texts of the golden pages: the usual ones with a generator line that does not
// change with the version.
Templates goldenTemplates();

// Options of a golden case: "description" (the line is written when given), "generator",
// "robots", "revisit", "revisitMonths", "minLength" (a text; absent means the default "6"), "case"
// (lower, upper or keep), "backup".
RunOptions optionsFromJson(const QJsonObject &json);
// Copies the pages of a golden site's src/ into folder and returns the site's options for it (the main
// page named by "main" in site.json); pages gets the names copied.
RunOptions goldenSiteIn(const QString &site, const QString &folder, QStringList *pages);

// The rows of a table (a file under tests/data, found with QFINDTESTDATA): one row a line, its fields
// separated by tabs; blank lines and lines starting with '#' are left out. The first field names the row.
QList<QStringList> readTable(const QString &path);
// A field of such a table as bytes: UTF-8, with \xNN, \n, \r, \t, \f and \\ for the bytes they name.
QByteArray unescape(const QString &field);
// "1 2 3" as numbers.
QList<qint64> numbers(const QString &field);

QByteArray readFile(const QString &path);
// Makes the folders on the way.
bool writeFile(const QString &path, const QByteArray &bytes);
// Names in the folder, hidden ones included, sorted.
QStringList filesIn(const QString &folder);

} // namespace tagsmith::test
