#pragma once

#include "engine/core/RunOptions.h"
#include "text/StringTable.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

class QIODevice;

namespace tagsmith {

// The command line of tagsmith-batch, read into the options of a run.
struct BatchArguments
{
    enum class Action {
        Run,
        Undo,   // undo the last run of the folder
        Forget, // remove the folder's undo data
        Help,
        Version,
        BadUsage,
    };

    Action action = Action::Run;
    RunOptions options;
    int langOffset = EnglishOffset; // the language of the messages
    QString database;               // empty: the program's own database
    QString error;                  // what is wrong with the command line (BadUsage)
    bool diff = false;              // with a dry run: each page's change as a unified diff on out
    QString reportFile;             // the run report as CSV; "-" for out; empty for none
    bool quiet = false;             // no line for a page without a mark
    bool list = false;              // with --undo: list the undo data kept instead
};

// Exit status of tagsmith-batch.
namespace batchexit {
inline constexpr int Completed = 0; // the run completed, warnings allowed
inline constexpr int Failed = 1;    // the run did not start, or a file operation failed
inline constexpr int BadUsage = 2;
} // namespace batchexit

// Reads the arguments (without the program name). Options may stand before or after FOLDER.
BatchArguments parseBatchArguments(const QStringList &arguments);

QString batchUsage();

// The whole command: reads the arguments, the template texts and runs. Messages go to err, one
// line each, and the totals at the end; --help, --version, --diff and --report - to out, as bytes.
// defaultDatabase is the program's own "Tagsmith.mdb", in its data folder (storage/DataFolder.h). With
// errIsTerminal a progress line on err shows the page under work, written over in place.
int runBatch(const QStringList &arguments, const QString &defaultDatabase, QIODevice &out, QTextStream &err,
             bool errIsTerminal);
int runBatch(const QStringList &arguments, const QString &defaultDatabase, QTextStream &out, QTextStream &err);

} // namespace tagsmith
