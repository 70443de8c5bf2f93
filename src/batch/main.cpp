#include "batch/BatchCommand.h"
#include "engine/fs/FileSystem.h"
#include "storage/DataFolder.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>

#include <unistd.h>

int main(int argc, char *argv[])
{
    // A file-size limit then shows as the error "disk full" on the page that hits it, instead of
    // ending the program half-way through a page.
    std::signal(SIGXFSZ, SIG_IGN);

    QCoreApplication app(argc, argv);
    // The arguments as the file layer reads names (QCoreApplication::arguments() would lose the bytes
    // of a name that are not UTF-8).
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << tagsmith::fs::fromNative(argv[i]);
    // The database the desktop program uses, found the same way.
    const QString database = tagsmith::locateDataFolder(QCoreApplication::applicationDirPath()).database();

    QFile out;
    out.open(stdout, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    QTextStream err(stderr);
    const int status = tagsmith::runBatch(arguments, database, out, err, ::isatty(STDERR_FILENO) == 1);
    out.flush();
    return status;
}
