// The preview shows a page's lines as the run reads the page: a page in UTF-16 or another charset as
// the text it decodes to, split into lines there; UTF-8 and Windows-1252 pages as before.

#include "TestSupport.h"
#include "gui/tests/ProgramUnderTest.h"

#include "gui/RunReportWindow.h"

#include <QLineEdit>
#include <QTableView>
#include <QTextEdit>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

const QString Page = QStringLiteral("<html><head>\r\n%1\r\n<meta name=\"keywords\" content=\"star\u00e9\">\r\n"
                                    "</head><body>%2</body></html>\r\n");
const QString Harbour = QStringLiteral("P\u0159\u00edstav lo\u010fky");

// ř and ď are F8 and EF in ISO-8859-2; í and é are where Latin-1 has them.
QByteArray latin2(QString text)
{
    return text.replace(QChar(0x159), QChar(0xF8)).replace(QChar(0x10F), QChar(0xEF)).toLatin1();
}

} // namespace

class TestPreviewEncodings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(startProgram(m_program)); }
    void linesShownAsRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("body"); // the fourth line's text between the body tags

        QTest::newRow("UTF-16LE with a byte-order mark")
            << test::utf16(Page.arg(QStringLiteral("<title>UTF-16</title>"), Harbour), false) << Harbour;
        QTest::newRow("ISO-8859-2") << latin2(Page.arg(QStringLiteral("<meta charset=\"iso-8859-2\">"), Harbour))
                                    << Harbour;
        QTest::newRow("UTF-8") << Page.arg(QStringLiteral("<meta charset=\"utf-8\">"), Harbour).toUtf8() << Harbour;
        // U+0080 stands for the byte 80, the euro sign in Windows-1252.
        QTest::newRow("Windows-1252")
            << Page.arg(QStringLiteral("<title>1252</title>"), QStringLiteral("Caf\u00e9 \x80")).toLatin1()
            << QStringLiteral("Caf\u00e9 \u20ac");
        // Bytes that are no Shift_JIS: read, and shown, as Windows-1252.
        QTest::newRow("not the charset it declares")
            << Page.arg(QStringLiteral("<meta charset=\"shift_jis\">"), QStringLiteral("Caf\u00e9 menu\u00ff\u00ff"))
                   .toLatin1()
            << QStringLiteral("Caf\u00e9 menu\u00ff\u00ff");
    }

    void linesShownAsRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, body);
        const QString site = m_sites.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(site));
        QVERIFY(writeFile(site + QStringLiteral("/page.htm"), bytes));
        FrmTsMain &main = *screens().main;
        main.TxtVeld[0]->setText(site);
        main.TxtVeld[1]->clear();
        click(main.PreviewButton);
        RunReportWindow *preview = RunReportWindow::current();
        QVERIFY(preview && preview->report().dryRun);
        preview->findChild<QTableView *>(QStringLiteral("Pages"))->selectRow(0);
        const QString left = preview->findChild<QTextEdit *>(QStringLiteral("Before"))->toPlainText();
        const QString right = preview->findChild<QTextEdit *>(QStringLiteral("After"))->toPlainText();
        QVERIFY2(left.contains(QStringLiteral("3 - <meta name=\"keywords\" content=\"star\u00e9\">")),
                 qPrintable(left));
        const QString bodyLine = QStringLiteral("  </head><body>%1</body></html>").arg(body);
        QVERIFY2(left.contains(QStringLiteral("4 ") + bodyLine), qPrintable(left));
        QVERIFY2(right.contains(QStringLiteral(" + <META NAME=\"keywords\" CONTENT=\"")) && right.contains(bodyLine),
                 qPrintable(right));
        preview->close();
    }

private:
    QTemporaryDir m_program;
    QTemporaryDir m_sites;
};

QTEST_MAIN(TestPreviewEncodings)
#include "tst_previewencodings.moc"
