#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace tagsmith {

// The message window: a title, a message with an icon, and OK. It is not modal; whoever raises a
// message disables the frame, and every way of closing the popup enables it again (see closed()).
class FrmPopUpOK : public QWidget
{
    Q_OBJECT
public:
    // Creating the popup is its load step: it takes the title and message ids from PopTitleId and
    // PopTextId and shows them in the current language. detail, when given, goes on a line of its own
    // under the message (the page a file error is about).
    explicit FrmPopUpOK(const QString &detail = QString(), QWidget *parent = nullptr);

    // The load step again, for the message in PopTitleId and PopTextId now: an open popup shows the
    // latest message rather than the first.
    void load(const QString &detail = QString());

    QLabel *LblVeld = nullptr;
    QLabel *Image1 = nullptr;
    QPushButton *OKButton = nullptr;

signals:
    // Sent once, when the popup closes by OK, by its title-bar close control or by Escape. The popup
    // destroys itself afterwards.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_closed = false;
};

} // namespace tagsmith
