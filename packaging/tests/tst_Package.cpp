#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The Debian package as Debian's checker, lintian, sees it, and the terms it ships: a machine-readable
// copyright file whose every paragraph names files that are there and licences whose text it holds.
namespace {

constexpr bool BuiltWithDpkgFlags = TAGSMITH_DPKG_BUILDFLAGS_ON;

struct Output
{
    int status = -1;
    QString out;
    QString err;
};

Output run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    Output result;
    if (process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// One paragraph of a copyright file: its fields by name, a value's lines joined by "\n" (the first line
// as written, the lines after it without their leading space).
using Paragraph = QMap<QString, QString>;

QList<Paragraph> paragraphsOf(const QString &text)
{
    QList<Paragraph> paragraphs;
    Paragraph current;
    QString field;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty()) {
            if (!current.isEmpty())
                paragraphs << current;
            current.clear();
            field.clear();
        } else if (line.startsWith(QLatin1Char(' ')) || line.startsWith(QLatin1Char('\t'))) {
            if (field.isEmpty())
                return {}; // a continuation line without a field
            current[field] += QLatin1Char('\n') + line.trimmed();
        } else {
            const qsizetype colon = line.indexOf(QLatin1Char(':'));
            if (colon <= 0)
                return {};
            field = line.left(colon);
            current[field] = line.mid(colon + 1).trimmed();
        }
    }
    if (!current.isEmpty())
        paragraphs << current;
    return paragraphs;
}

// A pattern of a Files field as a regular expression: "*" stands for any characters, "/" included, and
// "?" for one.
QRegularExpression patternRegex(const QString &pattern)
{
    QString regex;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('*'))
            regex += QStringLiteral(".*");
        else if (c == QLatin1Char('?'))
            regex += QLatin1Char('.');
        else
            regex += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(regex));
}

// Every file of the source tree, relative to it, without the build folders and Git's own.
QStringList sourceFiles(const QString &root)
{
    QStringList files;
    const QDir top(root);
    for (const QFileInfo &entry : top.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (entry.fileName().startsWith(QLatin1String("build")) || entry.fileName() == QLatin1String(".git"))
            continue;
        if (entry.isFile()) {
            files << entry.fileName();
            continue;
        }
        QDirIterator it(entry.filePath(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << top.relativeFilePath(it.next());
    }
    return files;
}

// The licences a License field names: "proprietary and BSD-3-Clause" names two.
QStringList licencesOf(const QString &field)
{
    const QString expression = field.section(QLatin1Char('\n'), 0, 0);
    QStringList names =
        expression.split(QRegularExpression(QStringLiteral("\\s+(and|or)\\s+|,\\s*")), Qt::SkipEmptyParts);
    for (QString &name : names)
        name = name.trimmed();
    return names;
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void copyrightFiles_data();
    void copyrightFiles();
    void copyrightLicences();
    void lintianFindsNoFault();
    void hardened();

private:
    // The package of the build folder, made once (empty when it cannot be made).
    QString package();
    // lintian's lines on the package at the given display level ("" for its default).
    QStringList lintian(const QStringList &options);

    QTemporaryDir m_root;
    QString m_deb;
};

void TestPackage::copyrightFiles_data()
{
    QTest::addColumn<QString>("patterns");
    const QString text = QString::fromUtf8([] {
        QFile file(QStringLiteral(TAGSMITH_SOURCE_DIR "/packaging/copyright"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }());
    const QList<Paragraph> paragraphs = paragraphsOf(text);
    QVERIFY2(!paragraphs.isEmpty(), "packaging/copyright is not made of paragraphs of fields");
    QCOMPARE(paragraphs.front().value(QStringLiteral("Format")),
             QStringLiteral("https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"));
    for (const Paragraph &paragraph : paragraphs)
        if (paragraph.contains(QStringLiteral("Files")))
            QTest::newRow(qPrintable(paragraph.value(QStringLiteral("Files")).section(QLatin1Char('\n'), 0, 0)))
                << paragraph.value(QStringLiteral("Files"));
}

// Every pattern of a Files paragraph names files of the source tree: a file that moves takes its terms along.
void TestPackage::copyrightFiles()
{
    QFETCH(QString, patterns);
    static const QStringList files = sourceFiles(QStringLiteral(TAGSMITH_SOURCE_DIR));
    for (const QString &pattern : patterns.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        QVERIFY2(!files.filter(patternRegex(pattern)).isEmpty(),
                 qPrintable(pattern + QStringLiteral(" names no file")));
}

// Every Files paragraph has its copyright and licence, and every licence it names has its text.
void TestPackage::copyrightLicences()
{
    QFile file(QStringLiteral(TAGSMITH_SOURCE_DIR "/packaging/copyright"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<Paragraph> paragraphs = paragraphsOf(QString::fromUtf8(file.readAll()));
    QStringList texts;
    for (const Paragraph &paragraph : paragraphs)
        if (!paragraph.contains(QStringLiteral("Files")) && paragraph.contains(QStringLiteral("License")) &&
            paragraph.value(QStringLiteral("License")).contains(QLatin1Char('\n')))
            texts << paragraph.value(QStringLiteral("License")).section(QLatin1Char('\n'), 0, 0);
    QStringList named;
    for (const Paragraph &paragraph : paragraphs) {
        if (!paragraph.contains(QStringLiteral("Files")))
            continue;
        const QString files = paragraph.value(QStringLiteral("Files"));
        QVERIFY2(!paragraph.value(QStringLiteral("Copyright")).isEmpty(), qPrintable(files));
        const QStringList licences = licencesOf(paragraph.value(QStringLiteral("License")));
        QVERIFY2(!licences.isEmpty(), qPrintable(files));
        for (const QString &licence : licences)
            QVERIFY2(texts.contains(licence), qPrintable(licence + QStringLiteral(" has no text")));
        named << licences;
    }
    for (const QString &text : std::as_const(texts))
        QVERIFY2(named.contains(text), qPrintable(text + QStringLiteral(" is named by no Files paragraph")));
}

QString TestPackage::package()
{
    if (!m_deb.isEmpty() || !m_root.isValid())
        return m_deb;
    const QString out = m_root.filePath(QStringLiteral("package"));
    const Output pack = run(QStringLiteral(TAGSMITH_CPACK),
                            {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out,
                             QStringLiteral("--config"), QStringLiteral(TAGSMITH_BUILD_DIR "/CPackConfig.cmake")});
    if (pack.status != 0) {
        qWarning("%s", qPrintable(pack.out + pack.err));
        return {};
    }
    const QStringList debs = QDir(out).entryList({QStringLiteral("tagsmith_*.deb")}, QDir::Files);
    if (debs.size() == 1)
        m_deb = out + QLatin1Char('/') + debs.front();
    return m_deb;
}

QStringList TestPackage::lintian(const QStringList &options)
{
    const Output result = run(QStringLiteral("lintian"), options + QStringList{package()});
    // lintian's exit status says whether it found errors; the lines say what it found.
    return result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Debian's checker reports no error and no warning on the package at its default level.
void TestPackage::lintianFindsNoFault()
{
    if (QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty())
        QSKIP("lintian is not installed (scripts/install-deps.sh installs it)");
    QVERIFY2(!package().isEmpty(), "cpack made no package");
    const QStringList lines = lintian({});
    const QStringList faults = lines.filter(QRegularExpression(QStringLiteral("^[EW]: ")));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

// Built with Debian's flags (as scripts/package.sh builds), the programs are hardened as lintian wants,
// down to its informational tags: fortified functions, read-only relocations bound at start.
void TestPackage::hardened()
{
    if (!BuiltWithDpkgFlags)
        QSKIP("this build folder was made without -DTAGSMITH_DPKG_BUILDFLAGS=ON, as the tests' is");
    if (QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty())
        QSKIP("lintian is not installed (scripts/install-deps.sh installs it)");
    QVERIFY2(!package().isEmpty(), "cpack made no package");
    const QStringList lines = lintian({QStringLiteral("--display-info")});
    const QStringList tags = lines.filter(QRegularExpression(QStringLiteral("^[EWI]: \\S+: hardening-")));
    QVERIFY2(tags.isEmpty(), qPrintable(tags.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_Package.moc"
