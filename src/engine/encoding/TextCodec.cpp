#include "engine/encoding/TextCodec.h"

#include "engine/encoding/CharsetLabels.h"
#include "engine/encoding/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <map>
#include <mutex>

#include <iconv.h>

namespace tagsmith {
namespace {

constexpr char32_t Replacement = 0xFFFD;
constexpr char32_t NoCharacter = 0xFFFFFFFF; // beyond Unicode
const auto NoConverter = reinterpret_cast<iconv_t>(-1);

iconv_t converter(void *handle)
{
    return static_cast<iconv_t>(handle);
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
    const char *name = iconvNameOf(charset);
    m_name = name;
    m_known = name != nullptr;
    if (!m_known)
        return;
    iconv_t decoder = iconv_open("UTF-32LE", name);
    iconv_t encoder = iconv_open(name, "UTF-8");
    m_known = decoder != NoConverter && encoder != NoConverter;
    m_decoder = decoder == NoConverter ? nullptr : decoder;
    m_encoder = encoder == NoConverter ? nullptr : encoder;
}

const TextCodec::ByteTable *TextCodec::byteTable()
{
    if (m_bytesTried)
        return m_bytes.get();
    m_bytesTried = true;
    if (!m_decoder)
        return nullptr;
    // Reading threads decode pages of the same charsets: each table is made once, by the first.
    static std::mutex lock;
    static std::map<std::string, std::shared_ptr<const ByteTable>, std::less<>> tables;
    const std::lock_guard guard(lock);
    const auto found = tables.find(std::string_view(m_name));
    if (found != tables.end()) {
        m_bytes = found->second;
        return m_bytes.get();
    }
    m_bytes = makeByteTable();
    tables.emplace(m_name, m_bytes); // null for a charset that has none
    return m_bytes.get();
}

std::shared_ptr<const TextCodec::ByteTable> TextCodec::makeByteTable()
{
    // Each byte alone, from the initial state: a charset where every byte is one character or none
    // (and nothing waits for a next byte) is decoded by the table, without a call a character.
    auto bytes = std::make_shared<ByteTable>();
    std::array<char32_t, 256> *table = &bytes->characters;
    const iconv_t decoder = converter(m_decoder);
    bool single = true;
    for (std::size_t b = 0; b < table->size() && single; ++b) {
        iconv(decoder, nullptr, nullptr, nullptr, nullptr);
        char byte = static_cast<char>(b);
        char *in = &byte;
        std::size_t inLeft = 1;
        unsigned char units[16];
        char *out = reinterpret_cast<char *>(units);
        std::size_t outLeft = sizeof units;
        const std::size_t result = iconv(decoder, &in, &inLeft, &out, &outLeft);
        const int err = errno;
        // What a character waits for comes out now (windows-1258 holds a letter for its accent).
        iconv(decoder, nullptr, nullptr, &out, &outLeft);
        const std::size_t made = sizeof units - outLeft;
        if (result == static_cast<std::size_t>(-1) && err == EILSEQ && made == 0)
            (*table)[b] = NoCharacter;
        else if (result != static_cast<std::size_t>(-1) && inLeft == 0 && made == 4)
            (*table)[b] = units[0] | units[1] << 8 | units[2] << 16 | static_cast<char32_t>(units[3]) << 24;
        else
            single = false;
    }
    iconv(decoder, nullptr, nullptr, nullptr, nullptr);
    if (!single)
        return nullptr;
    bytes->asciiAsIs = true;
    for (std::size_t b = 0; b < table->size(); ++b)
        if ((b < 0x80) != ((*table)[b] < 0x80) || (b < 0x80 && (*table)[b] != b))
            bytes->asciiAsIs = false;
    return bytes;
}

TextCodec::~TextCodec()
{
    if (m_decoder)
        iconv_close(converter(m_decoder));
    if (m_encoder)
        iconv_close(converter(m_encoder));
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
    return m_encoding == PageEncoding::Legacy ? decodeCharset(bytes, utf8, positions)
                                              : decodeUtf16(bytes, utf8, positions);
}

bool TextCodec::decodeUtf16(std::string_view bytes, std::string &utf8, TagPositions &positions)
{
    const bool bigEndian = m_encoding == PageEncoding::Utf16BE;
    for (const char byte : bytes) {
        ++m_offset;
        if (m_carry.empty()) {
            m_carry.push_back(byte);
            continue;
        }
        const auto first = static_cast<unsigned char>(m_carry[0]);
        const auto second = static_cast<unsigned char>(byte);
        m_carry.clear();
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

bool TextCodec::decodeCharset(std::string_view bytes, std::string &utf8, TagPositions &positions)
{
    if (const ByteTable *bytesTable = byteTable()) {
        const std::array<char32_t, 256> &table = bytesTable->characters;
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
    // A character cut by the end of the last block goes on here.
    std::string joined;
    std::string_view input = bytes;
    if (!m_carry.empty()) {
        joined = m_carry;
        joined.append(bytes);
        input = joined;
    }
    const std::int64_t inputOffset = m_offset - static_cast<std::int64_t>(m_carry.size());
    m_offset += static_cast<std::int64_t>(bytes.size());
    m_carry.clear();

    // One character a call, so that the bytes of each one are known. Each call sees a few bytes only:
    // given all the rest, iconv converts all of it and then, the output having room for one
    // character, converts it again up to that character, every time (a page in KOI8-R took 50 ms).
    char *in = const_cast<char *>(input.data());
    std::size_t inLeft = input.size();
    constexpr std::size_t Window = 8;
    while (inLeft > 0) {
        unsigned char units[16];
        std::size_t room = 4;
        std::size_t window = Window;
        std::size_t result = 0;
        std::size_t made = 0;
        int err = 0;
        for (;;) {
            char *out = reinterpret_cast<char *>(units);
            std::size_t outLeft = room;
            const std::size_t shown = std::min(window, inLeft);
            std::size_t shownLeft = shown;
            result = iconv(converter(m_decoder), &in, &shownLeft, &out, &outLeft);
            err = errno;
            made = room - outLeft;
            const bool cutByWindow = shown < inLeft;
            inLeft -= shown - shownLeft;
            // A few sequences (in Big5-HKSCS) are two characters.
            if (result == static_cast<std::size_t>(-1) && err == E2BIG && made == 0 && room < sizeof units) {
                room = sizeof units;
                continue;
            }
            // A character or shift sequence longer than the bytes shown: show more.
            if (result == static_cast<std::size_t>(-1) && err == EINVAL && made == 0 && cutByWindow) {
                window *= 2;
                continue;
            }
            break;
        }
        const std::int64_t end = inputOffset + (in - input.data());
        for (std::size_t i = 0; i + 4 <= made; i += 4)
            take(units[i] | units[i + 1] << 8 | units[i + 2] << 16 | static_cast<char32_t>(units[i + 3]) << 24, end,
                 utf8, positions);
        if (made > 0 || result != static_cast<std::size_t>(-1))
            continue; // (with nothing made and no failure, only shift sequences were left)
        if (err == EINVAL) {
            m_carry.assign(in, inLeft);
            break;
        }
        return false; // no character of the charset
    }
    return true;
}

bool TextCodec::finishDecoding(std::string &utf8)
{
    if (m_encoding != PageEncoding::Legacy) {
        // Half a code unit, or a high surrogate alone, at the end.
        if (!m_carry.empty() || m_high >= 0)
            appendUtf8(utf8, Replacement);
        m_carry.clear();
        m_high = -1;
        return true;
    }
    const bool whole = m_carry.empty();
    m_carry.clear();
    iconv(converter(m_decoder), nullptr, nullptr, nullptr, nullptr);
    return whole;
}

void TextCodec::encode(std::string_view utf8, std::string &out)
{
    if (m_encoding != PageEncoding::Legacy) {
        for (std::size_t i = 0; i < utf8.size();)
            appendUtf16(out, nextCharacter(utf8, &i), m_encoding == PageEncoding::Utf16BE);
        return;
    }
    if (!m_encoder)
        return;
    const ByteTable *table = byteTable();
    if (!table || !table->asciiAsIs) {
        encodeByCalls(utf8, out);
        return;
    }
    // ASCII goes as it is; only the runs of other characters need iconv. (A run ends at an ASCII
    // byte, which no byte of a multi-byte character is, so it holds whole characters.)
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t end = i;
        while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) < 0x80)
            ++end;
        out.append(utf8.substr(i, end - i));
        for (i = end; end < utf8.size() && static_cast<unsigned char>(utf8[end]) >= 0x80;)
            ++end;
        if (end > i)
            encodeByCalls(utf8.substr(i, end - i), out);
        i = end;
    }
}

void TextCodec::encodeByCalls(std::string_view utf8, std::string &out)
{
    char *in = const_cast<char *>(utf8.data());
    std::size_t inLeft = utf8.size();
    // Each call sees a piece of the text that its output always has room for: given all the rest,
    // iconv converts all of it and, when the output is full, converts it again up to there, so a
    // long keywords line took time by the square of its length.
    constexpr std::size_t Piece = 256;
    char buffer[Piece * 16];
    for (;;) {
        char *to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t shown = std::min(Piece, inLeft);
        std::size_t shownLeft = shown;
        const std::size_t result = inLeft > 0 ? iconv(converter(m_encoder), &in, &shownLeft, &to, &toLeft)
                                              : iconv(converter(m_encoder), nullptr, nullptr, &to, &toLeft);
        const int err = errno;
        const bool cutByPiece = shown < inLeft;
        inLeft -= shown - shownLeft;
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (result != static_cast<std::size_t>(-1)) {
            if (inLeft == 0 && to == buffer)
                break; // the shift state is back at its start
            continue;
        }
        // Output full, or a character cut by the end of the piece: the next call goes on from there.
        if (err == E2BIG || (err == EINVAL && cutByPiece))
            continue;
        // A character the charset lacks (or a broken sequence of our own text, written as U+FFFD). The
        // reference is ASCII, so a charset that shifts (ISO-2022-JP) shifts back first.
        to = buffer;
        toLeft = sizeof buffer;
        iconv(converter(m_encoder), nullptr, nullptr, &to, &toLeft);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        std::size_t at = static_cast<std::size_t>(in - utf8.data());
        const char32_t c = nextCharacter(utf8, &at);
        out += "&#";
        out += std::to_string(static_cast<std::uint32_t>(c));
        out += ';';
        in = const_cast<char *>(utf8.data()) + at;
        inLeft = utf8.size() - at;
    }
}

bool decodeText(PageEncoding encoding, std::string_view charset, std::string_view bytes, std::string &utf8)
{
    TextCodec codec(encoding, charset);
    TagPositions positions; // not wanted, but where the codec puts them
    utf8.clear();
    return codec.known() && codec.decode(bytes, utf8, positions) && codec.finishDecoding(utf8);
}

} // namespace tagsmith
