#pragma once

#include <QString>

#include <optional>

namespace tagsmith {

// The two ways a stored text (a control's Tag or tooltip) becomes a resource id.

// Strict: the whole text is one number, blanks around it allowed, that fits a 16-bit signed
// Integer after rounding (halves to the even neighbour). Anything else, the empty text included, fails.
std::optional<int> strictId(const QString &text);

// Lenient: blanks, tabs and line feeds anywhere in the text are ignored; the leading number (sign,
// digits, one decimal point) is taken and rounded, halves to the even neighbour. No number, or a value
// outside -32768 to 32767, gives 0.
int lenientId(const QString &text);

// The text of baseId in the language langOffset selects. Fails (nullopt) when the sum leaves the
// 16-bit range or the string table has no such id.
std::optional<QString> localString(int baseId, int langOffset);

} // namespace tagsmith
