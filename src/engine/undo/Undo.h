#pragma once

#include "engine/core/Run.h"
#include "engine/core/RunObserver.h"
#include "engine/fs/FileSystem.h"
#include "engine/undo/UndoStore.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tagsmith {

// What undo does, or did, with one page of the last run.
enum class UndoAction {
    Restore,      // it holds what the run wrote: its content from before the run comes back
    Remove,       // the run made it and it holds what the run wrote: it goes
    AsBefore,     // it is as it was before the run already (not reached, or put back by an earlier undo)
    ChangedSince, // edited or written anew since the run: left as it is
    CopyLost,     // its copy from before the run is gone or was changed: left as it is
};

struct UndoPage
{
    QString page; // as the run named it
    bool mainPage = false;
    UndoAction action = UndoAction::AsBefore;
};

// The undo of a folder's last run, before it is done (what it will do) or after (what it did).
struct UndoPlan
{
    UndoStore::Status status = UndoStore::Status::Missing;
    int error = 0;   // the errno when status is Failed
    QString folder;  // the folder as the undo data names it
    QString journal; // the file of the undo data
    std::int64_t startedMs = 0;
    bool finished = false;
    std::int64_t space = 0; // bytes the undo data of the run takes
    std::vector<UndoPage> pages;
    // Every run of the folder kept, the oldest first: the last is the run undone.
    struct Run
    {
        std::int64_t startedMs = 0;
        std::int64_t space = 0;
    };
    std::vector<Run> runs;
    bool moved = false; // the undo data was kept for the folder at movedFrom, moved here since
    QString movedFrom;

    bool ready() const { return status == UndoStore::Status::Ok; }
    // Whether the undo would put back (or find as before) any page: undo data that would put back
    // none is kept.
    bool usable() const;
    int count(UndoAction action) const;
};

// What undo would do now with the folder's last run. Changes nothing.
UndoPlan planUndo(const QString &dataFolder, const QString &folder);

// Why a plan that is not ready cannot be carried out: no undo data, damaged undo data, or the file
// error that stopped the plan.
Message whyNoUndo(const UndoPlan &plan);

// The undo data kept of a folder: its runs, the oldest first.
struct KeptFolder
{
    QString folder;
    bool exists = false; // the folder is still there
    struct Run
    {
        std::int64_t startedMs = 0;
        std::int64_t pages = 0; // -1: its journal cannot be read
        std::int64_t space = 0;
        bool finished = false;
    };
    std::vector<Run> runs;
    // Older runs of the folder whose undo data went to make room, to keep the folder within its most
    // runs or within its budget (counted since the folder's undo data was last empty).
    std::int64_t dropped = 0;
};

// The undo data kept of every folder, or of the one folder given.
std::vector<KeptFolder> keptUndoData(const QString &dataFolder, const QString &folder = QString());

// Removes the undo data of the folder, also when the folder is gone; *runs receives how many runs'.
// Returns errno.
int forgetUndoData(const QString &dataFolder, const QString &folder, int *runs);

// Takes the lock that lets one run or undo at a time work on the folder, held while lock stays open.
// When another process holds it: the message that says which (the run or undo must not start). A file
// system without such locks lets the run go on without one.
std::optional<Message> takeFolderLock(const QString &folder, fs::File *lock);

// Undoes the folder's last run: every page that still holds what the run wrote gets its content,
// permission bits and links from before the run back (atomically, page by page), a page the run made
// goes, and so do the backups the run made. Pages changed since are left as they are and reported.
// Without undo data, or with damaged undo data, nothing changes. After a failure every page is
// whole and the undo can be run again; so after an undo stopped between two pages (the observer's
// stopRequested()); after an undo that reached its end, the undo data is gone.
// done (when given) receives what was done with every page.
RunResult undoLastRun(const QString &dataFolder, const QString &folder, RunObserver &observer,
                      UndoPlan *done = nullptr);

} // namespace tagsmith
