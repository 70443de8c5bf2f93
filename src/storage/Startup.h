#pragma once

#include <QString>

namespace tagsmith {

// The separator that joins the program's folder and a file name: "/" unless the folder already ends
// in one (the root), then nothing.
QString appDirFor(const QString &folder);

// The frame's caption: the program's title, " V" and its three version numbers.
QString versionCaption();

// The three database files beside the program.
struct DatabaseFiles
{
    QString database;  // Tagsmith.mdb
    QString temporary; // Tagsmith.tmp, exists only while the program starts
    QString backup;    // Tagsmith.bak, the database as the previous use left it

    static DatabaseFiles in(const QString &folder);
};

struct StartupResult
{
    bool ok = false;
    QString cause; // what went wrong, for the user; empty when ok
};

// Readies the database for a new start: compacts "Tagsmith.mdb" into "Tagsmith.tmp", keeps the old
// file as "Tagsmith.bak" and puts the compacted copy in its place.
// A fresh install without a database gets a new one; one that stopped between its renames starts from
// "Tagsmith.bak"; a "Tagsmith.tmp" left by a crash is removed first. On failure the files stay as the
// failing step leaves them, and a good database is never deleted.
StartupResult prepareDatabase(const QString &folder);

// A failed file operation of the start-up: what was being done, then the program's text for the error
// number (an errno).
StartupResult startupFileFailure(const QString &what, int err);

} // namespace tagsmith
