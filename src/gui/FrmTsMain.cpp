#include "gui/FrmTsMain.h"

#include "engine/core/Run.h"
#include "engine/fs/FileError.h"
#include "engine/fs/FileSystem.h"
#include "engine/run/RunChecks.h"
#include "engine/undo/Undo.h"
#include "gui/FrmTsDir.h"
#include "gui/FrmTsSet.h"
#include "gui/FrmTsTop.h"
#include "gui/FrmUndo.h"
#include "gui/Localise.h"
#include "gui/Module1.h"
#include "gui/RememberedChoices.h"
#include "gui/RunReportWindow.h"
#include "gui/ScreenControls.h"
#include "text/ReportTexts.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <climits>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <vector>

namespace tagsmith {
namespace {

using controls::elementName;

// Lets the windows paint during a run but throws away everything the user does to them meanwhile, but for
// the run's Cancel button: nothing typed or clicked is acted on when the run ends, and a message the run
// raised cannot be closed before it ends, which would give the frame its input back half-way through the run.
class RunInputBlocker : public QObject
{
public:
    explicit RunInputBlocker(QWidget *cancel) : m_cancel(cancel) { qApp->installEventFilter(this); }
    ~RunInputBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_cancel)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return event->spontaneous();
        case QEvent::Close:
            // The window manager's close button: the run ends first.
            if (!event->spontaneous())
                return false;
            event->ignore();
            return true;
        default:
            return false;
        }
    }

private:
    QWidget *m_cancel;
};

// Every control of a screen that takes input, but those given, taken out of use for as long as this lasts
// and given back as it was.
class ScreenLock
{
public:
    ScreenLock(QWidget *screen, std::initializer_list<const QWidget *> open)
    {
        if (!screen)
            return;
        for (QWidget *control : screen->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (control->isEnabled() && std::find(open.begin(), open.end(), control) == open.end()) {
                control->setEnabled(false);
                m_locked.emplace_back(control);
            }
        }
    }
    ~ScreenLock()
    {
        for (const QPointer<QWidget> &control : m_locked)
            if (control)
                control->setEnabled(true);
    }
    ScreenLock(const ScreenLock &) = delete;
    ScreenLock &operator=(const ScreenLock &) = delete;

private:
    std::vector<QPointer<QWidget>> m_locked;
};

// The busy cursor for as long as the run lasts, also when it ends early.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// A run's message in the popup.
void showRunMessage(const Message &msg)
{
    Module1::showMessage(msg.titleId, msg.textId, msg.page,
                         !msg.argument.isEmpty() ? msg.argument
                         : msg.count >= 0        ? QString::number(msg.count)
                                                 : QString());
}

// Shows every message in the popup, and nothing else.
class PopupObserver final : public RunObserver
{
public:
    void message(const Message &msg) override { showRunMessage(msg); }
};

// Shows a run on the main options screen: the page under work, its backup name and page i of n, and
// hands the run's messages to the popup without waiting for them.
//
// A run of many small pages starts several thousand pages a second: the screen shows where the run
// is about ten times a second, and only the labels and the bar that changed are painted (laying out
// a path and painting the whole screen for every page would take longer than the run itself).
class ScreenRunObserver final : public RunObserver
{
public:
    ScreenRunObserver(FrmTsMain &screen, bool preview) : m_screen(screen), m_preview(preview) {}

    void message(const Message &msg) override
    {
        // A preview tells what it finds about each page in its report, not in messages.
        if (m_preview && !m_page.isEmpty())
            return;
        showRunMessage(msg);
        // The popup takes the frame's input away; during the run the screens are out of use anyway, and
        // Cancel must stay in reach.
        m_screen.window()->setEnabled(true);
        // The first message is painted at once; later ones when the screen is painted next.
        keepPainting(m_messages++ == 0);
    }

    bool stopRequested() const override { return m_stop; }
    void requestStop() { m_stop = true; }

    void pageStarted(const QString &pagePath, std::int64_t index, std::int64_t count) override
    {
        m_page = pagePath;
        m_backup.clear();
        m_index = std::size_t(index);
        m_count = count;
        keepPainting(index == 0);
    }

    void backupChosen(const QString &backupPath) override
    {
        m_backup = backupPath;
        keepPainting(false);
    }

    QString page() const { return m_page; }

    // A preview keeps the change of every page, for the page selected in its report.
    bool wantsPageBytes() const override { return m_preview; }
    void pageBytes(const PageReport &page, std::string_view before, std::string_view after) override
    {
        // The main page among the folder's pages: its change as the main page is the whole change of
        // the run, from the page as it is.
        if (!page.OnMainPage && fs::sameFile(page.PagePath, m_mainPage))
            m_mainBefore = std::string(before);
        if (page.OnMainPage && m_mainBefore)
            before = *m_mainBefore;
        m_changes[m_index] = SideBySide::of(before, after, page.encoding.value_or(PageEncoding::Windows1252),
                                            page.charset.toStdString());
    }
    void setMainPage(const QString &mainPage) { m_mainPage = mainPage; }
    std::map<std::size_t, SideBySide> &changes() { return m_changes; }

private:
    // A long path loses its middle, not the page's name at its end.
    static QString shortened(const QLabel *label, const QString &path)
    {
        return label->fontMetrics().elidedText(path, Qt::ElideMiddle, label->width());
    }

    // Shows the page under work now, or when the last time is long enough ago. At the start and for
    // the first message the whole screen is painted at once.
    void keepPainting(bool now)
    {
        if (!now && m_sincePaint.isValid() && m_sincePaint.elapsed() < 100)
            return;
        m_screen.LblVeld[11]->setText(shortened(m_screen.LblVeld[11], m_page));
        m_screen.LblVeld[12]->setText(shortened(m_screen.LblVeld[12], m_backup));
        const int pages = int(std::clamp<std::int64_t>(m_count, 1, INT_MAX));
        m_screen.Progress->setRange(0, pages);
        m_screen.Progress->setValue(int(std::clamp<std::int64_t>(std::int64_t(m_index) + 1, 0, pages)));
        if (now)
            m_screen.repaint();
        QCoreApplication::processEvents();
        m_sincePaint.start();
    }

    FrmTsMain &m_screen;
    bool m_preview;
    QString m_page;
    QString m_backup;
    std::size_t m_index = 0;
    std::int64_t m_count = 1;
    int m_messages = 0;
    bool m_stop = false;
    std::map<std::size_t, SideBySide> m_changes;
    QString m_mainPage;
    std::optional<std::string> m_mainBefore;
    QElapsedTimer m_sincePaint;
};

} // namespace

FrmTsMain::FrmTsMain(QWidget *parent) : QWidget(parent)
{
    controls::prepareScreen(this, QStringLiteral("FrmTsMain"), ScreenWidth, Module1::ContentHeight);

    struct LabelSpec
    {
        int index, left, top, width, height, tag;
    };
    static constexpr LabelSpec labels[] = {
        {0, 240, 120, 1215, 255, 1009},    {1, 240, 570, 1215, 255, 1010},
        {2, 600, 960, 1575, 255, 1019},    {3, 600, 1320, 1575, 255, 1055},
        {15, 2640, 1320, 1575, 255, 1021}, {4, 600, 1680, 1575, 255, 1022},
        {5, 3120, 1680, 975, 255, 1024},   {6, 600, 2040, 1695, 255, 1034},
        {7, 600, 2400, 1695, 255, 1035},   {8, 2640, 2400, 1695, 255, 1036},
        {9, 2640, 2760, 1695, 255, 1037},  {10, 600, 3120, 3855, 255, 1023},
        {16, 240, 3480, 1335, 255, 3040},  {17, 240, 3840, 1335, 255, 3045},
        {13, 240, 4200, 1335, 255, 1011},  {11, 1680, 4200, 4455 + ExtraWidth, 255, 0},
        {14, 240, 4560, 1335, 255, 1012},  {12, 1680, 4560, 4455 + ExtraWidth, 255, 0},
    };
    for (const LabelSpec &spec : labels) {
        auto *label = controls::create<QLabel>(this, elementName("LblVeld", spec.index), spec.left, spec.top,
                                               spec.width, spec.height);
        label->setTextFormat(Qt::PlainText);
        if (spec.tag)
            controls::setTag(label, spec.tag);
        LblVeld[spec.index] = label;
    }

    struct BoxSpec
    {
        int left, top, width, toolTip;
    };
    static constexpr BoxSpec boxes[] = {{2040, 120, 4095 + ExtraWidth, 1043},
                                        {2040, 540, 4095 + ExtraWidth, 1044},
                                        {2280, 960, 3855 + ExtraWidth, 1045}};
    for (int i = 0; i < 3; ++i) {
        auto *box = controls::create<QLineEdit>(this, elementName("TxtVeld", i), boxes[i].left, boxes[i].top,
                                                boxes[i].width, 285);
        controls::setToolTipId(box, boxes[i].toolTip);
        box->installEventFilter(this);
        TxtVeld[i] = box;
    }
    // NOTE: the description box shows the prompt of 1045 in the current language until the user clicks or
    // types into any of the three boxes; a run started before that writes the prompt as the description.
    controls::setTag(TxtVeld[2], ids::SitePrompt);

    auto *buttonGroup = new QButtonGroup(this);
    static constexpr int browseTops[] = {75, 495};
    static constexpr int browseHeights[] = {330, 375};
    for (int i = 0; i < 2; ++i) {
        auto *button =
            controls::create<QPushButton>(this, elementName("CmdKnop", i), 1560, browseTops[i], 375, browseHeights[i]);
        button->setIcon(QIcon(controls::picture(QStringLiteral("browse"), QSize(16, 16))));
        button->setIconSize(QSize(16, 16));
        // NOTE: the stored tooltip "Browse" is not seeded again, so after start-up it stays in English.
        controls::setToolTipId(button, 1018);
        buttonGroup->addButton(button, i);
        CmdKnop[i] = button;
    }
    connect(buttonGroup, &QButtonGroup::idClicked, this, &FrmTsMain::cmdKnopClick);

    static constexpr QPoint checkPositions[] = {{240, 960},   {240, 1320},  {240, 1680}, {240, 2040}, {240, 2400},
                                                {2280, 2400}, {2280, 2760}, {240, 3120}, {2280, 1320}};
    for (int i = 0; i < 9; ++i) {
        ChkVeld[i] = controls::create<QCheckBox>(this, elementName("ChkVeld", i), checkPositions[i].x(),
                                                 checkPositions[i].y(), 255, 255);
    }

    static constexpr int listTops[] = {1680, 2040};
    for (int i = 0; i < 2; ++i) {
        auto *list = controls::create<QComboBox>(this, elementName("CmbSel", i), 2280, listTops[i], 735, 315);
        list->setEditable(true);
        list->setInsertPolicy(QComboBox::NoInsert);
        // Each number with a blank before it, where a sign would stand: " 1" to " 12".
        for (int n = 1; n <= 12; ++n)
            list->addItem(QLatin1Char(' ') + QString::number(n));
        CmbSel[i] = list;
    }

    // The keywords and the description a page gets: the choices that keep today's pages come first.
    struct ChoiceSpec
    {
        int index, top, toolTip;
        std::array<int, 2> entries;
    };
    static constexpr ChoiceSpec choices[] = {
        {2, 3480, ids::KeywordsTip, {ids::EveryWord, ids::TellingWords}},
        {3, 3840, ids::DescriptionTip, {ids::SameDescription, ids::OwnDescription}}};
    for (const ChoiceSpec &spec : choices) {
        // Wide enough for the longest choice in either language; the count of words stands at the row's end.
        auto *list = controls::create<QComboBox>(this, elementName("CmbSel", spec.index), 1680, spec.top, 4080, 315);
        for (const int entry : spec.entries) {
            list->addItem(QString::number(entry));
            list->setItemData(list->count() - 1, QString::number(entry), ItemTagRole);
        }
        controls::setToolTipId(list, spec.toolTip);
        CmbSel[spec.index] = list;
    }
    SpnVeld[0] = controls::create<QSpinBox>(this, elementName("SpnVeld", 0), 5880, 3480, 735, 315);
    SpnVeld[0]->setRange(1, 50);
    SpnVeld[0]->setValue(15);
    controls::setToolTipId(SpnVeld[0], ids::KeywordCountTip);

    Image1 = controls::create<QLabel>(this, QStringLiteral("Image1"), 4440, 1440, 1500, 1590);
    Image1->setPixmap(controls::picture(QStringLiteral("tagsmith"), QSize(100, 106)));

    Progress = controls::create<QProgressBar>(this, QStringLiteral("Progress"), 240, 4920, 4560 + ExtraWidth, 255);
    Progress->setFormat(QStringLiteral("%v / %m"));
    Progress->setRange(0, 1);
    Progress->setValue(0);

    // Beyond the options of a run: undo data and the undo of the folder's last run, on the row of the
    // progress labels, which show only during a run.
    ChkUndo = controls::create<QCheckBox>(this, QStringLiteral("ChkUndo"), 240, 4200, 255, 255);
    ChkUndo->setChecked(true);
    controls::setToolTipId(ChkUndo, ids::KeepUndoTip);
    LblUndo = controls::create<QLabel>(this, QStringLiteral("LblUndo"), 600, 4200, 2895, 255);
    LblUndo->setTextFormat(Qt::PlainText);
    controls::setTag(LblUndo, ids::KeepUndo);
    LblUndo->setBuddy(ChkUndo);
    CmdUndo = controls::create<QPushButton>(this, QStringLiteral("CmdUndo"), 3960 + ExtraWidth, 4140, 2175, 375);
    controls::setTag(CmdUndo, ids::UndoButton);
    controls::setToolTipId(CmdUndo, ids::UndoButtonTip);
    connect(CmdUndo, &QPushButton::clicked, this, &FrmTsMain::cmdUndoClick);

    LblSiteUrl = controls::create<QLabel>(this, QStringLiteral("LblSiteUrl"), 240, 4560, 1335, 255);
    LblSiteUrl->setTextFormat(Qt::PlainText);
    controls::setTag(LblSiteUrl, ids::SiteAddress);
    TxtSiteUrl = controls::create<QLineEdit>(this, QStringLiteral("TxtSiteUrl"), 1680, 4545, 4455 + ExtraWidth, 285);
    controls::setToolTipId(TxtSiteUrl, ids::SiteAddressTip);
    LblSiteUrl->setBuddy(TxtSiteUrl);
    // Beside the progress of a run: it stops after the page under work.
    CmdCancel = controls::create<QPushButton>(this, QStringLiteral("CmdCancel"), 4920 + ExtraWidth, 4860, 1215, 375);
    controls::setTag(CmdCancel, ids::CancelButton);
    controls::setToolTipId(CmdCancel, ids::CancelTip);

    ChkRemember = controls::create<QCheckBox>(this, QStringLiteral("ChkRemember"), 240, 4920, 4560, 285);
    controls::setTag(ChkRemember, ids::RememberChoices);
    controls::setToolTipId(ChkRemember, ids::RememberChoicesTip);
    // Ticked, the choices are kept at once (and again when the program ends); cleared, they are forgotten.
    connect(ChkRemember, &QCheckBox::toggled, this,
            [](bool on) { on ? RememberedChoices::keep(false) : RememberedChoices::forget(); });

    PreviewButton =
        controls::create<QPushButton>(this, QStringLiteral("PreviewButton"), 4680 + ExtraWidth, 3075, 1455, 375);
    controls::setTag(PreviewButton, ids::report::PreviewButton);
    controls::setToolTipId(PreviewButton, ids::report::PreviewTip);
    connect(PreviewButton, &QPushButton::clicked, this, &FrmTsMain::Preview);

    applyFocusOrder();

    // The defaults. Every tick runs the check-box rules as a click on that box would.
    // NOTE: each box has its own connection rather than one QButtonGroup: Qt makes the checkable buttons
    // of a group a single stop of the Tab key, and every box must be one.
    for (int i = 0; i < 9; ++i)
        connect(ChkVeld[i], &QCheckBox::toggled, this, [this, i] { chkVeldClick(i); });
    connect(CmbSel[2], &QComboBox::currentIndexChanged, this, &FrmTsMain::choiceRules);
    CmbSel[0]->setEditText(QStringLiteral("3"));
    CmbSel[1]->setEditText(QStringLiteral("6"));
    for (int i : {0, 1, 2, 3, 4, 6, 8})
        ChkVeld[i]->setChecked(true);
    choiceRules();
    showRunLabels(false);
}

QList<QWidget *> FrmTsMain::focusOrder() const
{
    // The order the Tab key follows; a control added to the screen takes its place here.
    return {TxtVeld[0], TxtVeld[1], CmdKnop[0], ChkVeld[0],    ChkVeld[1], ChkVeld[2], TxtVeld[2], CmbSel[0],
            CmdKnop[1], ChkVeld[3], ChkVeld[4], ChkVeld[5],    ChkVeld[6], ChkVeld[7], CmbSel[1],  ChkVeld[8],
            CmbSel[2],  SpnVeld[0], CmbSel[3],  PreviewButton, ChkUndo,    CmdUndo,    TxtSiteUrl, ChkRemember};
}

void FrmTsMain::applyFocusOrder()
{
    const QList<QWidget *> order = focusOrder();
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void FrmTsMain::choiceRules()
{
    CmbSel[3]->setEnabled(ChkVeld[0]->isChecked());
    // How many of the most telling words: nothing to count when every word is written.
    SpnVeld[0]->setEnabled(CmbSel[2]->currentIndex() == 1);
}

void FrmTsMain::chkVeldClick(int index)
{
    const auto ticked = [this](int i) { return Module1::CheckToBool[ChkVeld[i]->isChecked() ? 1 : 0]; };
    TxtVeld[2]->setEnabled(ticked(0));
    if (CmbSel[3])
        choiceRules();
    ChkVeld[2]->setEnabled(ticked(8));
    CmbSel[0]->setEnabled(ticked(8) && ticked(2));
    CmbSel[1]->setEnabled(ticked(3));
    ChkVeld[5]->setEnabled(ticked(4));
    ChkVeld[6]->setEnabled(ticked(4));

    // Upper and lower case exclude each other: the change of the partner runs these rules once more,
    // which then find the two already opposite.
    if (index == 5)
        ChkVeld[6]->setChecked(!ticked(5));
    else if (index == 6)
        ChkVeld[5]->setChecked(!ticked(6));
    else if (index == 7 && !ticked(7))
        Module1::showMessage(ids::WarningTitle, ids::DeleteOriginal);
}

void FrmTsMain::cmdKnopClick(int index)
{
    Module1::BrowseTarget = index;
    // The chooser opens on the folder of the HTML Dir box.
    if (FrmTsDir *chooser = Module1::screens().dir)
        chooser->startAt(TxtVeld[0]->text());
    Module1::showChildForm(Module1::screens().dir);
}

bool FrmTsMain::eventFilter(QObject *watched, QEvent *event)
{
    // A click into or a key in any of the three boxes ends the prompt: from then on the description box
    // keeps its text through language switches. The event itself goes on unchanged.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress) {
        if (std::find(TxtVeld.begin(), TxtVeld.end(), watched) != TxtVeld.end())
            controls::clearTag(TxtVeld[2]);
    }
    return QWidget::eventFilter(watched, event);
}

void FrmTsMain::showRunLabels(bool visible)
{
    for (int i = 11; i <= 14; ++i)
        LblVeld[i]->setVisible(visible);
    Progress->setVisible(visible);
    CmdCancel->setVisible(visible);
    ChkUndo->setVisible(!visible);
    LblUndo->setVisible(!visible);
    CmdUndo->setVisible(!visible);
    LblSiteUrl->setVisible(!visible);
    TxtSiteUrl->setVisible(!visible);
    ChkRemember->setVisible(!visible);
}

RunOptions FrmTsMain::runOptions() const
{
    const auto on = [this](int i) { return ChkVeld[i]->isChecked(); };
    RunOptions options;
    options.folder = TxtVeld[0]->text();
    options.mainPage = TxtVeld[1]->text();
    options.description = on(0);
    options.siteDescription = TxtVeld[2]->text();
    options.generator = on(1);
    options.robots = on(8);
    options.revisit = on(2);
    options.revisitMonths = CmbSel[0]->currentText();
    options.minLength = on(3);
    options.minLengthText = CmbSel[1]->currentText();
    options.caseConversion = on(4);
    options.upperCase = on(5);
    options.lowerCase = on(6);
    options.backup = on(7);
    options.keepUndo = ChkUndo->isChecked();
    options.dataFolder = undoDataFolder();
    options.topKeywords = CmbSel[2]->currentIndex() == 1;
    options.topKeywordCount = SpnVeld[0]->value();
    options.pageDescriptions = CmbSel[3]->currentIndex() == 1;
    options.siteUrl = TxtSiteUrl->text().trimmed();
    options.siteDescriptionIsPrompt = holdsPrompt(TxtVeld[2]->text());
    if (const FrmTsSet *format = Module1::screens().set)
        options.templates = format->templates();
    return options;
}

bool FrmTsMain::holdsPrompt(const QString &description)
{
    // What the box shows decides, however it got there: the prompt in either language, typed, pasted,
    // or left from the start.
    const QString text = description.trimmed();
    return text == loadString(ids::SitePrompt + DutchOffset) || text == loadString(ids::SitePrompt + EnglishOffset);
}

void FrmTsMain::StartMeta()
{
    runAndReport(false);
}

void FrmTsMain::Preview()
{
    runAndReport(true);
}

void FrmTsMain::runAndReport(bool dryRun)
{
    QWidget *frame = window();
    frame->setEnabled(false);

    const QString folder = TxtVeld[0]->text();
    if (folder.isEmpty()) {
        Module1::showMessage(ids::ErrorTitle, ids::NoDirectory);
        return;
    }
    // The chooser's lists are the run's view of the folder: point them at it. A drive that cannot be read
    // has been reported by the chooser itself; a folder that cannot be read is reported here. Either way
    // no page is touched.
    FrmTsDir *chooser = Module1::screens().dir;
    if (!chooser)
        return;
    const int error = chooser->pointAt(folder);
    if (error > 0)
        Module1::showMessage(ids::ErrorTitle, ids::FileErrorBase + error, folder);
    if (error != 0)
        return;
    if (!chooser->hasFiles()) {
        Module1::showMessage(ids::ErrorTitle, ids::NoPages, folder);
        return;
    }

    RunOptions options = runOptions();
    options.dryRun = dryRun;
    // The prompt as every page's description is what nobody wants, yet a run may write it: the user is
    // asked first. (The preview and the report say it too.)
    if (!dryRun && options.description && options.siteDescriptionIsPrompt &&
        !Module1::askToGoOn(ids::WarningTitle, ids::PromptQuestion, options.siteDescription, ids::RunAnyway))
        return;
    // The pages are named after the folder as the chooser's lists report it: absolute, no "." or "..",
    // no trailing separator.
    options.folder = chooser->path();
    if (const std::optional<Refusal> refused = refuseMainPage(options)) {
        Module1::showMessage(ids::ErrorTitle, refused->textId, refused->path, refused->argument);
        return;
    }
    RunReport report;
    std::map<std::size_t, SideBySide> changes;
    {
        BusyCursor busy;
        // The screens take no input, their controls out of use, but Cancel.
        frame->setEnabled(true);
        ScreenLock barLock(Module1::screens().top, {});
        ScreenLock screenLock(this, {CmdCancel, Progress, LblVeld[11], LblVeld[12], LblVeld[13], LblVeld[14]});
        RunInputBlocker blocker(CmdCancel);
        Progress->setRange(0, 1);
        Progress->setValue(0);
        showRunLabels(true);
        ScreenRunObserver observer(*this, dryRun);
        observer.setMainPage(options.mainPage);
        CmdCancel->setEnabled(true);
        CmdCancel->setFocus();
        const QMetaObject::Connection cancel =
            connect(CmdCancel, &QPushButton::clicked, this, [&observer] { observer.requestStop(); });
        try {
            report = runMetaWithReport(options, observer, RunLimits(), PageTexts::Kept);
            changes = std::move(observer.changes());
        } catch (...) {
            // Nothing may escape into the event loop; the run has stopped at this page.
            Module1::showMessage(ids::ErrorTitle, ids::FileErrorBase + fileerr::DeviceIO, observer.page());
        }
        disconnect(cancel);
        LblVeld[11]->clear();
        LblVeld[12]->clear();
        showRunLabels(false);
        repaint();
    }
    frame->setEnabled(true);
    if (report.started())
        RunReportWindow::showReport(std::move(report), std::move(changes), frame);
}

QString FrmTsMain::undoDataFolder()
{
    return Module1::DataPath;
}

void FrmTsMain::cmdUndoClick()
{
    const QString folder = TxtVeld[0]->text();
    if (folder.isEmpty()) {
        Module1::showMessage(ids::ErrorTitle, ids::NoDirectory);
        return;
    }
    UndoPlan plan;
    {
        BusyCursor busy;
        try {
            plan = planUndo(undoDataFolder(), folder);
        } catch (...) {
            plan.status = UndoStore::Status::Failed;
            plan.error = fileerr::DeviceIO;
            plan.journal = folder;
        }
    }
    if (plan.status == UndoStore::Status::Missing) {
        // No undo data: the undo says so, and clears away the temporary a run killed before it kept
        // undo data may have left.
        PopupObserver popups;
        try {
            BusyCursor busy;
            undoLastRun(undoDataFolder(), folder, popups, nullptr);
        } catch (...) {
            showRunMessage(whyNoUndo(plan));
        }
        return;
    }
    if (!plan.ready()) {
        // Damaged undo data, or a file that could not be read: the popup says which.
        showRunMessage(whyNoUndo(plan));
        return;
    }
    auto *dialog = new FrmUndo(undoDataFolder(), folder, plan, window());
    dialog->show();
}

} // namespace tagsmith
