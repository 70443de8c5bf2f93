#include "TestSupport.h"

#include <QJsonDocument>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tagsmith::test {

QStringList RecordingObserver::messageList() const
{
    QStringList list;
    for (const Message &m : messages)
        list << QStringLiteral("%1/%2 %3").arg(m.titleId).arg(m.textId).arg(m.page).trimmed();
    return list;
}

Templates goldenTemplates()
{
    Templates templates = defaultTemplates();
    templates[7] = QStringLiteral("<META NAME=\"generator\" CONTENT=\"Tagsmith\">");
    return templates;
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
