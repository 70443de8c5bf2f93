#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTest>
#include <QtEndian>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace tagsmith::test {

QStringList RecordingObserver::messageList() const
{
    QStringList list;
    for (const Message &m : messages)
        list << QStringLiteral("%1/%2 %3").arg(m.titleId).arg(m.textId).arg(m.page).trimmed();
    return list;
}

void RecordingObserver::pageBytes(const PageReport &page, std::string_view before, std::string_view after)
{
    QCOMPARE(page.bytesAfter, qint64(after.size()));
    befores << QByteArray(before.data(), qsizetype(before.size()));
    afters << QByteArray(after.data(), qsizetype(after.size()));
    names << page.relativePath;
}

Templates goldenTemplates()
{
    Templates templates = defaultTemplates();
    templates[7] = QStringLiteral("<META NAME=\"generator\" CONTENT=\"Tagsmith\">");
    return templates;
}

RunOptions siteOptions(const QString &folder)
{
    RunOptions options;
    options.folder = folder;
    options.templates = goldenTemplates();
    options.description = false;
    return options;
}

RunLimits runLimits(bool inBlocks, bool readAhead)
{
    RunLimits limits;
    if (inBlocks) {
        limits.wholePageLimit = 0;
        limits.blockSize = 3;
    }
    if (!readAhead)
        limits.readAheadBudget = 0;
    return limits;
}

RunOptions optionsFromJson(const QJsonObject &json)
{
    RunOptions options;
    options.templates = goldenTemplates();
    options.description = json.contains(QLatin1String("description"));
    options.siteDescription = json.value(QLatin1String("description")).toString();
    options.generator = json.value(QLatin1String("generator")).toBool(true);
    options.robots = json.value(QLatin1String("robots")).toBool(true);
    options.revisit = json.value(QLatin1String("revisit")).toBool(true);
    options.revisitMonths = json.value(QLatin1String("revisitMonths")).toString(QStringLiteral("3"));
    options.minLengthText = json.value(QLatin1String("minLength")).toString(QStringLiteral("6"));
    const QString mode = json.value(QLatin1String("case")).toString(QStringLiteral("lower"));
    options.caseConversion = mode != QLatin1String("keep");
    options.upperCase = mode == QLatin1String("upper");
    options.lowerCase = mode == QLatin1String("lower");
    options.backup = json.value(QLatin1String("backup")).toBool(false);
    options.topKeywords = json.contains(QLatin1String("topKeywords"));
    options.topKeywordCount = json.value(QLatin1String("topKeywords")).toInt();
    options.pageDescriptions = json.value(QLatin1String("pageDescriptions")).toBool(false);
    options.siteUrl = json.value(QLatin1String("siteUrl")).toString();
    options.shareImage = json.value(QLatin1String("shareImage")).toString();
    return options;
}

QList<QStringList> readTable(const QString &path)
{
    QList<QStringList> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read %s", qPrintable(path));
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty() && !line.startsWith(QLatin1Char('#')))
            rows << line.split(QLatin1Char('\t'));
    }
    return rows;
}

void addTableRows(const QString &path, std::initializer_list<const char *> columns)
{
    for (const char *column : columns)
        QTest::addColumn<QString>(column);
    for (const QStringList &row : readTable(path)) {
        QTestData &data = QTest::newRow(qPrintable(row[0]));
        for (qsizetype i = 1; i <= qsizetype(columns.size()); ++i)
            data << row.value(i);
    }
}

QByteArray unescape(const QString &field)
{
    const QByteArray in = field.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '\\' || i + 1 == in.size()) {
            out += in[i];
            continue;
        }
        const char c = in[++i];
        if (c == 'x') {
            out += static_cast<char>(in.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == 'f' ? '\f' : c;
        }
    }
    return out;
}

QList<qint64> numbers(const QString &field)
{
    QList<qint64> list;
    for (const QString &n : field.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        list << n.toLongLong(nullptr, 0);
    return list;
}

RunOptions goldenSiteIn(const QString &sitePath, const QString &folder, QStringList *pages)
{
    const QDir site(sitePath);
    const QDir into(folder);
    *pages = QDir(site.filePath(QStringLiteral("src"))).entryList(QDir::Files, QDir::Name);
    for (const QString &page : std::as_const(*pages))
        writeFile(into.filePath(page), readFile(site.filePath(QStringLiteral("src/") + page)));
    const QJsonObject json = QJsonDocument::fromJson(readFile(site.filePath(QStringLiteral("site.json")))).object();
    RunOptions options = optionsFromJson(json);
    options.folder = folder;
    options.mainPage = into.filePath(json.value(QLatin1String("main")).toString());
    return options;
}

void makeSite(const QString &folder, const QStringList &lines)
{
    for (const QString &line : lines) {
        const QString path = folder + QLatin1Char('/') + line.section(QLatin1Char(' '), 0, 0);
        const QString rest = line.section(QLatin1Char(' '), 1);
        QDir().mkpath(QFileInfo(path).path());
        if (rest.startsWith(QLatin1String("-> ")))
            QVERIFY(::symlink(QFile::encodeName(rest.mid(3)).constData(), QFile::encodeName(path).constData()) == 0);
        else if (rest.startsWith(QLatin1String("= ")))
            QVERIFY(::link(QFile::encodeName(folder + QLatin1Char('/') + rest.mid(2)).constData(),
                           QFile::encodeName(path).constData()) == 0);
        else if (rest.startsWith(QLatin1String("mode ")))
            QVERIFY(::chmod(QFile::encodeName(path).constData(), rest.mid(5).toUInt(nullptr, 8)) == 0);
        else if (rest.startsWith(QLatin1String("raw ")))
            writeFile(path, unescape(rest.mid(4)));
        else
            writeFile(path, rest.isEmpty() ? QByteArray()
                                           : "<html><head>\n<meta name=\"keywords\" content=\"old\">\n</head><body>" +
                                                 rest.toUtf8() + " </body></html>\n");
    }
}

QMap<QString, QString> treeState(const QString &root, bool stamps)
{
    QMap<QString, QString> state;
    const QStringList names =
        QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    // Read first: the test's own reading may set an access time once.
    QMap<QString, QByteArray> bytes;
    for (const QString &name : names)
        bytes[name] = readFile(root + QLatin1Char('/') + name);
    for (const QString &name : (stamps ? QStringList{QStringLiteral(".")} : QStringList()) + names) {
        const QString path = root + QLatin1Char('/') + name;
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
            state[name] = QStringLiteral("cannot stat");
            continue;
        }
        char target[4096] = {};
        QString value = S_ISLNK(st.st_mode) && ::readlink(QFile::encodeName(path).constData(), target, 4095) > 0
                            ? QStringLiteral("-> ") + QFile::decodeName(target)
                            : QString::number(st.st_mode & 07777, 8);
        // Following a link or listing a folder sets its access time, in a run as in any reading.
        const bool regular = S_ISREG(st.st_mode);
        if (stamps)
            value += QStringLiteral(" %1 %2 %3.%4 %5.%6 %7.%8")
                         .arg(st.st_ino)
                         .arg(st.st_size)
                         .arg(st.st_mtim.tv_sec)
                         .arg(st.st_mtim.tv_nsec)
                         .arg(regular ? st.st_atim.tv_sec : 0)
                         .arg(regular ? st.st_atim.tv_nsec : 0)
                         .arg(st.st_ctim.tv_sec)
                         .arg(st.st_ctim.tv_nsec);
        if (S_ISDIR(st.st_mode) && name != QLatin1String(".")) {
            state[name + QLatin1Char('/')] = value;
            const QMap<QString, QString> sub = treeState(path, stamps);
            for (auto it = sub.cbegin(); it != sub.cend(); ++it)
                if (it.key() != QLatin1String("."))
                    state[name + QLatin1Char('/') + it.key()] = it.value();
        } else {
            state[name] = regular ? value + QLatin1Char(' ') + QString::fromLatin1(bytes[name].toHex()) : value;
        }
    }
    return state;
}

QStringList reportRows(const RunReport &report)
{
    QStringList rows;
    for (const PageReport &page : report.pages)
        rows << QStringLiteral("%1 %2%3%4")
                    .arg(page.relativePath, QString::fromLatin1(outcomeName(page.outcome)),
                         page.fileError ? QStringLiteral(" %1").arg(page.fileError) : QString(),
                         page.OnMainPage ? QStringLiteral(" main") : QString());
    return rows;
}

fs::Call callNamed(const QString &name)
{
    const QStringList names = QStringLiteral("OpenForReading CreateNew Read Write Close Sync Status LinkStatus "
                                             "ChangeOwner ChangeMode Rename Link Unlink Remove RealPath MayWrite")
                                  .split(QLatin1Char(' '));
    if (!names.contains(name))
        qFatal("no call %s", qPrintable(name));
    return static_cast<fs::Call>(names.indexOf(name));
}

int errorNamed(const QString &name)
{
    const QMap<QString, int> numbers{{QStringLiteral("EIO"), EIO},
                                     {QStringLiteral("ENOSPC"), ENOSPC},
                                     {QStringLiteral("EACCES"), EACCES},
                                     {QStringLiteral("EPERM"), EPERM},
                                     {QStringLiteral("EXDEV"), EXDEV}};
    if (!numbers.contains(name))
        qFatal("no error %s", qPrintable(name));
    return numbers[name];
}

PageEncoding encodingNamed(const QString &name)
{
    const QStringList names{QStringLiteral("windows-1252"), QStringLiteral("utf-8"), QStringLiteral("utf-16le"),
                            QStringLiteral("utf-16be"), QStringLiteral("legacy")};
    if (!names.contains(name))
        qFatal("no encoding %s", qPrintable(name));
    return static_cast<PageEncoding>(names.indexOf(name));
}

QByteArray utf16(const QString &text, bool bigEndian)
{
    QByteArray bytes;
    for (const QChar c : QChar(0xFEFF) + text) {
        const char16_t unit = bigEndian ? qToBigEndian(c.unicode()) : qToLittleEndian(c.unicode());
        bytes.append(reinterpret_cast<const char *>(&unit), 2);
    }
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable ") + QFile::encodeName(path) + ">";
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QStringList filesIn(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

} // namespace tagsmith::test
