#pragma once

// The batch command for its tests: run in this process or as the real tagsmith-batch (TAGSMITH_BATCH),
// and the sites it runs on.

#include "TestSupport.h"
#include "batch/BatchCommand.h"

#include <QDir>
#include <QProcess>
#include <QTextStream>

#include <sys/resource.h>

namespace tagsmith::test {

struct BatchOutput
{
    int status = -1; // -1: did not end by itself
    QByteArray out;
    QString err;
};

// runBatch in this process; database stands for the program's own.
inline BatchOutput batchInProcess(const QStringList &arguments,
                                  const QString &database = QStringLiteral("/nonexistent/Tagsmith.mdb"))
{
    QString out;
    BatchOutput result;
    {
        QTextStream outStream(&out);
        QTextStream errStream(&result.err);
        result.status = runBatch(arguments, database, outStream, errStream);
    }
    result.out = out.toUtf8();
    return result;
}

// A program started in folder (when given), its files limited to fileSizeLimit bytes.
inline QProcess *startProcess(const QString &program, const QStringList &arguments, const QString &folder = {},
                              rlim_t fileSizeLimit = RLIM_INFINITY)
{
    auto *process = new QProcess;
    process->setWorkingDirectory(folder);
    if (fileSizeLimit != RLIM_INFINITY) {
        process->setChildProcessModifier([fileSizeLimit] {
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    process->start(program, arguments);
    return process;
}

inline BatchOutput runProgram(const QString &program, const QStringList &arguments, const QString &folder = {},
                              const QByteArray &input = {}, rlim_t fileSizeLimit = RLIM_INFINITY)
{
    std::unique_ptr<QProcess> process(startProcess(program, arguments, folder, fileSizeLimit));
    process->write(input);
    process->closeWriteChannel();
    BatchOutput result;
    if (!process->waitForFinished(60000))
        return result;
    result.status = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    result.out = process->readAllStandardOutput();
    result.err = QString::fromUtf8(process->readAllStandardError());
    return result;
}

#ifdef TAGSMITH_BATCH
inline BatchOutput batchProgram(const QStringList &arguments, const QString &folder = {},
                                rlim_t fileSizeLimit = RLIM_INFINITY)
{
    return runProgram(QStringLiteral(TAGSMITH_BATCH), arguments, folder, {}, fileSizeLimit);
}
#endif

// A page with an old keywords line, of about size bytes.
inline QByteArray numberedPage(int i, int size = 200)
{
    QByteArray bytes = "<html><head><title>Page " + QByteArray::number(i) +
                       "</title>\n<meta name=\"keywords\" content=\"old\">\n</head><body>\n";
    while (bytes.size() < size)
        bytes += "Lighthouse keepers number " + QByteArray::number(i) + " watching harbours.\n";
    return bytes + "</body></html>\n";
}

// Pages p0000.htm, p0001.htm ... in folder.
inline void makePages(const QString &folder, int pages, int size = 200)
{
    for (int i = 0; i < pages; ++i)
        writeFile(folder + QStringLiteral("/p%1.htm").arg(i, 4, 10, QLatin1Char('0')), numberedPage(i, size));
}

using Site = QMap<QString, QByteArray>;

inline void makeSite(const QString &folder, const Site &site)
{
    for (auto [name, bytes] : site.asKeyValueRange())
        writeFile(folder + QLatin1Char('/') + name, bytes);
}

// The files of folder by name; hidden ones (a killed run's temporary file) only when asked.
inline Site contents(const QString &folder, bool hidden = true)
{
    Site site;
    for (const QString &name : filesIn(folder))
        if (hidden || !name.startsWith(QLatin1Char('.')))
            site.insert(name, readFile(folder + QLatin1Char('/') + name));
    return site;
}

} // namespace tagsmith::test
