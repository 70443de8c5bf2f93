#include "engine/undo/Undo.h"

#include "engine/fs/FileError.h"
#include "engine/fs/FileSystem.h"
#include "engine/page/LeftoverTemporaries.h"
#include "engine/page/PageHash.h"
#include "engine/page/PageReader.h"
#include "engine/page/PageReplacement.h"
#include "text/StringTable.h"

#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <set>

namespace tagsmith {
namespace {

using namespace undofiles;

QString decoded(const std::string &path)
{
    return fs::fromNative(path);
}

// The records of one file, in run order: more than one when the run wrote it twice (the main page
// inside the folder, or a page that two names lead to).
struct Entry
{
    std::vector<const UndoRecord *> records;
    const UndoRecord &first() const { return *records.front(); }
};

std::vector<Entry> entriesOf(const UndoJournal &journal)
{
    std::vector<Entry> entries;
    std::map<std::string, std::size_t> byTarget;
    for (const UndoRecord &record : journal.records) {
        const auto [it, added] = byTarget.try_emplace(record.target, entries.size());
        if (added)
            entries.emplace_back();
        entries[it->second].records.push_back(&record);
    }
    return entries;
}

int readWhole(const std::string &path, std::string *bytes)
{
    QByteArray whole;
    if (const int err = undofiles::readWhole(path, &whole); err != 0)
        return err;
    bytes->assign(whole.constData(), static_cast<std::size_t>(whole.size()));
    return 0;
}

// Whether the file holds bytes at offset.
int holdsAt(const std::string &path, std::int64_t offset, std::string_view bytes, bool *holds)
{
    fs::File file;
    if (const int err = fs::openForReading(path, fs::Links::Follow, &file); err != 0)
        return err;
    std::string there(bytes.size(), '\0');
    std::size_t got = 0;
    if (const int err = fs::readAt(file.fd(), there.data(), offset, there.size(), &got); err != 0)
        return err;
    *holds = got == bytes.size() && there == bytes;
    return 0;
}

// The hash of the file's bytes, of the kind of the hash like.
int hashFile(const std::string &path, const QByteArray &like, QByteArray *hash)
{
    fs::File file;
    if (const int err = fs::openForReading(path, fs::Links::Follow, &file); err != 0)
        return err;
    PageHash page(PageHash::kindOf(like).value_or(PageHash::Kind::Xxh3));
    std::vector<char> buffer;
    const int err =
        PageReader::forEachBlock(file.fd(), INT64_MAX, std::size_t(1) << 20, buffer, [&](std::string_view bytes) {
            page.add(bytes);
            return true;
        });
    *hash = page.result();
    return err;
}

// Compares bytes fed to it with a file's bytes.
class ComparingSink : public ByteSink
{
public:
    explicit ComparingSink(int fd) : m_fd(fd) {}
    void write(std::string_view bytes) override
    {
        if (!m_same)
            return;
        m_buffer.resize(bytes.size());
        std::size_t got = 0;
        if (fs::readAt(m_fd, m_buffer.data(), m_offset, bytes.size(), &got) != 0 || got != bytes.size() ||
            std::memcmp(m_buffer.data(), bytes.data(), bytes.size()) != 0)
            m_same = false;
        m_offset += static_cast<std::int64_t>(bytes.size());
    }
    bool same() const { return m_same; }

private:
    int m_fd;
    std::int64_t m_offset = 0;
    std::vector<char> m_buffer;
    bool m_same = true;
};

class Undoer
{
public:
    Undoer(const QString &dataFolder, const QString &folder) : m_store(dataFolder), m_folder(folder) {}

    // With adopt the undo data of a folder moved here is given to it for good; without, only read.
    UndoPlan load(bool adopt)
    {
        UndoPlan plan;
        plan.folder = UndoStore::canonicalFolder(m_folder);
        if (!fs::isFolder(plan.folder)) {
            // Moved, renamed or not mounted: its undo data waits for it. (A folder that never had any
            // has none to keep.)
            plan.status = m_store.runs(m_folder).empty() ? UndoStore::Status::Missing : UndoStore::Status::FolderGone;
            return plan;
        }
        std::vector<KeptRun> runs = m_store.runs(m_folder);
        if (runs.empty()) {
            if (const std::optional<std::string> key = movedHere(plan.folder)) {
                runs = m_store.runsOfKey(*key);
                plan.moved = true;
                plan.movedFrom = runs.back().folder;
                if (adopt && m_store.adopt(*key, m_folder) == 0)
                    runs = m_store.runs(m_folder);
            }
        }
        if (runs.empty()) {
            plan.journal = decoded(m_store.storeFolder());
            return plan;
        }
        for (const KeptRun &run : runs)
            plan.runs.push_back({run.startedMs, m_store.space(run)});
        m_run = runs.back();
        plan.journal = decoded(m_run.journal);
        int err = 0;
        plan.status = m_store.load(m_run, &m_journal, &err);
        plan.error = err == 0 ? 0 : fileErrorFromErrno(err);
        if (!plan.ready())
            return plan;
        // A folder that was moved: its pages are found where it is now.
        if (m_journal.folder != plan.folder)
            moveTo(m_journal.folder, plan.folder);
        plan.startedMs = m_journal.startedMs;
        plan.finished = m_journal.finished;
        plan.space = plan.runs.back().space;
        m_entries = entriesOf(m_journal);
        return plan;
    }

    const std::vector<Entry> &entries() const { return m_entries; }

    static UndoPage pageOf(const Entry &entry)
    {
        UndoPage page;
        page.page = decoded(entry.first().page);
        page.mainPage =
            std::any_of(entry.records.begin(), entry.records.end(), [](const UndoRecord *r) { return r->mainPage; });
        return page;
    }

    // What undo has to do with the file now.
    int judge(const Entry &entry, UndoAction *action) const
    {
        const UndoRecord &first = entry.first();
        FileIdentity now;
        if (const int err = identity(first.target, &now); err != 0)
            return err;
        if (!now.exists()) {
            *action = first.created ? UndoAction::AsBefore : UndoAction::ChangedSince;
            return 0;
        }
        // The file from before the run stands under its name: the run never replaced it, or an undo
        // put it back.
        if (!first.created &&
            (now == first.before ||
             ((first.copyKind == CopyKind::Backup || first.copyKind == CopyKind::Link) && now == first.copyIdentity) ||
             (first.beforeSize == 0 && now.size == 0))) {
            *action = UndoAction::AsBefore;
            return 0;
        }
        QByteArray hash;
        if (const int err = hashFile(first.target, first.afterHash, &hash); err != 0)
            return err;
        const bool written = std::any_of(entry.records.begin(), entry.records.end(),
                                         [&](const UndoRecord *r) { return r->afterHash == hash; });
        if (written) {
            if (first.created)
                *action = UndoAction::Remove;
            else
                *action = copyIntact(first) || first.beforeSize == 0 ? UndoAction::Restore : UndoAction::CopyLost;
            // A page written more than once goes back write by write: each step must fit, or the
            // undo would stop at it.
            if (*action == UndoAction::Restore && first.copyKind == CopyKind::Delta && entry.records.size() > 1) {
                std::string before;
                if (const int err = bytesBeforeRun(entry, &before); err == EBADMSG)
                    *action = UndoAction::CopyLost;
                else if (err != 0)
                    return err;
            }
            return 0;
        }
        // Put back from a compressed copy by an earlier undo: a new file with the old bytes.
        if (first.copyKind == CopyKind::Compressed && now.size == first.beforeSize && copyIntact(first)) {
            fs::File file;
            if (const int err = fs::openForReading(first.target, fs::Links::Follow, &file); err != 0)
                return err;
            ComparingSink compare(file.fd());
            const int err = expandCopy(copyPath(first), first.copyOffset, first.beforeSize, compare);
            if (err == 0 && compare.same()) {
                *action = UndoAction::AsBefore;
                return 0;
            }
        }
        // Put back from a delta by an earlier undo: the bytes the run replaced are there again.
        if (first.copyKind == CopyKind::Delta && now.size == first.beforeSize) {
            bool holds = false;
            if (const int err = holdsAt(first.target, first.deltaPrefix, first.replaced, &holds); err != 0)
                return err;
            if (holds) {
                *action = UndoAction::AsBefore;
                return 0;
            }
        }
        *action = UndoAction::ChangedSince;
        return 0;
    }

    // Does what judge() said. Returns errno; failedPath then names the file.
    int apply(const Entry &entry, UndoAction action)
    {
        const UndoRecord &first = entry.first();
        switch (action) {
        case UndoAction::Restore:
            // A page that was empty needs no copy: when the run wrote the page twice with backups on,
            // its second backup took over the first one, the empty file of its first content.
            if (first.copyKind == CopyKind::Delta || first.copyKind == CopyKind::Compressed || !copyIntact(first)) {
                std::string before; // of a page kept as deltas
                if (first.copyKind == CopyKind::Delta)
                    if (const int err = bytesBeforeRun(entry, &before); err != 0)
                        return err;
                PageReplacement replacement(first.target);
                m_failedPath = first.target;
                if (const int err = replacement.create(first.mode, first.owner, first.group, std::size_t(1) << 20);
                    err != 0)
                    return err;
                if (first.copyKind == CopyKind::Delta) {
                    replacement.sink().write(before);
                } else if (first.beforeSize > 0) {
                    m_failedPath = copyPath(first);
                    if (const int err =
                            expandCopy(m_failedPath, first.copyOffset, first.beforeSize, replacement.sink());
                        err != 0)
                        return err;
                }
                m_failedPath = first.target;
                if (const int err = replacement.close(); err != 0)
                    return err;
                // Mirror and upload tools compare times: the page comes back as it was, time and all.
                if (first.before.exists())
                    if (const int err = fs::setModificationTime(replacement.TempPath(), first.before.mtimeNs); err != 0)
                        return err;
                if (const int err = replacement.commit(); err != 0)
                    return err;
            } else {
                // The old file itself goes back under its name, with its bits, owner and other links.
                m_failedPath = first.target;
                if (const int err = fs::rename(copyPath(first), first.target); err != 0)
                    return err;
            }
            break;
        case UndoAction::Remove:
            m_failedPath = first.target;
            if (const int err = fs::remove(first.target); err != 0)
                return err;
            break;
        case UndoAction::AsBefore:
            break;
        case UndoAction::ChangedSince:
        case UndoAction::CopyLost:
            return 0; // its backups stay too: they may be all that is left of the page as it was
        }
        return removeBackups(entry);
    }

    int finish()
    {
        m_failedPath = m_run.journal;
        return m_store.remove(m_run);
    }

    const std::string &failedPath() const { return m_failedPath; }

private:
    std::string copyPath(const UndoRecord &record) const
    {
        if (record.copyKind == CopyKind::Backup)
            return record.copy;
        return m_run.copies + '/' + record.copy;
    }

    // The page as it was before the run, from the bytes it holds now (what one of the run's writes
    // made): each write's way back in turn, the last one first, each step checked against the
    // bytes the write before made.
    int bytesBeforeRun(const Entry &entry, std::string *content) const
    {
        m_failedPath = entry.first().target;
        if (const int err = readWhole(m_failedPath, content); err != 0)
            return err;
        const QByteArray hash = PageHash::of(*content, entry.first().afterHash);
        auto at = std::find_if(entry.records.rbegin(), entry.records.rend(),
                               [&](const UndoRecord *r) { return r->afterHash == hash; });
        if (at == entry.records.rend())
            return EBADMSG; // changed since it was judged
        for (; at != entry.records.rend(); ++at) {
            const UndoRecord &record = **at;
            m_failedPath = record.copyKind == CopyKind::Delta ? record.target : copyPath(record);
            if (!copyIntact(record))
                return EBADMSG;
            std::string before;
            if (record.copyKind == CopyKind::Delta) {
                if (!applyDelta(record, *content, &before))
                    return EBADMSG;
            } else if (record.copyKind == CopyKind::Compressed) {
                StringSink sink(before);
                if (const int err = expandCopy(m_failedPath, record.copyOffset, record.beforeSize, sink); err != 0)
                    return err;
            } else if (const int err = readWhole(m_failedPath, &before); err != 0) {
                return err;
            }
            if (static_cast<std::int64_t>(before.size()) != record.beforeSize)
                return EBADMSG;
            *content = std::move(before);
            if (std::next(at) != entry.records.rend() &&
                PageHash::of(*content, (*std::next(at))->afterHash) != (*std::next(at))->afterHash)
                return EBADMSG;
        }
        return 0;
    }

    bool copyIntact(const UndoRecord &record) const
    {
        if (record.copyKind == CopyKind::None)
            return false;
        if (record.copyKind == CopyKind::Delta)
            return true; // in the record
        FileIdentity id;
        if (identity(copyPath(record), &id) != 0)
            return false;
        // A pack of copies only grew after this copy went in.
        if (record.copyOffset >= 0)
            return id.device == record.copyIdentity.device && id.inode == record.copyIdentity.inode &&
                   id.size >= record.copyIdentity.size;
        return id == record.copyIdentity;
    }

    // The backups the run made go when they are still as the run made them; an empty file that a
    // backup name held before the run comes back.
    int removeBackups(const Entry &entry)
    {
        for (const UndoRecord *record : entry.records) {
            if (record->backup.empty())
                continue;
            m_failedPath = record->backup;
            FileIdentity id;
            if (const int err = identity(record->backup, &id); err != 0)
                return err;
            if (id.exists() && id == record->backupIdentity) {
                if (const int err = fs::remove(record->backup); err != 0)
                    return err;
            }
            // The empty file it took over comes back, unless this run made it (as the backup of the
            // page's first write): then it goes like every backup the run made.
            const bool madeByRun = std::any_of(entry.records.begin(), entry.records.end(), [&](const UndoRecord *r) {
                return r != record && r->backup == record->backup && !r->backupTakenOver;
            });
            if (record->backupTakenOver && !madeByRun) {
                if (const int err = identity(record->backup, &id); err != 0)
                    return err;
                if (!id.exists()) {
                    fs::File file;
                    if (const int err = fs::createNew(record->backup, 0666 & ~fs::creationMask(), &file); err != 0)
                        return err;
                    if (const int err = file.close(); err != 0)
                        return err;
                }
            }
        }
        return 0;
    }

    // The key of the undo data of a folder that is gone, whose last run wrote the pages that stand in
    // folder now under the same names: the folder was moved (or renamed) to here.
    std::optional<std::string> movedHere(const QString &folder) const
    {
        for (const std::vector<KeptRun> &runs : m_store.allRuns()) {
            const KeptRun &last = runs.back();
            if (last.folder.isEmpty() || last.folder == folder || fs::isFolder(last.folder))
                continue;
            UndoJournal journal;
            int err = 0;
            if (m_store.load(last, &journal, &err) != UndoStore::Status::Ok)
                continue;
            const std::string old = fs::native(last.folder) + '/';
            const std::string now = fs::native(folder) + '/';
            int checked = 0;
            bool same = true;
            for (const UndoRecord &record : journal.records) {
                if (!record.target.starts_with(old) || record.created)
                    continue;
                QByteArray hash;
                if (hashFile(now + record.target.substr(old.size()), record.afterHash, &hash) != 0 ||
                    hash != record.afterHash) {
                    // A page written twice holds what its last write made.
                    const bool later =
                        std::any_of(journal.records.begin(), journal.records.end(), [&](const UndoRecord &r) {
                            return &r != &record && r.target == record.target && r.afterHash == hash;
                        });
                    if (!later) {
                        same = false;
                        break;
                    }
                }
                if (++checked == 16)
                    break;
            }
            if (same && checked > 0)
                return m_store.key(last.folder);
        }
        return std::nullopt;
    }

    // The records' paths in the folder from before moved to where it is now.
    void moveTo(const QString &from, const QString &to)
    {
        const std::string old = fs::native(from) + '/';
        const std::string now = fs::native(to) + '/';
        const auto move = [&](std::string &path) {
            if (path.starts_with(old))
                path = now + path.substr(old.size());
        };
        for (UndoRecord &record : m_journal.records) {
            move(record.page);
            move(record.target);
            move(record.backup);
            if (record.copyKind == CopyKind::Backup)
                move(record.copy);
        }
    }

    UndoStore m_store;
    QString m_folder;
    KeptRun m_run;
    UndoJournal m_journal;
    std::vector<Entry> m_entries;
    mutable std::string m_failedPath;
};

} // namespace

int UndoPlan::count(UndoAction action) const
{
    return static_cast<int>(
        std::count_if(pages.begin(), pages.end(), [action](const UndoPage &p) { return p.action == action; }));
}

namespace {

// Judges every page of the plan's run; false (with the plan's status and error set) when a file
// cannot be looked at.
bool judgeAll(const Undoer &undoer, UndoPlan &plan)
{
    for (const Entry &entry : undoer.entries()) {
        UndoPage page = Undoer::pageOf(entry);
        if (const int err = undoer.judge(entry, &page.action); err != 0) {
            plan.status = UndoStore::Status::Failed;
            plan.error = fileErrorFromErrno(err);
            plan.journal = page.page;
            return false;
        }
        plan.pages.push_back(page);
    }
    return true;
}

// A file error, or undo data that does not fit what it is applied to.
Message failure(int err, const QString &path)
{
    if (err == EBADMSG)
        return {ids::ErrorTitle, ids::UndoDataMismatch, path};
    return {ids::ErrorTitle, ids::FileErrorBase + fileErrorFromErrno(err), path};
}

} // namespace

bool UndoPlan::usable() const
{
    return pages.empty() || count(UndoAction::Restore) + count(UndoAction::Remove) + count(UndoAction::AsBefore) > 0;
}

UndoPlan planUndo(const QString &dataFolder, const QString &folder)
{
    Undoer undoer(dataFolder, folder);
    UndoPlan plan = undoer.load(false);
    if (plan.ready())
        judgeAll(undoer, plan);
    return plan;
}

Message whyNoUndo(const UndoPlan &plan)
{
    switch (plan.status) {
    case UndoStore::Status::Missing:
        return {ids::ErrorTitle, ids::NoUndoData, plan.folder};
    case UndoStore::Status::Damaged:
        return {ids::ErrorTitle, ids::UndoDamaged, plan.journal};
    case UndoStore::Status::FolderGone:
        return {ids::ErrorTitle, ids::UndoFolderGone, plan.folder};
    case UndoStore::Status::Ok:
        if (!plan.usable())
            return {ids::ErrorTitle, ids::UndoNothingUsable, plan.folder};
        break;
    case UndoStore::Status::Failed:
        break;
    }
    return {ids::ErrorTitle, ids::FileErrorBase + plan.error, plan.journal};
}

std::vector<KeptFolder> keptUndoData(const QString &dataFolder, const QString &folder)
{
    const UndoStore store(dataFolder);
    std::vector<std::vector<KeptRun>> all;
    if (folder.isEmpty())
        all = store.allRuns();
    else if (std::vector<KeptRun> runs = store.runs(folder); !runs.empty())
        all.push_back(std::move(runs));
    std::vector<KeptFolder> folders;
    for (const std::vector<KeptRun> &runs : all) {
        KeptFolder kept;
        kept.folder = runs.back().folder.isEmpty() ? UndoStore::canonicalFolder(folder) : runs.back().folder;
        kept.exists = fs::isFolder(kept.folder);
        for (const KeptRun &run : runs) {
            UndoJournal journal;
            int err = 0;
            const bool read = store.load(run, &journal, &err) == UndoStore::Status::Ok;
            std::set<std::string> pages;
            for (const UndoRecord &record : journal.records)
                pages.insert(record.target);
            kept.runs.push_back({run.startedMs, read ? static_cast<std::int64_t>(pages.size()) : -1, store.space(run),
                                 journal.finished});
        }
        // The runs of a folder are numbered on from its newest kept one: the numbers below the oldest
        // kept are runs dropped (an earlier version's undo data has none).
        kept.dropped = std::max<std::int64_t>(runs.front().sequence - 1, 0);
        folders.push_back(std::move(kept));
    }
    std::sort(folders.begin(), folders.end(),
              [](const KeptFolder &a, const KeptFolder &b) { return a.folder < b.folder; });
    return folders;
}

int forgetUndoData(const QString &dataFolder, const QString &folder, int *runs)
{
    const UndoStore store(dataFolder);
    *runs = static_cast<int>(store.runs(folder).size());
    return store.removeAll(folder);
}

std::optional<Message> takeFolderLock(const QString &folder, fs::File *lock)
{
    fs::LockHolder holder;
    const int err = fs::lockFolder(fs::native(folder), lock, &holder);
    if (err != EWOULDBLOCK)
        return std::nullopt; // taken, or no such lock on this file system: nothing to wait for
    QString who = holder.process > 0 ? QString::number(holder.process) : QStringLiteral("?");
    if (!holder.program.isEmpty())
        who += QLatin1Char(' ') + holder.program;
    if (holder.startedMs > 0)
        who += QStringLiteral(", ") +
               QDateTime::fromMSecsSinceEpoch(holder.startedMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    Message busy{ids::ErrorTitle, ids::FolderBusy, folder};
    busy.argument = who;
    return busy;
}

namespace {

// A run that was killed may have left the temporary of the page it was writing beside it: the
// folders go back to what they were without it.
void removeLeftovers(const std::set<std::string> &folders, RunObserver &observer)
{
    for (const std::string &folder : folders)
        if (const int removed = removeLeftoverTemporaries(folder); removed > 0)
            observer.message({ids::WarningTitle, ids::TemporariesRemoved, decoded(folder), removed});
}

} // namespace

RunResult undoLastRun(const QString &dataFolder, const QString &folder, RunObserver &observer, UndoPlan *done)
{
    const auto refuse = [&](const Message &msg, const UndoPlan &plan) {
        observer.message(msg);
        if (done)
            *done = plan;
        return RunResult::NotStarted;
    };
    fs::File lock;
    if (const std::optional<Message> busy = takeFolderLock(fs::absoluteCleanPath(folder), &lock))
        return refuse(*busy, UndoPlan());

    Undoer undoer(dataFolder, folder);
    UndoPlan plan = undoer.load(true);
    if (!plan.ready()) {
        observer.message(whyNoUndo(plan));
        // A run killed before it kept undo data changed no page, though it may have left the
        // temporary of its first one. (That there is nothing to undo is said first: the popup of the
        // screens shows the first message.)
        if (plan.status == UndoStore::Status::Missing)
            removeLeftovers({fs::native(fs::absoluteCleanPath(folder))}, observer);
        if (done)
            *done = plan;
        return RunResult::NotStarted;
    }
    if (plan.moved)
        observer.message({ids::WarningTitle, ids::UndoFoundMoved, plan.movedFrom});
    // Undo data that would put back no page is not used up: the pages may be elsewhere.
    UndoPlan judged = plan;
    if (!judgeAll(undoer, judged))
        return refuse(whyNoUndo(judged), judged);
    if (!judged.usable())
        return refuse(whyNoUndo(judged), judged);

    std::set<std::string> folders;
    for (const Entry &entry : undoer.entries())
        folders.insert(fs::folderOf(entry.first().target));
    removeLeftovers(folders, observer);

    // Each file is judged again just before it is put back: it may have changed since the plan was
    // shown.
    RunResult result = RunResult::Completed;
    const auto count = static_cast<std::int64_t>(undoer.entries().size());
    std::int64_t index = 0;
    for (const Entry &entry : undoer.entries()) {
        // Stopped on request, the undo data stays: the undo can be run again for the rest.
        if (index > 0 && observer.stopRequested()) {
            result = RunResult::Cancelled;
            break;
        }
        UndoPage page = Undoer::pageOf(entry);
        observer.pageStarted(page.page, index++, count);
        int err = undoer.judge(entry, &page.action);
        const std::string failed = err != 0 ? entry.first().target : std::string();
        if (err == 0)
            err = undoer.apply(entry, page.action);
        if (err != 0) {
            observer.message(failure(err, decoded(failed.empty() ? undoer.failedPath() : failed)));
            result = RunResult::Failed;
            break;
        }
        if (page.action == UndoAction::ChangedSince)
            observer.message({ids::WarningTitle, ids::ChangedSinceRun, page.page});
        else if (page.action == UndoAction::CopyLost)
            observer.message({ids::WarningTitle, ids::UndoCopyLost, page.page});
        plan.pages.push_back(page);
    }
    if (result == RunResult::Completed) {
        if (const int err = undoer.finish(); err != 0) {
            observer.message(failure(err, decoded(undoer.failedPath())));
            result = RunResult::Failed;
        }
    }
    if (done)
        *done = plan;
    return result;
}

} // namespace tagsmith
