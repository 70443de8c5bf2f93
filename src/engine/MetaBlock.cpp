#include "engine/MetaBlock.h"

#include "engine/AsciiText.h"
#include "engine/WordTable.h"

namespace tagsmith {
namespace {

constexpr std::string_view LineEnd = "\r\n";

std::string utf8(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

MetaBlock::MetaBlock(const RunOptions &options)
    : m_description(utf8(escapeAttributeQuotes(options.siteDescription))), m_revisitMonths(utf8(options.revisitMonths)),
      m_descriptionLine(options.description), m_generatorLine(options.generator), m_robotsLine(options.robots),
      m_revisitLine(options.revisit), m_closedLines(options.topKeywords),
      m_case(!options.caseConversion ? CaseConversion::Keep
             : options.lowerCase     ? CaseConversion::Lower // lower case wins when both are on
             : options.upperCase     ? CaseConversion::Upper
                                     : CaseConversion::Keep)
{
    for (std::size_t i = 0; i < m_templates.size(); ++i)
        m_templates[i] = utf8(options.templates[i]);
}

void MetaBlock::build(const WordTable &words, PageEncoding encoding, std::string &out) const
{
    build(words, encoding, out, std::string_view(m_description));
}

void MetaBlock::build(const WordTable &words, PageEncoding encoding, std::string &out,
                      std::string_view description) const
{
    out.clear();
    if (m_generatorLine) {
        appendEncoded(out, m_templates[7], encoding);
        out += LineEnd;
    }
    if (m_descriptionLine) {
        appendEncoded(out, m_templates[0], encoding);
        appendEncoded(out, description, encoding);
        appendEncoded(out, m_templates[1], encoding);
        out += LineEnd;
    }
    appendEncoded(out, m_templates[2], encoding);
    std::string converted; // a word in the case it is written in
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0)
            out += ", ";
        const std::string_view word = words.row(i);
        // ASCII is the same bytes in every encoding a page may have.
        if (m_case != CaseConversion::Keep && word.size() <= ascii::ShortText) {
            char buffer[ascii::ShortText];
            if (m_case == CaseConversion::Lower ? ascii::convertShort(word, buffer, ascii::lower)
                                                : ascii::convertShort(word, buffer, ascii::upper)) {
                out.append(buffer, word.size());
                continue;
            }
        } else if (ascii::isAscii(word)) {
            if (m_case == CaseConversion::Keep)
                out += word;
            else if (m_case == CaseConversion::Lower)
                ascii::appendConverted(out, word, ascii::lower);
            else
                ascii::appendConverted(out, word, ascii::upper);
            continue;
        }
        converted.clear();
        appendCaseConverted(converted, word, m_case, encoding);
        appendEncoded(out, converted, encoding);
    }
    appendEncoded(out, m_templates[3], encoding);
    out += LineEnd;
    if (m_robotsLine) {
        appendEncoded(out, m_templates[4], encoding);
        out += LineEnd;
    }
    if (m_revisitLine) {
        // NOTE: no line end after the revisit line; the page's own next byte follows it.
        appendEncoded(out, m_templates[5], encoding);
        appendEncoded(out, m_revisitMonths, encoding);
        appendEncoded(out, m_templates[6], encoding);
        if (m_closedLines)
            out += LineEnd;
    }
}

std::string MetaBlock::build(const WordTable &words, PageEncoding encoding) const
{
    std::string out;
    build(words, encoding, out);
    return out;
}

std::string MetaBlock::writtenWord(std::string_view word) const
{
    std::string converted;
    appendCaseConverted(converted, word, m_case, PageEncoding::Utf8);
    return converted;
}

MetaNames MetaBlock::metaNames() const
{
    MetaNames names;
    for (const std::string &text : m_templates) {
        for (const PageEncoding encoding : {PageEncoding::Windows1252, PageEncoding::Utf8}) {
            std::string bytes;
            appendEncoded(bytes, text, encoding);
            names.addNamesFrom(bytes);
        }
    }
    return names;
}

} // namespace tagsmith
