#include "text/IdConversion.h"

#include "text/StringTable.h"

#include <cstdint>

namespace tagsmith {
namespace {

constexpr int IntegerMin = -32768;
constexpr int IntegerMax = 32767;
// Any magnitude past this is out of range whatever its fraction; capping keeps long digit runs from
// overflowing.
constexpr std::int64_t MagnitudeCap = 1000000;

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// A number as read from text: sign, whole part and what its fraction does to the rounding.
struct Number
{
    bool negative = false;
    std::int64_t whole = 0;
    enum class Fraction { None, BelowHalf, Half, AboveHalf } fraction = Fraction::None;
    bool hasDigits = false;
};

// Reads a number (sign, digits, one decimal point, digits) from the start of text and tells where
// reading stopped. The fraction is judged on its digits, so a half is exactly a half.
Number readNumber(const QString &text, qsizetype *end)
{
    Number n;
    qsizetype i = 0;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        n.negative = text[i] == QLatin1Char('-');
        ++i;
    }
    for (; i < text.size() && isDigit(text[i]); ++i) {
        n.hasDigits = true;
        if (n.whole < MagnitudeCap)
            n.whole = n.whole * 10 + (text[i].unicode() - '0');
    }
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        ++i;
        const qsizetype first = i;
        bool restNonZero = false;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            n.hasDigits = true;
            if (i > first && text[i] != QLatin1Char('0'))
                restNonZero = true;
        }
        if (i > first) {
            const int firstDigit = text[first].unicode() - '0';
            if (firstDigit > 5 || (firstDigit == 5 && restNonZero))
                n.fraction = Number::Fraction::AboveHalf;
            else if (firstDigit == 5)
                n.fraction = Number::Fraction::Half;
            else if (firstDigit > 0 || restNonZero)
                n.fraction = Number::Fraction::BelowHalf;
        }
    }
    *end = i;
    return n;
}

// Rounds to the nearest whole number, halves to the even neighbour; nullopt outside 16 bits.
std::optional<int> toInteger(const Number &n)
{
    std::int64_t magnitude = n.whole;
    if (n.fraction == Number::Fraction::AboveHalf || (n.fraction == Number::Fraction::Half && magnitude % 2 != 0))
        ++magnitude;
    const std::int64_t value = n.negative ? -magnitude : magnitude;
    if (value < IntegerMin || value > IntegerMax)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

std::optional<int> strictId(const QString &text)
{
    qsizetype start = 0;
    qsizetype stop = text.size();
    while (start < stop && text[start] == QLatin1Char(' '))
        ++start;
    while (stop > start && text[stop - 1] == QLatin1Char(' '))
        --stop;
    const QString number = text.mid(start, stop - start);
    qsizetype end = 0;
    const Number n = readNumber(number, &end);
    if (!n.hasDigits || end != number.size())
        return std::nullopt;
    return toInteger(n);
}

int lenientId(const QString &text)
{
    QString packed;
    packed.reserve(text.size());
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            packed.append(c);
    }
    qsizetype end = 0;
    const Number n = readNumber(packed, &end);
    if (!n.hasDigits)
        return 0;
    return toInteger(n).value_or(0);
}

std::optional<QString> localString(int baseId, int langOffset)
{
    const std::int64_t id = std::int64_t{baseId} + langOffset;
    if (id < IntegerMin || id > IntegerMax)
        return std::nullopt;
    return loadString(static_cast<int>(id));
}

} // namespace tagsmith
