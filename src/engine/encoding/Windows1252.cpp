#include "engine/encoding/Windows1252.h"

#include "engine/encoding/PageText.h"

#include <array>

namespace tagsmith::windows1252 {
namespace {

// 0x80 to 0x9F; the rest of the bytes are the Unicode characters of the same number.
constexpr char16_t High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct CaseTables
{
    std::array<unsigned char, 256> upper{};
    std::array<unsigned char, 256> lower{};

    CaseTables()
    {
        for (int b = 0; b < 256; ++b) {
            const auto byte = static_cast<unsigned char>(b);
            const int up = fromUnicode(simpleUpper(toUnicode(byte)));
            const int low = fromUnicode(simpleLower(toUnicode(byte)));
            upper[b] = up < 0 ? byte : static_cast<unsigned char>(up);
            lower[b] = low < 0 ? byte : static_cast<unsigned char>(low);
        }
    }
};

const CaseTables &caseTables()
{
    static const CaseTables tables;
    return tables;
}

} // namespace

char32_t toUnicode(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return High[byte - 0x80];
    return byte;
}

int fromUnicode(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c < 0x100))
        return static_cast<int>(c);
    if (c > 0x2122) // the trade mark sign is the highest of them
        return -1;
    for (int i = 0; i < 32; ++i)
        if (High[i] == c)
            return 0x80 + i;
    return -1;
}

unsigned char toUpper(unsigned char byte)
{
    return caseTables().upper[byte];
}

unsigned char toLower(unsigned char byte)
{
    return caseTables().lower[byte];
}

} // namespace tagsmith::windows1252
