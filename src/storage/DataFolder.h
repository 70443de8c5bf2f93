#pragma once

#include "storage/Startup.h"

#include <QString>

namespace tagsmith {

// The folder that holds the database ("Tagsmith.mdb" with its ".tmp" and ".bak") and any other data the
// program keeps. Both programs decide it once at start, the same way.
struct DataFolder
{
    QString path;               // the folder itself
    bool besideProgram = false; // a portable copy: the folder of the executable

    QString database() const { return DatabaseFiles::in(path).database; }
    // Path of another file of the program's data, beside the database.
    QString file(const QString &name) const { return path + appDirFor(path) + name; }
};

// Beside the executable when the user may write in its folder, as a copy unpacked anywhere (or a build
// folder) always worked; otherwise the user's data folder ($XDG_DATA_HOME/tagsmith). A copy installed in
// the system's program folder uses the user's data folder even for an administrator who could write
// there, so that no user's data ever lands among the system's programs.
DataFolder locateDataFolder(const QString &programFolder);

// Makes the folder when it is missing: the user's data folder on the first start.
StartupResult makeDataFolder(const DataFolder &folder);

} // namespace tagsmith
