#pragma once

#include "engine/core/PageMarks.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tagsmith {

// Where the new page's bytes go, a block at a time.
class ByteSink
{
public:
    virtual ~ByteSink() = default;
    virtual void write(std::string_view bytes) = 0;
    // The same as write() of each piece in order, where a sink can do better at once.
    virtual void writePieces(std::span<const std::string_view> pieces)
    {
        for (const std::string_view piece : pieces)
            write(piece);
    }
};

// Appends what is written to it to a text.
class StringSink : public ByteSink
{
public:
    explicit StringSink(std::string &out) : m_out(out) {}
    void write(std::string_view bytes) override { m_out.append(bytes); }

private:
    std::string &m_out;
};

// Writes the new page from the old one, fed in blocks of any size, in order: the page up to the
// first mark, the META block, then every segment between two marks without its marked tag (from its
// "<" through the first ">" after it; a segment without ">" goes whole). After a head mark the page
// goes on unchanged. A page without a mark is followed by the block.
//
// With dropLineBreaks a marked tag goes together with the line break right after it (CR LF, LF or
// CR), so that a block whose every line ends in a line break replaces an earlier block byte for byte.
class PageSplicer
{
public:
    PageSplicer(const PageMarks &marks, std::string_view block, ByteSink &sink, bool dropLineBreaks = false);

    void feed(std::string_view bytes);
    // After the last byte. False when fewer bytes came than the end mark says.
    bool finish();

private:
    void startSegment(std::size_t k);
    // Writes bytes that follow a dropped tag, less the line break that may start them.
    void writeAfterTag(std::string_view bytes);

    const PageMarks &m_marks;
    std::string_view m_block;
    ByteSink &m_sink;
    std::int64_t m_position = 0;
    std::size_t m_segment = 0; // number of the mark that starts the current segment
    bool m_inPrefix = true;    // before the first mark
    bool m_dropping = false;   // inside a marked tag, up to its ">"
    bool m_dropLineBreaks;
    enum class LineBreak : std::uint8_t { None, AfterTag, AfterCarriageReturn } m_lineBreak = LineBreak::None;
};

// The whole rewrite in memory: the new page for the old page's bytes, its marks and the META block.
std::string rewritePage(std::string_view bytes, const PageMarks &marks, std::string_view block,
                        bool dropLineBreaks = false);

} // namespace tagsmith
