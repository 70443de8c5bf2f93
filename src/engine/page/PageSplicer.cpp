#include "engine/page/PageSplicer.h"

#include <algorithm>
#include <cstring>

namespace tagsmith {

PageSplicer::PageSplicer(const PageMarks &marks, std::string_view block, ByteSink &sink, bool dropLineBreaks)
    : m_marks(marks), m_block(block), m_sink(sink), m_dropLineBreaks(dropLineBreaks)
{
    if (m_marks.MarkCount > 0 && m_marks.Marks[0] == 0) {
        m_inPrefix = false;
        m_sink.write(m_block);
        startSegment(0);
    }
}

void PageSplicer::startSegment(std::size_t k)
{
    m_segment = k;
    m_dropping = !(k == 0 && m_marks.headMark);
    m_lineBreak = LineBreak::None;
}

void PageSplicer::writeAfterTag(std::string_view bytes)
{
    while (m_lineBreak != LineBreak::None && !bytes.empty()) {
        const char first = bytes.front();
        if (m_lineBreak == LineBreak::AfterTag && first == '\r') {
            m_lineBreak = LineBreak::AfterCarriageReturn;
            bytes.remove_prefix(1);
            continue;
        }
        if (first == '\n')
            bytes.remove_prefix(1);
        m_lineBreak = LineBreak::None;
    }
    if (!bytes.empty())
        m_sink.write(bytes);
}

void PageSplicer::feed(std::string_view bytes)
{
    const std::int64_t endMark = m_marks.endMark();
    while (!bytes.empty() && m_position < endMark) {
        // Bytes up to the next mark (or the end mark) belong to the current stretch.
        const std::int64_t limit =
            m_inPrefix ? (m_marks.MarkCount > 0 ? m_marks.Marks[0] : endMark) : m_marks.Marks[m_segment + 1];
        const auto take = static_cast<std::size_t>(
            std::min<std::int64_t>(limit - m_position, static_cast<std::int64_t>(bytes.size())));
        std::string_view piece = bytes.substr(0, take);
        if (m_dropping) {
            std::size_t skipped = std::string_view::npos;
            if (m_marks.tagEndsKnown) {
                const std::int64_t tagEnd = m_marks.tagEnds[m_segment];
                if (tagEnd <= m_position + static_cast<std::int64_t>(take))
                    skipped = static_cast<std::size_t>(tagEnd - m_position);
            } else if (const void *close = std::memchr(piece.data(), '>', piece.size())) {
                skipped = static_cast<std::size_t>(static_cast<const char *>(close) - piece.data()) + 1;
            }
            if (skipped != std::string_view::npos) {
                m_dropping = false;
                if (m_dropLineBreaks)
                    m_lineBreak = LineBreak::AfterTag;
                writeAfterTag(piece.substr(skipped));
            }
        } else {
            writeAfterTag(piece);
        }
        m_position += static_cast<std::int64_t>(take);
        bytes.remove_prefix(take);
        if (m_position == limit && limit != endMark) {
            if (m_inPrefix) {
                m_inPrefix = false;
                m_sink.write(m_block);
                startSegment(0);
            } else {
                startSegment(m_segment + 1);
            }
        }
    }
}

bool PageSplicer::finish()
{
    if (m_position != m_marks.endMark())
        return false;
    if (m_marks.MarkCount == 0)
        m_sink.write(m_block);
    return true;
}

std::string rewritePage(std::string_view bytes, const PageMarks &marks, std::string_view block, bool dropLineBreaks)
{
    std::string out;
    out.reserve(bytes.size() + block.size());
    StringSink sink(out);
    PageSplicer splicer(marks, block, sink, dropLineBreaks);
    splicer.feed(bytes);
    splicer.finish();
    return out;
}

} // namespace tagsmith
