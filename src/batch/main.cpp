#include "batch/BatchCommand.h"
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
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    // The database the desktop program uses, found the same way.
    const QString database = tagsmith::locateDataFolder(QCoreApplication::applicationDirPath()).database();

    QFile out;
    out.open(stdout, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    QTextStream err(stderr);
    const int status = tagsmith::runBatch(arguments, database, out, err, ::isatty(STDERR_FILENO) == 1);
    out.flush();
    return status;
}
