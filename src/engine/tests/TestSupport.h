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

QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &bytes);
// Names in the folder, hidden ones included, sorted.
QStringList filesIn(const QString &folder);

} // namespace tagsmith::test
