#include "gui/RunReportModel.h"

#include "engine/fs/FileSystem.h"
#include "gui/Module1.h"
#include "text/ReportTexts.h"
#include "text/StringTable.h"

#include <QBrush>
#include <QFont>

#include <algorithm>

namespace tagsmith {
namespace {

// A cell and its tooltip show this much of a keywords line: every word of a large site is too much for
// the screen (and for laying it out at every paint).
constexpr qsizetype TextShown = 1000;
constexpr int ColumnCount = 12;

QString text(int id)
{
    return loadString(id + Module1::LangOffset).value_or(QString());
}

QString shown(const QString &text)
{
    return text.size() > TextShown ? text.left(TextShown) + QStringLiteral("…") : text;
}

// Only the start of a long keywords line is decoded: each UTF-16 unit takes at most three of its bytes,
// so a cut in the middle of a character falls after the part shown.
QString shown(QByteArrayView utf8)
{
    const qsizetype enough = (TextShown + 1) * 3 + 3;
    return shown(QString::fromUtf8(utf8.first(std::min(utf8.size(), enough))));
}

QVariant textCell(const QString &shownText, int role)
{
    if (role == Qt::DisplayRole)
        return shownText;
    // As rich text, so that a long text wraps in its tooltip.
    if (role == Qt::ToolTipRole && !shownText.isEmpty())
        return QStringLiteral("<p>%1</p>").arg(shownText.toHtmlEscaped());
    return {};
}

QVariant numberCell(qint64 n, bool filled, int role)
{
    if (role == Qt::DisplayRole && filled)
        return n;
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

} // namespace

int RunReportModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_report.pages.size());
}

int RunReportModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

Qt::ItemFlags RunReportModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

QVariant RunReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    using namespace ids::report;
    if (section == KeywordsColumn)
        return text(ids::report::KeywordsColumn);
    if (section == DescriptionColumn)
        return text(ids::report::DescriptionColumn);
    if (section == SourceColumn)
        return text(ids::report::DescriptionSourceColumn);
    if (section == ChecksColumn)
        return text(ids::report::ChecksColumn);
    return text(FirstColumn + (section < KeywordsColumn ? section : section - 2));
}

QVariant RunReportModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const PageReport &page = m_report.pages[std::size_t(index.row())];
    const bool reached = page.outcome != PageOutcome::NotReached;
    const bool read = reached && !page.siteFile; // a site file has no words
    switch (index.column()) {
    case 0:
        return pageCell(page, index.row(), role);
    case 1:
        if (role == Qt::DisplayRole)
            return encodingName(page);
        if (role == Qt::ToolTipRole && page.encodingNote != EncodingNote::None)
            return text(page.encodingNote == EncodingNote::NotDecoded ? ids::CharsetNotDecoded : ids::CharsetUnknown)
                .arg(page.charset);
        return {};
    case 2:
        return outcomeCell(page, role);
    case KeywordsColumn:
        return role == Qt::DisplayRole || role == Qt::ToolTipRole ? textCell(shown(page.keywords.view()), role)
                                                                  : QVariant();
    case DescriptionColumn:
        return role == Qt::DisplayRole || role == Qt::ToolTipRole ? textCell(shown(page.description), role)
                                                                  : QVariant();
    case 5:
        return numberCell(page.wordsFound, read, role);
    case 6:
        return numberCell(page.keywordsWritten, page.hasBlock(), role);
    case 7:
        if (role == Qt::DisplayRole)
            return page.BackupPath.isEmpty() ? QString()
                                             : fs::withReplacements(fs::relativePath(m_report.folder, page.BackupPath));
        return {};
    case 8:
        return numberCell(page.bytesBefore, reached, role);
    case 9:
        return numberCell(page.bytesAfter, page.hasBytesAfter(), role);
    case SourceColumn:
        if (role == Qt::DisplayRole && page.hasBlock()) {
            // In the order of DescriptionSource after None: own tag, page text, text given; none last.
            const int source = int(page.descriptionSource);
            return text(ids::report::FirstDescriptionSource + (source == 0 ? 3 : source - 1));
        }
        return {};
    case ChecksColumn:
        return role == Qt::DisplayRole || role == Qt::ToolTipRole ? textCell(checksText(page), role) : QVariant();
    default:
        return {};
    }
}

QVariant RunReportModel::pageCell(const PageReport &page, int row, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
        // A byte of the name that is not UTF-8 shows as the replacement character here; the CSV keeps it.
        return page.OnMainPage ? QStringLiteral("%1  (%2)")
                                     .arg(fs::withReplacements(page.relativePath), text(ids::report::MainPage))
                               : fs::withReplacements(page.relativePath);
    case ProblemRole:
        return page.isWarning() || page.isError() ? QStringLiteral("1") : QStringLiteral("0");
    case FilterRole: {
        QString filter;
        if (page.isWarning() || page.isError())
            filter += QLatin1Char('p');
        if (page.checks != 0)
            filter += QLatin1Char('c');
        return filter.isEmpty() ? QStringLiteral("-") : filter;
    }
    case RowRole:
        return row;
    case Qt::ToolTipRole:
        return fs::withReplacements(page.PagePath);
    case Qt::FontRole:
        if (page.OnMainPage) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

QString RunReportModel::checksText(const PageReport &page)
{
    QStringList checks;
    for (int bit = 0; bit < pagecheck::Count; ++bit)
        if (page.checks & (1u << bit))
            checks << text(ids::report::Checks[bit]);
    return checks.join(QStringLiteral(", "));
}

QVariant RunReportModel::outcomeCell(const PageReport &page, int role) const
{
    switch (role) {
    case Qt::DisplayRole: {
        if (page.outcome == PageOutcome::Unchanged)
            return text(ids::Unchanged);
        if (page.siteFile && (page.outcome == PageOutcome::Created || page.outcome == PageOutcome::Replaced))
            return text(page.outcome == PageOutcome::Created ? ids::report::FileCreated : ids::report::FileChanged);
        const QString outcome = text(ids::report::FirstOutcome + int(page.outcome));
        if (page.outcome == PageOutcome::Failed)
            return outcome.arg(fileErrorText(page.fileError, Module1::LangOffset));
        return outcome;
    }
    case Qt::ForegroundRole:
        if (page.isError())
            return QBrush(QColor(0xb0, 0x00, 0x20));
        if (page.isWarning())
            return QBrush(QColor(0x9a, 0x5b, 0x00));
        return {};
    case Qt::ToolTipRole:
        // What failed: the page, or its folder or backup.
        if (page.isError())
            return fs::withReplacements(page.failedPath.isEmpty() ? page.PagePath : page.failedPath);
        return {};
    default:
        return {};
    }
}

void RunReportModel::relocalise()
{
    beginResetModel();
    endResetModel();
}

} // namespace tagsmith
