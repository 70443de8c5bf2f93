#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>

namespace tagsmith {

// The choices of the main screen that the program keeps from one start to the next, when the user asks
// it to: table Choices (Name, Value) of the program's database, a table of its own beside Settings. A
// value is bytes, so that a folder's name need not be UTF-8. A database of an earlier version has no
// such table: it holds no choices until some are written.
using Choices = std::map<QString, QByteArray>;

// The stored choices, none when there is no table; nothing (with error) when the database cannot be read.
std::optional<Choices> readChoices(const QString &databasePath, QString *error);

// Puts choices in place of the stored ones, all or nothing, making the table where it is missing.
bool writeChoices(const QString &databasePath, const Choices &choices, QString *error);

// Forgets every stored choice.
bool forgetChoices(const QString &databasePath, QString *error);

} // namespace tagsmith
