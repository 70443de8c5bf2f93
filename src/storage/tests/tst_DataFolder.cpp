#include "engine/FileSystem.h"
#include "storage/DataFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>

using namespace tagsmith;

// Where each program keeps its database. Runs as root in CI, which may write anywhere: the folders a
// user may not write are tried through the installed programs (packaging/tests).
class TestDataFolder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void located_data();
    void located();
    void made_data();
    void made();

private:
    std::unique_ptr<QTemporaryDir> m_dir; // a fresh one for every row
    QString userData() const { return m_dir->filePath(QStringLiteral("data/tagsmith")); }
};

void TestDataFolder::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("data"))));
}

void TestDataFolder::located_data()
{
    QTest::addColumn<QString>("programFolder"); // "@" stands for a scratch folder
    QTest::addColumn<bool>("besideProgram");

    QTest::newRow("a folder the user may write") << QStringLiteral("@") << true;
    QTest::newRow("the system's program folder, writable or not") << QStringLiteral("/usr/bin") << false;
    QTest::newRow("the same through a link") << QStringLiteral("/bin") << false;
    QTest::newRow("a folder that is gone") << QStringLiteral("@/gone") << false;
}

void TestDataFolder::located()
{
    QFETCH(QString, programFolder);
    QFETCH(bool, besideProgram);
    programFolder.replace(QLatin1Char('@'), m_dir->path());
    const DataFolder folder = locateDataFolder(programFolder);
    QCOMPARE(folder.besideProgram, besideProgram);
    const QString expected = besideProgram ? programFolder : userData();
    QCOMPARE(folder.path, expected);
    QCOMPARE(folder.database(), expected + QStringLiteral("/Tagsmith.mdb"));
}

void TestDataFolder::made_data()
{
    QTest::addColumn<QString>("inTheWay"); // a file made first, relative to the scratch folder
    QTest::addColumn<int>("refused"); // an error the file system gives when the folder is made
    QTest::addColumn<bool>("ok");

    QTest::newRow("first start: every missing folder made") << QString() << 0 << true;
    QTest::newRow("a file where the data folder belongs") << QStringLiteral("data") << 0 << false;
    QTest::newRow("the user may not make it") << QString() << EACCES << false;
}

void TestDataFolder::made()
{
    QFETCH(QString, inTheWay);
    QFETCH(int, refused);
    QFETCH(bool, ok);
    fs::FaultInjector faults;
    if (refused != 0)
        faults.fail(fs::Call::MakeFolder, refused);
    if (!inTheWay.isEmpty()) {
        QFile file(m_dir->filePath(inTheWay));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const DataFolder folder = locateDataFolder(QStringLiteral("/usr/bin"));
    const StartupResult result = makeDataFolder(folder);
    QCOMPARE(result.ok, ok);
    QCOMPARE(QFileInfo(userData()).isDir(), ok);
    if (!ok)
        QVERIFY2(result.cause.startsWith(QStringLiteral("Cannot make the data folder %1: ").arg(userData())),
                 qPrintable(result.cause));
    // A second start finds it there.
    if (ok)
        QVERIFY(makeDataFolder(folder).ok);
}

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_DataFolder.moc"
