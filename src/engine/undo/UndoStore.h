#pragma once

#include "engine/fs/FileSystem.h"
#include "engine/undo/UndoFiles.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tagsmith {

class ByteSink;
class CopyPacker;
class PageBackup;
struct ScannedPage;

// Where the run kept the page's bytes from before it.
enum class CopyKind : std::uint8_t {
    None = 0,       // nothing: the page did not exist, or it was written already in this run
    Backup = 1,     // the backup the run made beside the page
    Link = 2,       // a second name of the old file in the run's undo folder
    Compressed = 3, // a compressed copy in the run's undo folder (LZ4 frame; zlib when its name ends in .z)
    // The bytes the run replaced, in the record itself: the page from before is the page the run
    // wrote with these in place of what lies between its first deltaPrefix and last deltaSuffix bytes.
    Delta = 4,
};

// What a run did to one page. Written to the journal before the page's new content takes its name,
// so the journal knows every page that the run may have changed.
struct UndoRecord
{
    std::string page;   // the page as the run named it
    std::string target; // the file written: the page, or where a link points
    bool mainPage = false;
    bool created = false; // the run made the page: undo removes it
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    FileIdentity before; // the file the page was
    std::int64_t beforeSize = 0;
    CopyKind copyKind = CopyKind::None;
    std::string copy;             // the backup's path, or the name in the run's undo folder
    FileIdentity copyIdentity;    // the copy as it was made; of a packed copy, the pack up to its end
    std::int64_t copyOffset = -1; // a compressed copy packed with others: where it starts in the pack
    std::string backup;           // the backup the run made or the empty file it took over (empty: none)
    FileIdentity backupIdentity;  // the backup as made; none when the run made none
    bool backupTakenOver = false; // an empty file stood under the backup name
    QByteArray afterHash;         // PageHash of the bytes the run wrote
    std::int64_t afterSize = 0;
    std::int64_t deltaPrefix = 0; // of a delta: the bytes at the start and at the end that the run kept
    std::int64_t deltaSuffix = 0;
    std::string replaced; // of a delta: the bytes the run replaced
};

// The undo data of one run of a folder.
struct UndoJournal
{
    QString folder;
    std::string runId;
    std::int64_t startedMs = 0; // when the run started, ms since the epoch
    std::int64_t sequence = 0;  // the folder's runs in the order they started (0: an earlier version's)
    bool finished = false;      // the run reached its end (completed or stopped by a failure)
    std::vector<UndoRecord> records;
};

// One run of a folder whose undo data is kept.
struct KeptRun
{
    std::string journal; // its journal
    std::string copies;  // the folder of its copies
    QString folder;      // the site folder as the run named it (empty when its journal cannot be read)
    std::string runId;
    std::int64_t startedMs = 0;
    std::int64_t sequence = 0;
};

// The undo data of every folder, beside the program's database: DATA/Tagsmith.undo/ holds per run a
// folder KEY.RUNID with its journal and the copies it kept; KEY stands for the site folder. (Earlier
// versions kept one run per folder, its journal as KEY.journal beside its copies: read as the oldest.)
class UndoStore
{
public:
    enum class Status {
        Ok,
        Missing,    // no undo data for that folder
        Damaged,    // the journal cannot be read back
        Failed,     // a file operation failed; error holds its errno
        FolderGone, // the site folder does not exist (moved, renamed, not mounted): its data is kept
    };

    // The runs of a folder kept at most, and the bytes their undo data may take unless the user says
    // otherwise: the oldest go first, never the newest.
    static constexpr std::size_t MostRuns = 10;
    static constexpr std::int64_t DefaultBudget = std::int64_t(1) << 30;

    // dataFolder is the program's data folder, where the database is.
    explicit UndoStore(QString dataFolder);

    const QString &dataFolder() const { return m_dataFolder; }
    std::string storeFolder() const;
    // The folder of the site as undo data names it: absolute, links resolved where it exists.
    static QString canonicalFolder(const QString &folder);
    std::string key(const QString &folder) const;

    // The runs of the folder kept, the oldest first; the store's leftovers of the folder (copies
    // without a journal: a run cut short while it began, or a removal cut short) in leftovers.
    std::vector<KeptRun> runs(const QString &folder, std::vector<std::string> *leftovers = nullptr) const;
    std::vector<KeptRun> runsOfKey(const std::string &key) const;
    // Every folder's runs, by key.
    std::vector<std::vector<KeptRun>> allRuns() const;
    KeptRun newRun(const QString &folder, const std::string &runId) const;

    Status load(const KeptRun &run, UndoJournal *journal, int *error) const;
    // The bytes the run's undo data takes on disk (the journal and the copies).
    std::int64_t space(const KeptRun &run) const;
    // Removes the run's undo data: first the journal, then the copies.
    int remove(const KeptRun &run) const;
    // Removes the undo data of every run of the folder.
    int removeAll(const QString &folder) const;
    // Gives the undo data kept under another key to the folder (which was moved there).
    int adopt(const std::string &fromKey, const QString &folder) const;

private:
    std::vector<KeptRun> runsOf(const std::string &key, const std::vector<std::string> &names,
                                std::vector<std::string> *leftovers) const;
    QString m_dataFolder;
};

// Keeps the undo data of a run while it goes, as a run of its own beside the folder's earlier ones.
class UndoRecorder
{
public:
    // keep false: no undo data, and the folder's old undo data goes when the first page changes.
    UndoRecorder(const UndoStore &store, const QString &folder, bool keep,
                 std::int64_t budget = UndoStore::DefaultBudget);
    ~UndoRecorder();
    UndoRecorder(const UndoRecorder &) = delete;
    UndoRecorder &operator=(const UndoRecorder &) = delete;

    // With keep, before the run touches anything: makes the data folder where it is missing and the
    // run's journal; returns errno (the run must not start then). Without keep, before the first page
    // changes: removes the old undo data.
    int start(std::int64_t startedMs);
    bool keeping() const { return m_journalFile.isOpen(); }
    bool started() const { return m_started; }

    // Keeps the page's bytes from before and appends its record. Called after the new content is
    // written to its temporary file and before it takes the page's name. after holds the bytes
    // written when the page was read whole, in the pieces they were written in (then only what the
    // run replaced is kept), else nothing.
    int recordPage(const ScannedPage &page, const PageBackup &backup, bool backupMade, const QByteArray &afterHash,
                   std::int64_t afterSize, std::optional<std::span<const std::string_view>> after);
    // Marks the journal finished and puts it on disk; a run that wrote no page leaves no undo data.
    // Then the oldest runs go while there are more than MostRuns or they take more than the budget.
    int finish();

    // The file whose operation failed last.
    const std::string &failedPath() const { return m_failedPath; }
    // When the runs started whose undo data went to make room, the oldest first.
    const std::vector<std::int64_t> &dropped() const { return m_dropped; }

private:
    static std::string absolutePath(const std::string &path);
    int keepCopy(const ScannedPage &page, UndoRecord &record);
    // A delta, unless what the run replaced is large: then a copy.
    int keepDelta(const ScannedPage &page, std::span<const std::string_view> after, UndoRecord &record);
    int openPack();
    // Packs the page's copy and appends it to the pack.
    int packCopy(const ScannedPage &page);
    // Appends bytes of a copy to the pack.
    int addToPack(std::string_view bytes);
    std::string_view packed() const { return std::string_view(m_packBuffer.data(), m_packBuffer.size()); }
    int append(const QByteArray &payload);
    int finishJournal();
    // Removes the folders of copies of runs before this one, on a thread of its own: the run need not
    // wait for the file system to free them (a large pack on a disk that discards takes a while).
    void removeMeanwhile(std::vector<std::string> folders);
    void removeOldRuns();
    void waitForRemoval();
    // Drops the oldest runs but this one while there are more than most or they take more than budget.
    void makeRoom(std::size_t most, std::int64_t budget);

    const UndoStore &m_store;
    QString m_folder;
    bool m_keep;
    std::int64_t m_budget;
    bool m_started = false;
    fs::File m_journalFile; // the journal, open for appending
    KeptRun m_run;
    std::string m_journal;
    std::string m_runFolder;
    std::int64_t m_recorded = 0;  // pages recorded
    std::int64_t m_copyBytes = 0; // bytes of the copies linked
    std::vector<std::int64_t> m_dropped;
    std::uint64_t m_count = 0;
    // Targets written in this run, each with whether its first copy was a delta: then every later
    // write of it keeps its own way back too, as a delta needs the bytes it was written with. Known
    // by a 128-bit hash of their path: the paths themselves took 12 MB for 100,000 pages.
    struct PathKey
    {
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        bool operator==(const PathKey &) const = default;
    };
    struct PathKeyHash
    {
        std::size_t operator()(const PathKey &key) const { return static_cast<std::size_t>(key.low); }
    };
    static PathKey pathKey(const std::string &path);
    std::unordered_map<PathKey, bool, PathKeyHash> m_written;
    std::string m_failedPath;
    std::unique_ptr<CopyPacker> m_packer; // made for the first copy that cannot be a link nor was packed
    std::vector<char> m_packBuffer;       // a copy's frame on its way to the pack
    std::vector<char> m_readBuffer;       // a large page's block on its way to the packer
    // The compressed copies of the run, one after the other in one file: a file for each would cost
    // a file made now and a file removed by the next run, for every page.
    fs::File m_pack;
    FileIdentity m_packIdentity;
    std::int64_t m_packSize = 0;
    std::int64_t m_packWrittenBack = 0;  // the bytes of the pack sent to the disk already
    std::unordered_set<dev_t> m_noLinks; // devices whose files cannot be linked into the undo folder
    std::vector<std::string> m_oldRuns;  // the folders of copies of the runs before
    std::thread m_removal;               // removing them
};

// What a run kept of a page at its start and at its end, in bytes, when it wrote the pieces after in
// its place (the META block and the tags it replaced lie between).
std::pair<std::size_t, std::size_t> keptEnds(std::string_view before, std::span<const std::string_view> after);

// The page a delta record was made from: after (the bytes its run wrote) with the bytes the run
// replaced in place of what it put between its kept start and end. False when the record does not
// fit after.
bool applyDelta(const UndoRecord &record, std::string_view after, std::string *before);

// Writes the bytes of a compressed copy to sink: an LZ4 frame from offset on, or a zlib stream when
// the name ends in ".z". EBADMSG: the copy is damaged or does not hold expectedSize bytes.
int expandCopy(const std::string &path, std::int64_t offset, std::int64_t expectedSize, ByteSink &sink);

} // namespace tagsmith
