#include "engine/fs/FileSystem.h"
#include "storage/DataFolder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace tagsmith;

// Where the programs keep their database. CI runs as root, which may write anywhere: a program folder
// a user may not write is tried on the installed programs (packaging/tests).

class TestDataFolder : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    }

    void located_data()
    {
        QTest::addColumn<QString>("programFolder"); // empty: a scratch folder
        QTest::addColumn<bool>("besideProgram");
        QTest::newRow("a folder the user may write") << "" << true;
        QTest::newRow("the system's program folder, even for root") << "/usr/bin" << false;
        QTest::newRow("the same through a link") << "/bin" << false;
    }

    void located()
    {
        QFETCH(QString, programFolder);
        QFETCH(bool, besideProgram);
        if (programFolder.isEmpty())
            programFolder = m_dir.path();
        QCOMPARE(locateDataFolder(programFolder).database(),
                 (besideProgram ? programFolder : userData()) + QStringLiteral("/Tagsmith.mdb"));
    }

    // A file where the data folder belongs, or a folder the user may not make.
    void notMade()
    {
        for (const bool refused : {false, true}) {
            QFile inTheWay(m_dir.filePath(QStringLiteral("data")));
            fs::FaultInjector faults;
            if (refused)
                faults.fail(fs::Call::MakeFolder, EACCES);
            else
                QVERIFY(inTheWay.open(QIODevice::WriteOnly));
            const StartupResult result = makeDataFolder(locateDataFolder(QStringLiteral("/usr/bin")));
            QVERIFY(!result.ok);
            QVERIFY2(result.cause.startsWith(QStringLiteral("Cannot make the data folder %1: ").arg(userData())),
                     qPrintable(result.cause));
            inTheWay.remove();
        }
    }

private:
    QTemporaryDir m_dir;
    QString userData() const { return m_dir.filePath(QStringLiteral("data/tagsmith")); }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_DataFolder.moc"
