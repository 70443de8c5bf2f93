#pragma once

#include "engine/fs/FileSystem.h"
#include "engine/encoding/PageText.h"
#include "engine/core/RunObserver.h"
#include "engine/core/RunOptions.h"
#include "engine/run/RunReport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

#include <vector>

namespace tagsmith::test {

// Everything a run told the outside world; with keepBytes also each page's bytes as handed over.
class RecordingObserver : public RunObserver
{
public:
    explicit RecordingObserver(bool keepBytes = false) : m_keepBytes(keepBytes) {}
    void message(const Message &msg) override { messages.push_back(msg); }
    void pageStarted(const QString &pagePath, std::int64_t index, std::int64_t count) override
    {
        started << QStringLiteral("%1 %2/%3").arg(pagePath).arg(index).arg(count);
    }
    void backupChosen(const QString &backupPath) override { backups << backupPath; }
    bool wantsPageBytes() const override { return m_keepBytes; }
    void pageBytes(const PageReport &page, std::string_view before, std::string_view after) override;

    // "title/text page" for each message.
    QStringList messageList() const;

    std::vector<Message> messages;
    QStringList started;
    QStringList backups;
    QList<QByteArray> befores;
    QList<QByteArray> afters;
    QStringList names; // of the pages whose bytes were kept

private:
    bool m_keepBytes;
};

// The template texts of the golden pages: the usual ones with a generator line that does not
// change with the version.
Templates goldenTemplates();
// A run of the folder with those templates and no description line.
RunOptions siteOptions(const QString &folder);
// With inBlocks every page is read in blocks of three bytes, twice; without readAhead page by page.
RunLimits runLimits(bool inBlocks, bool readAhead = true);

// Options of a golden case: "description" (the line is written when given), "generator",
// "robots", "revisit", "revisitMonths", "minLength" (a text; absent means the default "6"), "case"
// (lower, upper or keep), "backup", "topKeywords" (how many of the most telling words; absent means every
// word), "pageDescriptions", "siteUrl", "shareImage".
RunOptions optionsFromJson(const QJsonObject &json);
// Copies the pages of a golden site's src/ into folder and returns the site's options for it (the main
// page named by "main" in site.json); pages gets the names copied.
RunOptions goldenSiteIn(const QString &site, const QString &folder, QStringList *pages);

// A site from lines "name text" (a page with that text in its body), "name raw bytes" (a file of those
// bytes, escaped as by unescape), "name" (an empty file), "name -> target" (a symbolic link), "name = other"
// (a hard link to another file of the site), "name mode 640" (the file's bits). Names may hold folders.
void makeSite(const QString &folder, const QStringList &lines);
// Every entry under root (folders as "name/"): its bits and bytes, or where it links to; with stamps also
// its inode, size and time stamps, and those of root itself as ".".
QMap<QString, QString> treeState(const QString &root, bool stamps = false);
// The rows of a report: "page outcome [error] [main]".
QStringList reportRows(const RunReport &report);

// The rows of a table (a file under tests/data, found with QFINDTESTDATA): one row a line, its fields
// separated by tabs; blank lines and lines starting with '#' are left out. The first field names the row.
QList<QStringList> readTable(const QString &path);
// For a test's _data(): a column of text for each name, and a row for each row of the table (a field left
// out is empty).
void addTableRows(const QString &path, std::initializer_list<const char *> columns);
// A field of such a table as bytes: UTF-8, with \xNN, \n, \r, \t, \f and \\ for the bytes they name.
QByteArray unescape(const QString &field);
// "1 2 3" as numbers.
QList<qint64> numbers(const QString &field);
// An operation of the file layer by its name in fs::Call ("Write", "LinkStatus" ...).
fs::Call callNamed(const QString &name);
// "EIO", "ENOSPC", "EACCES", "EPERM" or "EXDEV" as its number.
int errorNamed(const QString &name);
// "windows-1252", "utf-8", "utf-16le", "utf-16be" or "legacy".
PageEncoding encodingNamed(const QString &name);

// The text in UTF-16, after its byte-order mark.
QByteArray utf16(const QString &text, bool bigEndian);

QByteArray readFile(const QString &path);
// Makes the folders on the way.
bool writeFile(const QString &path, const QByteArray &bytes);
// Names in the folder, hidden ones included, sorted.
QStringList filesIn(const QString &folder);

} // namespace tagsmith::test
