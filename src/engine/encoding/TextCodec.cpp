#include "engine/encoding/TextCodec.h"

#include "engine/encoding/CharsetLabels.h"
#include "engine/encoding/Utf8.h"

#include <algorithm>
#include <limits>

namespace tagsmith {
namespace {

constexpr char32_t Replacement = 0xFFFD;

void appendReference(std::string &out, char32_t c)
{
    out += "&#";
    out += std::to_string(static_cast<std::uint32_t>(c));
    out += ';';
}

void appendUtf16(std::string &out, char32_t c, bool bigEndian)
{
    const auto unit = [&out, bigEndian](std::uint32_t u) {
        const char high = static_cast<char>(u >> 8);
        const char low = static_cast<char>(u & 0xFF);
        out.push_back(bigEndian ? high : low);
        out.push_back(bigEndian ? low : high);
    };
    if (c >= 0x10000) {
        c -= 0x10000;
        unit(0xD800 + (c >> 10));
        unit(0xDC00 + (c & 0x3FF));
    } else {
        unit(c);
    }
}

} // namespace

PageMarks TagPositions::pageMarks(const PageMarks &textMarks, std::int64_t pageSize) const
{
    PageMarks marks = textMarks;
    marks.tagEndsKnown = true;
    for (std::size_t k = 0; k < static_cast<std::size_t>(marks.MarkCount); ++k) {
        // Every mark is the "<" of its tag.
        const auto open = std::lower_bound(opens.begin(), opens.end(), std::pair(textMarks.Marks[k], std::int64_t(0)));
        marks.Marks[k] = open != opens.end() ? open->second : pageSize;
        const auto close = std::upper_bound(closeEnds.begin(), closeEnds.end(), marks.Marks[k]);
        marks.tagEnds[k] = close != closeEnds.end() ? *close : std::numeric_limits<std::int64_t>::max();
    }
    marks.Marks[static_cast<std::size_t>(marks.MarkCount)] = pageSize;
    return marks;
}

TextCodec::TextCodec(PageEncoding encoding, std::string_view charset) : m_encoding(encoding)
{
    if (encoding != PageEncoding::Legacy)
        return;
    const std::optional<Charset> known = charsetOf(charset);
    m_known = known.has_value();
    m_charset = known.value_or(Charset::SingleByte);
    m_decoder = CharsetDecoder(m_charset);
    if (m_charset == Charset::SingleByte)
        m_table = byteTableOf(charset);
}

void TextCodec::take(char32_t c, std::int64_t end, std::string &utf8, TagPositions &positions)
{
    if (c == '<') {
        // "<" is one code unit: the last one of what the character took (in ISO-2022-JP an escape
        // sequence before it belongs to the bytes in front of the tag).
        const std::int64_t unit = m_encoding == PageEncoding::Legacy ? 1 : 2;
        positions.opens.emplace_back(m_textOffset, end - unit);
    } else if (c == '>') {
        positions.closeEnds.push_back(end);
    } else if (c == 0xFEFF && m_textOffset == 0 && end <= 4) {
        return; // the byte-order mark is no part of the text
    }
    const std::size_t before = utf8.size();
    appendUtf8(utf8, c);
    m_textOffset += static_cast<std::int64_t>(utf8.size() - before);
}

bool TextCodec::decode(std::string_view bytes, std::string &utf8, TagPositions &positions)
{
    if (m_encoding != PageEncoding::Legacy)
        return decodeUtf16(bytes, utf8, positions);
    return m_table ? decodeSingleByte(bytes, utf8, positions) : decodeMultiByte(bytes, utf8, positions);
}

bool TextCodec::decodeUtf16(std::string_view bytes, std::string &utf8, TagPositions &positions)
{
    const bool bigEndian = m_encoding == PageEncoding::Utf16BE;
    for (const char byte : bytes) {
        ++m_offset;
        if (m_carry < 0) {
            m_carry = static_cast<unsigned char>(byte);
            continue;
        }
        const auto first = static_cast<std::uint32_t>(std::exchange(m_carry, -1));
        const auto second = static_cast<unsigned char>(byte);
        const std::uint32_t unit = bigEndian ? (first << 8 | second) : (second << 8 | first);
        if (m_high >= 0) {
            const auto high = static_cast<std::uint32_t>(m_high);
            m_high = -1;
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                take(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00), m_offset, utf8, positions);
                continue;
            }
            take(Replacement, m_offset - 2, utf8, positions);
        }
        if (unit >= 0xD800 && unit <= 0xDBFF)
            m_high = unit;
        else
            take(unit >= 0xDC00 && unit <= 0xDFFF ? Replacement : unit, m_offset, utf8, positions);
    }
    return true;
}

bool TextCodec::decodeSingleByte(std::string_view bytes, std::string &utf8, TagPositions &positions)
{
    const std::array<char32_t, 256> &table = m_table->characters;
    utf8.reserve(utf8.size() + bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char32_t c = table[static_cast<unsigned char>(bytes[i])];
        if (c < 0x80 && c != '<' && c != '>') {
            // Most characters: ASCII and no bracket, one byte of text.
            utf8.push_back(static_cast<char>(c));
            ++m_textOffset;
            continue;
        }
        if (c == NoCharacter)
            return false; // no character of the charset
        take(c, m_offset + static_cast<std::int64_t>(i) + 1, utf8, positions);
    }
    m_offset += static_cast<std::int64_t>(bytes.size());
    return true;
}

bool TextCodec::decodeMultiByte(std::string_view bytes, std::string &utf8, TagPositions &positions)
{
    std::array<char32_t, 2> characters{};
    for (const char byte : bytes) {
        ++m_offset;
        const int count = m_decoder.push(static_cast<unsigned char>(byte), characters);
        if (count < 0)
            return false; // no character of the charset
        // A character ends at its last byte.
        for (int k = 0; k < count; ++k)
            take(characters[static_cast<std::size_t>(k)], m_offset, utf8, positions);
    }
    return true;
}

bool TextCodec::finishDecoding(std::string &utf8)
{
    if (m_encoding != PageEncoding::Legacy) {
        // Half a code unit, or a high surrogate alone, at the end.
        if (m_carry >= 0 || m_high >= 0)
            appendUtf8(utf8, Replacement);
        m_carry = -1;
        m_high = -1;
        return true;
    }
    return m_table || m_decoder.finish();
}

void TextCodec::encode(std::string_view utf8, std::string &out)
{
    if (m_encoding != PageEncoding::Legacy) {
        for (std::size_t i = 0; i < utf8.size();)
            appendUtf16(out, nextCharacter(utf8, &i), m_encoding == PageEncoding::Utf16BE);
        return;
    }
    if (!m_known)
        return;
    if (m_table) {
        for (std::size_t i = 0; i < utf8.size();) {
            // ASCII is its own bytes in every single-byte charset.
            if (static_cast<unsigned char>(utf8[i]) < 0x80) {
                out.push_back(utf8[i++]);
                continue;
            }
            const char32_t c = nextCharacter(utf8, &i);
            if (const int byte = m_table->byteOf(c); byte >= 0)
                out.push_back(static_cast<char>(byte));
            else
                appendReference(out, c);
        }
        return;
    }
    CharsetEncoder encoder(m_charset);
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = nextCharacter(utf8, &i);
        if (!encoder.put(c, out))
            appendReference(out, c);
    }
    encoder.finish(out);
}

bool decodeText(PageEncoding encoding, std::string_view charset, std::string_view bytes, std::string &utf8)
{
    TextCodec codec(encoding, charset);
    TagPositions positions; // not wanted, but where the codec puts them
    utf8.clear();
    return codec.known() && codec.decode(bytes, utf8, positions) && codec.finishDecoding(utf8);
}

} // namespace tagsmith
