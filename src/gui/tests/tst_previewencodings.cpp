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

// The fourth line of Page as the preview shows it.
QString shown(const QString &body)
{
    return QStringLiteral("</head><body>%1</body></html>").arg(body);
}

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
        QTest::addColumn<QString>("line"); // the fourth line as shown

        QTest::newRow("UTF-16LE with a byte-order mark")
            << test::utf16(Page.arg(QStringLiteral("<title>UTF-16</title>"), Harbour), false) << shown(Harbour);
        QTest::newRow("ISO-8859-2") << latin2(Page.arg(QStringLiteral("<meta charset=\"iso-8859-2\">"), Harbour))
                                    << shown(Harbour);
        QTest::newRow("UTF-8") << Page.arg(QStringLiteral("<meta charset=\"utf-8\">"), Harbour).toUtf8()
                               << shown(Harbour);
        // U+0080 stands for the byte 80, the euro sign in Windows-1252.
        QTest::newRow("Windows-1252")
            << Page.arg(QStringLiteral("<title>1252</title>"), QStringLiteral("Caf\u00e9 \x80")).toLatin1()
            << shown(QStringLiteral("Caf\u00e9 \u20ac"));
        // Bytes that are no Shift_JIS: read, and shown, as Windows-1252.
        QTest::newRow("not the charset it declares")
            << Page.arg(QStringLiteral("<meta charset=\"shift_jis\">"), QStringLiteral("Caf\u00e9 menu\u00ff\u00ff"))
                   .toLatin1()
            << shown(QStringLiteral("Caf\u00e9 menu\u00ff\u00ff"));
        // A long line shows its first 400 characters.
        const QString longBody(2000, QChar(0xE9));
        const QString longLine = shown(longBody).left(400) + QStringLiteral("\u2026");
        QTest::newRow("long line, UTF-8")
            << Page.arg(QStringLiteral("<meta charset=\"utf-8\">"), longBody).toUtf8() << longLine;
        QTest::newRow("long line, Windows-1252")
            << Page.arg(QStringLiteral("<title>1252</title>"), longBody).toLatin1() << longLine;
    }

    void linesShownAsRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, line);
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
        QVERIFY2(left.contains(QStringLiteral("4   ") + line), qPrintable(left));
        QVERIFY2(right.contains(QStringLiteral(" + <META NAME=\"keywords\" CONTENT=\"")) &&
                     right.contains(QStringLiteral("   ") + line),
                 qPrintable(right));
        preview->close();
    }

private:
    QTemporaryDir m_program;
    QTemporaryDir m_sites;
};

QTEST_MAIN(TestPreviewEncodings)
#include "tst_previewencodings.moc"
