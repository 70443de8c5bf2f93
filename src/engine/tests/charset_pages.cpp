// Writes, for each legacy charset, a page holding every byte sequence the program decodes as one
// character (NAME.htm) and the text it decodes them to (NAME.txt, UTF-8), and for each single-byte
// charset a page of the bytes it refuses (NAME-refused.htm), for browser_charsets.py to load in a
// browser.
//
// usage: charset_pages FOLDER

#include "engine/encoding/TextCodec.h"
#include "engine/encoding/Utf8.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <string>

using namespace tagsmith;

namespace {

// The bytes are one character, not ASCII. (Big5's four sequences of two characters, a letter and a
// combining mark, are left out: Chromium stops at them.)
bool decodes(std::string_view charset, const std::string &bytes, std::string &text)
{
    if (!decodeText(PageEncoding::Legacy, charset, bytes, text) || characterCount(text) != 1)
        return false;
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x80)
            return false; // a byte that decodes alone, or an ASCII trail
    return true;
}

bool write(const QString &path, const std::string &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

std::string page(std::string_view charset, const std::string &body)
{
    return "<!DOCTYPE html><meta charset=\"" + std::string(charset) + "\"><pre>" + body + "</pre>";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: charset_pages FOLDER\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    const char *const singleByte[] = {
        "ibm866",      "iso-8859-2",   "iso-8859-3",   "iso-8859-4",   "iso-8859-5",   "iso-8859-6",   "iso-8859-7",
        "iso-8859-8",  "iso-8859-10",  "iso-8859-13",  "iso-8859-14",  "iso-8859-15",  "iso-8859-16",  "koi8-r",
        "koi8-u",      "macintosh",    "windows-874",  "windows-1250", "windows-1251", "windows-1253", "windows-1254",
        "windows-1255", "windows-1256", "windows-1257", "windows-1258", "x-mac-cyrillic"};
    const char *const multiByte[] = {"shift_jis", "euc-jp", "iso-2022-jp", "gbk", "gb18030", "big5", "euc-kr"};
    bool ok = true;
    const auto save = [&](std::string_view charset, const std::string &body, const std::string &text) {
        const QString name = folder + QString::fromLatin1(charset.data(), qsizetype(charset.size()));
        ok = write(name + QStringLiteral(".htm"), page(charset, body)) && write(name + QStringLiteral(".txt"), text) && ok;
    };
    for (const char *charset : singleByte) {
        std::string body, text, refused, piece;
        for (int b = 0x80; b < 0x100; ++b) {
            const std::string byte(1, static_cast<char>(b));
            if (decodes(charset, byte, piece)) {
                body += byte;
                text += piece;
            } else {
                refused += byte;
            }
        }
        save(charset, body, text);
        if (!refused.empty())
            ok = write(folder + QString::fromLatin1(charset) + QStringLiteral("-refused.htm"), page(charset, refused)) && ok;
    }
    for (const char *charset : multiByte) {
        const std::string_view name(charset);
        std::string body, text, piece;
        const auto tryBytes = [&](const std::string &bytes) {
            if (decodes(name, bytes, piece)) {
                body += bytes;
                text += piece;
            }
        };
        if (name == "iso-2022-jp") {
            // One shift into each set for all its characters: two escape sequences in a row are an error.
            const auto inSet = [&](const std::string &escape, const std::string &bytes) {
                if (decodes(name, escape + bytes + "\x1B(B", piece)) {
                    body += bytes;
                    text += piece;
                }
            };
            body += "\x1B(I";
            for (int b = 0x21; b < 0x60; ++b)
                inSet("\x1B(I", std::string(1, static_cast<char>(b)));
            body += "\x1B$B";
            for (int lead = 0x21; lead < 0x7F; ++lead)
                for (int trail = 0x21; trail < 0x7F; ++trail)
                    inSet("\x1B$B", std::string{static_cast<char>(lead), static_cast<char>(trail)});
            body += "\x1B(B";
            save(name, body, text);
            continue;
        }
        std::string lone;
        for (int lead = 0x80; lead < 0x100; ++lead) {
            if (decodes(name, std::string(1, static_cast<char>(lead)), lone)) {
                tryBytes(std::string(1, static_cast<char>(lead)));
                continue;
            }
            for (int trail = 0x30; trail < 0x100; ++trail)
                tryBytes(std::string{static_cast<char>(lead), static_cast<char>(trail)});
        }
        if (name == "euc-jp")
            for (int lead = 0xA1; lead < 0xFF; ++lead)
                for (int trail = 0xA1; trail < 0xFF; ++trail)
                    tryBytes(std::string{'\x8F', static_cast<char>(lead), static_cast<char>(trail)});
        if (name == "gb18030") {
            // The four-byte sequences of the BMP, and the first of each plane beyond.
            for (int a = 0x81; a < 0x85; ++a)
                for (int b = 0x30; b < 0x3A; ++b)
                    for (int c = 0x81; c < 0xFF; ++c)
                        for (int d = 0x30; d < 0x3A; ++d)
                            tryBytes(std::string{static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                                                 static_cast<char>(d)});
            for (int a = 0x90; a < 0xE4; a += 3)
                tryBytes(std::string{static_cast<char>(a), '\x30', '\x81', '\x30'});
        }
        save(name, body, text);
    }
    return ok ? 0 : 1;
}
