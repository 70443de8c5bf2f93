#pragma once

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace tagsmith {

// The eight template texts from which the page writer builds the META lines:
//   0 description line, before the site description    1 description line, after it
//   2 keywords line, before the word list               3 keywords line, after it
//   4 the whole robots line
//   5 revisit line, before the number of months          6 revisit line, after it
//   7 the whole generator line
inline constexpr int TemplateCount = 8;
using Templates = std::array<QString, TemplateCount>;

// The texts a new database gets. Each line is a META NAME tag, so a later run finds and replaces it.
Templates defaultTemplates();

// Every Value of table Settings in rowid order (may be fewer or more than eight rows).
std::optional<std::vector<QString>> readSettingsRows(const QString &databasePath, QString *error);

// The first eight rows as template texts; missing rows stay empty, rows past the eighth are ignored.
Templates templatesFromRows(const std::vector<QString> &rows);

// Creates the tables PageWords, SiteWords and Settings in a new database file and stores the default
// templates. Fails when the file exists.
bool createDatabase(const QString &databasePath, QString *error);

} // namespace tagsmith
