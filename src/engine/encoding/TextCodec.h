#pragma once

#include "engine/core/PageMarks.h"
#include "engine/encoding/LegacyCharsets.h"
#include "engine/encoding/PageText.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tagsmith {

// Where the tags of a page that is read through a decoder stand among its bytes. The page is scanned
// as the UTF-8 text it decodes to, but cut and copied as its own bytes, so the marks found in the
// text are taken back to the bytes through these.
struct TagPositions
{
    // Each "<": its offset in the text and in the page.
    std::vector<std::pair<std::int64_t, std::int64_t>> opens;
    // Each ">": the offset in the page of the byte after it.
    std::vector<std::int64_t> closeEnds;

    void clear()
    {
        opens.clear();
        closeEnds.clear();
    }
    // The marks found in the text as offsets in the page of pageSize bytes, with the end of each
    // marked tag (a byte ">" need not be a ">" there).
    PageMarks pageMarks(const PageMarks &textMarks, std::int64_t pageSize) const;
};

// Reads and writes the text of a page in UTF-16 (either byte order) or in a legacy charset, as a
// browser reads it. Not for UTF-8 and Windows-1252 pages, which are scanned as bytes.
class TextCodec
{
public:
    // charset: the encoding's name as the label table gives it ("koi8-r"), for PageEncoding::Legacy.
    TextCodec(PageEncoding encoding, std::string_view charset);

    // False for a charset that is not decoded ("replacement", which browsers refuse to show).
    bool known() const { return m_known; }

    // Decodes the page, fed its bytes in blocks of any size, in order: the text goes to utf8 as
    // UTF-8 (a byte-order mark left out) and where its tags stand to positions. False at bytes that
    // are no character of the charset (where a browser shows U+FFFD); a UTF-16 page has none (a
    // broken code unit gives U+FFFD, as a browser shows it).
    bool decode(std::string_view bytes, std::string &utf8, TagPositions &positions);
    // After the last byte: false when the page ends inside a character of a charset.
    bool finishDecoding(std::string &utf8);

    // Appends a UTF-8 text in the codec's encoding; a character the charset cannot hold (no bytes of
    // it decode back to the character) becomes a numeric character reference ("&#1046;").
    void encode(std::string_view utf8, std::string &out);

private:
    void take(char32_t c, std::int64_t end, std::string &utf8, TagPositions &positions);
    bool decodeUtf16(std::string_view bytes, std::string &utf8, TagPositions &positions);
    bool decodeSingleByte(std::string_view bytes, std::string &utf8, TagPositions &positions);
    bool decodeMultiByte(std::string_view bytes, std::string &utf8, TagPositions &positions);

    PageEncoding m_encoding;
    bool m_known = true;
    Charset m_charset = Charset::SingleByte;
    const ByteTable *m_table = nullptr; // of a single-byte charset
    CharsetDecoder m_decoder{Charset::SingleByte};
    std::int64_t m_offset = 0;     // in the page, of the next byte fed
    std::int64_t m_textOffset = 0; // in the text, of the next character
    int m_carry = -1;              // UTF-16: the first byte of a code unit cut by the end of a block
    std::int64_t m_high = -1;      // a UTF-16 high surrogate waiting for its low one
};

// The text of a whole page in UTF-16 or a charset as UTF-8 (its byte-order mark left out), as the scan
// reads it; false when the bytes do not decode in the charset, or the charset is not decoded.
bool decodeText(PageEncoding encoding, std::string_view charset, std::string_view bytes, std::string &utf8);

} // namespace tagsmith
