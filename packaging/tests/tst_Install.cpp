#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace tagsmith::test;

// Tagsmith installed into a scratch root as a package would install it, then started there as a user
// does: from a folder that user may not write, with a home folder of its own.
namespace {

const QString AppId = QStringLiteral(TAGSMITH_APP_ID_TEXT);
constexpr uid_t Nobody = 65534;

struct Output
{
    int status = -1;
    QString out;
    QString err;
};

// Runs a program and waits for it; as root, asUser runs it as the unprivileged user.
Output run(const QString &program, const QStringList &arguments, const QProcessEnvironment &env = {},
           bool asUser = false)
{
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    if (asUser && ::geteuid() == 0)
        process.start(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                  QStringLiteral("--clear-groups"), program} +
                          arguments);
    else
        process.start(program, arguments);
    Output result;
    if (process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// Only root hands files to another user; anyone else runs the programs as themselves.
void giveTo(const QString &path, uid_t owner)
{
    if (::geteuid() != 0)
        return;
    QVERIFY(::chown(QFile::encodeName(path).constData(), owner, owner) == 0);
}

// Every file below the folder with its permission bits, as "path mode".
QStringList tree(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        files << QStringLiteral("%1 %2")
                     .arg(QDir(root).relativeFilePath(info.filePath()))
                     .arg(info.permissions().toInt());
    }
    files.sort();
    return files;
}

QString valueOf(const QString &file, const QString &key)
{
    QSettings entry(file, QSettings::IniFormat);
    return entry.value(QStringLiteral("Desktop Entry/") + key).toString();
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layout_data();
    void layout();
    void namesAgree();
    void databaseFolder_data();
    void databaseFolder();
    void packageHoldsTheInstall();

private:
    QString usr(const QString &path) const { return m_root.filePath(QStringLiteral("stage/usr/") + path); }
    // A home for the unprivileged user, with its environment.
    QProcessEnvironment userEnvironment(const QString &home) const;

    QTemporaryDir m_root;
};

void TestInstall::initTestCase()
{
    QVERIFY(m_root.isValid());
    // The unprivileged user must reach the installed programs, never write beside them.
    QVERIFY(::chmod(QFile::encodeName(m_root.path()).constData(), 0755) == 0);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), m_root.filePath(QStringLiteral("stage")));
    const Output install = run(QStringLiteral(TAGSMITH_CMAKE),
                               {QStringLiteral("--install"), QStringLiteral(TAGSMITH_BUILD_DIR),
                                QStringLiteral("--prefix"), QStringLiteral("/usr")},
                               env);
    QVERIFY2(install.status == 0, qPrintable(install.out + install.err));
}

void TestInstall::layout_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("iconSize"); // a bitmap icon of this size; 0 for other files
    for (const QStringList &row : readTable(QFINDTESTDATA("data/installed.txt")))
        QTest::newRow(qPrintable(row[0]))
            << QString(row[1]).replace(QStringLiteral("%1"), AppId) << row.value(2).toInt();
}

void TestInstall::layout()
{
    QFETCH(QString, path);
    QFETCH(int, iconSize);
    QVERIFY2(QFileInfo(usr(path)).isFile(), qPrintable(path));
    if (path.startsWith(QStringLiteral("bin/")))
        QVERIFY(QFileInfo(usr(path)).isExecutable());
    if (iconSize > 0)
        QCOMPARE(QImage(usr(path)).size(), QSize(iconSize, iconSize));
}

// The menu entry starts an installed program and shows an installed icon.
void TestInstall::namesAgree()
{
    const QString entry = usr(QStringLiteral("share/applications/%1.desktop").arg(AppId));
    QVERIFY(QFileInfo(usr(QStringLiteral("bin/") + valueOf(entry, QStringLiteral("Exec")))).isExecutable());
    QVERIFY(QFileInfo::exists(
        usr(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(valueOf(entry, QStringLiteral("Icon"))))));
}

QProcessEnvironment TestInstall::userEnvironment(const QString &home) const
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TAGSMITH_QUIT_AFTER_START"), QStringLiteral("1"));
    return env;
}

void TestInstall::databaseFolder_data()
{
    QTest::addColumn<bool>("portable"); // a copy the user may write beside, not the installed one

    QTest::newRow("installed where the user may not write") << false;
    QTest::newRow("a copy in a folder of the user's own") << true;
}

void TestInstall::databaseFolder()
{
    QFETCH(bool, portable);
    const QString home = m_root.filePath(QStringLiteral("home-%1").arg(portable));
    QVERIFY(QDir().mkpath(home));
    giveTo(home, Nobody);
    QString programs = usr(QStringLiteral("bin"));
    if (portable) {
        programs = home + QStringLiteral("/portable");
        QVERIFY(QDir().mkpath(programs));
        giveTo(programs, Nobody);
        for (const QString &name : {QStringLiteral("tagsmith"), QStringLiteral("tagsmith-batch")})
            QVERIFY(QFile::copy(usr(QStringLiteral("bin/") + name), programs + QLatin1Char('/') + name));
    } else if (::geteuid() != 0) {
        QVERIFY(::chmod(QFile::encodeName(programs).constData(), 0555) == 0);
    }
    const QString folder = portable ? programs : home + QStringLiteral("/data/tagsmith");
    const QString other = portable ? home + QStringLiteral("/data/tagsmith") : programs;
    const QString database = folder + QStringLiteral("/Tagsmith.mdb");
    const QProcessEnvironment env = userEnvironment(home);

    const Output version = run(programs + QStringLiteral("/tagsmith-batch"), {QStringLiteral("--version")}, env, true);
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out,
             QStringLiteral("tagsmith-batch %1\ndatabase: %2 (not there: the built-in template texts are used)\n"
                            "undo data: %3/Tagsmith.undo\n")
                 .arg(QStringLiteral(TAGSMITH_VERSION_TEXT), database, folder));

    // The first start makes the database; the second compacts it where it is, keeping the first as backup.
    const Output first = run(programs + QStringLiteral("/tagsmith"), {}, env, true);
    QVERIFY2(first.status == 0, qPrintable(first.err));
    const QByteArray made = readFile(database);
    QVERIFY(!made.isEmpty());
    const Output second = run(programs + QStringLiteral("/tagsmith"), {}, env, true);
    QVERIFY2(second.status == 0, qPrintable(second.err));
    QCOMPARE(readFile(folder + QStringLiteral("/Tagsmith.bak")), made);
    QVERIFY(QFileInfo::exists(database));
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/Tagsmith.tmp")));
    for (const QString &name : {QStringLiteral("Tagsmith.mdb"), QStringLiteral("Tagsmith.bak")})
        QVERIFY2(!QFileInfo::exists(other + QLatin1Char('/') + name), qPrintable(other));
}

// The Debian package holds exactly the installed files, with the same permissions, and depends on the
// libraries the programs link.
void TestInstall::packageHoldsTheInstall()
{
    const QString out = m_root.filePath(QStringLiteral("package"));
    const Output pack = run(QStringLiteral(TAGSMITH_CPACK),
                            {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out,
                             QStringLiteral("--config"), QStringLiteral(TAGSMITH_BUILD_DIR "/CPackConfig.cmake")});
    QVERIFY2(pack.status == 0, qPrintable(pack.out + pack.err));
    const QStringList debs = QDir(out).entryList({QStringLiteral("tagsmith_*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    const QString deb = out + QLatin1Char('/') + debs.front();

    const QString unpacked = m_root.filePath(QStringLiteral("unpacked"));
    const Output extract = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, unpacked});
    QVERIFY2(extract.status == 0, qPrintable(extract.err));
    QCOMPARE(tree(unpacked), tree(m_root.filePath(QStringLiteral("stage"))));

    const Output depends = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")});
    QVERIFY2(depends.out.contains(QStringLiteral("libqt6widgets6")) &&
                 depends.out.contains(QStringLiteral("libsqlite3")),
             qPrintable(depends.out));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_Install.moc"
