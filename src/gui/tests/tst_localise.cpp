// The localisation pass over a screen: which texts of which controls it replaces by the string table's,
// in either language and back.

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

using namespace tagsmith;

namespace {

// A control of kind on form, carrying its id (tag, "-" for none) and tooltip the way the screens do.
QWidget *make(QWidget &form, const QString &kind, const QString &tag, const QString &tip)
{
    const QString caption = QStringLiteral("caption");
    QWidget *w = nullptr;
    if (kind == QLatin1String("form")) {
        form.setWindowTitle(QStringLiteral("untitled"));
        w = &form;
    } else if (kind == QLatin1String("label")) {
        w = new QLabel(caption, &form);
    } else if (kind == QLatin1String("button")) {
        w = new QPushButton(caption, &form);
    } else if (kind == QLatin1String("check")) {
        w = new QCheckBox(caption, &form);
    } else if (kind == QLatin1String("edit")) {
        w = new QLineEdit(QStringLiteral("content"), &form);
    } else if (kind == QLatin1String("combo")) {
        auto *combo = new QComboBox(&form);
        combo->setEditable(true);
        combo->addItems({QStringLiteral(" 1"), QStringLiteral(" 2")});
        w = combo;
    } else if (kind == QLatin1String("memo")) {
        w = new QPlainTextEdit(&form);
    } else if (kind == QLatin1String("group")) {
        w = new QGroupBox(QStringLiteral("group"), &form);
    } else if (kind == QLatin1String("tabs")) {
        auto *tabs = new QTabWidget(&form);
        tabs->addTab(new QWidget, QStringLiteral("tab"));
        tabs->tabBar()->setTabData(0, tag);
        tabs->tabBar()->setTabToolTip(0, tip);
        return tabs;
    } else if (kind == QLatin1String("tree")) {
        auto *tree = new QTreeWidget(&form);
        tree->setColumnCount(2);
        tree->headerItem()->setData(0, HeaderTagRole, tag);
        tree->headerItem()->setText(1, QStringLiteral("untouched"));
        return tree;
    } else if (kind == QLatin1String("tool")) {
        auto *tools = new QToolBar(&form);
        tools->addAction(QStringLiteral("tool"))->setToolTip(tip);
        return tools;
    } else if (kind == QLatin1String("menu")) {
        QMenu *menu = (new QMenuBar(&form))->addMenu(tag);
        menu->addAction(tip);
        return menu;
    } else { // a screen inside the screen: a pass over the outer one leaves it alone
        auto *inner = new QWidget(&form);
        markAsScreen(inner);
        w = new QLabel(caption, inner);
    }
    if (tag != QLatin1String("-"))
        w->setProperty(TagProperty, tag);
    w->setToolTip(tip);
    return w;
}

// What the user sees of one text of the control.
QString shown(QWidget *w, const QString &what)
{
    if (what == QLatin1String("title"))
        return w->windowTitle();
    if (auto *tabs = qobject_cast<QTabWidget *>(w))
        return what == QLatin1String("tab") ? tabs->tabBar()->tabText(0) : tabs->tabBar()->tabToolTip(0);
    if (auto *tree = qobject_cast<QTreeWidget *>(w))
        return tree->headerItem()->text(what.back().digitValue());
    if (auto *tools = qobject_cast<QToolBar *>(w))
        return tools->actions().front()->toolTip();
    if (auto *menu = qobject_cast<QMenu *>(w))
        return what == QLatin1String("entry") ? menu->actions().front()->text() : menu->title();
    if (what == QLatin1String("tip"))
        return w->toolTip();
    for (const char *property : {"text", "currentText", "plainText", "title"}) {
        if (w->property(property).isValid())
            return w->property(property).toString();
    }
    return QStringLiteral("?");
}

} // namespace

class TestLocalise : public QObject
{
    Q_OBJECT
private slots:
    void texts_data()
    {
        QTest::addColumn<QStringList>("row");
        for (const QStringList &row : test::readTable(QFINDTESTDATA("data/localise.txt")))
            QTest::newRow(qPrintable(row[0])) << row;
    }

    void texts()
    {
        QFETCH(QStringList, row);
        QWidget form;
        QWidget *control = make(form, row[1], row[2], QString::fromUtf8(test::unescape(row[3])));
        const QString &what = row[4];
        for (int offset : {EnglishOffset, DutchOffset, EnglishOffset}) {
            localiseForm(&form, offset);
            QCOMPARE(shown(control, what), row[offset == EnglishOffset ? 5 : 6]);
        }
    }
};

QTEST_MAIN(TestLocalise)
#include "tst_localise.moc"
