#include "engine/encoding/LegacyCharsets.h"

#include "engine/encoding/EncodingIndexes.h"

#include <algorithm>
#include <span>

namespace tagsmith {
namespace {

using namespace indexes;

// The code point of a pointer, 0 for none.
template <typename T> char32_t at(std::span<const T> index, std::uint32_t pointer)
{
    return pointer < index.size() ? static_cast<char32_t>(index[pointer]) : 0;
}

// From code points back to pointers, for writing.
class Reverse
{
public:
    template <typename T, typename Keep> Reverse(std::span<const T> index, Keep keep)
    {
        for (std::uint32_t pointer = 0; pointer < index.size(); ++pointer)
            if (index[pointer] != 0 && keep(pointer))
                m_rows.emplace_back(static_cast<char32_t>(index[pointer]), pointer);
        std::sort(m_rows.begin(), m_rows.end());
    }
    // The first (or last) pointer of the code point, -1 for none.
    std::int64_t first(char32_t c) const
    {
        const auto found = std::lower_bound(m_rows.begin(), m_rows.end(), std::pair(c, std::uint32_t(0)));
        return found != m_rows.end() && found->first == c ? std::int64_t(found->second) : -1;
    }
    std::int64_t last(char32_t c) const
    {
        const auto found = std::upper_bound(m_rows.begin(), m_rows.end(), std::pair(c, std::uint32_t(0xFFFFFFFF)));
        return found != m_rows.begin() && std::prev(found)->first == c ? std::int64_t(std::prev(found)->second) : -1;
    }

private:
    std::vector<std::pair<char32_t, std::uint32_t>> m_rows;
};

const auto everyPointer = [](std::uint32_t) { return true; };

const Reverse &jis0208Pointers()
{
    static const Reverse reverse(Jis0208, everyPointer);
    return reverse;
}

// Shift_JIS writes no character of the NEC's selection of IBM's extensions (pointers 8272 to 8835):
// the same characters stand later among IBM's own.
const Reverse &shiftJisPointers()
{
    static const Reverse reverse(Jis0208, [](std::uint32_t pointer) { return pointer < 8272 || pointer > 8835; });
    return reverse;
}

const Reverse &eucKrPointers()
{
    static const Reverse reverse(EucKr, everyPointer);
    return reverse;
}

const Reverse &gb18030Pointers()
{
    static const Reverse reverse(Gb18030, everyPointer);
    return reverse;
}

// Big5 writes no character of the Hong Kong additions below lead byte 0xA1.
const Reverse &big5Pointers()
{
    static const Reverse reverse(Big5, [](std::uint32_t pointer) { return pointer >= (0xA1 - 0x81) * 157; });
    return reverse;
}

// The code point of a four-byte gb18030 sequence, 0 for none.
char32_t rangesCodePoint(std::uint32_t pointer)
{
    if ((pointer > 39419 && pointer < 189000) || pointer > 1237575)
        return 0;
    if (pointer == 7457)
        return 0xE7C7;
    const auto found = std::upper_bound(Gb18030Ranges.begin(), Gb18030Ranges.end(), pointer,
                                        [](std::uint32_t p, const Range &range) { return p < range.pointer; });
    const Range &range = *std::prev(found);
    return range.codePoint + pointer - range.pointer;
}

std::uint32_t rangesPointer(char32_t c)
{
    if (c == 0xE7C7)
        return 7457;
    const auto found = std::upper_bound(Gb18030Ranges.begin(), Gb18030Ranges.end(), c,
                                        [](char32_t code, const Range &range) { return code < range.codePoint; });
    const Range &range = *std::prev(found);
    return range.pointer + c - range.codePoint;
}

std::vector<ByteTable> makeByteTables()
{
    std::vector<ByteTable> tables(SingleByte.size());
    for (std::size_t t = 0; t < SingleByte.size(); ++t) {
        ByteTable &table = tables[t];
        for (char32_t b = 0; b < 0x80; ++b)
            table.characters[b] = b;
        for (std::size_t i = 0; i < 128; ++i) {
            const char32_t c = SingleByte[t].high[i];
            table.characters[0x80 + i] = c == 0 ? NoCharacter : c;
            if (c != 0)
                table.bytes.emplace_back(c, static_cast<unsigned char>(0x80 + i));
        }
        std::sort(table.bytes.begin(), table.bytes.end());
    }
    return tables;
}

} // namespace

int ByteTable::byteOf(char32_t c) const
{
    if (c < 0x80)
        return static_cast<int>(c);
    const auto found = std::lower_bound(bytes.begin(), bytes.end(), std::pair(c, static_cast<unsigned char>(0)));
    return found != bytes.end() && found->first == c ? found->second : -1;
}

const ByteTable *byteTableOf(std::string_view encoding)
{
    static const std::vector<ByteTable> tables = makeByteTables();
    if (encoding == "iso-8859-8-i")
        encoding = "iso-8859-8"; // the same bytes, only shown in logical order
    for (std::size_t t = 0; t < SingleByte.size(); ++t)
        if (SingleByte[t].encoding == encoding)
            return &tables[t];
    return nullptr;
}

std::optional<Charset> charsetOf(std::string_view encoding)
{
    static constexpr std::pair<std::string_view, Charset> MultiByte[] = {
        {"shift_jis", Charset::ShiftJis}, {"euc-jp", Charset::EucJp}, {"iso-2022-jp", Charset::Iso2022Jp},
        {"gbk", Charset::Gbk},            {"gb18030", Charset::Gb18030}, {"big5", Charset::Big5},
        {"euc-kr", Charset::EucKr},
    };
    for (const auto &[name, charset] : MultiByte)
        if (name == encoding)
            return charset;
    if (encoding != "windows-1252" && byteTableOf(encoding))
        return Charset::SingleByte;
    return std::nullopt;
}

int CharsetDecoder::push(unsigned char byte, std::array<char32_t, 2> &out)
{
    const auto one = [&out](char32_t c) {
        out[0] = c;
        return 1;
    };
    const auto ascii = [](unsigned char b) { return b < 0x80; };
    // Big5 and EUC-KR outside a character: ASCII, or the lead byte of one.
    const auto start = [&] {
        if (ascii(byte))
            return one(byte);
        if (byte >= 0x81 && byte <= 0xFE) {
            m_lead = byte;
            return 0;
        }
        return -1;
    };
    switch (m_charset) {
    case Charset::SingleByte:
        break; // decoded by its table
    case Charset::Iso2022Jp:
        return pushIso2022Jp(byte, out);
    case Charset::ShiftJis:
        if (m_lead != 0) {
            const unsigned lead = std::exchange(m_lead, 0);
            const unsigned offset = byte < 0x7F ? 0x40 : 0x41;
            const unsigned leadOffset = lead < 0xA0 ? 0x81 : 0xC1;
            if ((byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC)) {
                const std::uint32_t pointer = (lead - leadOffset) * 188 + byte - offset;
                if (pointer >= 8836 && pointer <= 10715)
                    return one(0xE000 - 8836 + pointer); // the user-defined area
                if (const char32_t c = at(Jis0208, pointer))
                    return one(c);
            }
            return -1;
        }
        if (byte <= 0x80)
            return one(byte);
        if (byte >= 0xA1 && byte <= 0xDF)
            return one(0xFF61 - 0xA1 + byte);
        if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) {
            m_lead = byte;
            return 0;
        }
        return -1;
    case Charset::EucJp:
        if (m_lead == 0x8E && byte >= 0xA1 && byte <= 0xDF) {
            m_lead = 0;
            return one(0xFF61 - 0xA1 + byte);
        }
        if (m_lead == 0x8F && byte >= 0xA1 && byte <= 0xFE) {
            m_jis0212 = true;
            m_lead = byte;
            return 0;
        }
        if (m_lead != 0) {
            const unsigned lead = std::exchange(m_lead, 0);
            const bool jis0212 = std::exchange(m_jis0212, false);
            if (lead >= 0xA1 && lead <= 0xFE && byte >= 0xA1 && byte <= 0xFE)
                if (const char32_t c = at(jis0212 ? Jis0212 : Jis0208, (lead - 0xA1) * 94 + byte - 0xA1))
                    return one(c);
            return -1;
        }
        if (ascii(byte))
            return one(byte);
        if (byte == 0x8E || byte == 0x8F || (byte >= 0xA1 && byte <= 0xFE)) {
            m_lead = byte;
            return 0;
        }
        return -1;
    case Charset::Gbk:
    case Charset::Gb18030:
        if (m_third != 0) {
            const unsigned first = m_lead;
            const unsigned second = m_second;
            const unsigned third = m_third;
            m_lead = m_second = m_third = 0;
            if (byte < 0x30 || byte > 0x39)
                return -1;
            const char32_t c =
                rangesCodePoint((((first - 0x81) * 10 + second - 0x30) * 126 + third - 0x81) * 10 + byte - 0x30);
            return c != 0 ? one(c) : -1;
        }
        if (m_second != 0) {
            if (byte >= 0x81 && byte <= 0xFE) {
                m_third = byte;
                return 0;
            }
            m_lead = m_second = 0;
            return -1;
        }
        if (m_lead != 0) {
            if (byte >= 0x30 && byte <= 0x39) {
                m_second = byte;
                return 0;
            }
            const unsigned lead = std::exchange(m_lead, 0);
            const unsigned offset = byte < 0x7F ? 0x40 : 0x41;
            if ((byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFE))
                if (const char32_t c = at(Gb18030, (lead - 0x81) * 190 + byte - offset))
                    return one(c);
            return -1;
        }
        if (ascii(byte))
            return one(byte);
        if (byte == 0x80)
            return one(0x20AC);
        if (byte <= 0xFE) {
            m_lead = byte;
            return 0;
        }
        return -1;
    case Charset::Big5:
        if (m_lead != 0) {
            const unsigned lead = std::exchange(m_lead, 0);
            const unsigned offset = byte < 0x7F ? 0x40 : 0x62;
            if ((byte >= 0x40 && byte <= 0x7E) || (byte >= 0xA1 && byte <= 0xFE)) {
                const std::uint32_t pointer = (lead - 0x81) * 157 + byte - offset;
                // Four pointers are a letter with a combining mark, which Unicode has no one character for.
                switch (pointer) {
                case 1133:
                    out = {0xCA, 0x304};
                    return 2;
                case 1135:
                    out = {0xCA, 0x30C};
                    return 2;
                case 1164:
                    out = {0xEA, 0x304};
                    return 2;
                case 1166:
                    out = {0xEA, 0x30C};
                    return 2;
                }
                if (const char32_t c = at(indexes::Big5, pointer))
                    return one(c);
            }
            return -1;
        }
        return start();
    case Charset::EucKr:
        if (m_lead != 0) {
            const unsigned lead = std::exchange(m_lead, 0);
            if (byte >= 0x41 && byte <= 0xFE)
                if (const char32_t c = at(EucKr, (lead - 0x81) * 190 + byte - 0x41))
                    return one(c);
            return -1;
        }
        return start();
    }
    return -1;
}

int CharsetDecoder::pushIso2022Jp(unsigned char byte, std::array<char32_t, 2> &out)
{
    const auto one = [&out](char32_t c) {
        out[0] = c;
        return 1;
    };
    switch (m_shift) {
    case Shift::Ascii:
    case Shift::Roman:
    case Shift::Katakana:
    case Shift::LeadByte:
        if (byte == 0x1B) {
            m_shift = Shift::EscapeStart;
            return 0;
        }
        m_escaped = false;
        if (m_shift == Shift::Ascii && byte < 0x80 && byte != 0x0E && byte != 0x0F)
            return one(byte);
        if (m_shift == Shift::Roman && byte < 0x80 && byte != 0x0E && byte != 0x0F)
            return one(byte == 0x5C ? 0xA5 : byte == 0x7E ? 0x203E : byte);
        if (m_shift == Shift::Katakana && byte >= 0x21 && byte <= 0x5F)
            return one(0xFF61 - 0x21 + byte);
        if (m_shift == Shift::LeadByte && byte >= 0x21 && byte <= 0x7E) {
            m_lead = byte;
            m_shift = Shift::TrailByte;
            return 0;
        }
        return -1;
    case Shift::TrailByte:
        if (byte == 0x1B) {
            m_shift = Shift::EscapeStart;
            return -1;
        }
        m_shift = Shift::LeadByte;
        if (byte >= 0x21 && byte <= 0x7E)
            if (const char32_t c = at(Jis0208, (m_lead - 0x21u) * 94 + byte - 0x21))
                return one(c);
        return -1;
    case Shift::EscapeStart:
        if (byte == 0x24 || byte == 0x28) {
            m_lead = byte;
            m_shift = Shift::Escape;
            return 0;
        }
        m_escaped = false;
        m_shift = m_output;
        return -1;
    case Shift::Escape: {
        const unsigned lead = std::exchange(m_lead, 0);
        std::optional<Shift> to;
        if (lead == 0x28 && byte == 0x42)
            to = Shift::Ascii;
        else if (lead == 0x28 && byte == 0x4A)
            to = Shift::Roman;
        else if (lead == 0x28 && byte == 0x49)
            to = Shift::Katakana;
        else if (lead == 0x24 && (byte == 0x40 || byte == 0x42))
            to = Shift::LeadByte;
        if (!to) {
            m_escaped = false;
            m_shift = m_output;
            return -1;
        }
        m_shift = m_output = *to;
        // Two escape sequences with no character between them show as U+FFFD.
        return std::exchange(m_escaped, true) ? -1 : 0;
    }
    }
    return -1;
}

bool CharsetDecoder::finish()
{
    if (m_charset == Charset::Iso2022Jp)
        return m_shift != Shift::TrailByte && m_shift != Shift::EscapeStart && m_shift != Shift::Escape;
    return m_lead == 0 && m_second == 0 && m_third == 0;
}

bool CharsetEncoder::put(char32_t c, std::string &out)
{
    if (m_charset == Charset::Iso2022Jp)
        return putIso2022Jp(c, out);
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
        return true;
    }
    const std::size_t start = out.size();
    const auto bytes = [&out](std::initializer_list<std::uint32_t> values) {
        for (const std::uint32_t value : values)
            out.push_back(static_cast<char>(value));
    };
    std::int64_t pointer = -1;
    switch (m_charset) {
    case Charset::SingleByte:
    case Charset::Iso2022Jp:
        return false;
    case Charset::ShiftJis:
        if (c == 0x80) {
            bytes({0x80});
        } else if (c >= 0xFF61 && c <= 0xFF9F) {
            bytes({c - 0xFF61 + 0xA1});
        } else {
            pointer = shiftJisPointers().first(c);
            if (pointer < 0)
                return false;
            const auto lead = static_cast<std::uint32_t>(pointer / 188);
            const auto trail = static_cast<std::uint32_t>(pointer % 188);
            bytes({lead + (lead < 0x1F ? 0x81 : 0xC1), trail + (trail < 0x3F ? 0x40 : 0x41)});
        }
        break;
    case Charset::EucJp:
        if (c >= 0xFF61 && c <= 0xFF9F) {
            bytes({0x8E, c - 0xFF61 + 0xA1});
        } else {
            pointer = jis0208Pointers().first(c);
            if (pointer < 0)
                return false;
            bytes({static_cast<std::uint32_t>(pointer / 94 + 0xA1), static_cast<std::uint32_t>(pointer % 94 + 0xA1)});
        }
        break;
    case Charset::Gbk:
    case Charset::Gb18030:
        if (c == 0xE5E5)
            return false;
        if (m_charset == Charset::Gbk && c == 0x20AC) {
            bytes({0x80});
            break;
        }
        pointer = gb18030Pointers().first(c);
        if (pointer >= 0) {
            const auto trail = static_cast<std::uint32_t>(pointer % 190);
            bytes({static_cast<std::uint32_t>(pointer / 190 + 0x81), trail + (trail < 0x3F ? 0x40 : 0x41)});
        } else {
            if (m_charset == Charset::Gbk)
                return false;
            const std::uint32_t p = rangesPointer(c);
            bytes({p / 12600 + 0x81, p % 12600 / 1260 + 0x30, p % 1260 / 10 + 0x81, p % 10 + 0x30});
        }
        break;
    case Charset::Big5: {
        // Of these the standard writes the later of their two pointers.
        const bool later = c == 0x2550 || c == 0x255E || c == 0x2561 || c == 0x256A || c == 0x5341 || c == 0x5345;
        pointer = later ? big5Pointers().last(c) : big5Pointers().first(c);
        if (pointer < 0)
            return false;
        const auto trail = static_cast<std::uint32_t>(pointer % 157);
        bytes({static_cast<std::uint32_t>(pointer / 157 + 0x81), trail + (trail < 0x3F ? 0x40 : 0x62)});
        break;
    }
    case Charset::EucKr:
        pointer = eucKrPointers().first(c);
        if (pointer < 0)
            return false;
        bytes({static_cast<std::uint32_t>(pointer / 190 + 0x81), static_cast<std::uint32_t>(pointer % 190 + 0x41)});
        break;
    }
    // Only bytes that a browser reads back as the same character: else a reference stands for it.
    CharsetDecoder decoder(m_charset);
    std::array<char32_t, 2> read{};
    int count = 0;
    for (std::size_t i = start; i < out.size() && count >= 0; ++i) {
        const int n = decoder.push(static_cast<unsigned char>(out[i]), read);
        count = n < 0 ? -1 : count + n;
    }
    if (count == 1 && read[0] == c && decoder.finish())
        return true;
    out.resize(start);
    return false;
}

void CharsetEncoder::shift(Shift to, std::string &out)
{
    if (m_shift == to)
        return;
    m_shift = to;
    out += to == Shift::Ascii ? "\x1B(B" : to == Shift::Roman ? "\x1B(J" : "\x1B$B";
}

bool CharsetEncoder::putIso2022Jp(char32_t c, std::string &out)
{
    // The reference that stands for a character without bytes is written in ASCII (or Roman).
    const auto none = [this, &out] {
        if (m_shift == Shift::Jis0208)
            shift(Shift::Ascii, out);
        return false;
    };
    if (c == 0x0E || c == 0x0F || c == 0x1B)
        return none(); // the charset's own shift bytes
    if (c < 0x80) {
        if (m_shift != Shift::Roman || c == 0x5C || c == 0x7E)
            shift(Shift::Ascii, out);
        out.push_back(static_cast<char>(c));
        return true;
    }
    if (c == 0xA5 || c == 0x203E) {
        shift(Shift::Roman, out);
        out.push_back(c == 0xA5 ? '\x5C' : '\x7E');
        return true;
    }
    // Only the pointers that two bytes of 0x21 to 0x7E reach.
    const std::int64_t pointer = jis0208Pointers().first(c);
    if (pointer < 0 || pointer >= 94 * 94)
        return none();
    shift(Shift::Jis0208, out);
    out.push_back(static_cast<char>(pointer / 94 + 0x21));
    out.push_back(static_cast<char>(pointer % 94 + 0x21));
    return true;
}

void CharsetEncoder::finish(std::string &out)
{
    if (m_charset == Charset::Iso2022Jp)
        shift(Shift::Ascii, out);
}

} // namespace tagsmith
