#pragma once

#include <QWidget>

namespace tagsmith {

class FrmTsSet : public QWidget
{
    Q_OBJECT
public:
    explicit FrmTsSet(QWidget *parent = nullptr);
};

} // namespace tagsmith
