#include "engine/undo/UndoStore.h"

#include "engine/fs/FileSystem.h"
#include "engine/page/PageBackup.h"
#include "engine/page/PageHash.h"
#include "engine/page/PageReader.h"
#include "engine/page/ScannedPage.h"
#include "engine/page/Sha256.h"
#include "engine/undo/CopyPacker.h"

#include <QDataStream>
#include <QIODevice>
#include <QRandomGenerator>
#include <QtEndian>

#include <lz4frame.h>
#include <xxhash.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <tuple>

namespace tagsmith {
namespace {

using namespace undofiles;

// The journal: this line, then frames of [length, CRC-32 of the payload, payload] (little-endian
// 32-bit numbers). The first payload is the header, one follows per page written, the last marks
// the end of the run. A frame cut short at the end is a record whose page was never changed: the
// run was killed while writing it.
constexpr char Magic[] = "TSUNDO1\n";
constexpr qsizetype MagicSize = sizeof Magic - 1;
constexpr char HeaderType = 'H';
constexpr char PageType = 'P';
constexpr char EndType = 'E';
constexpr char PackName[] = "copies.lz4";

QDataStream &operator<<(QDataStream &out, const FileIdentity &id)
{
    return out << quint64(id.device) << quint64(id.inode) << qint64(id.size) << qint64(id.mtimeNs);
}

QDataStream &operator>>(QDataStream &in, FileIdentity &id)
{
    quint64 device = 0, inode = 0;
    qint64 size = 0, mtime = 0;
    in >> device >> inode >> size >> mtime;
    id = FileIdentity{device, inode, size, mtime};
    return in;
}

QDataStream &operator<<(QDataStream &out, const std::string &text)
{
    return out << QByteArray::fromStdString(text);
}

QDataStream &operator>>(QDataStream &in, std::string &text)
{
    QByteArray bytes;
    in >> bytes;
    text = bytes.toStdString();
    return in;
}

QByteArray encode(char type, const auto &write)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << qint8(type);
    write(out);
    return payload;
}

QByteArray frame(const QByteArray &payload)
{
    QByteArray bytes(8, Qt::Uninitialized);
    qToLittleEndian<quint32>(quint32(payload.size()), bytes.data());
    qToLittleEndian<quint32>(
        quint32(crc32(0, reinterpret_cast<const Bytef *>(payload.constData()), uInt(payload.size()))),
        bytes.data() + 4);
    return bytes + payload;
}

void writeRecord(QDataStream &out, const UndoRecord &r)
{
    out << r.page << r.target << r.mainPage << r.created << quint32(r.mode) << quint32(r.owner) << quint32(r.group)
        << r.before << qint64(r.beforeSize) << quint8(r.copyKind) << r.copy << r.copyIdentity << r.backup
        << r.backupIdentity << r.backupTakenOver << r.afterHash << qint64(r.afterSize) << qint64(r.copyOffset)
        << qint64(r.deltaPrefix) << qint64(r.deltaSuffix)
        << QByteArray::fromRawData(r.replaced.data(), qsizetype(r.replaced.size()));
}

bool readRecord(QDataStream &in, UndoRecord &r)
{
    quint32 mode = 0, owner = 0, group = 0;
    qint64 beforeSize = 0, afterSize = 0;
    quint8 kind = 0;
    in >> r.page >> r.target >> r.mainPage >> r.created >> mode >> owner >> group >> r.before >> beforeSize >> kind >>
        r.copy >> r.copyIdentity >> r.backup >> r.backupIdentity >> r.backupTakenOver >> r.afterHash >> afterSize;
    // Records of earlier versions end here: their compressed copies are files of their own.
    qint64 copyOffset = -1;
    if (!in.atEnd())
        in >> copyOffset;
    r.copyOffset = copyOffset;
    // And here: they kept no deltas.
    qint64 deltaPrefix = 0, deltaSuffix = 0;
    QByteArray replaced;
    if (!in.atEnd())
        in >> deltaPrefix >> deltaSuffix >> replaced;
    r.replaced = replaced.toStdString();
    r.deltaPrefix = deltaPrefix;
    r.deltaSuffix = deltaSuffix;
    r.mode = mode;
    r.owner = owner;
    r.group = group;
    r.beforeSize = beforeSize;
    r.afterSize = afterSize;
    r.copyKind = static_cast<CopyKind>(kind);
    const bool deltaFits = r.copyKind != CopyKind::Delta ||
                           (deltaPrefix >= 0 && deltaSuffix >= 0 && deltaPrefix + deltaSuffix <= afterSize &&
                            deltaPrefix + deltaSuffix + replaced.size() == beforeSize);
    return in.status() == QDataStream::Ok && kind <= quint8(CopyKind::Delta) && deltaFits && !r.target.empty() &&
           PageHash::kindOf(r.afterHash).has_value();
}

} // namespace

namespace {

// Expands a copy's stream as its file is read, block by block.
class Expander
{
public:
    virtual ~Expander() = default;
    // Takes the next bytes of the file; *done once the stream has ended.
    virtual int feed(std::string_view bytes, ByteSink &sink, std::int64_t *produced, bool *done) = 0;
};

// Copies kept by earlier versions: a zlib stream.
class ZlibExpander final : public Expander
{
public:
    ZlibExpander() { m_ok = inflateInit(&m_stream) == Z_OK; }
    ~ZlibExpander() override { inflateEnd(&m_stream); }

    int feed(std::string_view bytes, ByteSink &sink, std::int64_t *produced, bool *done) override
    {
        if (!m_ok)
            return ENOMEM;
        m_stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
        m_stream.avail_in = uInt(bytes.size());
        while (m_stream.avail_in > 0 && !*done) {
            m_stream.next_out = reinterpret_cast<Bytef *>(m_out.data());
            m_stream.avail_out = uInt(m_out.size());
            const int rc = inflate(&m_stream, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END)
                return EBADMSG;
            const std::size_t n = m_out.size() - m_stream.avail_out;
            *produced += static_cast<std::int64_t>(n);
            sink.write(std::string_view(m_out.data(), n));
            *done = rc == Z_STREAM_END;
        }
        return 0;
    }

private:
    z_stream m_stream{};
    bool m_ok = false;
    std::vector<char> m_out = std::vector<char>(65536);
};

class Lz4Expander final : public Expander
{
public:
    Lz4Expander() { m_ok = !LZ4F_isError(LZ4F_createDecompressionContext(&m_context, LZ4F_VERSION)); }
    ~Lz4Expander() override { LZ4F_freeDecompressionContext(m_context); }

    int feed(std::string_view bytes, ByteSink &sink, std::int64_t *produced, bool *done) override
    {
        if (!m_ok)
            return ENOMEM;
        while (!bytes.empty() && !*done) {
            std::size_t in = bytes.size();
            std::size_t out = m_out.size();
            const std::size_t hint = LZ4F_decompress(m_context, m_out.data(), &out, bytes.data(), &in, nullptr);
            if (LZ4F_isError(hint))
                return EBADMSG;
            bytes.remove_prefix(in);
            *produced += static_cast<std::int64_t>(out);
            sink.write(std::string_view(m_out.data(), out));
            *done = hint == 0;
        }
        return 0;
    }

private:
    LZ4F_dctx *m_context = nullptr;
    bool m_ok = false;
    std::vector<char> m_out = std::vector<char>(65536);
};

} // namespace

bool applyDelta(const UndoRecord &record, std::string_view after, std::string *before)
{
    const std::string_view middle = record.replaced;
    const auto prefix = static_cast<std::size_t>(record.deltaPrefix);
    const auto suffix = static_cast<std::size_t>(record.deltaSuffix);
    if (static_cast<std::int64_t>(after.size()) != record.afterSize || prefix + suffix > after.size() ||
        static_cast<std::int64_t>(prefix + middle.size() + suffix) != record.beforeSize)
        return false;
    before->clear();
    before->reserve(prefix + middle.size() + suffix);
    before->append(after.substr(0, prefix)).append(middle).append(after.substr(after.size() - suffix));
    return true;
}

int expandCopy(const std::string &path, std::int64_t offset, std::int64_t expectedSize, ByteSink &sink)
{
    fs::File file;
    if (const int err = fs::openForReading(path, fs::Links::Follow, &file); err != 0)
        return err;
    std::unique_ptr<Expander> expander;
    if (path.ends_with(".z"))
        expander = std::make_unique<ZlibExpander>();
    else
        expander = std::make_unique<Lz4Expander>();
    std::vector<char> in(65536);
    offset = std::max<std::int64_t>(offset, 0);
    std::int64_t total = 0;
    bool done = false;
    int err = 0;
    while (!done && err == 0) {
        std::size_t n = 0;
        if ((err = fs::readAt(file.fd(), in.data(), offset, in.size(), &n)) != 0)
            break;
        offset += static_cast<std::int64_t>(n);
        if (n == 0)
            err = EBADMSG; // the file ends before the stream does
        else
            err = expander->feed(std::string_view(in.data(), n), sink, &total, &done);
    }
    if (err == 0 && total != expectedSize)
        err = EBADMSG;
    return err;
}

UndoStore::UndoStore(QString dataFolder) : m_dataFolder(std::move(dataFolder)) {}

std::string UndoStore::storeFolder() const
{
    return fs::native(fs::cleanPath(m_dataFolder + QStringLiteral("/Tagsmith.undo")));
}

QString UndoStore::canonicalFolder(const QString &folder)
{
    const QString absolute = fs::absoluteCleanPath(folder);
    std::string resolved;
    if (fs::realPath(fs::native(absolute), &resolved) == 0)
        return fs::fromNative(resolved);
    return absolute;
}

std::string UndoStore::key(const QString &folder) const
{
    Sha256 hash;
    // The folder's bytes: toUtf8() would make every byte that is not UTF-8 the same '?'.
    hash.add(fs::native(canonicalFolder(folder)));
    return hash.result().toHex().left(32).toStdString();
}

namespace {

constexpr char JournalName[] = "journal";
constexpr char LegacyJournal[] = ".journal";
constexpr char SizeName[] = "size";

// The header of a journal: the first frame after the magic line.
bool readHeader(QDataStream &in, UndoJournal *journal)
{
    qint64 started = 0;
    in >> journal->folder >> journal->runId >> started;
    journal->startedMs = started;
    qint64 sequence = 0;
    if (!in.atEnd()) // earlier versions kept one run: theirs is the oldest
        in >> sequence;
    journal->sequence = sequence;
    return in.status() == QDataStream::Ok && !journal->runId.empty();
}

// The header alone, from the first bytes of the journal.
bool peekHeader(const std::string &path, UndoJournal *journal)
{
    fs::File file;
    if (fs::openForReading(path, fs::Links::Refuse, &file) != 0)
        return false;
    std::string bytes(8192, '\0');
    std::size_t got = 0;
    if (fs::readAt(file.fd(), bytes.data(), 0, bytes.size(), &got) != 0)
        return false;
    bytes.resize(got);
    if (!bytes.starts_with(std::string_view(Magic, MagicSize)) || got < MagicSize + 8)
        return false;
    const quint32 length = qFromLittleEndian<quint32>(bytes.data() + MagicSize);
    if (length > got - MagicSize - 8)
        return false;
    const QByteArray payload(bytes.data() + MagicSize + 8, qsizetype(length));
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_0);
    qint8 type = 0;
    in >> type;
    return type == HeaderType && readHeader(in, journal);
}

} // namespace

std::vector<KeptRun> UndoStore::runsOf(const std::string &key, const std::vector<std::string> &names,
                                       std::vector<std::string> *leftovers) const
{
    const std::string store = storeFolder();
    const std::string prefix = key + '.';
    std::vector<KeptRun> runs;
    std::vector<std::string> copies; // folders without a journal of their own
    for (const std::string &name : names) {
        if (!name.starts_with(prefix))
            continue;
        KeptRun run;
        if (name == key + LegacyJournal) {
            run.journal = store + '/' + name;
        } else {
            run.copies = store + '/' + name;
            run.journal = run.copies + '/' + JournalName;
            bool found = false;
            if (fs::exists(run.journal, &found) != 0 || !found) {
                copies.push_back(run.copies);
                continue;
            }
        }
        UndoJournal header;
        if (peekHeader(run.journal, &header)) {
            run.folder = header.folder;
            run.runId = header.runId;
            run.startedMs = header.startedMs;
            run.sequence = header.sequence;
        }
        if (run.copies.empty())
            run.copies = store + '/' + prefix + (run.runId.empty() ? std::string("none") : run.runId);
        runs.push_back(std::move(run));
    }
    std::stable_sort(runs.begin(), runs.end(), [](const KeptRun &a, const KeptRun &b) {
        return std::tie(a.sequence, a.startedMs) < std::tie(b.sequence, b.startedMs);
    });
    if (leftovers)
        for (const std::string &folder : copies)
            if (std::none_of(runs.begin(), runs.end(), [&](const KeptRun &run) { return run.copies == folder; }))
                leftovers->push_back(folder);
    return runs;
}

std::vector<KeptRun> UndoStore::runs(const QString &folder, std::vector<std::string> *leftovers) const
{
    std::vector<std::string> names;
    listNames(storeFolder(), &names);
    return runsOf(key(folder), names, leftovers);
}

std::vector<KeptRun> UndoStore::runsOfKey(const std::string &key) const
{
    std::vector<std::string> names;
    listNames(storeFolder(), &names);
    return runsOf(key, names, nullptr);
}

std::vector<std::vector<KeptRun>> UndoStore::allRuns() const
{
    std::vector<std::string> names;
    listNames(storeFolder(), &names);
    std::set<std::string> keys;
    for (const std::string &name : names)
        if (const auto dot = name.find('.'); dot != std::string::npos && dot > 0)
            keys.insert(name.substr(0, dot));
    std::vector<std::vector<KeptRun>> all;
    for (const std::string &key : keys)
        if (std::vector<KeptRun> runs = runsOf(key, names, nullptr); !runs.empty())
            all.push_back(std::move(runs));
    return all;
}

KeptRun UndoStore::newRun(const QString &folder, const std::string &runId) const
{
    KeptRun run;
    run.copies = storeFolder() + '/' + key(folder) + '.' + runId;
    run.journal = run.copies + '/' + JournalName;
    run.folder = canonicalFolder(folder);
    run.runId = runId;
    return run;
}

UndoStore::Status UndoStore::load(const KeptRun &run, UndoJournal *journal, int *error) const
{
    *journal = UndoJournal();
    *error = 0;
    QByteArray bytes;
    if (const int err = readWhole(run.journal, &bytes); err != 0) {
        *error = err;
        return err == ENOENT ? Status::Missing : Status::Failed;
    }
    if (!bytes.startsWith(QByteArray(Magic, MagicSize)))
        return Status::Damaged;
    bool header = false;
    for (qsizetype at = MagicSize; at < bytes.size();) {
        if (bytes.size() - at < 8)
            break; // cut short while written: its page was not changed
        const quint32 length = qFromLittleEndian<quint32>(bytes.constData() + at);
        const quint32 crc = qFromLittleEndian<quint32>(bytes.constData() + at + 4);
        if (qint64(length) > bytes.size() - at - 8)
            break;
        const QByteArray payload = bytes.mid(at + 8, length);
        at += 8 + qsizetype(length);
        if (crc32(0, reinterpret_cast<const Bytef *>(payload.constData()), uInt(payload.size())) != crc) {
            if (at >= bytes.size())
                break; // the last frame, cut short
            return Status::Damaged;
        }
        QDataStream in(payload);
        in.setVersion(QDataStream::Qt_6_0);
        qint8 type = 0;
        in >> type;
        if (!header) {
            if (type != HeaderType || !readHeader(in, journal))
                return Status::Damaged;
            header = true;
        } else if (type == PageType) {
            UndoRecord record;
            if (!readRecord(in, record))
                return Status::Damaged;
            journal->records.push_back(std::move(record));
        } else if (type == EndType) {
            journal->finished = true;
        } else {
            return Status::Damaged;
        }
    }
    // A journal is made whole with its header before it takes its name.
    if (!header)
        return Status::Damaged;
    return Status::Ok;
}

std::int64_t UndoStore::space(const KeptRun &run) const
{
    // A run that ended wrote down what it takes: counting the files of ten runs of a large site
    // after every run would cost more than the run's own undo data.
    QByteArray size;
    bool ok = false;
    if (readWhole(run.copies + '/' + SizeName, &size) == 0)
        if (const qint64 bytes = size.trimmed().toLongLong(&ok); ok && bytes >= 0)
            return bytes;
    FileIdentity id;
    std::int64_t journal = 0;
    if (run.journal.ends_with(LegacyJournal) && identity(run.journal, &id) == 0)
        journal = std::max<std::int64_t>(id.size, 0);
    return journal + folderSize(run.copies);
}

int UndoStore::remove(const KeptRun &run) const
{
    if (const int err = fs::remove(run.journal); err != 0)
        return err;
    return removeFolder(run.copies);
}

int UndoStore::removeAll(const QString &folder) const
{
    std::vector<std::string> leftovers;
    for (const KeptRun &run : runs(folder, &leftovers))
        if (const int err = remove(run); err != 0)
            return err;
    for (const std::string &path : leftovers)
        if (const int err = removeFolder(path); err != 0)
            return err;
    return 0;
}

int UndoStore::adopt(const std::string &fromKey, const QString &folder) const
{
    const std::string store = storeFolder();
    const std::string to = key(folder);
    std::vector<std::string> names;
    if (const int err = listNames(store, &names); err != 0)
        return err;
    for (const std::string &name : names)
        if (name.starts_with(fromKey + '.'))
            if (const int err = fs::rename(store + '/' + name, store + '/' + to + name.substr(fromKey.size()));
                err != 0)
                return err;
    return 0;
}

UndoRecorder::UndoRecorder(const UndoStore &store, const QString &folder, bool keep, std::int64_t budget)
    : m_store(store), m_folder(folder), m_keep(keep), m_budget(budget)
{
}

UndoRecorder::~UndoRecorder()
{
    waitForRemoval();
}

void UndoRecorder::removeMeanwhile(std::vector<std::string> folders)
{
    if (folders.empty())
        return;
    waitForRemoval();
    m_oldRuns = std::move(folders); // left alone by this thread until the removal is over
    try {
        m_removal = std::thread([this] { removeOldRuns(); });
    } catch (const std::system_error &) {
        removeOldRuns(); // no thread to be had: here and now
    }
}

void UndoRecorder::removeOldRuns()
{
    try {
        for (const std::string &path : m_oldRuns)
            removeFolder(path); // what stays is removed by the next run
    } catch (...) {
    }
}

void UndoRecorder::waitForRemoval()
{
    if (m_removal.joinable())
        m_removal.join();
}

int UndoRecorder::start(std::int64_t startedMs)
{
    m_started = true;
    if (!m_keep) {
        // The old undo data would put back pages of runs before this one. Where it cannot be removed
        // (a folder this user may not enter), an undo would still put back only pages whose content
        // is what that run wrote, and list the others. Without their journals the runs are no undo
        // data, so their copies may go while the run goes on.
        std::vector<std::string> leftovers;
        std::vector<std::string> copies;
        for (const KeptRun &run : m_store.runs(m_folder, &leftovers))
            if (fs::remove(run.journal) == 0)
                copies.push_back(run.copies);
        copies.insert(copies.end(), leftovers.begin(), leftovers.end());
        removeMeanwhile(std::move(copies));
        return 0;
    }
    // The batch command may be the first of the two programs to run: the data folder is made by
    // whichever needs it first.
    m_failedPath = fs::native(m_store.dataFolder());
    if (const int err = fs::makeFolders(m_failedPath); err != 0)
        return err;
    const std::string store = m_store.storeFolder();
    m_failedPath = store;
    if (const int err = fs::makeFolder(store, 0700); err != 0)
        return err;
    std::vector<std::string> leftovers;
    const std::vector<KeptRun> before = m_store.runs(m_folder, &leftovers);
    const std::string runId = QByteArray::number(QRandomGenerator::global()->generate64(), 16).toStdString();
    m_run = m_store.newRun(m_folder, runId);
    m_run.startedMs = startedMs;
    m_run.sequence = before.empty() ? 1 : before.back().sequence + 1;
    m_runFolder = m_run.copies;
    m_failedPath = m_runFolder;
    if (const int err = fs::makeFolder(m_runFolder, 0700); err != 0)
        return err;

    // The journal is whole, with its header, before it takes its name: a folder of copies without
    // one is no run.
    m_journal = m_run.journal;
    const std::string temporary = m_runFolder + "/journal.new";
    m_failedPath = temporary;
    fs::File file;
    if (const int err = fs::createNew(temporary, 0600, &file); err != 0) {
        removeFolder(m_runFolder);
        return err;
    }
    const QByteArray bytes = QByteArray(Magic, MagicSize) + frame(encode(HeaderType, [&](QDataStream &out) {
                                 out << m_run.folder << runId << qint64(startedMs) << qint64(m_run.sequence);
                             }));
    int err = fs::writeAll(file.fd(), std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (err == 0)
        err = fs::sync(file.fd());
    if (const int closeErr = file.close(); err == 0)
        err = closeErr;
    if (err == 0) {
        m_failedPath = m_journal;
        err = fs::rename(temporary, m_journal);
    }
    if (err == 0)
        err = fs::openForAppending(m_journal, &m_journalFile);
    if (err != 0) {
        removeFolder(m_runFolder);
        return err;
    }
    fs::syncPath(store, true);
    m_failedPath.clear();
    // Room for this run among the folder's runs kept, while the run goes on.
    std::vector<std::string> old;
    for (std::size_t i = 0; i + UndoStore::MostRuns <= before.size(); ++i)
        if (fs::remove(before[i].journal) == 0) {
            old.push_back(before[i].copies);
            m_dropped.push_back(before[i].startedMs);
        }
    old.insert(old.end(), leftovers.begin(), leftovers.end());
    removeMeanwhile(std::move(old));
    return 0;
}

void UndoRecorder::makeRoom(std::size_t most, std::int64_t budget)
{
    std::vector<KeptRun> runs = m_store.runs(m_folder);
    std::erase_if(runs, [this](const KeptRun &run) { return run.copies == m_runFolder; });
    std::int64_t total = m_store.space(m_run);
    std::vector<std::int64_t> sizes;
    for (const KeptRun &run : runs) {
        sizes.push_back(m_store.space(run));
        total += sizes.back();
    }
    for (std::size_t i = 0; i < runs.size() && (runs.size() - i + 1 > most || total > budget); ++i) {
        if (m_store.remove(runs[i]) != 0)
            break;
        total -= sizes[i];
        m_dropped.push_back(runs[i].startedMs);
    }
}

int UndoRecorder::keepCopy(const ScannedPage &page, UndoRecord &record)
{
    const std::string name = std::to_string(m_count);
    const std::string copy = m_runFolder + '/' + name;
    m_failedPath = copy;
    // A second name for the old file costs nothing: the run puts a new file under the page's name,
    // so the old one stays as it is. Where no link can be made (another file system), a copy.
    const int linkErr = m_noLinks.contains(page.device) ? EXDEV : fs::link(page.target, copy);
    if (linkErr == EXDEV)
        m_noLinks.insert(page.device); // no need to try again for every page
    if (linkErr == 0) {
        FileIdentity id;
        if (identity(copy, &id) == 0 && id.inode == page.inode && id.device == page.device) {
            record.copyKind = CopyKind::Link;
            record.copy = name;
            record.copyIdentity = id;
            return 0;
        }
        fs::remove(copy);
    }
    if (const int err = openPack(); err != 0)
        return err;
    const std::int64_t offset = m_packSize;
    if (const int err = packCopy(page); err != 0)
        return err;
    record.copyKind = CopyKind::Compressed;
    record.copy = PackName;
    record.copyOffset = offset;
    record.copyIdentity = m_packIdentity;
    record.copyIdentity.size = m_packSize;
    record.copyIdentity.mtimeNs = 0;
    return 0;
}

namespace {

// How many of the n bytes at a and b are the same from the start; compared sixty-four bytes a step
// while they are.
std::size_t sameAtStart(const char *a, const char *b, std::size_t n)
{
    constexpr std::size_t Step = 64;
    std::size_t same = 0;
    while (same + Step <= n && std::memcmp(a + same, b + same, Step) == 0)
        same += Step;
    while (same < n && a[same] == b[same])
        ++same;
    return same;
}

// The same for the n bytes before aEnd and bEnd, from the end.
std::size_t sameAtEnd(const char *aEnd, const char *bEnd, std::size_t n)
{
    constexpr std::size_t Step = 64;
    std::size_t same = 0;
    while (same + Step <= n && std::memcmp(aEnd - same - Step, bEnd - same - Step, Step) == 0)
        same += Step;
    while (same < n && aEnd[-1 - static_cast<std::ptrdiff_t>(same)] == bEnd[-1 - static_cast<std::ptrdiff_t>(same)])
        ++same;
    return same;
}

} // namespace

std::pair<std::size_t, std::size_t> keptEnds(std::string_view before, std::span<const std::string_view> after)
{
    // Most pieces written are the page's own bytes at their own place, the same without a look; the
    // others are compared.
    std::size_t afterSize = 0;
    for (const std::string_view piece : after)
        afterSize += piece.size();
    const std::size_t most = std::min(before.size(), afterSize);
    std::size_t prefix = 0;
    for (const std::string_view piece : after) {
        const std::size_t n = std::min(piece.size(), most - prefix);
        const std::size_t same =
            piece.data() == before.data() + prefix ? n : sameAtStart(piece.data(), before.data() + prefix, n);
        prefix += same;
        if (same < piece.size())
            break;
    }
    std::size_t suffix = 0;
    for (auto piece = after.rbegin(); piece != after.rend(); ++piece) {
        const std::size_t n = std::min(piece->size(), most - prefix - suffix);
        const char *pieceEnd = piece->data() + piece->size();
        const char *beforeEnd = before.data() + before.size() - suffix;
        const std::size_t same = pieceEnd == beforeEnd ? n : sameAtEnd(pieceEnd, beforeEnd, n);
        suffix += same;
        if (same < piece->size())
            break;
    }
    return {prefix, suffix};
}

int UndoRecorder::keepDelta(const ScannedPage &page, std::span<const std::string_view> after, UndoRecord &record)
{
    const std::string_view before(page.bytes.data(), static_cast<std::size_t>(page.size));
    const auto [prefix, suffix] = keptEnds(before, after);
    // The journal is read whole by an undo: what does not keep it small goes with the copies.
    constexpr std::size_t MostReplaced = std::size_t(64) << 10;
    if (before.size() - prefix - suffix > MostReplaced)
        return keepCopy(page, record);
    record.copyKind = CopyKind::Delta;
    record.deltaPrefix = static_cast<std::int64_t>(prefix);
    record.deltaSuffix = static_cast<std::int64_t>(suffix);
    record.replaced = before.substr(prefix, before.size() - prefix - suffix);
    return 0;
}

int UndoRecorder::openPack()
{
    const std::string pack = m_runFolder + '/' + PackName;
    m_failedPath = pack;
    if (m_pack.isOpen())
        return 0;
    if (const int err = fs::createNew(pack, 0600, &m_pack); err != 0)
        return err;
    if (const int err = identity(m_pack.fd(), &m_packIdentity); err != 0) {
        m_pack.close();
        return err;
    }
    return 0;
}

int UndoRecorder::packCopy(const ScannedPage &page)
{
    if (!m_packer)
        m_packer = std::make_unique<CopyPacker>();
    m_packBuffer.clear();
    if (page.whole)
        return m_packer->pack(std::string_view(page.bytes.data(), std::size_t(page.size)), m_packBuffer)
                   ? addToPack(packed())
                   : EIO;
    // A large page in blocks, each block's part of the frame written as it is made.
    if (!m_packer->begin(m_packBuffer))
        return EIO;
    int err = 0;
    const int readErr = PageReader::forEachBlock(
        page.file.fd(), page.size, std::size_t(1) << 20, m_readBuffer, [&](std::string_view bytes) {
            err = m_packer->add(bytes, m_packBuffer) ? addToPack(packed()) : EIO;
            m_packBuffer.clear();
            return err == 0;
        });
    if (err != 0 || readErr != 0)
        return err != 0 ? err : readErr;
    return m_packer->end(m_packBuffer) ? addToPack(packed()) : EIO;
}

int UndoRecorder::addToPack(std::string_view bytes)
{
    if (const int err = fs::writeAll(m_pack.fd(), bytes); err != 0) {
        // The next copy starts where this one's bytes end, however many of them were written.
        fs::Status st;
        if (fs::status(m_pack.fd(), &st) == 0)
            m_packSize = st.size;
        return err;
    }
    m_packSize += static_cast<std::int64_t>(bytes.size());
    // The copies go to the disk while the run goes on, a few megabytes at a time: left to the sync at
    // the end, the run would wait for all of them there.
    constexpr std::int64_t WritebackStep = std::int64_t(8) << 20;
    if (m_packSize - m_packWrittenBack >= WritebackStep) {
        fs::startWriteback(m_pack.fd(), m_packWrittenBack, m_packSize - m_packWrittenBack);
        m_packWrittenBack = m_packSize;
    }
    return 0;
}

std::string UndoRecorder::absolutePath(const std::string &path)
{
    // Most paths are absolute and clean already: those are taken as they are.
    if (!path.empty() && path.front() == '/' && path.find("/.") == std::string::npos &&
        path.find("//") == std::string::npos)
        return path;
    return fs::native(fs::absoluteCleanPath(fs::fromNative(path)));
}

UndoRecorder::PathKey UndoRecorder::pathKey(const std::string &path)
{
    const XXH128_hash_t hash = XXH3_128bits(path.data(), path.size());
    return {hash.low64, hash.high64};
}

int UndoRecorder::recordPage(const ScannedPage &page, const PageBackup &backup, bool backupMade,
                             const QByteArray &afterHash, std::int64_t afterSize,
                             std::optional<std::span<const std::string_view>> after)
{
    if (!m_journalFile.isOpen())
        return 0;
    UndoRecord record;
    // Absolute, so that an undo started from another folder finds the page, and so that the two
    // writes of a main page named once from the folder and once by itself ("site/index.htm" and
    // "/home/me/site/index.htm") are known as one page.
    record.page = absolutePath(page.nativePath);
    record.target = absolutePath(page.target);
    record.mainPage = page.OnMainPage;
    record.created = !page.exists;
    record.mode = page.mode;
    record.owner = page.owner;
    record.group = page.group;
    record.before = page.exists ? FileIdentity{page.device, page.inode, page.size, page.mtimeNs} : FileIdentity();
    record.beforeSize = page.size;
    record.afterHash = afterHash;
    record.afterSize = afterSize;
    if (backupMade) {
        record.backup = absolutePath(backup.BackupPath());
        m_failedPath = record.backup;
        if (const int err = identity(record.backup, &record.backupIdentity); err != 0)
            return err;
    }
    record.backupTakenOver = backup.takenOver();
    if (record.backupTakenOver)
        record.backup = absolutePath(backup.BackupPath()); // to make the empty file again
    ++m_count;
    // A page written before in this run (the main page, or a page two names lead to) goes back to
    // what it was before the first write: from the first write's copy, or from the bytes it was
    // written with, write by write.
    const auto [written, first] = m_written.try_emplace(pathKey(record.target), false);
    if (page.exists && (first || written->second)) {
        if (backupMade && first) {
            record.copyKind = CopyKind::Backup;
            record.copy = record.backup;
            record.copyIdentity = record.backupIdentity;
        } else if (page.whole && after && !backupMade) {
            if (const int err = keepDelta(page, *after, record); err != 0)
                return err;
            written->second = written->second || (first && record.copyKind == CopyKind::Delta);
        } else if (const int err = keepCopy(page, record); err != 0) {
            return err;
        }
    }
    if (record.copyKind == CopyKind::Link)
        m_copyBytes += record.beforeSize;
    ++m_recorded;
    return append(encode(PageType, [&](QDataStream &out) { writeRecord(out, record); }));
}

int UndoRecorder::append(const QByteArray &payload)
{
    m_failedPath = m_journal;
    const QByteArray bytes = frame(payload);
    return fs::writeAll(m_journalFile.fd(), std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

int UndoRecorder::finish()
{
    const bool kept = m_journalFile.isOpen();
    const int err = finishJournal();
    waitForRemoval();
    if (!kept)
        return err;
    if (m_recorded == 0) {
        // No page changed: nothing to step back over.
        m_store.remove(m_run);
        return err;
    }
    if (err == 0) {
        FileIdentity journal;
        identity(m_journal, &journal);
        const std::int64_t bytes =
            m_copyBytes + std::max<std::int64_t>(m_packSize, 0) + std::max<std::int64_t>(journal.size, 0);
        const std::string size = std::to_string(bytes);
        fs::replaceWholeFile(m_runFolder + '/' + SizeName, size);
    }
    makeRoom(UndoStore::MostRuns, m_budget);
    return err;
}

int UndoRecorder::finishJournal()
{
    if (!m_journalFile.isOpen())
        return 0;
    // The copies are on the disk before the journal that says where they are.
    int err = 0;
    if (m_pack.isOpen()) {
        m_failedPath = m_runFolder + '/' + PackName;
        err = fs::sync(m_pack.fd());
        if (const int closeErr = m_pack.close(); err == 0)
            err = closeErr;
        if (err != 0)
            return err;
    }
    err = append(encode(EndType, [](QDataStream &) {}));
    if (err == 0)
        err = fs::sync(m_journalFile.fd());
    if (const int closeErr = m_journalFile.close(); err == 0)
        err = closeErr;
    return err;
}

} // namespace tagsmith
