// The meta tag format screen: the eight fields read from Settings, locked; "Change" and "Default"; and
// an edited template reaching the pages of a run.

#include "TestSupport.h"
#include "gui/tests/ProgramUnderTest.h"
#include "storage/Database.h"

#include <QLineEdit>
#include <QPushButton>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

bool storeRows(const QStringList &rows)
{
    QString error;
    auto db = Database::open(Module1::appFile(QStringLiteral("Tagsmith.mdb")), Database::Mode::ReadWrite, &error);
    if (!db)
        return false;
    QString sql = QStringLiteral("DELETE FROM Settings;");
    for (QString row : rows)
        sql += QStringLiteral("INSERT INTO Settings (Value) VALUES ('%1');")
                   .arg(row.replace(QLatin1Char('\''), QStringLiteral("''")));
    return db->exec(sql, &error);
}

QStringList defaults()
{
    const Templates templates = defaultTemplates();
    return QStringList(templates.begin(), templates.end());
}

QStringList fieldTexts(const FrmTsSet &screen)
{
    QStringList texts;
    for (const QLineEdit *field : screen.TxtVeld)
        texts << field->text();
    return texts;
}

QString lockStates(const FrmTsSet &screen)
{
    QString states;
    for (const QLineEdit *field : screen.TxtVeld)
        states += field->isEnabled() ? QLatin1Char('0') : QLatin1Char('1');
    return states;
}

} // namespace

class TestFrmTsSet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(startProgram(m_program)); }

    void cleanup()
    {
        while (popup())
            closePopup();
        frame()->setEnabled(true);
        QVERIFY(storeRows(defaults()));
        click(screens().set->CmdKnop[0]);
    }

    void defaultReadsTheTable_data()
    {
        test::addTableRows(QFINDTESTDATA("data/settings-rows.txt"), {"rows", "fields"});
    }

    void defaultReadsTheTable()
    {
        QFETCH(QString, rows);
        QFETCH(QString, fields);

        FrmTsSet &screen = *screens().set;
        click(screen.CmdKnop[1]);
        QVERIFY(storeRows(rows.isEmpty() ? QStringList() : rows.split(QLatin1Char('|'))));
        click(screen.CmdKnop[0]);
        QCOMPARE(fieldTexts(screen).join(QLatin1Char('|')), fields);
        QCOMPARE(lockStates(screen), QStringLiteral("11111111"));
        const Templates taken = screen.templates();
        QCOMPARE(QStringList(taken.begin(), taken.end()), fieldTexts(screen));
    }

    // "Change" unlocks the fields and keeps what is typed, "Default" reads the table again; a run takes what
    // the fields hold.
    void editedTemplateReachesThePages()
    {
        const QString site = m_sites.filePath(QStringLiteral("site"));
        const QStringList pages{site + QStringLiteral("/one.htm"), site + QStringLiteral("/two.htm")};
        test::makeSite(site, {QStringLiteral("one.htm Furniture"), QStringLiteral("two.htm Furniture")});
        FrmTsSet &screen = *screens().set;
        FrmTsTop &bar = *screens().top;
        screens().main->TxtVeld[0]->setText(site);
        const QByteArray stored = defaultTemplates()[4].toUtf8();
        const QByteArray edited = "<META NAME=\"robots\" CONTENT=\"noindex, nofollow\">";

        click(bar.CmdKnop[1]);
        click(screen.CmdKnop[1]);
        QCOMPARE(lockStates(screen), QStringLiteral("00000000"));
        screen.TxtVeld[4]->selectAll();
        QTest::keyClicks(screen.TxtVeld[4], QString::fromUtf8(edited));
        click(screen.CmdKnop[1]);
        QCOMPARE(screen.TxtVeld[4]->text(), QString::fromUtf8(edited));
        click(bar.CmdKnop[2]);
        QVERIFY(!popup());
        for (const QString &page : pages)
            QVERIFY2(readFile(page).contains(edited) && !readFile(page).contains(stored), readFile(page).constData());

        click(bar.CmdKnop[1]);
        click(screen.CmdKnop[0]);
        QCOMPARE(fieldTexts(screen), defaults());
        QCOMPARE(lockStates(screen), QStringLiteral("11111111"));
        click(bar.CmdKnop[2]);
        for (const QString &page : pages)
            QVERIFY2(readFile(page).contains(stored) && readFile(page).count("NAME=\"robots\"") == 1,
                     readFile(page).constData());
        screens().main->TxtVeld[0]->clear();
    }

private:
    QTemporaryDir m_program;
    QTemporaryDir m_sites;
};

QTEST_MAIN(TestFrmTsSet)
#include "tst_frmtsset.moc"
