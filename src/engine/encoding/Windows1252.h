#pragma once

#include <cstdint>

namespace tagsmith::windows1252 {

// Pages are read and written as Windows-1252 bytes through this fixed table, never through the
// process locale, so a run gives the same bytes on every machine.
// NOTE: the five bytes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the
// control characters of the same number, so every byte has a character and back.
char32_t toUnicode(unsigned char byte);

// The byte of a character, or -1 when Windows-1252 has none for it.
int fromUnicode(char32_t c);

// Upper and lower case of a byte: the Unicode simple case mapping of its character, taken back to
// its byte when Windows-1252 has one, else the byte unchanged (so y diaeresis 0xFF and 0x9F are a
// pair, while micro sign and sharp s stay as they are).
unsigned char toUpper(unsigned char byte);
unsigned char toLower(unsigned char byte);

} // namespace tagsmith::windows1252
