#include "TestSupport.h"

#include <QDir>
#include <QFile>

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

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable ") + QFile::encodeName(path) + ">";
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QStringList filesIn(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

} // namespace tagsmith::test
