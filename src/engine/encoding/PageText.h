#pragma once

#include "engine/encoding/Utf8.h"

#include <QString>

#include <string>
#include <string_view>

namespace tagsmith {

// How the bytes of a page stand for characters. Words, template texts and the site description are
// held as Unicode text (UTF-8) and only become bytes of a page through appendEncoded().
enum class PageEncoding {
    Windows1252, // one byte, one character
    Utf8,
    Utf16LE,
    Utf16BE,
    Legacy, // another charset of the encoding standard (its name goes with the page)
};

// Whether the page is scanned as its bytes (Windows-1252 and UTF-8) or as the text it decodes to.
constexpr bool isDecoded(PageEncoding encoding)
{
    return encoding != PageEncoding::Windows1252 && encoding != PageEncoding::Utf8;
}

// Why a page that declares a charset is read as Windows-1252 instead.
enum class EncodingNote {
    None,
    UnknownCharset, // it declares a charset that is not decoded ("replacement")
    NotDecoded,     // its bytes do not decode in the charset it declares
};

// The case in which the words of the keywords line are written.
enum class CaseConversion {
    Keep,
    Upper,
    Lower,
};

bool isAscii(std::string_view text);

// The text by Unicode simple case folding: two words match in a word table when these are equal, so
// case is ignored the way the database's text comparison ignores it, accented letters included.
void appendCaseFolded(std::string &out, std::string_view utf8);

// Upper and lower case of a character by Unicode's simple case mappings (one character for one:
// lower case of U+0130 is "i", upper case of U+1FB3 is U+1FBC).
char32_t simpleUpper(char32_t c);
char32_t simpleLower(char32_t c);

// The text in upper or lower case by the Unicode simple case mapping. A character that the page's
// encoding can write but whose other case it cannot stays as it is (in Windows-1252 the micro sign,
// whose capital is Greek); UTF-8 writes every mapping.
void appendCaseConverted(std::string &out, std::string_view utf8, CaseConversion conversion, PageEncoding encoding);

// Every text written into a page goes through here. UTF-8 pages take the text as it is; in
// Windows-1252 a character without a byte of its own is written as a numeric character reference
// ("&#1046;").
void appendEncoded(std::string &out, std::string_view utf8, PageEncoding encoding);

// The site description stands inside an attribute value of the META block, so its quotes are
// written as references there; everything else in it is kept.
QString escapeAttributeQuotes(const QString &text);

} // namespace tagsmith
