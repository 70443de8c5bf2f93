#include "TestSupport.h"

#include "engine/encoding/Windows1252.h"
#include "engine/words/WordScanner.h"

#include <QTest>

#include <string>

using namespace tagsmith;

namespace {

// The words of the page joined by blanks.
QString scan(std::string_view page, WordScanner::PageKind kind, PageEncoding encoding)
{
    WordScanner scanner(kind);
    scanner.reset(encoding);
    QStringList words;
    scanner.feed(page, [&words](std::string_view w, bool ascii) {
        // A word said to be ASCII must be, or the minimum length would count its bytes as characters.
        words << (ascii && !ascii::isAscii(w) ? QStringLiteral("(not ASCII)") : QString::fromUtf8(w.data(), qsizetype(w.size())));
    });
    return words.join(QLatin1Char(' '));
}

// A Windows-1252 page from Latin-1 text written in the source as UTF-8.
std::string cp1252(const char *utf8)
{
    std::string out;
    const std::string_view text(utf8);
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = nextCharacter(text, &i);
        out.push_back(static_cast<char>(windows1252::fromUnicode(c)));
    }
    return out;
}

} // namespace

class TestWordScanner : public QObject
{
    Q_OBJECT

private slots:
    void scan_data() { test::addTableRows(QFINDTESTDATA("data/scan-words.txt"), {"kind", "page", "words"}); }

    void scan()
    {
        QFETCH(QString, kind);
        QFETCH(QString, page);
        QFETCH(QString, words);
        const QByteArray text = test::unescape(page);
        const std::string bytes = kind == QLatin1String("latin") ? cp1252(text.constData()) : text.toStdString();
        const auto pageKind =
            kind == QLatin1String("main") ? WordScanner::PageKind::Main : WordScanner::PageKind::Folder;
        const auto encoding = kind == QLatin1String("utf8") ? PageEncoding::Utf8 : PageEncoding::Windows1252;
        QCOMPARE(::scan(bytes, pageKind, encoding), words);
    }

    void wordCharacters_data()
    {
        QTest::addColumn<uint>("character");
        QTest::addColumn<bool>("word");
        QTest::addColumn<bool>("mark");
        for (const QStringList &row : tagsmith::test::readTable(QFINDTESTDATA("data/word-characters.txt"))) {
            const auto number = static_cast<uint>(row[1].section(QLatin1Char(' '), 1).toUInt(nullptr, 16));
            const bool byte = row[1].startsWith(QLatin1String("byte"));
            QTest::newRow(qPrintable(row[0]))
                << (byte ? uint(windows1252::toUnicode(static_cast<unsigned char>(number))) : number)
                << (row[2] == QLatin1String("1")) << (row[3] == QLatin1String("1"));
        }
    }

    void wordCharacters()
    {
        QFETCH(uint, character);
        QFETCH(bool, word);
        QFETCH(bool, mark);
        QCOMPARE(isWordCharacter(character), word);
        QCOMPARE(isCombiningMark(character), mark);
    }

    void caseOfBytes_data()
    {
        test::addTableRows(QFINDTESTDATA("data/windows-1252-case.txt"), {"byte", "upper", "lower"});
    }

    void caseOfBytes()
    {
        QFETCH(QString, byte);
        QFETCH(QString, upper);
        QFETCH(QString, lower);
        const auto b = static_cast<unsigned char>(byte.toUInt(nullptr, 0));
        QCOMPARE(QList<qint64>({windows1252::toUpper(b), windows1252::toLower(b)}),
                 test::numbers(upper + u' ' + lower));
        // Every byte has a character and back.
        QCOMPARE(windows1252::fromUnicode(windows1252::toUnicode(b)), int(b));
    }
};

QTEST_APPLESS_MAIN(TestWordScanner)
#include "tst_WordScanner.moc"
