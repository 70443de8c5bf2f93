#pragma once

#include "engine/run/RunReport.h"

#include <QAbstractTableModel>

namespace tagsmith {

// The pages of a run report as the rows of its window's table. Every cell is made from the report
// when the view asks for it, in the language of Module1::LangOffset at that moment: a site of many
// thousand pages keeps its report once, not again as texts of a table.
class RunReportModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int ProblemRole = Qt::UserRole + 1; // "1" for a page with a warning or an error
    static constexpr int RowRole = Qt::UserRole + 2;     // the page's row in the report
    // "p" for a page with a warning or an error, "c" for one whose title or description to check,
    // "pc" for both, "-" for neither.
    static constexpr int FilterRole = Qt::UserRole + 3;
    static constexpr int KeywordsColumn = 3;
    static constexpr int DescriptionColumn = 4;
    static constexpr int SourceColumn = 10;
    static constexpr int ChecksColumn = 11;

    RunReportModel(const RunReport &report, QObject *parent) : QAbstractTableModel(parent), m_report(report) {}

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The language changed: every heading and cell anew.
    void relocalise();

private:
    QVariant pageCell(const PageReport &page, int row, int role) const;
    QVariant outcomeCell(const PageReport &page, int role) const;
    static QString checksText(const PageReport &page);

    const RunReport &m_report;
};

} // namespace tagsmith
