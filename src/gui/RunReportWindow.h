#pragma once

#include "engine/run/RunReport.h"

#include <QWidget>

#include <map>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTextEdit;

namespace tagsmith {

// One page's change as two columns of lines beside each other, as a side-by-side diff shows it: the
// unchanged lines around the META block on both sides, a removed line on the left only, an added one
// on the right only, and a row with neither between two parts of the page that are apart.
struct SideBySide
{
    enum class Mark {
        Same,
        Removed,
        Added,
        Gap, // no line on this side, or the lines left out between two parts
    };
    struct Line
    {
        qint64 number = 0; // 0 for a row without a line
        QString text;
        Mark mark = Mark::Same;
    };
    std::vector<std::pair<Line, Line>> rows;

    // From a page's bytes before and after, read in the encoding the run read the page in (charset: the
    // one it declares, for PageEncoding::Legacy).
    static SideBySide of(std::string_view before, std::string_view after, PageEncoding encoding,
                         std::string_view charset = {});
};

// The report of a run, after every run that started, and of a dry run for the "Preview…" button:
// the totals in one sentence, a table of the pages (sortable, optionally only those with a warning
// or an error), "Save as CSV…", and a double click that opens a page in the default browser. The
// preview shows beside it the change of the selected page. Follows the language of the program.
class RunReportModel;

class RunReportWindow : public QWidget
{
    Q_OBJECT
public:
    // changes: for a preview, the change of each page by its row in the report.
    RunReportWindow(RunReport report, std::map<std::size_t, SideBySide> changes, QWidget *parent);

    // Shows the window for the report, in place of the one open before.
    static RunReportWindow *showReport(RunReport report, std::map<std::size_t, SideBySide> changes, QWidget *parent);
    // The open one, or nullptr.
    static RunReportWindow *current();

    // The texts in the language of Module1::LangOffset.
    void localise();

    const RunReport &report() const { return m_report; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fillTable();
    void showChange();
    void openPage(const QModelIndex &index);
    void saveCsv();

    RunReport m_report;
    std::map<std::size_t, SideBySide> m_changes;
    QLabel *m_summary = nullptr;
    QCheckBox *m_onlyProblems = nullptr;
    QCheckBox *m_onlyToCheck = nullptr;
    RunReportModel *m_model = nullptr;
    QSortFilterProxyModel *m_filter = nullptr;
    QTableView *m_table = nullptr;
    QLabel *m_beforeCaption = nullptr;
    QLabel *m_afterCaption = nullptr;
    QTextEdit *m_before = nullptr;
    QTextEdit *m_after = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace tagsmith
