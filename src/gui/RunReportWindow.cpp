#include "gui/RunReportWindow.h"

#include "engine/encoding/TextCodec.h"
#include "engine/encoding/Windows1252.h"
#include "engine/fs/FileError.h"
#include "engine/fs/FileSystem.h"
#include "engine/page/PageDiff.h"
#include "gui/Module1.h"
#include "gui/RunReportModel.h"
#include "text/ReportTexts.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStandardPaths>
#include <QTableView>
#include <QTextBlock>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace tagsmith {
namespace {

QPointer<RunReportWindow> openWindow;

// A very long line (a page written on one line) is shown up to here.
constexpr qsizetype LineShown = 400;
// The keywords and description columns start this wide (the whole text is in the cell's tooltip).
constexpr int TextColumnWidth = 220;
// Rows measured for the widths of the columns.
constexpr int ColumnWidthRows = 100;

// The folder the last report was saved in, for as long as the program runs.
QString &lastCsvFolder()
{
    static QString folder;
    return folder;
}

bool isWithin(const QString &path, const QString &folder)
{
    const QString clean = fs::absoluteCleanPath(folder);
    return path == clean || path.startsWith(clean.endsWith(QLatin1Char('/')) ? clean : clean + QLatin1Char('/'));
}

// Where "Save as CSV…" proposes to save: the folder used last, else the user's documents. Never the site:
// an upload of the site would take the report along.
QString csvFolder(const QString &site)
{
    for (const QString &folder :
         {lastCsvFolder(), QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), QDir::homePath()})
        if (!folder.isEmpty() && !isWithin(fs::absoluteCleanPath(folder), site))
            return folder;
    return QDir::rootPath();
}

QString text(int id)
{
    return loadString(id + Module1::LangOffset).value_or(QString());
}

QString decoded(std::string_view line, PageEncoding encoding)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    // No more of a long line is decoded than is shown (a character takes at most four bytes): the main
    // page's keywords line may hold every word of the site.
    const bool cut = line.size() > std::size_t(LineShown) * 4;
    if (cut)
        line = line.substr(0, std::size_t(LineShown) * 4);
    QString result;
    if (encoding == PageEncoding::Utf8) {
        result = QString::fromUtf8(line.data(), qsizetype(line.size()));
    } else {
        // Every character of Windows-1252 is one UTF-16 unit.
        result = QString(qsizetype(line.size()), Qt::Uninitialized);
        QChar *unit = result.data();
        for (const char c : line)
            *unit++ = QChar(char16_t(windows1252::toUnicode(static_cast<unsigned char>(c))));
    }
    if (cut || result.size() > LineShown)
        result = result.left(LineShown) + QStringLiteral("…");
    return result;
}

QColor markColour(SideBySide::Mark mark)
{
    switch (mark) {
    case SideBySide::Mark::Removed:
        return QColor(0xff, 0xd7, 0xd5);
    case SideBySide::Mark::Added:
        return QColor(0xcc, 0xf2, 0xd0);
    case SideBySide::Mark::Gap:
        return QColor(0xee, 0xee, 0xee);
    case SideBySide::Mark::Same:
        break;
    }
    return QColor(Qt::white);
}

// One side of the change into its text box: a line number, the mark ("-" or "+") and the line, each
// row on the colour of its mark.
void fillSide(QTextEdit *box, const SideBySide &change, bool left)
{
    box->clear();
    QTextCursor cursor(box->document());
    bool first = true;
    for (const auto &row : change.rows) {
        const SideBySide::Line &line = left ? row.first : row.second;
        if (!first)
            cursor.insertBlock();
        first = false;
        QTextBlockFormat format;
        format.setBackground(markColour(line.mark));
        cursor.setBlockFormat(format);
        const QString mark = line.mark == SideBySide::Mark::Removed ? QStringLiteral("-")
                             : line.mark == SideBySide::Mark::Added ? QStringLiteral("+")
                                                                    : QStringLiteral(" ");
        if (line.number > 0)
            cursor.insertText(QStringLiteral("%1 %2 %3").arg(line.number, 5).arg(mark, line.text));
        else if (line.mark == SideBySide::Mark::Gap && !line.text.isEmpty())
            cursor.insertText(line.text);
    }
    box->moveCursor(QTextCursor::Start);
}

} // namespace

SideBySide SideBySide::of(std::string_view before, std::string_view after, PageEncoding encoding,
                          std::string_view charset)
{
    // A page in UTF-16 or another charset is compared as the text it decodes to, so that its lines are
    // split there: a line break in UTF-16 is two bytes. Such a page decodes as it did for the run; if it
    // did not, it shows as the Windows-1252 bytes the run then read.
    std::string beforeText;
    std::string afterText;
    if (isDecoded(encoding)) {
        const bool decodes =
            decodeText(encoding, charset, before, beforeText) && decodeText(encoding, charset, after, afterText);
        encoding = decodes ? PageEncoding::Utf8 : PageEncoding::Windows1252;
        if (decodes) {
            before = beforeText;
            after = afterText;
        }
    }
    SideBySide change;
    bool firstHunk = true;
    for (const DiffHunk &hunk : diffHunks(before, after)) {
        if (!firstHunk)
            change.rows.push_back({{0, QStringLiteral("   …"), Mark::Gap}, {0, QStringLiteral("   …"), Mark::Gap}});
        firstHunk = false;
        qint64 oldNumber = hunk.oldBefore;
        qint64 newNumber = hunk.newBefore;
        std::vector<Line> removed;
        std::vector<Line> added;
        // A change pairs its removed and added lines row by row; the shorter side gets empty rows.
        const auto flush = [&] {
            for (std::size_t i = 0; i < std::max(removed.size(), added.size()); ++i)
                change.rows.push_back({i < removed.size() ? removed[i] : Line{0, {}, Mark::Gap},
                                       i < added.size() ? added[i] : Line{0, {}, Mark::Gap}});
            removed.clear();
            added.clear();
        };
        for (const DiffLine &line : hunk.lines) {
            switch (line.kind) {
            case DiffLine::Kind::Removed:
                removed.push_back({++oldNumber, decoded(line.text, encoding), Mark::Removed});
                break;
            case DiffLine::Kind::Added:
                added.push_back({++newNumber, decoded(line.text, encoding), Mark::Added});
                break;
            case DiffLine::Kind::Common: {
                flush();
                // Both sides share the one text: a preview keeps the change of every page.
                const QString same = decoded(line.text, encoding);
                change.rows.push_back({{++oldNumber, same, Mark::Same}, {++newNumber, same, Mark::Same}});
                break;
            }
            }
        }
        flush();
    }
    return change;
}

RunReportWindow::RunReportWindow(RunReport report, std::map<std::size_t, SideBySide> changes, QWidget *parent)
    : QWidget(parent, Qt::Window), m_report(std::move(report)), m_changes(std::move(changes))
{
    setObjectName(QStringLiteral("RunReportWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("Summary"));
    m_summary->setWordWrap(true);
    m_summary->setTextFormat(Qt::PlainText);
    layout->addWidget(m_summary);

    m_onlyProblems = new QCheckBox(this);
    m_onlyProblems->setObjectName(QStringLiteral("OnlyProblems"));
    layout->addWidget(m_onlyProblems);
    m_onlyToCheck = new QCheckBox(this);
    m_onlyToCheck->setObjectName(QStringLiteral("OnlyToCheck"));
    layout->addWidget(m_onlyToCheck);

    m_model = new RunReportModel(m_report, this);
    m_filter = new QSortFilterProxyModel(this);
    m_filter->setSourceModel(m_model);
    m_filter->setFilterRole(RunReportModel::FilterRole);
    m_filter->setFilterKeyColumn(0);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("Pages"));
    m_table->setModel(m_filter);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(-1, Qt::AscendingOrder); // run order until a heading is clicked
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->setWordWrap(false); // a row a line: a long keywords line ends in "…"
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Column widths from the first rows: measuring the texts of a thousand rows (the default) kept
    // a large site's report waiting, and a longer text further down ends in "…" with its tooltip.
    m_table->horizontalHeader()->setResizeContentsPrecision(ColumnWidthRows);
    connect(m_table, &QTableView::doubleClicked, this, &RunReportWindow::openPage);
    // With both ticked, a page with either shows.
    const auto filter = [this] {
        const bool problems = m_onlyProblems->isChecked();
        const bool toCheck = m_onlyToCheck->isChecked();
        m_filter->setFilterRegularExpression(problems && toCheck ? QStringLiteral("[pc]")
                                             : problems          ? QStringLiteral("p")
                                             : toCheck           ? QStringLiteral("c")
                                                                 : QString());
    };
    connect(m_onlyProblems, &QCheckBox::toggled, this, filter);
    connect(m_onlyToCheck, &QCheckBox::toggled, this, filter);

    const bool preview = m_report.dryRun;
    if (preview) {
        // The pages above, the change of the selected one below, before and after side by side.
        auto *splitter = new QSplitter(Qt::Vertical, this);
        splitter->addWidget(m_table);
        auto *sides = new QWidget(splitter);
        auto *grid = new QHBoxLayout(sides);
        grid->setContentsMargins(0, 0, 0, 0);
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        for (int i = 0; i < 2; ++i) {
            auto *column = new QVBoxLayout;
            auto *caption = new QLabel(sides);
            auto *box = new QTextEdit(sides);
            box->setObjectName(i == 0 ? QStringLiteral("Before") : QStringLiteral("After"));
            box->setReadOnly(true);
            box->setLineWrapMode(QTextEdit::NoWrap);
            box->setFont(fixed);
            column->addWidget(caption);
            column->addWidget(box);
            grid->addLayout(column);
            (i == 0 ? m_beforeCaption : m_afterCaption) = caption;
            (i == 0 ? m_before : m_after) = box;
        }
        // Both sides scroll together, as their rows stand beside each other.
        for (auto [from, to] : {std::pair{m_before, m_after}, std::pair{m_after, m_before}}) {
            connect(from->verticalScrollBar(), &QScrollBar::valueChanged, to->verticalScrollBar(),
                    &QScrollBar::setValue);
            connect(from->horizontalScrollBar(), &QScrollBar::valueChanged, to->horizontalScrollBar(),
                    &QScrollBar::setValue);
        }
        splitter->addWidget(sides);
        splitter->setStretchFactor(0, 2);
        splitter->setStretchFactor(1, 3);
        layout->addWidget(splitter, 1);
        connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &RunReportWindow::showChange);
    } else {
        layout->addWidget(m_table, 1);
    }

    auto *buttons = new QHBoxLayout;
    m_save = new QPushButton(this);
    m_save->setObjectName(QStringLiteral("SaveCsv"));
    connect(m_save, &QPushButton::clicked, this, &RunReportWindow::saveCsv);
    m_ok = new QPushButton(this);
    m_ok->setObjectName(QStringLiteral("OKButton"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(m_save);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    layout->addLayout(buttons);

    resize(640, preview ? 640 : 420);
    localise();
    if (m_filter->rowCount() > 0)
        m_table->selectRow(0);
}

RunReportWindow *RunReportWindow::showReport(RunReport report, std::map<std::size_t, SideBySide> changes,
                                             QWidget *parent)
{
    if (openWindow)
        openWindow->close();
    auto *window = new RunReportWindow(std::move(report), std::move(changes), parent);
    openWindow = window;
    // Over the frame, and whole on its screen.
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    window->resize(window->size().boundedTo(available.size() - QSize(40, 80)));
    QRect placed(QPoint(), window->size());
    placed.moveCenter(parent ? parent->window()->geometry().center() : available.center());
    placed.moveLeft(std::clamp(placed.left(), available.left() + 10, available.right() - placed.width() - 10));
    placed.moveTop(std::clamp(placed.top(), available.top() + 30, available.bottom() - placed.height() - 10));
    window->move(placed.topLeft());
    window->show();
    window->raise();
    window->activateWindow();
    // A message the run raised stays in sight, above the report; back above the frame when the report
    // goes.
    Module1::keepPopupInFront();
    connect(window, &QObject::destroyed, qApp,
            [] { QMetaObject::invokeMethod(qApp, &Module1::keepPopupInFront, Qt::QueuedConnection); });
    return window;
}

RunReportWindow *RunReportWindow::current()
{
    return openWindow.data();
}

void RunReportWindow::localise()
{
    using namespace ids::report;
    const int lang = Module1::LangOffset;
    setWindowTitle(text(m_report.dryRun ? PreviewTitle : Title));
    QString summary = runSummary(m_report.pagesWritten(), m_report.pagesUnchanged(), m_report.warnings(),
                                 m_report.errors(), m_report.elapsedNs, m_report.dryRun, lang) +
                      QLatin1Char('.');
    if (m_report.result == RunResult::Cancelled)
        summary += QLatin1Char('\n') + text(ids::StoppedAfter)
                                           .arg(localeOf(lang).toString(qlonglong(m_report.pagesReached())),
                                                localeOf(lang).toString(qlonglong(m_report.pageCount())));
    if (m_report.descriptionIsPrompt)
        summary +=
            QLatin1Char('\n') + text(m_report.dryRun ? DescriptionWillGet : DescriptionGot).arg(m_report.description);
    m_summary->setText(summary);
    m_onlyProblems->setText(text(OnlyProblems));
    m_onlyToCheck->setText(text(OnlyToCheck));
    m_save->setText(text(SaveCsv));
    m_ok->setText(text(ids::Ok));
    if (m_beforeCaption) {
        m_beforeCaption->setText(text(Before));
        m_afterCaption->setText(text(After));
    }
    fillTable();
    // Wide enough for every column where the screen allows; the other language may need more.
    const int columns = m_table->horizontalHeader()->length() + m_table->verticalScrollBar()->sizeHint().width() + 40;
    if (columns > width()) {
        const QScreen *shown = screen();
        resize(shown ? std::min(columns, shown->availableGeometry().width() - 40) : columns, height());
    }
}

void RunReportWindow::keyPressEvent(QKeyEvent *event)
{
    // As in a dialog: Escape closes, Enter presses the default button.
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_ok->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void RunReportWindow::fillTable()
{
    const auto rowOf = [](const QModelIndex &index) {
        return index.siblingAtColumn(0).data(RunReportModel::RowRole).toInt();
    };
    const int selected = m_table->currentIndex().isValid() ? rowOf(m_table->currentIndex()) : 0;
    m_model->relocalise();
    m_table->resizeColumnsToContents();
    // The texts stay readable in their tooltips; the numbers beside them stay in sight.
    for (const int column : {RunReportModel::KeywordsColumn, RunReportModel::DescriptionColumn})
        m_table->setColumnWidth(column, std::min(m_table->columnWidth(column), TextColumnWidth));
    for (int row = 0; row < m_filter->rowCount(); ++row)
        if (rowOf(m_filter->index(row, 0)) == selected)
            m_table->selectRow(row);
}

void RunReportWindow::showChange()
{
    if (!m_before)
        return;
    const QModelIndex current = m_table->currentIndex();
    const auto found =
        current.isValid()
            ? m_changes.find(std::size_t(current.siblingAtColumn(0).data(RunReportModel::RowRole).toInt()))
            : m_changes.end();
    const SideBySide none;
    const SideBySide &change = found != m_changes.end() ? found->second : none;
    fillSide(m_before, change, true);
    fillSide(m_after, change, false);
    for (QTextEdit *side : {m_before, m_after}) {
        side->horizontalScrollBar()->setValue(0);
        side->verticalScrollBar()->setValue(0);
    }
}

void RunReportWindow::openPage(const QModelIndex &index)
{
    const std::size_t row = std::size_t(index.siblingAtColumn(0).data(RunReportModel::RowRole).toInt());
    if (row >= m_report.pages.size())
        return;
    const QString &page = m_report.pages[row].PagePath;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        Module1::showMessage(ids::ErrorTitle, ids::CannotOpenPage, page);
}

void RunReportWindow::saveCsv()
{
    const QString path = QFileDialog::getSaveFileName(
        this, text(ids::report::SaveCsv).remove(QStringLiteral("…")),
        fs::pathIn(csvFolder(m_report.folder), QStringLiteral("report.csv")), QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    lastCsvFolder() = fs::absoluteCleanPath(path + QStringLiteral("/.."));
    if (const int err = saveRunReportCsv(m_report, Module1::LangOffset, path); err != 0)
        Module1::showMessage(ids::ErrorTitle, ids::FileErrorBase + fileErrorFromErrno(err), path);
}

} // namespace tagsmith
