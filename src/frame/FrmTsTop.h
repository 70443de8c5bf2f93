#pragma once

#include <QWidget>

namespace tagsmith {

class FrmTsTop : public QWidget
{
    Q_OBJECT
public:
    explicit FrmTsTop(QWidget *parent = nullptr);
};

} // namespace tagsmith
