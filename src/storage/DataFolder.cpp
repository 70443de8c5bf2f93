#include "storage/DataFolder.h"

#include "engine/fs/FileSystem.h"
#include "text/StringTable.h"

#include <QStandardPaths>

namespace tagsmith {
namespace {

// The name of the program's folder inside the user's data folder, the same for both programs.
const QString DataFolderName = QStringLiteral("tagsmith");

// The folders where an installed copy lives: the one this build installs its programs in and the one
// of the system's package.
bool isInstalledProgramFolder(const QString &programFolder)
{
    std::string here;
    if (fs::realPath(fs::native(programFolder), &here) != 0)
        return false;
    for (const char *folder : {TAGSMITH_INSTALL_BINDIR, "/usr/bin"}) {
        std::string installed;
        if (fs::realPath(folder, &installed) == 0 && installed == here)
            return true;
    }
    return false;
}

} // namespace

DataFolder locateDataFolder(const QString &programFolder)
{
    if (fs::mayWriteIn(fs::native(programFolder)) == 0 && !isInstalledProgramFolder(programFolder))
        return DataFolder{programFolder, true};
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return DataFolder{userData.isEmpty() ? QString() : userData + QLatin1Char('/') + DataFolderName, false};
}

StartupResult makeDataFolder(const DataFolder &folder)
{
    const QString what = loadString(ids::CannotMakeDataFolder + EnglishOffset).value_or(QString()).arg(folder.path);
    if (folder.path.isEmpty())
        return StartupResult{false, what};
    if (const int err = fs::makeFolders(fs::native(folder.path)); err != 0)
        return startupFileFailure(what, err);
    return StartupResult{true, {}};
}

} // namespace tagsmith
