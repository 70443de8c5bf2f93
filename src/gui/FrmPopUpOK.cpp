#include "gui/FrmPopUpOK.h"

#include "engine/fs/FileSystem.h"
#include "gui/Localise.h"
#include "gui/Module1.h"
#include "gui/ScreenControls.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace tagsmith {

FrmPopUpOK::FrmPopUpOK(const QString &detail, QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FrmPopUpOK"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::NonModal);
    markAsScreen(this);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QWidget::close);

    LblVeld = new QLabel(this);
    LblVeld->setObjectName(QStringLiteral("LblVeld"));
    LblVeld->setWordWrap(true);
    LblVeld->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LblVeld->setTextFormat(Qt::PlainText);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(twipsRect(360, 480, 480, 480));
    Image1->setPixmap(controls::svgPicture(QStringLiteral(":/frame/popup.svg"), QSize(32, 32)));

    load(detail);
    OKButton->setFocus();
}

void FrmPopUpOK::load(const QString &detail)
{
    // The room for three lines of text, taller when the text needs it (below).
    LblVeld->setGeometry(twipsRect(1080, 240, 4575, 735));
    OKButton->setGeometry(twipsRect(4680, 1080, 1215, 375));
    setFixedSize(twipsToPixels(6030), twipsToPixels(1650));
    // A text id the string table lacks leaves the message empty, as in a new popup.
    LblVeld->clear();
    LblVeld->setToolTip(QString());
    setWindowTitle(QString());

    // The ids become Tags, and the localisation turns them into the title and the message.
    setProperty(TagProperty, QString::number(Module1::PopTitleId));
    LblVeld->setProperty(TagProperty, QString::number(Module1::PopTextId));
    Module1::LocaliseForm(this);
    if (!Module1::PopTextArgument.isEmpty())
        LblVeld->setText(LblVeld->text().arg(fs::shown(Module1::PopTextArgument)));

    if (!detail.isEmpty()) {
        // A long path would not wrap at all; shorten it in the middle, where it matters least.
        const QString shown = fs::shown(detail);
        const QString line = LblVeld->fontMetrics().elidedText(shown, Qt::ElideMiddle, LblVeld->width());
        LblVeld->setText(LblVeld->text().isEmpty() ? line : LblVeld->text() + QLatin1Char('\n') + line);
        LblVeld->setToolTip(shown);
    }
    // A text longer than the three lines the popup has room for makes it taller, the button lower:
    // no line is cut off.
    if (const int extra = LblVeld->heightForWidth(LblVeld->width()) - LblVeld->height(); extra > 0) {
        LblVeld->resize(LblVeld->width(), LblVeld->height() + extra);
        OKButton->move(OKButton->x(), OKButton->y() + extra);
        setFixedSize(width(), height() + extra);
    }
}

void FrmPopUpOK::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        m_closed = true;
        emit closed();
    }
    event->accept();
}

void FrmPopUpOK::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace tagsmith
