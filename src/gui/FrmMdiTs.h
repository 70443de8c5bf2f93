#pragma once

#include <QWidget>

namespace tagsmith {

// The frame window: the navigation bar across its top and one content screen below it, each a child
// placed at its own rectangle.
class FrmMdiTs : public QWidget
{
    Q_OBJECT
public:
    explicit FrmMdiTs(QWidget *parent = nullptr);

signals:
    // The user closes the frame: the program ends, so an open message goes with it.
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
};

} // namespace tagsmith
