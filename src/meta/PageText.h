#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace tagsmith {

// How the bytes of a page stand for characters. Words, template texts and the site description are
// held as Unicode text (UTF-8) and only become bytes of a page through appendEncoded().
enum class PageEncoding {
    Windows1252,
};

// The case in which the words of the keywords line are written.
enum class CaseConversion {
    Keep,
    Upper,
    Lower,
};

void appendUtf8(std::string &out, char32_t c);

// The character that starts at text[*pos], moving *pos past it. A broken sequence gives U+FFFD
// and moves one byte on.
char32_t nextCharacter(std::string_view text, std::size_t *pos);

bool isAscii(std::string_view text);

// Number of characters of a UTF-8 text.
std::size_t characterCount(std::string_view utf8);

// The text by Unicode simple case folding: two words match in a word table when these are equal, so
// case is ignored the way the database's text comparison ignores it, accented letters included.
void appendCaseFolded(std::string &out, std::string_view utf8);

// The text in upper or lower case by the Unicode simple case mapping. A character that the page's
// encoding can write but whose other case it cannot stays as it is (micro sign, sharp s).
void appendCaseConverted(std::string &out, std::string_view utf8, CaseConversion conversion, PageEncoding encoding);

// Every text written into a page goes through here. In Windows-1252 a character without a byte of
// its own is written as a numeric character reference ("&#1046;").
void appendEncoded(std::string &out, std::string_view utf8, PageEncoding encoding);

// The site description stands inside an attribute value of the META block, so its quotes are
// written as references there; everything else in it is kept.
QString escapeAttributeQuotes(const QString &text);

} // namespace tagsmith
