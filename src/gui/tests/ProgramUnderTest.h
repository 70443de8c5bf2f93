#pragma once

// The desktop program as a user meets it, for the screens' tests: started by Main in a program folder
// of its own, with helpers to read and close the message popup and to make small sites.

#include "gui/FrmTsDir.h"
#include "gui/FrmTsInfo.h"
#include "gui/FrmTsMain.h"
#include "gui/FrmTsSet.h"
#include "gui/FrmTsTop.h"
#include "gui/Module1.h"
#include "gui/PictureButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

namespace tagsmith::testing {

// Starts the program once per test program, in a fresh temporary program folder.
inline bool startProgram(QTemporaryDir &programFolder)
{
    // A run with the description prompt asks first; the tests go on unless they answer otherwise.
    Module1::askToGoOn = [](int, int, const QString &, int) { return true; };
    return programFolder.isValid() && Module1::Main(programFolder.path());
}

inline Module1::Screens &screens()
{
    return Module1::screens();
}

inline QWidget *frame()
{
    return screens().top ? screens().top->window() : nullptr;
}

// The open message popup, or nullptr.
inline QWidget *popup()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QStringLiteral("FrmPopUpOK") && window->isVisible())
            return window;
    }
    return nullptr;
}

// The message of the open popup (empty when none is open).
inline QString popupText()
{
    QWidget *open = popup();
    return open ? open->findChild<QLabel *>(QStringLiteral("LblVeld"))->text() : QString();
}

inline QString popupTitle()
{
    QWidget *open = popup();
    return open ? open->windowTitle() : QString();
}

// Presses OK on the open popup, as the user would; the frame takes input again.
inline void closePopup()
{
    if (QWidget *open = popup())
        QTest::mouseClick(open->findChild<QAbstractButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

inline void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

// Clicks (or double-clicks) the entry of a list that shows text, or whose data is that text.
inline bool clickEntry(QListWidget *list, const QString &text, bool twice = false)
{
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem *item = list->item(i);
        if (item->text().trimmed() != text && item->data(Qt::UserRole).toString() != text)
            continue;
        list->scrollToItem(item);
        const QPoint at = list->visualItemRect(item).center();
        // A double click is the first click followed by the second one.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (twice)
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        return true;
    }
    return false;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A small site (data/site) copied into a new folder below sites; returns the folder by its canonical path.
inline QString copySite(const QTemporaryDir &sites)
{
    const QString site = QFileInfo(sites.path()).canonicalFilePath() + QStringLiteral("/site");
    const QDir from(QFINDTESTDATA("data/site"));
    for (const QString &name : from.entryList(QDir::Files))
        writeFile(site + QLatin1Char('/') + name, readFile(from.filePath(name)));
    return site;
}

} // namespace tagsmith::testing
