#include "engine/EncodingDetection.h"

#include <QTest>

#include <string>

using namespace tagsmith;

Q_DECLARE_METATYPE(std::string)

// The encoding a page declares, as a browser finds it in a file without transport information.
class TestEncodingSniffing : public QObject
{
    Q_OBJECT

private slots:
    void declared_data()
    {
        QTest::addColumn<std::string>("page");
        QTest::addColumn<QString>("encoding"); // empty: no declaration

        const auto row = [](const char *name, const std::string &page, const char *encoding) {
            QTest::newRow(name) << page << QString::fromLatin1(encoding);
        };
        // META tags that only mention a charset declare nothing.
        row("name and content", "<meta name=\"x\" content=\"charset=utf-8\">", "");
        row("content without http-equiv", "<meta content=\"text/html; charset=utf-8\">", "");
        row("refresh", "<meta http-equiv=\"refresh\" content=\"5; url=next.htm?charset=latin1\">", "");
        row("metadata element", "<metadata charset=utf-8>", "");
        row("xcharset attribute", "<meta xcharset=utf-8>", "");
        row("charset in another element", "<body charset=utf-8>", "");
        row("charset in a comment", "<!-- <meta charset=koi8-r> -->", "");
        row("meta in another tag's value", "<div title=\"<meta charset=koi8-r>\"><meta charset=iso-8859-2>",
            "iso-8859-2");
        row("unknown label", "<meta charset=klingon><meta charset=koi8-r>", "koi8-r");
        row("charset of no encoding beats content",
            "<meta charset=klingon http-equiv=content-type content='text/html; charset=koi8-r'>", "");

        // Declarations, attributes in any order and case, quoted or not.
        row("charset", "<meta charset=\"utf-8\">", "utf-8");
        row("charset in capitals", "<META CHARSET='KOI8-R'>", "koi8-r");
        row("charset unquoted", "<meta charset=shift_jis>", "shift_jis");
        row("charset after a slash", "<meta/charset=koi8-r>", "koi8-r");
        row("content type", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-2\">",
            "iso-8859-2");
        row("content before http-equiv", "<meta content='text/html;charset=windows-1251' HTTP-EQUIV=CONTENT-TYPE>",
            "windows-1251");
        row("quoted label in content", "<meta http-equiv=content-type content=\"text/html; charset = 'euc-kr'\">",
            "euc-kr");
        row("charset beats content", "<meta http-equiv=content-type content='text/html; charset=koi8-r' charset=utf-8>",
            "utf-8");
        row("first of two charset attributes", "<meta charset=koi8-r charset=utf-8>", "koi8-r");
        row("spaces around the equals sign", "<meta charset = utf-8 >", "utf-8");
        row("after a comment", "<!-- <meta charset=koi8-r> --><meta charset=utf-8>", "utf-8");
        row("after the shortest comment", "<!--><meta charset=koi8-r>", "koi8-r");
        row("after other tags", "<!DOCTYPE html><html lang=en><head><title>x</title><meta charset=gbk>", "gbk");

        // Labels by the label table.
        row("latin1", "<meta charset=latin1>", "windows-1252");
        row("iso-8859-1", "<meta charset=ISO-8859-1>", "windows-1252");
        row("us-ascii", "<meta charset=us-ascii>", "windows-1252");
        row("utf8", "<meta charset=utf8>", "utf-8");
        row("utf-16 means utf-8", "<meta charset=utf-16>", "utf-8");
        row("utf-16be means utf-8", "<meta charset=UTF-16BE>", "utf-8");
        row("x-user-defined means windows-1252", "<meta charset=x-user-defined>", "windows-1252");
        row("label with white space", "<meta charset=\" koi8-u \">", "koi8-u");
        row("refused encoding", "<meta charset=iso-2022-kr>", "replacement");

        // Where the declaration stands.
        row("after byte 1024", std::string(1100, ' ') + "<meta charset=koi8-r>", "");
        row("cut by byte 1024", std::string(1010, ' ') + "<meta charset=koi8-r>", "");
        row("utf-8 byte-order mark first", "\xEF\xBB\xBF<meta charset=koi8-r>", "utf-8");
        row("utf-16le byte-order mark", std::string("\xFF\xFE<\0", 4), "utf-16le");
        row("utf-16be byte-order mark", std::string("\xFE\xFF\0<", 4), "utf-16be");
        row("utf-16le xml declaration", std::string("<\0?\0x\0m\0l\0", 10), "utf-16le");
        row("utf-16be xml declaration", std::string("\0<\0?\0x\0m\0l", 10), "utf-16be");
        row("xml declaration", "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?><html>", "iso-8859-2");
        row("meta beats xml declaration", "<?xml version='1.0' encoding='koi8-r'?><meta charset=utf-8>", "utf-8");
    }

    void declared()
    {
        QFETCH(std::string, page);
        QFETCH(QString, encoding);
        QCOMPARE(QString::fromLatin1(declaredEncoding(page)), encoding);
    }

    // The whole decision: a declaration, else UTF-8 for valid UTF-8 with a character of several
    // bytes, else Windows-1252.
    void decision_data()
    {
        QTest::addColumn<std::string>("page");
        QTest::addColumn<int>("encoding");

        const std::string cafe = "<p>caf\xC3\xA9</p>";
        const std::string cafe1252 = "<p>caf\xE9</p>";
        const auto row = [](const char *name, const std::string &page, PageEncoding encoding) {
            QTest::newRow(name) << page << static_cast<int>(encoding);
        };
        row("refresh in a utf-8 page", "<meta http-equiv=refresh content=\"5; url=next.htm?charset=latin1\">" + cafe,
            PageEncoding::Utf8);
        row("content without http-equiv in a windows-1252 page",
            "<meta content=\"text/html; charset=utf-8\">" + cafe1252, PageEncoding::Windows1252);
        row("latin1 declared, bytes utf-8", "<meta charset=latin1>" + cafe, PageEncoding::Windows1252);
        row("koi8-r", "<meta charset=koi8-r>" + cafe1252, PageEncoding::Legacy);
        row("utf-16le byte-order mark", std::string("\xFF\xFE<\0p\0", 6), PageEncoding::Utf16LE);
        row("utf-16be byte-order mark", std::string("\xFE\xFF\0<\0p", 6), PageEncoding::Utf16BE);
        row("declared utf-16 without a mark", "<meta charset=utf-16>" + cafe1252, PageEncoding::Utf8);
        row("x-user-defined", "<meta charset=x-user-defined>" + cafe, PageEncoding::Windows1252);
        row("no declaration, ascii", "<p>plain</p>", PageEncoding::Windows1252);
    }

    void decision()
    {
        QFETCH(std::string, page);
        QFETCH(int, encoding);
        Utf8Check check;
        check.feed(page);
        QCOMPARE(static_cast<int>(decideEncoding(declaredEncoding(page), check)), encoding);
    }
};

QTEST_APPLESS_MAIN(TestEncodingSniffing)
#include "tst_EncodingSniffing.moc"
