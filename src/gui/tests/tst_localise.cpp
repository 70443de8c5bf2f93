#include "TestSupport.h"

#include "gui/Localise.h"
#include "text/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <memory>

using namespace tagsmith;

namespace {

// A screen with one control of every kind, each carrying its id the way the screens do.
class TestForm : public QWidget
{
public:
    TestForm()
    {
        setProperty(TagProperty, QStringLiteral("1030"));
        setWindowTitle(QStringLiteral("untitled"));
        label(QStringLiteral("LblVeld_0"), QStringLiteral("1009"));
        label(QStringLiteral("LblVeld_1"), QStringLiteral("1010 "));
        label(QStringLiteral("LblVeld_2"), QStringLiteral("1011x"));
        label(QStringLiteral("LblVeld_4"), QString());
        label(QStringLiteral("LblVeld_5"), QStringLiteral("99999"));
        label(QStringLiteral("LblVeld_6"), QStringLiteral("1027"));
        auto *tipped = label(QStringLiteral("LblVeld_7"), QStringLiteral("1012"));
        tipped->setToolTip(QStringLiteral("1038"));
        auto *untagged = new QLabel(QStringLiteral("no tag"), this);
        untagged->setObjectName(QStringLiteral("LblVeld_8"));

        auto *button = new QPushButton(QStringLiteral("caption"), this);
        button->setObjectName(QStringLiteral("CmdKnop_0"));
        button->setProperty(TagProperty, QStringLiteral("1025"));
        button->setToolTip(QStringLiteral("1052"));
        auto *browse = new QPushButton(this);
        browse->setObjectName(QStringLiteral("CmdKnop_1"));
        browse->setProperty(TagProperty, QStringLiteral("1026x"));
        browse->setToolTip(QStringLiteral("1018"));
        auto *check = new QCheckBox(QStringLiteral("caption"), this);
        check->setObjectName(QStringLiteral("ChkVeld_0"));
        check->setProperty(TagProperty, QStringLiteral(" 1013.4"));

        auto *prompt = new QLineEdit(QStringLiteral("content"), this);
        prompt->setObjectName(QStringLiteral("TxtVeld_0"));
        prompt->setProperty(TagProperty, QStringLiteral("1045"));
        prompt->setToolTip(QStringLiteral("1043"));
        auto *typed = new QLineEdit(QStringLiteral("typed by the user"), this);
        typed->setObjectName(QStringLiteral("TxtVeld_1"));
        typed->setToolTip(QStringLiteral("\t1044\n"));
        auto *combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("CmbSel_0"));
        combo->setEditable(true);
        combo->addItems({QStringLiteral(" 1"), QStringLiteral(" 2")});
        combo->setProperty(TagProperty, QStringLiteral("1024"));
        auto *memo = new QPlainTextEdit(this);
        memo->setObjectName(QStringLiteral("Memo_0"));
        memo->setProperty(TagProperty, QStringLiteral("1020"));
        auto *group = new QGroupBox(QStringLiteral("group"), this);
        group->setObjectName(QStringLiteral("Frame_0"));
        group->setProperty(TagProperty, QStringLiteral("1019"));

        auto *tabs = new QTabWidget(this);
        tabs->setObjectName(QStringLiteral("Tabs"));
        tabs->addTab(new QWidget, QStringLiteral("tab"));
        tabs->tabBar()->setTabData(0, QStringLiteral("1016"));
        tabs->tabBar()->setTabToolTip(0, QStringLiteral("1017"));

        auto *tree = new QTreeWidget(this);
        tree->setObjectName(QStringLiteral("List"));
        tree->setColumnCount(2);
        tree->headerItem()->setData(0, HeaderTagRole, QStringLiteral("1011"));
        tree->headerItem()->setText(1, QStringLiteral("untouched"));

        auto *tools = new QToolBar(this);
        tools->setObjectName(QStringLiteral("Tools"));
        QAction *tool = tools->addAction(QStringLiteral("tool"));
        tool->setObjectName(QStringLiteral("Tool_0"));
        tool->setToolTip(QStringLiteral("1042"));

        auto *menus = new QMenuBar(this);
        QMenu *menu = menus->addMenu(QStringLiteral("1016"));
        menu->menuAction()->setObjectName(QStringLiteral("Menu_0"));
        QAction *entry = menu->addAction(QStringLiteral("1017"));
        entry->setObjectName(QStringLiteral("Menu_1"));

        // A screen inside this one: a pass over this screen leaves it alone.
        auto *inner = new QWidget(this);
        inner->setObjectName(QStringLiteral("Inner"));
        markAsScreen(inner);
        label(QStringLiteral("LblVeld_9"), QStringLiteral("1009"), inner);
    }

private:
    QLabel *label(const QString &name, const QString &tag, QWidget *parent = nullptr)
    {
        auto *l = new QLabel(QStringLiteral("caption"), parent ? parent : this);
        l->setObjectName(name);
        if (!tag.isNull())
            l->setProperty(TagProperty, tag);
        return l;
    }
};

// What the user sees of one property of one control.
QString shown(QWidget *form, const QString &name, const QString &what)
{
    if (name == QLatin1String("form"))
        return form->windowTitle();
    if (what == QLatin1String("tab"))
        return form->findChild<QTabWidget *>(name)->tabBar()->tabText(0);
    if (what == QLatin1String("tabtip"))
        return form->findChild<QTabWidget *>(name)->tabBar()->tabToolTip(0);
    if (what == QLatin1String("header0") || what == QLatin1String("header1"))
        return form->findChild<QTreeWidget *>(name)->headerItem()->text(what.back().digitValue());
    if (auto *action = form->findChild<QAction *>(name))
        return what == QLatin1String("tip") ? action->toolTip() : action->text();
    QWidget *w = form->findChild<QWidget *>(name);
    if (what == QLatin1String("tip"))
        return w->toolTip();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    if (auto *c = qobject_cast<QComboBox *>(w))
        return c->currentText();
    if (auto *p = qobject_cast<QPlainTextEdit *>(w))
        return p->toPlainText();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    return QStringLiteral("?");
}

} // namespace

class TestLocalise : public QObject
{
    Q_OBJECT
private slots:
    void texts_data();
    void texts();
};

void TestLocalise::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("dutch");
    for (const QStringList &row : test::readTable(QFINDTESTDATA("data/localise.txt")))
        QTest::newRow(qPrintable(row[0])) << row[1] << row[2] << QString::fromUtf8(test::unescape(row[3]))
                                          << QString::fromUtf8(test::unescape(row[4]));
}

void TestLocalise::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, what);
    QFETCH(QString, english);
    QFETCH(QString, dutch);

    TestForm form;
    localiseForm(&form, EnglishOffset);
    QCOMPARE(shown(&form, name, what), english);
    localiseForm(&form, DutchOffset);
    QCOMPARE(shown(&form, name, what), dutch);
    localiseForm(&form, EnglishOffset);
    QCOMPARE(shown(&form, name, what), english);
}

QTEST_MAIN(TestLocalise)
#include "tst_localise.moc"
