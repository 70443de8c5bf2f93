#include "engine/page/MetaBlock.h"

#include "engine/encoding/AsciiText.h"
#include "engine/encoding/TextCodec.h"
#include "engine/page/PageContent.h"
#include "engine/words/WordTable.h"

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
      m_revisitLine(options.revisit), m_sharing(!options.siteUrl.isEmpty()),
      m_closedLines(options.topKeywords || m_sharing),
      m_case(!options.caseConversion ? CaseConversion::Keep
             : options.lowerCase     ? CaseConversion::Lower // lower case wins when both are on
             : options.upperCase     ? CaseConversion::Upper
                                     : CaseConversion::Keep)
{
    for (std::size_t i = 0; i < m_templates.size(); ++i)
        m_templates[i] = utf8(options.templates[i]);
}

MetaBlock::KeywordsPlace MetaBlock::build(const WordTable &words, PageEncoding encoding, std::string &out) const
{
    return build(words, encoding, out, std::string_view(m_description));
}

MetaBlock::KeywordsPlace MetaBlock::build(const WordTable &words, PageEncoding encoding, std::string &out,
                                          const PageShare *share) const
{
    return build(words, encoding, out, std::string_view(m_description), share);
}

MetaBlock::KeywordsPlace MetaBlock::build(const WordTable &words, PageEncoding encoding, std::string &out,
                                          std::string_view description, const PageShare *share) const
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
    KeywordsPlace keywords;
    keywords.at = out.size();
    keywords.asUtf8 = appendKeywords(words, encoding, out) || encoding == PageEncoding::Utf8;
    keywords.size = out.size() - keywords.at;
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
    if (share && m_sharing) {
        std::string lines;
        appendSharing(*share, m_descriptionLine ? description : std::string_view(), lines);
        appendEncoded(out, lines, encoding);
    }
    return keywords;
}

void MetaBlock::appendSharing(const PageShare &share, std::string_view description, std::string &out) const
{
    if (share.canonical) {
        out += BlockCanonicalLink;
        out += escapeAttribute(share.url);
        out += "\">";
        out += LineEnd;
    }
    // NOTE: each Open Graph tag has a NAME as well as its PROPERTY: readers go by the property, and
    // the name makes a rerun replace the tag as it replaces the block's other META NAME tags.
    const auto property = [&](std::string_view name, std::string_view value, bool pageText) {
        if (value.empty() || share.hasOwnProperty(name))
            return;
        out += "<META NAME=\"";
        out += name;
        out += "\" PROPERTY=\"";
        out += name;
        out += "\" CONTENT=\"";
        // A title keeps its references.
        out += pageText ? escapeAttribute(value, true) : std::string(value);
        out += "\">";
        out += LineEnd;
    };
    property("og:type", share.website ? "website" : "article", false);
    property("og:title", share.title, true);
    property("og:description", description, false);
    property("og:url", escapeAttribute(share.url), false);
    property("og:site_name", share.siteName, true);
    property("og:locale", share.locale, false);
    property("og:image", escapeAttribute(share.image), false);
    if (!share.hasOwnProperty("twitter:card")) {
        out += "<META NAME=\"twitter:card\" CONTENT=\"";
        out += share.image.empty() ? "summary" : "summary_large_image";
        out += "\">";
        out += LineEnd;
    }
}

void MetaBlock::build(const WordTable &words, PageEncoding encoding, std::string_view charset, std::string &out) const
{
    if (!isDecoded(encoding)) {
        build(words, encoding, out);
        return;
    }
    std::string text;
    // Case is converted by every mapping Unicode has: the charset writes what it cannot hold as a
    // reference.
    build(words, encoding, text);
    out.clear();
    TextCodec(encoding, charset).encode(text, out);
}

std::string MetaBlock::build(const WordTable &words, PageEncoding encoding) const
{
    std::string out;
    build(words, encoding, out);
    return out;
}

bool MetaBlock::appendKeywords(const WordTable &words, PageEncoding encoding, std::string &out) const
{
    // The line is made in a buffer on the stack and goes to out a few kilobytes at a time: appending
    // every word and every comma to out cost more than copying them.
    char buffer[4096];
    std::size_t used = 0;
    const auto flush = [&] {
        out.append(buffer, used);
        used = 0;
    };
    const auto put = [&](std::string_view text) {
        if (text.size() > sizeof buffer - used) {
            flush();
            if (text.size() > sizeof buffer) {
                out += text;
                return;
            }
        }
        ascii::copyBytes(buffer + used, text.data(), text.size());
        used += text.size();
    };
    // The separator before every keyword but the first, and the keyword: into the buffer at once
    // when they fit (most keywords), else piece by piece.
    bool first = true;
    const auto putKeyword = [&](std::string_view text) {
        const std::size_t separator = first ? 0 : 2;
        first = false;
        if (separator + text.size() > sizeof buffer - used) {
            if (separator)
                put(", ");
            put(text);
            return;
        }
        if (separator) {
            buffer[used] = ',';
            buffer[used + 1] = ' ';
        }
        ascii::copyBytes(buffer + used + separator, text.data(), text.size());
        used += separator + text.size();
    };
    std::string converted; // a word in the case it is written in
    bool allAscii = true;
    words.forEachRow([&](std::string_view word, std::string_view key) {
        // ASCII is the same bytes in every encoding a page may have, and an ASCII word's key is the
        // word in lower case.
        if (ascii::isAscii(word)) {
            if (m_case != CaseConversion::Upper) {
                putKeyword(m_case == CaseConversion::Lower ? key : word);
                return;
            }
            converted.clear();
            ascii::appendConverted(converted, key, ascii::upper);
            putKeyword(converted);
            return;
        }
        allAscii = false;
        putKeyword({}); // the separator only: the word goes in the page's encoding
        converted.clear();
        appendCaseConverted(converted, word, m_case, encoding);
        flush();
        appendEncoded(out, converted, encoding);
    });
    flush();
    return allAscii;
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
    if (m_sharing)
        names.addSharingNames();
    return names;
}

} // namespace tagsmith
