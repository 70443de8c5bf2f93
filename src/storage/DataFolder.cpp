#include "storage/DataFolder.h"

#include "text/StringTable.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace tagsmith {
namespace {

// The name of the program's folder inside the user's data folder, the same for both programs.
const QString DataFolderName = QStringLiteral("tagsmith");

// The folders where an installed copy lives: the one this build installs its programs in and the one
// of the system's package.
bool isInstalledProgramFolder(const QString &programFolder)
{
    const QString here = QFileInfo(programFolder).canonicalFilePath();
    if (here.isEmpty())
        return false;
    for (const char *folder : {TAGSMITH_INSTALL_BINDIR, "/usr/bin"}) {
        if (QFileInfo(QFile::decodeName(folder)).canonicalFilePath() == here)
            return true;
    }
    return false;
}

bool mayWriteIn(const QString &folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

} // namespace

DataFolder locateDataFolder(const QString &programFolder)
{
    if (mayWriteIn(programFolder) && !isInstalledProgramFolder(programFolder))
        return DataFolder{programFolder, true};
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return DataFolder{userData.isEmpty() ? QString() : userData + QLatin1Char('/') + DataFolderName, false};
}

StartupResult makeDataFolder(const DataFolder &folder)
{
    const QString what = loadString(ids::CannotMakeDataFolder + EnglishOffset).value_or(QString()).arg(folder.path);
    if (folder.path.isEmpty())
        return StartupResult{false, what};
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(folder.path).toStdString()), ec);
    if (ec)
        return startupFileFailure(what, ec);
    return StartupResult{true, {}};
}

} // namespace tagsmith
